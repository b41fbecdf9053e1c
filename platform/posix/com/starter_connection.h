// The connection a client that starts a local server makes for its first
// request: one end of a connected socket pair is handed to the server (its
// number in PAL_COM_FIRST_CONNECTION_FD), and the client sends its request on
// the other end at once, so that the request is waiting when the server first
// serves, with no connect and accept between the two. The server serves it as
// any client's connection from then on.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/posix/com/channel.h"
#include "platform/posix/com/starter_ends.h"

namespace pal::com {

// Server side. Called once as the process starts, while it has one thread:
// takes the connection from the environment if it is a stream socket (no
// program it starts inherits either). Its peer is checked as every
// connection's is, when the service adds it.
void AdoptStarterConnection() noexcept;
// The adopted connection, to the first caller only; -1 when there is none.
int TakeStarterConnection() noexcept;

// Client side: one socket pair per start.
class StarterConnection {
public:
    HRESULT Create() noexcept;
    int ServerEnd() const noexcept { return ends_.Server(); }
    // The variable that tells the started server its end's number.
    static std::string ServerSetting(int number);
    // Once the server has its end, the client lets go of it (so the server's exit closes the connection).
    void ServerStarted() noexcept { ends_.ServerStarted(); }
    // The client's end as a channel to the started process, watched through
    // a copy of its process descriptor; null without memory.
    std::shared_ptr<Channel> TakeChannel(HANDLE process) noexcept;

private:
    StarterEnds ends_;
};

}  // namespace pal::com
