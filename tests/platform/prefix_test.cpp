// The prefix is the user's own or nothing: every program stops with one line
// over a prefix another user owns or others may write into, and runs nothing
// registered there; platform calls answer access denied and make nothing in it.
#include <objbase.h>
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/hresult.h"
#include "common/unique_any.h"
#include "platform/posix/winrt/toast_store.h"
#include "tests/support/captured_run.h"
#include "tests/support/prefix_fixture.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = QUILL_BINARY_DIR "/bin/";
// The class com_test_server serves.
const std::string kTestClass = "{9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31}";
const std::string kLocalServerKey = "HKCU\\Software\\Classes\\CLSID\\" + kTestClass + "\\LocalServer32";

std::set<std::string> Entries(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

struct PrefixState {
    const char* name;
    mode_t mode;
    bool otherOwner;  // chowned to another user: only root can make that
};

using PrefixRefusal = TemporaryPrefixTest;

TEST_F(PrefixRefusal, EveryProgramStopsWithOneLineAndRunsNothingFromIt) {
    const PrefixState states[] = {
        {"writable by all", 0777, false},
        {"writable by its group", 0770, false},
        {"writable by others only", 0703, false},
        {"owned by another user", 0700, true},
    };
    const std::vector<std::vector<std::string>> programs = {
        {"pal", "reg", "query", "HKCU\\Software"},
        {"pal", "toast", "list"},
        {"pal", "com", "activate", kTestClass, "--aumid", "A", "--args", "B"},
        {"QuillNotification", "-Embedding"},
        {"QuillNotification", "-RegServerPerUser"},
        {"com_test_server", "-Embedding"},
    };
    const std::string prefix = Prefix().string();
    // A registered server that must never start from a refused prefix.
    ASSERT_EQ(RunCaptured(kBin + "pal", {"reg", "add", kLocalServerKey, "/ve", "/d",
                                         "\"" + kBin + "com_test_server\"", "/f"}).status, 0);
    const std::set<std::string> before = Entries(Prefix());

    for (const PrefixState& state : states) {
        if (state.otherOwner && geteuid() != 0) {
            std::printf("skipped '%s': only root can give the prefix to another user\n", state.name);
            continue;
        }
        ASSERT_EQ(chmod(prefix.c_str(), state.mode), 0);
        ASSERT_EQ(chown(prefix.c_str(), state.otherOwner ? 4242 : geteuid(), static_cast<gid_t>(-1)), 0);
        for (const auto& command : programs) {
            const CapturedRun run =
                RunCaptured(kBin + command[0], std::vector<std::string>(command.begin() + 1, command.end()),
                            std::chrono::seconds(5));
            SCOPED_TRACE(std::string(state.name) + ": " + command[0] + " " + command[1]);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.output.rfind("pal: refusing the prefix " + prefix + ": ", 0), 0u) << run.output;
            EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
            EXPECT_EQ(Entries(Prefix()), before) << "nothing made or started in the prefix";
        }
    }
    ASSERT_EQ(chown(prefix.c_str(), geteuid(), static_cast<gid_t>(-1)), 0);
}

TEST_F(PrefixRefusal, APrivatePrefixIsUsedAndAMissingOneIsMadePrivate) {
    for (const mode_t mode : {0700, 0750, 0755}) {
        ASSERT_EQ(chmod(Prefix().c_str(), mode), 0);
        EXPECT_EQ(RunCaptured(kBin + "pal", {"reg", "add", "HKCU\\Software\\Quill", "/f"}).status, 0)
            << std::oct << mode;
    }
    const fs::path made = Prefix() / "made" / "here";
    setenv("PAL_PREFIX", made.c_str(), 1);
    const mode_t umaskBefore = umask(0);  // the children inherit it
    const CapturedRun run = RunCaptured(kBin + "pal", {"reg", "add", "HKCU\\Software\\Quill", "/f"});
    umask(umaskBefore);
    EXPECT_EQ(run.status, 0) << run.output;
    struct stat info{};
    ASSERT_EQ(stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(PrefixRefusal, PlatformCallsAnswerAccessDeniedAndMakeNothing) {
    ASSERT_EQ(chmod(Prefix().c_str(), 0777), 0);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CLSID testClass{};
    const std::u16string classText(kTestClass.begin(), kTestClass.end());
    ASSERT_EQ(CLSIDFromString(classText.c_str(), &testClass), S_OK);

    unique_hkey key;
    DWORD size = 0;
    IClassFactory* factory = nullptr;
    const struct {
        const char* call;
        HRESULT result;
    } calls[] = {
        {"RegCreateKeyExW", HResultFromWin32(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quill", 0, nullptr, 0,
                                                                 KEY_ALL_ACCESS, nullptr, key.put(), nullptr))},
        {"RegQueryValueExW", HResultFromWin32(RegQueryValueExW(HKEY_CURRENT_USER, u"v", nullptr, nullptr, nullptr,
                                                                   &size))},
        {"IToastNotifier::Show's store", pal::toast_store::Append(u"Corvane.Tessaline", u"<toast/>")},
        {"CoGetClassObject", CoGetClassObject(testClass, CLSCTX_LOCAL_SERVER, nullptr, __uuidof(IClassFactory),
                                              reinterpret_cast<void**>(&factory))},
    };
    for (const auto& call : calls) EXPECT_EQ(call.result, E_ACCESSDENIED) << call.call;
    EXPECT_EQ(factory, nullptr);
    EXPECT_TRUE(Entries(Prefix()).empty());
    CoUninitialize();
}

}  // namespace
