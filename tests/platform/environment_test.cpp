// ExpandEnvironmentStringsW: %NAME% replaced as Windows replaces it, and its
// count of characters (terminator included) whether or not the buffer holds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::u16string Expanded(const std::u16string& source) {
    const DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    std::u16string text(needed, u'?');
    EXPECT_EQ(ExpandEnvironmentStringsW(source.c_str(), text.data(), needed), needed);
    EXPECT_EQ(text.back(), u'\0');
    text.pop_back();
    return text;
}

TEST(ExpandEnvironmentStrings, ReplacesSetVariablesAndLeavesTheRestAsWritten) {
    setenv("QUILL_EXPAND_A", "alpha", 1);
    setenv("QUILL_EXPAND_UTF8", "\xC3\xA9t\xC3\xA9", 1);
    unsetenv("QUILL_EXPAND_UNSET");
    const struct {
        std::u16string source;
        std::u16string expanded;
    } cases[] = {
        {u"%QUILL_EXPAND_A%", u"alpha"},
        {u"x%QUILL_EXPAND_A%y%QUILL_EXPAND_A%z", u"xalphayalphaz"},
        {u"%quill_expand_a%", u"alpha"},  // names ignore case, as on Windows
        {u"%QUILL_EXPAND_UTF8%", u"\u00e9t\u00e9"},
        {u"%QUILL_EXPAND_UNSET%\\bin", u"%QUILL_EXPAND_UNSET%\\bin"},
        {u"100% sure", u"100% sure"},
        {u"%%", u"%%"},
        {u"%QUILL_EXPAND_A", u"%QUILL_EXPAND_A"},
        {u"", u""},
    };
    for (const auto& testCase : cases) EXPECT_EQ(Expanded(testCase.source), testCase.expanded);
    unsetenv("QUILL_EXPAND_A");
    unsetenv("QUILL_EXPAND_UTF8");
}

TEST(ExpandEnvironmentStrings, CountsTheTerminatorAndWritesOnlyWhatFits) {
    setenv("QUILL_EXPAND_A", "alpha", 1);
    WCHAR buffer[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(ExpandEnvironmentStringsW(u"<%QUILL_EXPAND_A%>", buffer, 7), 8u) << "one short";
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(ExpandEnvironmentStringsW(u"<%QUILL_EXPAND_A%>", buffer, 8), 8u);
    EXPECT_EQ(std::u16string(buffer), u"<alpha>");
    SetLastError(0);
    EXPECT_EQ(ExpandEnvironmentStringsW(nullptr, buffer, 8), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    unsetenv("QUILL_EXPAND_A");
}

}  // namespace
