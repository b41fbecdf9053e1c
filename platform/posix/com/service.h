// The serving side of the process: one listening endpoint per resumed class,
// an I/O thread that accepts peers of this user and assembles their messages,
// and a pool of worker threads that carry out complete calls (the
// multithreaded apartment).
#pragma once

#include <windows.h>

namespace pal::com {

// Publishes the class's endpoint, replacing a socket its dead server left
// behind; CO_E_OBJISREG while a live server of the prefix serves the class.
// Nothing is served until StartServing.
HRESULT StartListening(REFCLSID clsid) noexcept;

// Serves what listens, and the connection of the client that started this
// process (adopted the first time): starts the first threads if they have not
// started yet. Called once that client has been told that classes are served,
// so that starting threads does not delay telling it.
HRESULT StartServing() noexcept;

// Withdraws the endpoint; connections already made go on being served. The
// last endpoint withdrawn tidies the endpoint directory.
void StopListening(REFCLSID clsid) noexcept;

// Closes every connection once its call in flight has finished, and returns
// when no worker runs anything of the process any more. The endpoints must be
// withdrawn first. Does nothing on a worker thread (it cannot wait for itself).
void DrainConnections() noexcept;

// How long one message may take from its first byte to its last, either way
// (10 s unless a test changes it). A peer slower than that loses its connection.
void SetMessageDeadline(DWORD milliseconds) noexcept;

}  // namespace pal::com
