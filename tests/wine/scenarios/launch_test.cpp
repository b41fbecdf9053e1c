// The launch modes of the real executable under Wine: a plain start launches
// the console beside it on every Windows version, and -Embedding below 6.2 ends
// at once with 0.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/wine/scenarios/wine_session.h"
#include "tests/wine/wine_records.h"

namespace {

using namespace wine_session;

// The console's command line split as the C runtime splits it, once it has
// run (it ends right after recording it).
std::optional<std::vector<std::wstring>> ConsoleArguments() {
    for (int tries = 0; tries < 200; ++tries) {
        if (auto line = ReadString(HKEY_CURRENT_USER, wine_records::kConsole, L"CommandLine")) {
            int count = 0;
            wchar_t** arguments = CommandLineToArgvW(line->c_str(), &count);
            std::vector<std::wstring> split(arguments, arguments + count);
            LocalFree(arguments);
            return split;
        }
        Sleep(50);
    }
    return std::nullopt;
}

class Launch : public testing::TestWithParam<const wchar_t*> {
protected:
    void TearDown() override { SetWindowsVersion(L"win10"); }
};

TEST_P(Launch, APlainStartLaunchesTheConsoleBesideTheProgramAndEndsWithZero) {
    SetWindowsVersion(GetParam());
    DeleteTree(HKEY_CURRENT_USER, wine_records::kConsole);
    EXPECT_EQ(RunProgram(L"\"" + Product() + L"\""), 0u);
    // Started with no command line of its own: it gets the application name
    // (Wine puts it in quotation marks) and no arguments.
    EXPECT_EQ(ConsoleArguments(), std::vector<std::wstring>{ProductFolder() + L"\\QuillConsole.exe"});
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, Launch, testing::Values(L"win7", L"win81", L"win10"));

TEST(Embedding, Below62TheServerEndsAtOnceWithZero) {
    SetWindowsVersion(L"win7");
    DeleteTree(HKEY_CURRENT_USER, wine_records::kConsole);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(RunProgram(L"\"" + Product() + L"\" -Embedding", {}, 20000), 0u);
    EXPECT_LT(GetTickCount64() - started, 10000u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, wine_records::kConsole, L"CommandLine"), std::nullopt) << "no console";
    SetWindowsVersion(L"win10");
}

}  // namespace
