// Module handles of the platform: the executable's own handle and the table of
// functions that GetProcAddress can find by module and name.
#pragma once

#include <windows.h>

#include <string>

namespace pal {

// The handle of the executable itself, as GetModuleHandleW(nullptr) gives it.
HMODULE ExecutableModule() noexcept;

// The executable's absolute path in UTF-8, read once.
const std::string& ExecutablePath();

}  // namespace pal
