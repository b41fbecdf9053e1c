// The system DLLs the program looks into by name, and what each exports.
#pragma once

#include <windows.h>

namespace pal {

// The handle of a known system DLL ("Advapi32.dll", any letter case), or null.
HMODULE FindSystemModule(LPCWSTR moduleName) noexcept;

// The named export of a module from FindSystemModule, or null.
FARPROC FindExport(HMODULE module, LPCSTR procName) noexcept;

}  // namespace pal
