// Where a class's local server is registered: the command line the runtime
// starts with " -Embedding" when no server serves the class yet.
#pragma once

#include <windows.h>

#include <string>

namespace pal::com {

// HKCU's LocalServer32 default value, else the machine's.
HRESULT RegisteredCommandLine(REFCLSID clsid, std::u16string& commandLine);

}  // namespace pal::com
