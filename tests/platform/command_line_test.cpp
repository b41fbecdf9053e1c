// Command lines as Windows splits them (a local server's registered command,
// CreateProcessW's command line, the line a started program is given), and
// arguments quoted so that the split gives them back.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/core/exit_status.h"
#include "platform/posix/process/command_line.h"

namespace {

std::vector<std::u16string> Split(std::u16string_view rest) {
    std::vector<std::u16string> arguments;
    for (std::u16string argument; pal::NextArgument(rest, argument);) arguments.push_back(argument);
    return arguments;
}

TEST(CommandLine, ArgumentsSplitAsWindowsSplitsThem) {
    const struct {
        std::u16string_view line;
        std::vector<std::u16string> arguments;
    } rows[] = {
        {u"  a\tb  ", {u"a", u"b"}},
        {u"\"a b\" c", {u"a b", u"c"}},
        {u"a\"b c\"d", {u"ab cd"}},
        {u"\"\" x", {u"", u"x"}},
        {u"\"a b", {u"a b"}},                       // a quote left open runs to the end
        {u"a\\\\b\\\\", {u"a\\\\b\\\\"}},           // backslashes not before a quote stay as they are
        {u"a\\\\\\\"b", {u"a\\\"b"}},               // three before a quote: one, and the quote itself
        {u"\"a\\\\\\\\\" b", {u"a\\\\", u"b"}},     // four before a quote: two, and the quote closes
        {u"\"a\"\"b\"", {u"a\"b"}},                 // a doubled quote inside quotes stands for one
    };
    for (const auto& row : rows) EXPECT_EQ(Split(row.line), row.arguments) << testing::PrintToString(std::u16string(row.line));
}

TEST(CommandLine, TheProgramNameIsTheFirstWordOrTheQuotedText) {
    const struct {
        std::u16string_view line;
        std::u16string name;
        std::u16string_view rest;
    } rows[] = {
        {u"\"C:\\Program Files\\Quill\\QuillNotification.exe\" -Embedding", u"C:\\Program Files\\Quill\\QuillNotification.exe",
         u" -Embedding"},
        {u"  /opt/quill/server\t-a b", u"/opt/quill/server", u"\t-a b"},
        {u"\"no closing quote -a", u"no closing quote -a", u""},
    };
    for (const auto& row : rows) {
        std::u16string_view rest = row.line;
        EXPECT_EQ(pal::TakeProgramName(rest), row.name) << testing::PrintToString(std::u16string(row.line));
        EXPECT_EQ(rest, row.rest);
    }
}

TEST(CommandLine, QuotedArgumentsSplitBackUnchanged) {
    for (const std::u16string argument : {u"", u"plain", u"two words", u"tab\there", u"a \"quote\"", u"ends\\",
                                          u"dir\\ with space\\", u"\\\\\"", u"line\nbreak"}) {
        const std::vector<std::u16string> expected{argument, u"next"};
        EXPECT_EQ(Split(pal::QuoteArgument(argument) + u" next"), expected) << testing::PrintToString(argument);
    }
}

}  // namespace
