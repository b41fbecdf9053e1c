// Reaching a local server from another process: connect to the one that runs,
// or start the registered command line with " -Embedding" and wait until it
// serves the class. One start at a time per class, whoever races for it.
#pragma once

#include <windows.h>

namespace pal::com {

// A proxy for the class object of a local server (iid must have a proxy).
HRESULT GetLocalServerClassObject(REFCLSID clsid, REFIID iid, void** object);

// How long a started server may take to serve its class (30 s unless a test changes it).
void SetServerStartTimeout(DWORD milliseconds) noexcept;

}  // namespace pal::com
