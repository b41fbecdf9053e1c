// Exit statuses and Windows command-line quoting.
#include "platform/posix/core/exit_status.h"

namespace pal {

int ExitStatusFromResult(DWORD result) noexcept {
    const int low = static_cast<int>(result & 0xFF);
    if (low == 0 && static_cast<LONG>(result) < 0) return 1;
    return low;
}

std::u16string QuoteArgument(const std::u16string& argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == std::u16string::npos) return argument;
    std::u16string quoted = u"\"";
    size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, u'\\');
    quoted += u'"';
    return quoted;
}

bool NextArgument(std::u16string_view& rest, std::u16string& argument) {
    argument.clear();
    size_t at = 0;
    while (at < rest.size() && (rest[at] == u' ' || rest[at] == u'\t')) ++at;
    const bool found = at < rest.size();
    bool quoted = false;
    while (at < rest.size() && (quoted || (rest[at] != u' ' && rest[at] != u'\t'))) {
        size_t backslashes = 0;
        while (at < rest.size() && rest[at] == u'\\') {
            ++backslashes;
            ++at;
        }
        if (at < rest.size() && rest[at] == u'"') {
            argument.append(backslashes / 2, u'\\');
            if (backslashes % 2 == 1) {
                argument += u'"';
            } else if (quoted && at + 1 < rest.size() && rest[at + 1] == u'"') {
                argument += u'"';  // "" inside quotes stands for one quote
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
        } else {
            argument.append(backslashes, u'\\');
            if (at < rest.size() && (quoted || (rest[at] != u' ' && rest[at] != u'\t'))) argument += rest[at++];
        }
    }
    rest.remove_prefix(at);
    return found;
}

}  // namespace pal
