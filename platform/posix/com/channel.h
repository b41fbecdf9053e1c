// The client end of one connection to a local server. Calls on it take turns:
// one request, then its reply. Once broken, every later call fails at once.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/com/wire.h"

namespace pal::com {

class Channel {
public:
    // Connects to the endpoint; false when no server listens there.
    static bool Connect(const std::string& path, std::shared_ptr<Channel>& channel);

    explicit Channel(int socket) noexcept : socket_(socket) {}
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Sends the request and reads the reply. The HRESULT is the transport's:
    // RPC_E_DISCONNECTED when the server is gone, RPC_E_INVALID_DATA for a bad reply.
    HRESULT Call(Request kind, const WireWriter& request, std::vector<uint8_t>& reply);

    // A call whose reply is an HRESULT and, on success, an object id.
    HRESULT CallForObject(Request kind, const WireWriter& request, uint64_t& id);
    // A call whose reply is an HRESULT alone.
    HRESULT CallForResult(Request kind, const WireWriter& request);

private:
    const int socket_;
    std::mutex lock_;
    bool broken_ = false;
};

}  // namespace pal::com
