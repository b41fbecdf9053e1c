// CoGetClassObject and CoCreateInstance: a class registered in this process is
// used directly, as on Windows; otherwise a local server is reached.
#include <objbase.h>

#include <new>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "platform/posix/com/apartment.h"
#include "platform/posix/com/class_table.h"
#include "platform/posix/com/server_start.h"
#include "platform/posix/com/stub.h"

namespace {

constexpr DWORD kClassContexts = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

HRESULT GetClassObject(REFCLSID clsid, DWORD clsContext, REFIID iid, void** object) {
    com_ptr<IUnknown> registered;
    if ((clsContext & kClassContexts) != 0 && SUCCEEDED(pal::com::FindRegisteredClassObject(clsid, registered)))
        return registered->QueryInterface(iid, object);
    if ((clsContext & CLSCTX_LOCAL_SERVER) == 0) return REGDB_E_CLASSNOTREG;  // no in-process servers here
    try {
        return pal::com::GetLocalServerClassObject(clsid, iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// A new instance, made by a class object registered in this process or by the
// local server's in one round trip. Aggregation and interfaces without proxies
// take the class object's way, whose proxy refuses them as Windows does.
HRESULT CreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID iid, void** object) {
    com_ptr<IUnknown> registered;
    com_ptr<IClassFactory> factory;
    if ((clsContext & kClassContexts) != 0 && SUCCEEDED(pal::com::FindRegisteredClassObject(clsid, registered))) {
        RETURN_IF_FAILED(registered->QueryInterface(__uuidof(IClassFactory), factory.put_void()));
    } else if (outer == nullptr && (clsContext & CLSCTX_LOCAL_SERVER) != 0 && pal::com::IsRemotable(iid)) {
        try {
            return pal::com::CreateLocalServerInstance(clsid, iid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    } else {
        RETURN_IF_FAILED(GetClassObject(clsid, clsContext, __uuidof(IClassFactory), factory.put_void()));
    }
    return factory->CreateInstance(outer, iid, object);
}

}  // namespace

extern "C" HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD clsContext, LPVOID serverInfo, REFIID iid,
                                           LPVOID* object) {
    if (object == nullptr) return E_INVALIDARG;
    *object = nullptr;
    if (serverInfo != nullptr) return E_NOTIMPL;  // no remote machines
    if (!pal::com::CanUseCom()) return CO_E_NOTINITIALIZED;
    return GetClassObject(clsid, clsContext, iid, object);
}

extern "C" HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsContext, REFIID iid,
                                           LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!pal::com::CanUseCom()) return CO_E_NOTINITIALIZED;
    // A server may stop between handing out its class object and the creation; then, as
    // Windows' activation does, try again, which reaches or starts a new server. While
    // clients come and go the server may keep stopping under them: the tries go on
    // until the start time-out.
    const auto deadline = pal::com::StartDeadline();
    for (;;) {
        const HRESULT hr = CreateInstance(clsid, outer, clsContext, iid, object);
        if ((hr != CO_E_SERVER_STOPPING && hr != RPC_E_DISCONNECTED) || pal::com::Clock::now() >= deadline) return hr;
    }
}
