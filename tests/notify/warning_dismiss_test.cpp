// The dismiss path against the platform's registry: each case runs in a fresh
// process with a fresh prefix, and reads back what the handler left there.
#include "notify/riva_vavirezar_toast.h"

#include <gtest/gtest.h>

#include "common/unique_any.h"
#include "platform/posix/testing/fault_injection.h"
#include "tests/notify/test_support.h"
#include "tests/support/temporary_prefix.h"

namespace {

const auto* const environment = testing::AddGlobalTestEnvironment(new ActivationEnvironment);

constexpr const char16_t* kKey = u"SOFTWARE\\Corvane\\Ardentis";

// What the registry holds afterwards: "no key", "no value", or "type=<t> data=<d>".
std::string StoredPreference() {
    unique_hkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "no key";
    DWORD type = 0;
    DWORD data = 0xFFFFFFFF;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key.get(), u"RivaVavirezarShowWarning", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
        ERROR_SUCCESS) {
        return "no value";
    }
    return "type=" + std::to_string(type) + " size=" + std::to_string(size) + " data=" + std::to_string(data);
}

struct DismissCase {
    const char* name;
    std::vector<std::pair<const char16_t*, const char16_t*>> inputs;
    const char* expected;
};

void PrintTo(const DismissCase& c, std::ostream* out) { *out << c.name; }

class WarningDismiss : public testing::TestWithParam<DismissCase> {};

TEST_P(WarningDismiss, StoresTheChoiceOnlyForDismiss) {
    const DismissCase& test = GetParam();
    ExpectInFreshProcess([&test] {
        TemporaryPrefix prefix;
        std::vector<winsdk::NOTIFICATION_USER_INPUT_DATA> inputs;
        for (const auto& [key, value] : test.inputs) inputs.push_back({key, value});
        RivaVavirezarToast<RecordingToaster, UnusedIsolation> handler(std::make_shared<RecordingToaster>(),
                                                                      std::make_shared<UnusedIsolation>());
        handler.HandleActivation(u"RivaVavirezar.dismiss", inputs.data(), static_cast<ULONG>(inputs.size()));
        const std::string stored = StoredPreference();
        return stored == test.expected ? std::string() : "stored: " + stored + ", expected: " + test.expected + "\n";
    });
}

INSTANTIATE_TEST_SUITE_P(
    Choices, WarningDismiss,
    testing::Values(DismissCase{"dismiss", {{u"repeat", u"dismiss"}}, "type=4 size=4 data=0"},
                    DismissCase{"DISMISS", {{u"repeat", u"DISMISS"}}, "type=4 size=4 data=0"},
                    DismissCase{"DisMiss_after_other_keys", {{u"Path", u"x"}, {u"REPEAT", u"DisMiss"}}, "type=4 size=4 data=0"},
                    DismissCase{"showagain", {{u"repeat", u"showagain"}}, "no key"},
                    DismissCase{"another_value", {{u"repeat", u"dismissed"}}, "no key"},
                    DismissCase{"empty_value", {{u"repeat", u""}}, "no key"},
                    DismissCase{"no_input", {}, "no key"}),
    [](const auto& info) { return std::string(info.param.name); });

// A registry that refuses the write costs only the preference: the key not
// created means nothing written, a refused value leaves the bare key.
TEST(WarningDismissFailures, ARefusedRegistryWriteIsIgnored) {
    using pal::testing::Fault;
    struct Row {
        Fault fault;
        const char* expected;
    };
    for (const Row& row : {Row{Fault::RegCreateKeyEx, "no key"}, Row{Fault::RegSetValueEx, "no value"}}) {
        ExpectInFreshProcess([&row] {
            TemporaryPrefix prefix;
            const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"repeat", u"dismiss"}};
            RivaVavirezarToast<RecordingToaster, UnusedIsolation> handler(std::make_shared<RecordingToaster>(),
                                                                          std::make_shared<UnusedIsolation>());
            pal::testing::InjectFailure(row.fault, ERROR_ACCESS_DENIED);
            handler.HandleActivation(u"RivaVavirezar.dismiss", inputs, 1);
            pal::testing::InjectFailure(row.fault, 0);
            const std::string stored = StoredPreference();
            return stored == row.expected ? std::string() : "stored: " + stored + ", expected: " + row.expected + "\n";
        });
    }
}

}  // namespace
