// Where a class's local server is registered: the command line the runtime
// starts with " -Embedding" when no server serves the class yet.
#pragma once

#include <windows.h>

#include <string>

namespace pal::com {

// HKCU's LocalServer32 default value, else the machine's, expanded when it is
// REG_EXPAND_SZ. REGDB_E_CLASSNOTREG when neither is there; a registry failure
// as its HRESULT.
HRESULT RegisteredCommandLine(REFCLSID clsid, std::u16string& commandLine);

}  // namespace pal::com
