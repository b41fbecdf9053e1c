// Contract tests of the registry's value calls, written only against the Win32
// names: every type read back byte for byte, sizes, short buffers, deletion,
// enumeration and names that keep their case.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_any.h"
#include "tests/support/known_wine_differences.h"
#include "tests/support/prefix_fixture.h"

namespace {

using Bytes = std::vector<BYTE>;

class RegistryValues : public TemporaryPrefixTest {
protected:
    void SetUp() override {
        TemporaryPrefixTest::SetUp();
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Values"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
    HKEY Key() const { return key_.get(); }
    LSTATUS Set(const WCHAR* name, DWORD type, const Bytes& data) {
        return RegSetValueExW(Key(), name, 0, type, data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
    }

private:
    unique_hkey key_;
};

template <class T> Bytes BytesOf(const T* units, size_t count) {
    const BYTE* first = reinterpret_cast<const BYTE*>(units);
    return Bytes(first, first + count * sizeof(T));
}

// A text's units with its terminator; embedded NULs count when given as a view.
Bytes TextBytes(std::basic_string_view<WCHAR> text) {
    std::basic_string<WCHAR> terminated(text);
    return BytesOf(terminated.c_str(), terminated.size() + 1);
}

struct TypedData {
    const WCHAR* name;
    DWORD type;
    Bytes data;
};

TEST_F(RegistryValues, EveryTypeComesBackByteForByte) {
    const DWORD dword = 0x01020304;
    const ULONGLONG qword = 0x1122334455667788ull;
    std::vector<BYTE> large(100000);
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<BYTE>(i * 7);
    const std::vector<TypedData> cases = {
        {TEXT("text"), REG_SZ, TextBytes(TEXT("caf\u00e9 \U0001F600"))},
        {TEXT("expand"), REG_EXPAND_SZ, TextBytes(TEXT("%TEMP%\\x"))},
        {TEXT("binary"), REG_BINARY, {0x00, 0xFF, 0x00, 0x7F, 0x80}},
        {TEXT("dword"), REG_DWORD, BytesOf(&dword, 1)},
        {TEXT("qword"), REG_QWORD, BytesOf(&qword, 1)},
        {TEXT("multi"), REG_MULTI_SZ, TextBytes(std::basic_string_view<WCHAR>(TEXT("one\0two\0"), 8))},
        {TEXT("none"), REG_NONE, {}},
        {TEXT("odd"), 0x100, {1, 2, 3}},
        {TEXT("large"), REG_BINARY, large},
    };
    for (const TypedData& value : cases) ASSERT_EQ(Set(value.name, value.type, value.data), ERROR_SUCCESS) << "case " << &value - cases.data();
    for (const TypedData& value : cases) {
        DWORD type = 0xDEAD, size = 0;
        ASSERT_EQ(RegQueryValueExW(Key(), value.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, value.type);
        ASSERT_EQ(size, value.data.size());
        Bytes read(size + 1, 0xCC);
        ASSERT_EQ(RegQueryValueExW(Key(), value.name, nullptr, &type, read.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(read.back(), 0xCC) << "nothing written past the data";
        read.pop_back();
        EXPECT_EQ(read, value.data) << "case " << &value - cases.data();
    }
}

// The data of a text value is kept as given, terminated or not.
TEST_F(RegistryValues, AnUnterminatedTextComesBackAsStored) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kUnterminatedTextValueGrows);
    const Bytes unterminated = BytesOf(TEXT("abc"), 3);
    ASSERT_EQ(Set(TEXT("unterminated"), REG_SZ, unterminated), ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(Key(), TEXT("unterminated"), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    Bytes read(size);
    ASSERT_EQ(RegQueryValueExW(Key(), TEXT("unterminated"), nullptr, nullptr, read.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, unterminated);
}

TEST_F(RegistryValues, ShortBuffersGetTheNeededSizeAndMissingValuesAreNotFound) {
    ASSERT_EQ(Set(TEXT("v"), REG_BINARY, {1, 2, 3, 4, 5, 6}), ERROR_SUCCESS);
    BYTE buffer[5] = {9, 9, 9, 9, 9};  // one byte short
    DWORD size = sizeof(buffer), type = 0;
    EXPECT_EQ(RegQueryValueExW(Key(), TEXT("v"), nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(RegQueryValueExW(Key(), TEXT("v"), nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(Key(), TEXT("missing"), nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(Key(), TEXT("v"), nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS) << "existence only";
    EXPECT_EQ(RegSetValueExW(Key(), TEXT("v"), 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
}

TEST_F(RegistryValues, RefusesAReservedArgumentThatIsNotZero) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kReservedArgumentIgnored);
    const BYTE data[4] = {};
    EXPECT_EQ(RegSetValueExW(Key(), TEXT("v"), 1, REG_BINARY, data, 4), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryValues, DefaultValueHasNoNameAndDeletionIsReported) {
    ASSERT_EQ(Set(nullptr, REG_SZ, TextBytes(TEXT("default"))), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(Key(), TEXT(""), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(RegDeleteValueW(Key(), TEXT("")), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(Key(), nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(Key(), nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, NamesMatchWhateverTheCaseAndAnOverwriteKeepsTheFirstSpelling) {
    ASSERT_EQ(Set(TEXT("ShowWarning"), REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(TEXT("SHOWWARNING"), REG_DWORD, {0, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(TEXT("second"), REG_SZ, {}), ERROR_SUCCESS);
    DWORD value = 7, size = 4;
    EXPECT_EQ(RegQueryValueExW(Key(), TEXT("showwarning"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 0u);

    // Windows gives values in no promised order: each is found by its name.
    std::map<std::basic_string<WCHAR>, std::pair<DWORD, DWORD>> enumerated;  // name: index, type
    WCHAR name[32];
    DWORD nameLength = 32;
    DWORD type = 0;
    for (DWORD index = 0; index < 2; ++index) {
        nameLength = 32;
        EXPECT_EQ(RegEnumValueW(Key(), index, name, &nameLength, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
        enumerated[std::basic_string<WCHAR>(name, nameLength)] = {index, type};
    }
    ASSERT_EQ(enumerated.size(), 2u);
    ASSERT_EQ(enumerated.count(TEXT("ShowWarning")), 1u) << "the first spelling";
    ASSERT_EQ(enumerated.count(TEXT("second")), 1u);
    EXPECT_EQ(enumerated[TEXT("ShowWarning")].second, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(enumerated[TEXT("second")].second, static_cast<DWORD>(REG_SZ));
    nameLength = 32;
    EXPECT_EQ(RegEnumValueW(Key(), 2, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    nameLength = 6;  // "second" needs 7 with its terminator
    EXPECT_EQ(RegEnumValueW(Key(), enumerated[TEXT("second")].first, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);

    nameLength = 32;
    size = 2;
    EXPECT_EQ(RegEnumValueW(Key(), enumerated[TEXT("ShowWarning")].first, name, &nameLength, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(&value), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);

    DWORD values = 0, longestName = 0, largest = 0;
    EXPECT_EQ(RegQueryInfoKeyW(Key(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName, &largest,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(longestName, 11u);
    EXPECT_EQ(largest, 4u);
}

}  // namespace
