// Request decoding and dispatch onto the real objects. Every request must be
// consumed exactly; anything left over or missing marks the message malformed.
#include "platform/posix/com/stub.h"

#include <notification_platform.h>

#include <optional>
#include <string>

#include "platform/posix/com/class_table.h"

namespace pal::com {
namespace {

const WCHAR* TextPointer(const std::optional<std::u16string>& text) { return text ? text->c_str() : nullptr; }

// An object of the factory's class, made for a client as iid.
HRESULT MakeInstance(IClassFactory* factory, REFIID iid, void** object) {
    HRESULT hr = IsRemotable(iid) ? factory->CreateInstance(nullptr, iid, object) : E_NOINTERFACE;
    // The count may have returned to zero while the object was being made, and
    // then the process ends whatever the object holds. Stopping never reverts,
    // so a server not stopping now is kept alive by this object; otherwise the
    // client is told to start another server, as a suspended class would.
    if (SUCCEEDED(hr) && ServerStopping()) {
        static_cast<IUnknown*>(*object)->Release();
        *object = nullptr;
        hr = CO_E_SERVER_STOPPING;
    }
    return hr;
}

}  // namespace

bool IsRemotable(REFIID iid) noexcept {
    return iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory) ||
           iid == __uuidof(winsdk::INotificationActivationCallback);
}

HRESULT ConnectionStub::Hold(com_ptr<IUnknown> object, REFIID iid, uint64_t& id) {
    std::lock_guard guard(lock_);
    id = nextId_++;
    objects_.emplace(id, Held{std::move(object), iid});
    return S_OK;
}

IUnknown* ConnectionStub::Find(uint64_t id, REFIID iid) {
    std::lock_guard guard(lock_);
    const auto found = objects_.find(id);
    // A reference is used only as the interface it was handed out for.
    if (found == objects_.end() || found->second.iid != iid) return nullptr;
    return found->second.object.get();
}

void ConnectionStub::ReplyWithObject(WireWriter& reply, HRESULT hr, void* object, REFIID iid) {
    uint64_t id = 0;
    if (SUCCEEDED(hr)) hr = Hold(com_ptr<IUnknown>::attach(static_cast<IUnknown*>(object)), iid, id);
    reply.PutU32(static_cast<uint32_t>(hr));
    reply.PutU64(SUCCEEDED(hr) ? id : 0);
}

// The class object as iid, or (instance) a new instance as iid that it makes
// here: CoCreateInstance in one round trip, as Windows' activation has the
// server's class object make it.
bool ConnectionStub::ServeClass(WireReader& in, WireWriter& reply, bool instance) {
    CLSID clsid;
    IID iid;
    if (!in.GetGuid(clsid) || !in.GetGuid(iid) || !in.AtEnd()) return false;
    com_ptr<IUnknown> classObject;
    HRESULT hr = IsRemotable(iid) ? FindServedClassObject(clsid, classObject) : E_NOINTERFACE;
    void* object = nullptr;
    com_ptr<IClassFactory> factory;
    if (SUCCEEDED(hr) && !instance) hr = classObject->QueryInterface(iid, &object);
    if (SUCCEEDED(hr) && instance) hr = classObject.query(factory);
    if (SUCCEEDED(hr) && instance) hr = MakeInstance(factory.get(), iid, &object);
    ReplyWithObject(reply, hr, object, iid);
    return true;
}

bool ConnectionStub::QueryInterface(WireReader& in, WireWriter& reply) {
    uint64_t id;
    IID iid;
    if (!in.GetU64(id) || !in.GetGuid(iid) || !in.AtEnd()) return false;
    IUnknown* held = Find(id, __uuidof(IUnknown));
    if (held == nullptr) held = Find(id, __uuidof(IClassFactory));
    if (held == nullptr) held = Find(id, __uuidof(winsdk::INotificationActivationCallback));
    if (held == nullptr) return false;
    void* object = nullptr;
    const HRESULT hr = IsRemotable(iid) ? held->QueryInterface(iid, &object) : E_NOINTERFACE;
    ReplyWithObject(reply, hr, object, iid);
    return true;
}

bool ConnectionStub::Release(WireReader& in, WireWriter& reply) {
    uint64_t id;
    if (!in.GetU64(id) || !in.AtEnd()) return false;
    com_ptr<IUnknown> released;  // its Release runs outside the lock
    {
        std::lock_guard guard(lock_);
        const auto found = objects_.find(id);
        if (found == objects_.end()) return false;
        released = std::move(found->second.object);
        objects_.erase(found);
    }
    released.reset();
    reply.PutU32(static_cast<uint32_t>(S_OK));
    return true;
}

