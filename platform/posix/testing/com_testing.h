// Test-only control of the COM runtime: a shorter wait for a started server,
// and where a class's endpoint lies, so tests can talk to it at the socket level.
#pragma once

#include <windows.h>

#include <string>

namespace pal::testing {

// The longest wait for a started local server to serve its class (30 s by default).
void SetServerStartTimeout(DWORD milliseconds) noexcept;

// The longest time this process's servers give one message, in or out (10 s by default).
void SetMessageDeadline(DWORD milliseconds) noexcept;

// The endpoint directory of the current prefix; empty when there is none now.
std::string ComEndpointDirectory();

// The Unix socket path of the class in the current prefix.
std::string ComEndpointPath(REFCLSID clsid);

}  // namespace pal::testing

namespace pal::testing {

// The class object of clsid as another process gets it: through the class's
// endpoint, even when this process registered the class itself.
HRESULT GetClassObjectThroughEndpoint(REFCLSID clsid, REFIID iid, void** object);

}  // namespace pal::testing
