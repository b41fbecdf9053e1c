// The server side of one client connection: the object references and server
// locks the client holds, and the calls it makes on them. When the connection
// ends, Rundown gives back everything the client still held.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "common/com_ptr.h"
#include "platform/posix/com/wire.h"

namespace pal::com {

class ConnectionStub {
public:
    // Carries out one request and fills the reply; false when the request is
    // malformed, and the connection is to be closed.
    bool Handle(uint16_t kind, const std::vector<uint8_t>& request, WireWriter& reply);

    void Rundown() noexcept;

private:
    struct Held {
        com_ptr<IUnknown> object;  // the interface pointer for iid, kept as its IUnknown base
        IID iid;
    };

    HRESULT Hold(com_ptr<IUnknown> object, REFIID iid, uint64_t& id);
    IUnknown* Find(uint64_t id, REFIID iid);
    void ReplyWithObject(WireWriter& reply, HRESULT hr, void* object, REFIID iid);

    bool ServeClass(WireReader& in, WireWriter& reply, bool instance);
    bool QueryInterface(WireReader& in, WireWriter& reply);
    bool Release(WireReader& in, WireWriter& reply);
    bool CreateInstance(WireReader& in, WireWriter& reply);
    bool LockServer(WireReader& in, WireWriter& reply);
    bool Activate(WireReader& in, WireWriter& reply);

    std::mutex lock_;
    std::unordered_map<uint64_t, Held> objects_;
    uint64_t nextId_ = 1;
    std::vector<com_ptr<IClassFactory>> serverLocks_;
};

// The interfaces that have proxies, and so can cross the process boundary.
bool IsRemotable(REFIID iid) noexcept;

}  // namespace pal::com
