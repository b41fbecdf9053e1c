// The proxies of IUnknown, IClassFactory and INotificationActivationCallback.
// Arguments are marshalled by value; null texts and a null input array stay
// null on the other side. QueryInterface asks the real object, so a proxy
// answers only what the object gives.
#include "platform/posix/com/proxy.h"

#include <notification_platform.h>

#include <atomic>
#include <new>

#include "platform/posix/com/server_start.h"
#include "platform/posix/com/stub.h"

namespace pal::com {
namespace {

HRESULT MakeProxy(const std::shared_ptr<Channel>& channel, uint64_t id, REFIID iid, void** object);

// A call whose reply hands out an object as iid: the request ends with that IID.
HRESULT CallForProxy(const std::shared_ptr<Channel>& channel, Request kind, WireWriter& request, REFIID iid,
                     void** object, const Deadline& deadline) {
    request.PutGuid(iid);
    uint64_t id = 0;
    const HRESULT hr = channel->CallForObject(kind, request, id, deadline);
    return SUCCEEDED(hr) ? MakeProxy(channel, id, iid, object) : hr;
}

// A request about a class whose reply hands out an object as iid.
HRESULT CallForObjectOfClass(const std::shared_ptr<Channel>& channel, Request kind, REFCLSID clsid, REFIID iid,
                             void** object, const Deadline& deadline) {
    if (!IsRemotable(iid)) return E_NOINTERFACE;
    WireWriter request;
    request.PutGuid(clsid);
    return CallForProxy(channel, kind, request, iid, object, deadline);
}

template <class Interface> class Proxy : public Interface {
public:
    using Exposed = Interface;
    Proxy(std::shared_ptr<Channel> channel, uint64_t id) noexcept : channel_(std::move(channel)), id_(id) {}
    virtual ~Proxy() {
        WireWriter request;
        request.PutU64(id_);
        // A server already gone has let go anyway; a hung one is not waited for past the time-out.
        channel_->CallForResult(Request::Release, request, StartDeadline());
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            AddRef();
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        if (!IsRemotable(iid)) return E_NOINTERFACE;
        return CallAtBoundary([&] {
            WireWriter request;
            request.PutU64(id_);
            return CallForProxy(channel_, Request::QueryInterface, request, iid, object, StartDeadline());
        });
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

protected:
    template <class Body> static HRESULT CallAtBoundary(Body&& body) noexcept {
        try {
            return body();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    const std::shared_ptr<Channel> channel_;
    const uint64_t id_;

private:
    std::atomic<ULONG> references_{1};
};

class UnknownProxy final : public Proxy<IUnknown> {
    using Proxy::Proxy;
};

class ClassFactoryProxy final : public Proxy<IClassFactory> {
public:
    using Proxy::Proxy;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;  // aggregation cannot span processes
        if (!IsRemotable(iid)) return E_NOINTERFACE;
        return CallAtBoundary([&] {
            WireWriter request;
            request.PutU64(id_);
            return CallForProxy(channel_, Request::CreateInstance, request, iid, object, StartDeadline());
        });
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        return CallAtBoundary([&] {
            WireWriter request;
            request.PutU64(id_);
            request.PutU32(lock ? 1 : 0);
            return channel_->CallForResult(Request::LockServer, request, StartDeadline());
        });
    }
};

class ActivationCallbackProxy final : public Proxy<winsdk::INotificationActivationCallback> {
public:
    using Proxy::Proxy;

    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR appUserModelId, LPCWSTR invokedArgs,
                                       const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) override {
        return CallAtBoundary([&] {
            WireWriter request;
            request.PutU64(id_);
            request.PutText(appUserModelId);
            request.PutText(invokedArgs);
            request.PutU32(count);
            request.PutU32(data != nullptr ? 1 : 0);
            for (ULONG i = 0; data != nullptr && i < count; ++i) {
                request.PutText(data[i].Key);
                request.PutText(data[i].Value);
                if (request.Bytes().size() > kMaxPayloadBytes) break;  // refused whole below
            }
            return channel_->CallForResult(Request::Activate, request, Deadline{});
        });
    }
};

template <class P> HRESULT Wrap(const std::shared_ptr<Channel>& channel, uint64_t id, void** object) {
    auto* proxy = new (std::nothrow) P(channel, id);
    if (proxy == nullptr) return E_OUTOFMEMORY;
    *object = static_cast<typename P::Exposed*>(proxy);
    return S_OK;
}

HRESULT MakeProxy(const std::shared_ptr<Channel>& channel, uint64_t id, REFIID iid, void** object) {
    if (iid == __uuidof(IClassFactory)) return Wrap<ClassFactoryProxy>(channel, id, object);
    if (iid == __uuidof(winsdk::INotificationActivationCallback)) return Wrap<ActivationCallbackProxy>(channel, id, object);
    return Wrap<UnknownProxy>(channel, id, object);
}

}  // namespace

HRESULT GetRemoteClassObject(const std::shared_ptr<Channel>& channel, REFCLSID clsid, REFIID iid, void** object,
                             const Deadline& deadline) {
    return CallForObjectOfClass(channel, Request::GetClassObject, clsid, iid, object, deadline);
}

HRESULT CreateRemoteInstance(const std::shared_ptr<Channel>& channel, REFCLSID clsid, REFIID iid, void** object,
                             const Deadline& deadline) {
    return CallForObjectOfClass(channel, Request::CreateClassInstance, clsid, iid, object, deadline);
}

}  // namespace pal::com
