// Contract tests for the platform's kernel and user basics, written only
// against the Win32 names so they can run on Windows too.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenOnOtherThread = 1;
    std::thread other([&] {
        seenOnOtherThread = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    });
    other.join();
    EXPECT_EQ(seenOnOtherThread, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

WCHAR UpperOf(WCHAR c) {
    return static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

TEST(CharUpper, ConvertsOneCharacterOrAWholeText) {
    EXPECT_EQ(UpperOf(u'a'), u'A');
    EXPECT_EQ(UpperOf(u'Z'), u'Z');
    EXPECT_EQ(UpperOf(u'-'), u'-');
    EXPECT_EQ(UpperOf(u'\u00e4'), u'\u00c4');  // ä
    EXPECT_EQ(UpperOf(u'\u0119'), u'\u0118');  // ę
    EXPECT_EQ(UpperOf(u'\u03c9'), u'\u03a9');  // ω
    EXPECT_EQ(UpperOf(u'\u3001'), u'\u3001');  // no case

    WCHAR text[] = u"RegServer-perUser \u00f6";
    EXPECT_EQ(CharUpperW(text), text);
    EXPECT_EQ(std::u16string(text), u"REGSERVER-PERUSER \u00d6");
}

TEST(lstrcmpi, IgnoresCaseBeyondAscii) {
    EXPECT_EQ(lstrcmpiW(u"HKCR", u"hkcr"), 0);
    EXPECT_EQ(lstrcmpiW(u"Module", u"MODULE"), 0);
    EXPECT_EQ(lstrcmpiW(u"\u00c4rger", u"\u00e4RGER"), 0);
    EXPECT_LT(lstrcmpiW(u"apple", u"Banana"), 0);
    EXPECT_GT(lstrcmpiW(u"Module_Raw", u"module"), 0);
    EXPECT_NE(lstrcmpiW(u"CLSID", u"CLSIDs"), 0);
}

TEST(CharNext, StepsOneUnitAndStopsAtTheEnd) {
    const WCHAR text[] = u"ab";
    EXPECT_EQ(CharNextW(text), text + 1);
    EXPECT_EQ(CharNextW(text + 2), text + 2);
}

TEST(ModuleFileName, GivesTheExecutablePathAndTruncatesAsWindows) {
    WCHAR path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(path[length], u'\0');
    const std::u16string full(path, length);
    EXPECT_NE(full.find(u"platform_core_tests"), std::u16string::npos);

    WCHAR small[6];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 6), 6u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(small), full.substr(0, 5)) << "cut to size - 1 units and terminated";

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
    EXPECT_EQ(std::u16string(out, 9), u"HKCR\r\n{\t}");
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, script, 9, out, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
