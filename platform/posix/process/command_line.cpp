// Splitting of a Windows command line into a program name and UTF-8 arguments.
#include "platform/posix/process/command_line.h"

#include "platform/posix/core/exit_status.h"
#include "platform/posix/core/utf.h"

namespace pal {

std::u16string TakeProgramName(std::u16string_view& commandLine) {
    while (!commandLine.empty() && (commandLine.front() == u' ' || commandLine.front() == u'\t'))
        commandLine.remove_prefix(1);
    size_t end;
    std::u16string name;
    if (!commandLine.empty() && commandLine.front() == u'"') {
        end = commandLine.find(u'"', 1);
        name = commandLine.substr(1, end == std::u16string_view::npos ? std::u16string_view::npos : end - 1);
        end = end == std::u16string_view::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find_first_of(u" \t");
        if (end == std::u16string_view::npos) end = commandLine.size();
        name = commandLine.substr(0, end);
    }
    commandLine.remove_prefix(end);
    return name;
}

std::vector<std::string> SplitArguments(std::u16string_view arguments) {
    std::vector<std::string> split;
    std::u16string argument;
    while (NextArgument(arguments, argument)) split.push_back(ToUtf8(argument));
    return split;
}

}  // namespace pal
