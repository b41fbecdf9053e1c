// How a client that starts a local server learns, without polling, that the
// server serves: it hands the server the write end of a pipe (its number in
// PAL_COM_READY_FD), the server writes a byte each time it starts serving
// classes, and the client waits on the pipe and on the process together.
#pragma once

#include <windows.h>

#include <string>

#include "platform/posix/com/deadline.h"
#include "platform/posix/com/starter_ends.h"

namespace pal::com {

// Server side. Called once as the process starts, while it has one thread:
// takes the pipe from the environment (no program it starts inherits either).
void AdoptStarterReadiness() noexcept;
// Called whenever classes start being served.
void TellStarterServing() noexcept;

// Client side: one pipe per start.
class StarterReadiness {
public:
    HRESULT Create() noexcept;
    int ServerEnd() const noexcept { return ends_.Server(); }
    // The variable that tells the started server its end's number.
    static std::string ServerSetting(int number);
    // Once the server has its end, the client lets go of it (so the server's exit closes the pipe).
    void ServerStarted() noexcept { ends_.ServerStarted(); }

    enum class Event { Serving, Ended, TimedOut };
    // Waits until the server says it serves, its process ends, or the deadline.
    Event Wait(HANDLE process, const Clock::time_point& deadline) noexcept;

private:
    StarterEnds ends_;  // the client reads, the server writes
};

}  // namespace pal::com
