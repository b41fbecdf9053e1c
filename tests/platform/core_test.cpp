// Contract tests for the platform's kernel and user basics, written only
// against the Win32 names so they can run on Windows too.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/known_wine_differences.h"

namespace {

TEST(LastError, IsKeptPerThread) {
    DWORD seenOnOtherThread = 1;
    std::atomic<int> step{0};
    std::thread other([&] {
        while (step.load() != 1) {
        }
        seenOnOtherThread = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
        step = 2;
    });
    // Set and read with no other call between: starting, yielding to or joining
    // a thread may make system calls that set this thread's value themselves.
    SetLastError(ERROR_ACCESS_DENIED);
    step = 1;
    while (step.load() != 2) {
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    other.join();
    EXPECT_EQ(seenOnOtherThread, 0u);
}

WCHAR UpperOf(WCHAR c) {
    return static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

TEST(CharUpper, ConvertsOneCharacterOrAWholeText) {
    EXPECT_EQ(UpperOf(TEXT('a')), TEXT('A'));
    EXPECT_EQ(UpperOf(TEXT('Z')), TEXT('Z'));
    EXPECT_EQ(UpperOf(TEXT('-')), TEXT('-'));
    EXPECT_EQ(UpperOf(TEXT('\u00e4')), TEXT('\u00c4'));  // ä
    EXPECT_EQ(UpperOf(TEXT('\u0119')), TEXT('\u0118'));  // ę
    EXPECT_EQ(UpperOf(TEXT('\u03c9')), TEXT('\u03a9'));  // ω
    EXPECT_EQ(UpperOf(TEXT('\u3001')), TEXT('\u3001'));  // no case

    WCHAR text[] = TEXT("RegServer-perUser \u00f6");
    EXPECT_EQ(CharUpperW(text), text);
    EXPECT_EQ(std::basic_string<WCHAR>(text), TEXT("REGSERVER-PERUSER \u00d6"));
}

TEST(lstrcmpi, IgnoresCaseBeyondAscii) {
    EXPECT_EQ(lstrcmpiW(TEXT("HKCR"), TEXT("hkcr")), 0);
    EXPECT_EQ(lstrcmpiW(TEXT("Module"), TEXT("MODULE")), 0);
    EXPECT_EQ(lstrcmpiW(TEXT("\u00c4rger"), TEXT("\u00e4RGER")), 0);
    EXPECT_LT(lstrcmpiW(TEXT("apple"), TEXT("Banana")), 0);
    EXPECT_GT(lstrcmpiW(TEXT("Module_Raw"), TEXT("module")), 0);
    EXPECT_NE(lstrcmpiW(TEXT("CLSID"), TEXT("CLSIDs")), 0);
}

TEST(CharNext, StepsOneUnitAndStopsAtTheEnd) {
    const WCHAR text[] = TEXT("ab");
    EXPECT_EQ(CharNextW(text), text + 1);
    EXPECT_EQ(CharNextW(text + 2), text + 2);
}

TEST(ModuleFileName, GivesTheExecutablePathAndTruncatesAsWindows) {
    WCHAR path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(path[length], TEXT('\0'));
    const std::basic_string<WCHAR> full(path, length);
    EXPECT_NE(full.find(TEXT("platform_core_tests")), std::basic_string<WCHAR>::npos);
    EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH), length);

}

TEST(ModuleFileName, TruncatesToTheBufferAndTerminates) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kModuleFileNameTruncation);
    WCHAR path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::basic_string<WCHAR> full(path, length);
    WCHAR small[6];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 6), 6u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::basic_string<WCHAR>(small), full.substr(0, 5)) << "cut to size - 1 units and terminated";

    EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH), length);
}

TEST(CriticalSection, CanBeEnteredTwiceByItsOwner) {
    CRITICAL_SECTION lock;
    ASSERT_TRUE(InitializeCriticalSectionEx(&lock, 0, 0));
    EnterCriticalSection(&lock);
    EnterCriticalSection(&lock);
    LeaveCriticalSection(&lock);
    LeaveCriticalSection(&lock);
    DeleteCriticalSection(&lock);
}

TEST(MultiByteToWideChar, WidensTheThreadCodePage) {
    const char script[] = "HKCR\r\n{\t}";
    WCHAR out[16] = {};
    const int count = MultiByteToWideChar(CP_THREAD_ACP, 0, script, 9, out, 9);
    ASSERT_EQ(count, 9);
    EXPECT_EQ(std::basic_string<WCHAR>(out, 9), TEXT("HKCR\r\n{\t}"));
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, script, 9, out, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
