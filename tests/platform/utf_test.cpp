// The platform's conversions between UTF-16 and UTF-8 never fail: what is not
// a character (unpaired surrogates, overlong or out-of-range sequences, cut
// sequences) becomes U+FFFD, one for each unit or byte that could not be read.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/posix/core/utf.h"

namespace {

using namespace std::string_literals;

TEST(Utf, SixteenToEightKeepsCharactersAndReplacesUnpairedSurrogates) {
    const struct {
        std::u16string from;
        std::string to;
    } rows[] = {
        {u"a\u00E9\u20AC", "a\xC3\xA9\xE2\x82\xAC"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {u"\xD83D", "\xEF\xBF\xBD"},
        {u"\xD83Dx", "\xEF\xBF\xBDx"},
        {u"\xDE00", "\xEF\xBF\xBD"},
        {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {u"a\0b"s, "a\0b"s},
    };
    for (const auto& row : rows) EXPECT_EQ(pal::ToUtf8(row.from), row.to) << testing::PrintToString(row.to);
}

TEST(Utf, EightToSixteenReplacesEachByteThatIsNoCharacter) {
    const struct {
        std::string from;
        std::u16string to;
    } rows[] = {
        {"a\xC3\xA9\xE2\x82\xAC", u"a\u00E9\u20AC"},
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},             // overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},    // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xE2\x82", u"\uFFFD\uFFFD"},              // cut short
        {"\xC3(", u"\uFFFD("},                      // not continued
    };
    for (const auto& row : rows) EXPECT_EQ(pal::FromUtf8(row.from), row.to) << testing::PrintToString(row.from);
    // The text ends where its view ends, whatever byte lies beyond.
    const std::string euro = "\xE2\x82\xAC";
    EXPECT_EQ(pal::FromUtf8(std::string_view(euro.data(), 2)), u"\uFFFD\uFFFD");
}

}  // namespace
