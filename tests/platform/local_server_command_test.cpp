// The registered command line of a local server as "pal com activate" meets it:
// a registry that fails is reported as its own failure, "not registered" only
// when the key or its value is missing, and REG_EXPAND_SZ is expanded.
#include <windows.h>

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "common/hresult.h"
#include "tests/support/captured_run.h"
#include "tests/support/prefix_fixture.h"

namespace {

const std::string kBin = QUILL_BINARY_DIR "/bin/";
// The class com_test_server serves.
const std::string kTestClass = "{9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31}";
const std::string kLocalServerKey = "HKCU\\Software\\Classes\\CLSID\\" + kTestClass + "\\LocalServer32";

std::string HResultLine(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X\n", static_cast<unsigned>(hr));
    return text;
}

class LocalServerCommand : public TemporaryPrefixTest {
protected:
    void TearDown() override {
        std::ifstream starts(Prefix() / "starts");
        for (std::string pid; std::getline(starts, pid);) kill(std::stoi(pid), SIGKILL);
        TemporaryPrefixTest::TearDown();
    }

    static void Pal(std::vector<std::string> arguments) {
        const CapturedRun run = RunCaptured(kBin + "pal", std::move(arguments));
        ASSERT_EQ(run.status, 0) << run.output;
    }
};

TEST_F(LocalServerCommand, ActivationAnswersWhatTheRegistryReallySaid) {
    setenv("QUILL_TEST_PROGRAMS", kBin.c_str(), 1);
    const struct {
        const char* registration;
        std::function<void(const std::filesystem::path& prefix)> set;
        HRESULT expected;
    } cases[] = {
        {"a corrupt registry",
         [](const std::filesystem::path& prefix) {
             std::ofstream(prefix / "registry.db") << std::string(8192, 'x');
         },
         HResultFromWin32(ERROR_REGISTRY_CORRUPT)},
        {"the key without a value", [](const std::filesystem::path&) { Pal({"reg", "add", kLocalServerKey, "/f"}); },
         REGDB_E_CLASSNOTREG},
        {"an empty command", [](const std::filesystem::path&) { Pal({"reg", "add", kLocalServerKey, "/ve", "/d", "", "/f"}); },
         REGDB_E_CLASSNOTREG},
        {"a command that is not text",
         [](const std::filesystem::path&) {
             Pal({"reg", "add", kLocalServerKey, "/ve", "/t", "REG_BINARY", "/d", "2F62696E2F7368", "/f"});
         },
         REGDB_E_CLASSNOTREG},
        {"the user's registration and a broken one of the machine's: the user's wins",
         [](const std::filesystem::path&) {
             Pal({"reg", "add", kLocalServerKey, "/ve", "/d", "\"" + kBin + "com_test_server\"", "/f"});
             std::string machineKey = kLocalServerKey;
             machineKey.replace(0, 4, "HKLM");
             Pal({"reg", "add", machineKey, "/ve", "/d", "\"" + kBin + "no_such_server\"", "/f"});
         },
         S_OK},
        {"REG_EXPAND_SZ naming a variable",
         [](const std::filesystem::path&) {
             Pal({"reg", "add", kLocalServerKey, "/ve", "/t", "REG_EXPAND_SZ", "/d",
                  "\"%QUILL_TEST_PROGRAMS%com_test_server\"", "/f"});
         },
         S_OK},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.registration);
        TearDown();
        SetUp();
        testCase.set(Prefix());
        const CapturedRun run = RunCaptured(kBin + "pal", {"com", "activate", kTestClass, "--aumid", "A", "--args", "B"});
        EXPECT_EQ(run.output, HResultLine(testCase.expected));
        EXPECT_EQ(run.status, testCase.expected == S_OK ? 0 : 1);
    }
    unsetenv("QUILL_TEST_PROGRAMS");
}

}  // namespace
