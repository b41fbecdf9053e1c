// "pal toast press" as the user's click: the stored toast's button reaches the
// activator recorded for its AppUserModelID (started if needed) with the
// selection chosen, and the dismiss path writes the preference only for
// "dismiss". Toasts the button cannot be pressed on are refused with a reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/posix/core/utf.h"
#include "tests/e2e/server_fixture.h"

namespace {

using namespace std::chrono_literals;

// The stored preference, or nullopt when the value is absent; type in *type.
std::optional<DWORD> StoredPreference(DWORD* type = nullptr) {
    unique_hkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Corvane\\Ardentis", 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, size = sizeof value, found = 0;
    if (RegQueryValueExW(key.get(), u"RivaVavirezarShowWarning", nullptr, &found, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != nullptr) *type = found;
    return value;
}

class ToastPress : public RegisteredServer {
protected:
    // The id of the warning toast shown for a path, the server gone again.
    std::string ShowWarning(const char* showAgainChoice) {
        EXPECT_EQ(Display("C:\\Data", showAgainChoice).status, 0);
        const auto toasts = Toasts();
        EXPECT_FALSE(toasts.empty());
        EXPECT_TRUE(e2e::ServersEndWithin(1s));
        return toasts.empty() ? "0" : std::to_string(toasts.back().id);
    }

    static std::string Store(const std::u16string& xml, const char16_t* appUserModelId = u"Corvane.Tessaline") {
        int64_t id = 0;
        EXPECT_EQ(pal::toast_store::Append(appUserModelId, xml, &id), S_OK);
        return std::to_string(id);
    }

    // A press that must be refused: status 1, one line naming the reason, no server started.
    static void ExpectRefused(const std::vector<std::string>& arguments, const std::string& reason) {
        const e2e::Finished pressed = Pal(arguments);
        EXPECT_EQ(pressed.status, 1) << pressed.out;
        EXPECT_NE(pressed.err.find(reason), std::string::npos) << pressed.err;
        EXPECT_EQ(pressed.err.find('\n'), pressed.err.size() - 1) << pressed.err;
        EXPECT_TRUE(e2e::ServerProcesses().empty());
    }
};

// The other verbs a user types: a toast's line in the list stays one line
// whatever its text holds, and malformed arguments get the usage, start no
// server and touch nothing.
TEST_F(ToastPress, ListKeepsOneLinePerToastAndMalformedVerbsAreRefused) {
    const std::string id = Store(u"<toast><visual><binding><text>first\nsecond\tthird</text></binding></visual></toast>");
    const e2e::Finished listed = Pal({"toast", "list"});
    EXPECT_EQ(listed.status, 0);
    ASSERT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 1) << listed.out;
    EXPECT_TRUE(listed.out.ends_with("\tfirst second third\n")) << listed.out;

    const std::string clsid = pal::ToUtf8(e2e::kActivatorClsid);
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"toast", "show", id + "x"},
             {"toast", "clear", "now"},
             {"com", "activate", clsid, "--aumid"},
             {"com", "activate", clsid, "--input", "NoEquals"},
             {"com", "activate", clsid, "--bogus", "x"}}) {
        const e2e::Finished refused = Pal(arguments);
        EXPECT_EQ(refused.status, 1) << arguments.back();
        EXPECT_TRUE(refused.err.starts_with("usage: pal ")) << refused.err;
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_TRUE(e2e::ServerProcesses().empty());
    EXPECT_EQ(Pal({"toast", "show", id}).status, 0) << "the toast is still there";
}

TEST_F(ToastPress, TheDefaultSelectionKeepsTheWarningAndDismissStoresZero) {
    const std::string id = ShowWarning("true");

    e2e::Finished pressed = Pal({"toast", "press", id});
    EXPECT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_EQ(pressed.out, "0x00000000\n");
    EXPECT_EQ(StoredPreference(), std::nullopt) << "defaultInput is showagain";
    EXPECT_TRUE(e2e::ServersEndWithin(1s));

    pressed = Pal({"toast", "press", id, "--select", "repeat=showagain"});
    EXPECT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_EQ(StoredPreference(), std::nullopt);

    pressed = Pal({"toast", "press", id, "--select", "repeat=dismiss"});
    EXPECT_EQ(pressed.status, 0) << pressed.err;
    DWORD type = 0;
    EXPECT_EQ(StoredPreference(&type), DWORD{0});
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(Toasts().size(), 1u) << "pressing shows no new toast";
    EXPECT_TRUE(e2e::ServersEndWithin(1s));
}

