// Starts the product console that lies beside the executable.
#pragma once

#include <windows.h>

// "\QuillConsole.exe" appended to the program's directory, started with no
// arguments and not waited for. Returns CreateProcessW's result.
BOOL LaunchConsole();