bool ConnectionStub::CreateInstance(WireReader& in, WireWriter& reply) {
    uint64_t id;
    IID iid;
    if (!in.GetU64(id) || !in.GetGuid(iid) || !in.AtEnd()) return false;
    auto* factory = static_cast<IClassFactory*>(Find(id, __uuidof(IClassFactory)));
    if (factory == nullptr) return false;
    void* object = nullptr;
    const HRESULT hr = MakeInstance(factory, iid, &object);
    ReplyWithObject(reply, hr, object, iid);
    return true;
}

bool ConnectionStub::LockServer(WireReader& in, WireWriter& reply) {
    uint64_t id;
    uint32_t lock;
    if (!in.GetU64(id) || !in.GetU32(lock) || !in.AtEnd()) return false;
    auto* factory = static_cast<IClassFactory*>(Find(id, __uuidof(IClassFactory)));
    if (factory == nullptr) return false;
    HRESULT hr = S_OK;
    if (lock != 0) {
        hr = factory->LockServer(TRUE);
        if (SUCCEEDED(hr)) {
            std::lock_guard guard(lock_);
            serverLocks_.push_back(com_ptr<IClassFactory>::copy(factory));
        }
    } else {
        // A client gives back only locks it took, so it cannot end a server others hold.
        com_ptr<IClassFactory> taken;
        {
            std::lock_guard guard(lock_);
            if (!serverLocks_.empty()) {
                taken = std::move(serverLocks_.back());
                serverLocks_.pop_back();
            }
        }
        if (taken) hr = taken->LockServer(FALSE);
    }
    reply.PutU32(static_cast<uint32_t>(hr));
    return true;
}

bool ConnectionStub::Activate(WireReader& in, WireWriter& reply) {
    uint64_t id;
    std::optional<std::u16string> appUserModelId, invokedArgs;
    uint32_t count, hasData;
    if (!in.GetU64(id) || !in.GetText(appUserModelId) || !in.GetText(invokedArgs) || !in.GetU32(count) ||
        !in.GetU32(hasData) || hasData > 1)
        return false;
    // Each entry takes at least two length words, so the count cannot promise more than is left.
    if (hasData != 0 && count > in.Remaining() / 8) return false;
    std::vector<std::optional<std::u16string>> texts(hasData != 0 ? size_t{count} * 2 : 0);
    for (auto& text : texts) {
        if (!in.GetText(text)) return false;
    }
    if (!in.AtEnd()) return false;
    auto* callback = static_cast<winsdk::INotificationActivationCallback*>(
        Find(id, __uuidof(winsdk::INotificationActivationCallback)));
    if (callback == nullptr) return false;

    std::vector<winsdk::NOTIFICATION_USER_INPUT_DATA> inputs(texts.size() / 2);
    for (size_t i = 0; i < inputs.size(); ++i) inputs[i] = {TextPointer(texts[2 * i]), TextPointer(texts[2 * i + 1])};
    // An empty array the caller passed stays a non-null pointer, as it was.
    static const winsdk::NOTIFICATION_USER_INPUT_DATA kNoInputs{};
    const winsdk::NOTIFICATION_USER_INPUT_DATA* data = inputs.empty() ? &kNoInputs : inputs.data();
    const HRESULT hr = callback->Activate(TextPointer(appUserModelId), TextPointer(invokedArgs),
                                          hasData != 0 ? data : nullptr, count);
    reply.PutU32(static_cast<uint32_t>(hr));
    return true;
}

bool ConnectionStub::Handle(uint16_t kind, const std::vector<uint8_t>& request, WireWriter& reply) {
    WireReader in(request);
    switch (static_cast<Request>(kind)) {
    case Request::GetClassObject: return ServeClass(in, reply, false);
    case Request::QueryInterface: return QueryInterface(in, reply);
    case Request::Release: return Release(in, reply);
    case Request::CreateInstance: return CreateInstance(in, reply);
    case Request::LockServer: return LockServer(in, reply);
    case Request::Activate: return Activate(in, reply);
    case Request::CreateClassInstance: return ServeClass(in, reply, true);
    }
    return false;
}

void ConnectionStub::Rundown() noexcept {
    std::unordered_map<uint64_t, Held> objects;
    std::vector<com_ptr<IClassFactory>> locks;
    {
        std::lock_guard guard(lock_);
        objects.swap(objects_);
        locks.swap(serverLocks_);
    }
    for (auto& factory : locks) factory->LockServer(FALSE);
    // The objects' references go when the map does, outside the lock.
}

}  // namespace pal::com
