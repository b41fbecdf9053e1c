// Reaching a local server from another process: connect to the one that runs,
// or start the registered command line with " -Embedding" and wait until it
// serves the class. One start at a time per class, whoever races for it.
#pragma once

#include <windows.h>

#include "platform/posix/com/deadline.h"

namespace pal::com {

// A proxy for the class object of a local server (iid must have a proxy).
HRESULT GetLocalServerClassObject(REFCLSID clsid, REFIID iid, void** object);

// A proxy for a new instance of the class, made by its class object in the
// server (iid must have a proxy): one round trip where the class object's
// proxy would take three (get it, create, release it).
HRESULT CreateLocalServerInstance(REFCLSID clsid, REFIID iid, void** object);

// How long a started server may take to serve its class (30 s unless a test
// changes it); every call made while activating ends within it too.
void SetServerStartTimeout(DWORD milliseconds) noexcept;

// Now plus the start time-out.
Clock::time_point StartDeadline() noexcept;

}  // namespace pal::com
