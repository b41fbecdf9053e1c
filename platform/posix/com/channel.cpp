// Connecting, and the request/reply exchange with its checks on the reply.
// The socket is non-blocking; waits are polls on it and on the server's
// pidfd, so a server that dies wakes its clients even if something else
// still holds its end of the connection.
#include "platform/posix/com/channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/posix/com/message_io.h"

namespace pal::com {
namespace {

constexpr auto kBusyBacklogPause = std::chrono::milliseconds(5);

int WatchServerProcess(int socket) noexcept {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || credentials.pid <= 0 ||
        credentials.pid == getpid())
        return -1;
    return static_cast<int>(syscall(SYS_pidfd_open, credentials.pid, 0u));
}

}  // namespace

HRESULT Channel::Connect(const std::string& path, const Deadline& deadline, std::shared_ptr<Channel>& channel) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return CO_E_SERVER_STOPPING;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (;;) {
        const int connected = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (connected < 0) return CO_E_SERVER_STOPPING;
        if (connect(connected, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            channel = std::make_shared<Channel>(connected, WatchServerProcess(connected));
            return S_OK;
        }
        const int error = errno;
        close(connected);
        // A full backlog: the server is there but not accepting; try again until the deadline.
        if (error != EAGAIN) return CO_E_SERVER_STOPPING;
        if (MillisecondsLeft(deadline) == 0) return RPC_E_TIMEOUT;
        std::this_thread::sleep_for(kBusyBacklogPause);
    }
}

Channel::~Channel() {
    close(socket_);
    if (serverProcess_ >= 0) close(serverProcess_);
}

Channel::Wait Channel::WaitFor(short events, const Deadline& deadline) noexcept {
    for (;;) {
        pollfd watched[2] = {{socket_, events, 0}, {serverProcess_, POLLIN, 0}};
        const int result = poll(watched, serverProcess_ >= 0 ? 2 : 1, MillisecondsLeft(deadline));
        if (result < 0 && errno == EINTR) continue;
        if (result < 0) return Wait::ServerGone;
        if (result == 0) return Wait::TimedOut;
        // The socket first: a reply that came before the process ended still counts.
        if (watched[0].revents != 0) return Wait::Ready;
        return Wait::ServerGone;
    }
}

HRESULT Channel::Broken(HRESULT hr) noexcept {
    broken_ = true;
    shutdown(socket_, SHUT_RDWR);
    return hr;
}

HRESULT Channel::Call(Request kind, const WireWriter& request, std::vector<uint8_t>& reply, const Deadline& deadline) {
    if (request.Bytes().size() > kMaxPayloadBytes) return E_INVALIDARG;  // nothing sent; the channel stays good
    OutgoingMessage outgoing;
    if (!outgoing.Set(static_cast<uint16_t>(kind), request.Bytes())) return E_OUTOFMEMORY;
    std::lock_guard guard(lock_);
    if (broken_) return RPC_E_DISCONNECTED;
    for (;;) {
        const auto sent = outgoing.WriteTo(socket_);
        if (sent == OutgoingMessage::Progress::Sent) break;
        if (sent == OutgoingMessage::Progress::Failed) return Broken(RPC_E_DISCONNECTED);
        const Wait wait = WaitFor(POLLOUT, deadline);
        if (wait == Wait::TimedOut) return Broken(RPC_E_TIMEOUT);
        if (wait == Wait::ServerGone) return Broken(RPC_E_DISCONNECTED);
    }
    // A short call's reply comes sooner than a sleeping thread wakes: spin for it first.
    IncomingMessage incoming;
    auto progress = IncomingMessage::Progress::Incomplete;
    replySpin_.Spin([&] {
        progress = incoming.ReadFrom(socket_);
        return progress != IncomingMessage::Progress::Incomplete;
    });
    while (progress == IncomingMessage::Progress::Incomplete) {
        const Wait wait = WaitFor(POLLIN, deadline);
        if (wait == Wait::TimedOut) return Broken(RPC_E_TIMEOUT);
        if (wait == Wait::ServerGone) return Broken(RPC_E_DISCONNECTED);
        progress = incoming.ReadFrom(socket_);
    }
    if (progress == IncomingMessage::Progress::Malformed) return Broken(RPC_E_INVALID_DATA);
    if (progress == IncomingMessage::Progress::Closed) return Broken(RPC_E_DISCONNECTED);
    if (incoming.Kind() != (static_cast<uint16_t>(kind) | kReplyFlag)) return Broken(RPC_E_INVALID_DATA);
    reply = incoming.TakePayload();
    return S_OK;
}

HRESULT Channel::CallForObject(Request kind, const WireWriter& request, uint64_t& id, const Deadline& deadline) {
    std::vector<uint8_t> reply;
    if (const HRESULT transport = Call(kind, request, reply, deadline); FAILED(transport)) return transport;
    WireReader in(reply);
    uint32_t hr;
    if (!in.GetU32(hr) || !in.GetU64(id) || !in.AtEnd()) return RPC_E_INVALID_DATA;
    return static_cast<HRESULT>(hr);
}

HRESULT Channel::CallForResult(Request kind, const WireWriter& request, const Deadline& deadline) {
    std::vector<uint8_t> reply;
    if (const HRESULT transport = Call(kind, request, reply, deadline); FAILED(transport)) return transport;
    WireReader in(reply);
    uint32_t hr;
    if (!in.GetU32(hr) || !in.AtEnd()) return RPC_E_INVALID_DATA;
    return static_cast<HRESULT>(hr);
}

}  // namespace pal::com
