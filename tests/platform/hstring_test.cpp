// Contract tests for the Windows Runtime string functions, written against the
// Win32 names only, so they can run on Windows as well.
#include <windows.h>
#include <winstring.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/known_wine_differences.h"

namespace {

constexpr HRESULT kNotNullTerminated = static_cast<HRESULT>(0x80000017);

std::basic_string<WCHAR> TextOf(HSTRING string) {
    UINT32 length = 0;
    const WCHAR* units = WindowsGetStringRawBuffer(string, &length);
    return std::basic_string<WCHAR>(units, length);
}

TEST(StringReference, RefersToTheCallersTextWithoutCopying) {
    const WCHAR text[] = TEXT("Corvane.Tessaline");
    HSTRING_HEADER header;
    HSTRING string = nullptr;
    ASSERT_EQ(WindowsCreateStringReference(text, 17, &header, &string), S_OK);
    UINT32 length = 0;
    EXPECT_EQ(WindowsGetStringRawBuffer(string, &length), text);
    EXPECT_EQ(length, 17u);
    EXPECT_EQ(WindowsGetStringLen(string), 17u);
    EXPECT_FALSE(WindowsIsStringEmpty(string));
    EXPECT_EQ(WindowsDeleteString(string), S_OK) << "deleting a reference does nothing";
    EXPECT_EQ(TextOf(string), TEXT("Corvane.Tessaline"));
}

TEST(StringReference, RefusesWhatWindowsRefuses) {
    const WCHAR text[] = TEXT("abc");
    HSTRING_HEADER header;
    HSTRING string = nullptr;
    EXPECT_EQ(WindowsCreateStringReference(text, 3, &header, nullptr), E_INVALIDARG);
    EXPECT_EQ(WindowsCreateStringReference(text, 3, nullptr, &string), E_INVALIDARG);
    EXPECT_EQ(WindowsCreateStringReference(nullptr, 1, &header, &string), E_POINTER);

    string = reinterpret_cast<HSTRING>(&header);
    EXPECT_EQ(WindowsCreateStringReference(TEXT(""), 0, &header, &string), S_OK);
    EXPECT_EQ(string, nullptr) << "the empty string is NULL";
    string = reinterpret_cast<HSTRING>(&header);
    EXPECT_EQ(WindowsCreateStringReference(nullptr, 0, &header, &string), S_OK);
    EXPECT_EQ(string, nullptr);
}

TEST(StringReference, RefusesATextNotTerminatedAtItsLength) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kUnterminatedStringReference);
    const WCHAR text[] = TEXT("abc");
    HSTRING_HEADER header;
    HSTRING string = nullptr;
    EXPECT_EQ(WindowsCreateStringReference(text, 2, &header, &string), kNotNullTerminated);
    EXPECT_EQ(WindowsCreateStringReference(text, 0, &header, &string), kNotNullTerminated)
        << "the terminator is checked even for length 0";
}

TEST(StringReference, AllowsEmbeddedNulsBeforeTheLength) {
    const WCHAR text[] = TEXT("a\0b");
    HSTRING_HEADER header;
    HSTRING string = nullptr;
    ASSERT_EQ(WindowsCreateStringReference(text, 3, &header, &string), S_OK);
    EXPECT_EQ(TextOf(string), std::basic_string<WCHAR>(TEXT("a\0b"), 3));
}

TEST(HeapString, CopiesAndTerminatesAndIsSharedByDuplicates) {
    const WCHAR source[] = {TEXT('x'), TEXT('y'), TEXT('z')};  // not terminated: WindowsCreateString copies
    HSTRING string = nullptr;
    ASSERT_EQ(WindowsCreateString(source, 3, &string), S_OK);
    UINT32 length = 0;
    const WCHAR* units = WindowsGetStringRawBuffer(string, &length);
    EXPECT_NE(units, source);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(units[3], TEXT('\0'));

    HSTRING duplicate = nullptr;
    ASSERT_EQ(WindowsDuplicateString(string, &duplicate), S_OK);
    EXPECT_EQ(duplicate, string) << "a heap string is shared, not copied";
    EXPECT_EQ(WindowsDeleteString(string), S_OK);
    EXPECT_EQ(TextOf(duplicate), TEXT("xyz")) << "the duplicate keeps the text alive";
    EXPECT_EQ(WindowsDeleteString(duplicate), S_OK);
}

TEST(HeapString, DuplicatingAReferenceMakesACopyThatOutlivesIt) {
    HSTRING duplicate = nullptr;
    {
        WCHAR text[] = TEXT("short-lived");
        HSTRING_HEADER header;
        HSTRING reference = nullptr;
        ASSERT_EQ(WindowsCreateStringReference(text, 11, &header, &reference), S_OK);
        ASSERT_EQ(WindowsDuplicateString(reference, &duplicate), S_OK);
        EXPECT_NE(WindowsGetStringRawBuffer(duplicate, nullptr), text);
        text[0] = TEXT('S');
    }
    EXPECT_EQ(TextOf(duplicate), TEXT("short-lived"));
    WindowsDeleteString(duplicate);
}

TEST(HeapString, TheEmptyStringIsNullEverywhere) {
    HSTRING string = reinterpret_cast<HSTRING>(1);
    EXPECT_EQ(WindowsCreateString(TEXT("abc"), 0, &string), S_OK);
    EXPECT_EQ(string, nullptr);
    EXPECT_EQ(WindowsCreateString(nullptr, 2, &string), E_POINTER);
    EXPECT_EQ(WindowsCreateString(TEXT("abc"), 3, nullptr), E_INVALIDARG);

    UINT32 length = 99;
    const WCHAR* units = WindowsGetStringRawBuffer(nullptr, &length);
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units[0], TEXT('\0'));
    EXPECT_EQ(length, 0u);
    EXPECT_NE(WindowsGetStringRawBuffer(nullptr, nullptr), nullptr) << "the length may be omitted";
    EXPECT_EQ(WindowsGetStringLen(nullptr), 0u);
    EXPECT_TRUE(WindowsIsStringEmpty(nullptr));
    EXPECT_EQ(WindowsDeleteString(nullptr), S_OK);
    HSTRING duplicate = reinterpret_cast<HSTRING>(1);
    EXPECT_EQ(WindowsDuplicateString(nullptr, &duplicate), S_OK);
    EXPECT_EQ(duplicate, nullptr);
}

}  // namespace
