// The program name at the head of a Windows command line: a quoted name runs to
// the next quote, an unquoted one to the first blank. Used by CreateProcessW
// and by the start of a registered local server.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pal {

// Takes the program name off the front of commandLine and returns it.
std::u16string TakeProgramName(std::u16string_view& commandLine);

// The remaining arguments, split by Windows' rules.
std::vector<std::string> SplitArguments(std::u16string_view arguments);

}  // namespace pal
