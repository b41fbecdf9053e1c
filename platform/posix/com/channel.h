// The client end of one connection to a local server. Calls on it take turns:
// one request, then its reply. Once broken, every later call fails at once.
// A call waits for its reply until its deadline, or, without one, for as long
// as the server lives: its process exists and the connection is open.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/com/deadline.h"
#include "platform/posix/com/spin_before_sleep.h"
#include "platform/posix/com/wire.h"

namespace pal::com {

class Channel {
public:
    // Connects to the endpoint: S_OK, CO_E_SERVER_STOPPING when no server
    // listens there, RPC_E_TIMEOUT when its backlog stays full until the deadline.
    static HRESULT Connect(const std::string& path, const Deadline& deadline, std::shared_ptr<Channel>& channel);

    Channel(int socket, int serverProcess) noexcept : socket_(socket), serverProcess_(serverProcess) {}
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Sends the request and reads the reply. The HRESULT is the transport's:
    // RPC_E_DISCONNECTED when the server is gone, RPC_E_INVALID_DATA for a bad
    // reply, RPC_E_TIMEOUT when the deadline passed first.
    HRESULT Call(Request kind, const WireWriter& request, std::vector<uint8_t>& reply, const Deadline& deadline);

    // A call whose reply is an HRESULT and, on success, an object id.
    HRESULT CallForObject(Request kind, const WireWriter& request, uint64_t& id, const Deadline& deadline);
    // A call whose reply is an HRESULT alone.
    HRESULT CallForResult(Request kind, const WireWriter& request, const Deadline& deadline);

private:
    // Long enough for a call that does little, or commits a row to a database, to be
    // answered even when the machine is busy; a few times what waking a thread on
    // another processor takes on a virtual machine.
    static constexpr std::chrono::microseconds kReplySpin{100};

    enum class Wait { Ready, TimedOut, ServerGone };
    Wait WaitFor(short events, const Deadline& deadline) noexcept;
    HRESULT Broken(HRESULT hr) noexcept;

    const int socket_;
    const int serverProcess_;  // a pidfd of the server, or -1 when it is this process or cannot be watched
    std::mutex lock_;
    bool broken_ = false;
    SpinBeforeSleep replySpin_{kReplySpin};
};

}  // namespace pal::com
