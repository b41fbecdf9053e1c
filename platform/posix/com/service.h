// The serving side of the process: one listening endpoint per resumed class,
// an I/O thread that accepts peers of this user and watches connections, and
// a pool of worker threads that carry out the calls (the multithreaded apartment).
#pragma once

#include <windows.h>

namespace pal::com {

// Publishes the class's endpoint, replacing one a stopping server left behind.
HRESULT StartListening(REFCLSID clsid) noexcept;

// Withdraws the endpoint; connections already made go on being served.
void StopListening(REFCLSID clsid) noexcept;

}  // namespace pal::com
