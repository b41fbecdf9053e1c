// How 32-bit Windows exit codes and command lines meet their Linux forms.
#pragma once

#include <windows.h>

#include <string>

namespace pal {

// A Linux exit status keeps 8 bits: the low byte of the code, except that a
// failure HRESULT whose low byte is 0 gives 1, so no failure reads as success.
int ExitStatusFromResult(DWORD result) noexcept;

// One argument written so that Windows' command-line splitting gives it back:
// quoted when empty or holding blanks or quotes, with backslashes doubled
// before a quote.
std::u16string QuoteArgument(const std::u16string& argument);

// Windows' command-line splitting (CommandLineToArgvW's rules for the
// arguments after the program name): takes the next argument off rest; false
// when only blanks are left.
bool NextArgument(std::u16string_view& rest, std::u16string& argument);

}  // namespace pal