TEST_F(ToastPress, SelectionsMustBeOnesTheToastOffers) {
    const std::string id = ShowWarning("true");
    ExpectRefused({"toast", "press", id, "--select", "repeat=never"}, "offers no selection 'never'");
    ExpectRefused({"toast", "press", id, "--select", "Repeat=dismiss"}, "no selection input 'Repeat'");
    ExpectRefused({"toast", "press", id, "--select", "repeat=dismiss", "--select", "repeat=dismiss"}, "twice");
    ExpectRefused({"toast", "press", id, "--select", "repeat"}, "usage");

    const std::string plain = ShowWarning("false");
    ExpectRefused({"toast", "press", plain, "--select", "repeat=dismiss"}, "no selection input 'repeat'");
    const e2e::Finished pressed = Pal({"toast", "press", plain});
    EXPECT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_EQ(StoredPreference(), std::nullopt) << "no selection, no value";
}

TEST_F(ToastPress, OnlyTheFirstActionCountsAndAnInputWithoutDefaultStartsAtItsFirstItem) {
    const std::string id = Store(
        u"<toast><visual><binding template=\"ToastGeneric\"><text>t</text></binding></visual><actions>"
        u"<input id=\"repeat\" type=\"selection\"><selection id=\"dismiss\" content=\"a\"/>"
        u"<selection id=\"showagain\" content=\"b\"/></input>"
        u"<input id=\"note\" type=\"text\"/>"
        u"<action activationType=\"background\" arguments=\"RivaVavirezar.dismiss\" content=\"First\"/>"
        u"<action activationType=\"foreground\" arguments=\"other\" content=\"Second\"/>"
        u"</actions></toast>");
    ExpectRefused({"toast", "press", id, "--select", "note=x"}, "no selection input 'note'");
    const e2e::Finished pressed = Pal({"toast", "press", id});
    EXPECT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_EQ(StoredPreference(), DWORD{0});
}

TEST_F(ToastPress, RefusesButtonsThatReachNoActivator) {
    ExpectRefused({"toast", "press", "12345"}, "no toast with id 12345");
    ExpectRefused({"toast", "press"}, "usage");
    ExpectRefused({"toast", "press", "1x"}, "usage");

    const std::u16string foreground =
        u"<toast><actions><action activationType=\"foreground\" arguments=\"RivaVavirezar.dismiss\" "
        u"content=\"Open\"/></actions></toast>";
    ExpectRefused({"toast", "press", Store(foreground)}, "\"foreground\"");
    ExpectRefused({"toast", "press", Store(u"<toast><actions><action arguments=\"x\" content=\"c\"/></actions></toast>")},
                  "\"foreground\"");
    ExpectRefused({"toast", "press", Store(u"<toast><visual/></toast>")}, "no action button");

    const std::u16string background =
        u"<toast><actions><action activationType=\"background\" arguments=\"RivaVavirezar.dismiss\" "
        u"content=\"Dismiss\"/></actions></toast>";
    ExpectRefused({"toast", "press", Store(background, u"Someone.Else")}, "no activator is recorded for Someone.Else");

    // A recorded activator nobody registered: the activation itself fails.
    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Classes\\AppUserModelId\\Someone.Else", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    const char16_t unregistered[] = u"{00000000-1111-2222-3333-444455556666}";
    ASSERT_EQ(RegSetValueExW(key.get(), u"CustomActivator", 0, REG_SZ, reinterpret_cast<const BYTE*>(unregistered),
                             sizeof unregistered),
              ERROR_SUCCESS);
    const e2e::Finished failed = Pal({"toast", "press", Store(background, u"Someone.Else")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("returned 0x80040154"), std::string::npos) << failed.err;
    EXPECT_EQ(StoredPreference(), std::nullopt);

    // The platform reads the activator as a string value only, whatever the bytes say.
    ASSERT_EQ(RegSetValueExW(key.get(), u"CustomActivator", 0, REG_BINARY, reinterpret_cast<const BYTE*>(unregistered),
                             sizeof unregistered),
              ERROR_SUCCESS);
    ExpectRefused({"toast", "press", Store(background, u"Someone.Else")}, "CustomActivator is not a string value");
}

}  // namespace
