// The string table as built into the executable's resources: every id of every
// language read with the explicit language, and nothing but ids 101 to 107.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/notify/expected_strings.h"

#include <string>

namespace {

// The counted entries of one string block, in order.
std::array<std::u16string, 16> EntriesOf(HRSRC block) {
    std::array<std::u16string, 16> entries;
    const auto* units = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, block)));
    const DWORD count = SizeofResource(nullptr, block) / sizeof(WCHAR);
    DWORD at = 0;
    for (std::u16string& entry : entries) {
        if (at >= count) break;
        entry.assign(units + at + 1, units[at]);
        at += 1 + units[at];
    }
    EXPECT_EQ(at, count) << "a block holds exactly 16 counted entries";
    return entries;
}

class StringTable : public testing::TestWithParam<LanguageColumn> {};

TEST_P(StringTable, BlockSevenHoldsIds101To107AndNothingElse) {
    const LanguageColumn& column = GetParam();
    HRSRC block = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(101 / 16 + 1), column.language);
    ASSERT_NE(block, nullptr) << "language " << column.language << " error " << GetLastError();
    const auto entries = EntriesOf(block);
    for (UINT id = 96; id < 112; ++id) {
        const std::u16string expected = id >= 101 && id <= 107 ? column.texts[id - 101] : u"";
        EXPECT_EQ(entries[id % 16], expected) << "id " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, StringTable, testing::ValuesIn(ExpectedColumns()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StringTable, HasNoNeutralAndNoUsEnglishEntries) {
    for (WORD language : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL),
                          MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT)}) {
        EXPECT_EQ(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(7), language), nullptr) << language;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
    }
    EXPECT_EQ(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(8), 2057), nullptr) << "only block 7 exists";
}

}  // namespace
