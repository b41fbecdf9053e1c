// Connecting, and the request/reply exchange with its checks on the reply.
#include "platform/posix/com/channel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace pal::com {

bool Channel::Connect(const std::string& path, std::shared_ptr<Channel>& channel) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int connected = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connected < 0) return false;
    if (connect(connected, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(connected);
        return false;
    }
    channel = std::make_shared<Channel>(connected);
    return true;
}

Channel::~Channel() { close(socket_); }

HRESULT Channel::Call(Request kind, const WireWriter& request, std::vector<uint8_t>& reply) {
    if (request.Bytes().size() > kMaxPayloadBytes) return E_INVALIDARG;  // nothing sent; the channel stays good
    std::lock_guard guard(lock_);
    if (broken_) return RPC_E_DISCONNECTED;
    uint16_t replyKind = 0;
    if (!SendMessage(socket_, static_cast<uint16_t>(kind), request.Bytes())) {
        broken_ = true;
        return RPC_E_DISCONNECTED;
    }
    switch (ReceiveMessage(socket_, replyKind, reply)) {
    case Received::Message:
        if (replyKind == (static_cast<uint16_t>(kind) | kReplyFlag)) return S_OK;
        [[fallthrough]];
    case Received::Malformed:
        broken_ = true;
        shutdown(socket_, SHUT_RDWR);
        return RPC_E_INVALID_DATA;
    case Received::Closed:
        break;
    }
    broken_ = true;
    return RPC_E_DISCONNECTED;
}

HRESULT Channel::CallForObject(Request kind, const WireWriter& request, uint64_t& id) {
    std::vector<uint8_t> reply;
    if (const HRESULT transport = Call(kind, request, reply); FAILED(transport)) return transport;
    WireReader in(reply);
    uint32_t hr;
    if (!in.GetU32(hr) || !in.GetU64(id) || !in.AtEnd()) return RPC_E_INVALID_DATA;
    return static_cast<HRESULT>(hr);
}

HRESULT Channel::CallForResult(Request kind, const WireWriter& request) {
    std::vector<uint8_t> reply;
    if (const HRESULT transport = Call(kind, request, reply); FAILED(transport)) return transport;
    WireReader in(reply);
    uint32_t hr;
    if (!in.GetU32(hr) || !in.AtEnd()) return RPC_E_INVALID_DATA;
    return static_cast<HRESULT>(hr);
}

}  // namespace pal::com
