// The registry update behind the registration switches: builds a registrar
// with the module's common replacements and "Module"/"Module_Raw" (the
// program's own path), then loads, expands and runs the script resource.
#pragma once

#include <windows.h>

#include "registrar/reg_object.h"

class CAtlModule;

inline constexpr WORD kRegistryScriptId = 108;

// doRegister true applies the script, false removes what it names.
HRESULT ApplyRegistryScript(CAtlModule& module, bool doRegister) noexcept;

// Adds "Module" (the program's file path in double quotes) and "Module_Raw"
// (the path alone), each with its apostrophes doubled, and leaves the path in path.
HRESULT AddModuleReplacements(CRegObject& registrar, WCHAR (&path)[MAX_PATH]) noexcept;

// Reads the script resource from the file at path (not from the running
// image), converts, expands and runs it.
HRESULT LoadScriptResource(CRegObject& registrar, LPCWSTR path, LPCWSTR type, bool doRegister) noexcept;
