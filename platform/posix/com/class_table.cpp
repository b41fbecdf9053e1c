// CoRegisterClassObject and its companions. A resumed registration has a
// listening endpoint; suspension closes it. When the server count returns to
// zero every class is suspended for good, as Windows does on the way out.
// Registering or resuming a class that another live process of the prefix
// serves fails with CO_E_OBJISREG. The client that started this process is
// told as soon as a class listens, and only then do the threads that serve
// start (which takes longer than telling): its first request is waiting for them.
#include "platform/posix/com/class_table.h"

#include <mutex>
#include <string>
#include <vector>

#include "common/hresult.h"
#include "platform/posix/com/service.h"
#include "platform/posix/com/starter_readiness.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/testing/call_log.h"
#include "platform/posix/testing/fault_injection.h"

namespace pal::com {
namespace {

struct Registration {
    DWORD cookie;
    CLSID clsid;
    com_ptr<IUnknown> object;
    bool listening;
};

struct ClassTable {
    std::mutex lock;
    std::vector<Registration> registrations;
    DWORD nextCookie = 1;
    ULONG serverCount = 0;
    bool stopping = false;
};

// Never destroyed: worker threads may still look classes up while the process exits.
ClassTable& Table() {
    static ClassTable* table = new ClassTable;
    return *table;
}

Registration* FindByClass(ClassTable& table, REFCLSID clsid) {
    for (Registration& registration : table.registrations) {
        if (registration.clsid == clsid) return &registration;
    }
    return nullptr;
}

void SuspendAll(ClassTable& table) {
    for (Registration& registration : table.registrations) {
        if (registration.listening) StopListening(registration.clsid);
        registration.listening = false;
    }
}

HRESULT InjectedFailure(pal::testing::Fault fault) {
    return static_cast<HRESULT>(pal::testing::TakeInjectedFailure(fault));
}

}  // namespace

HRESULT FindRegisteredClassObject(REFCLSID clsid, com_ptr<IUnknown>& object) noexcept {
    ClassTable& table = Table();
    std::lock_guard guard(table.lock);
    const Registration* registration = FindByClass(table, clsid);
    if (registration == nullptr) return REGDB_E_CLASSNOTREG;
    object = registration->object;
    return S_OK;
}

HRESULT FindServedClassObject(REFCLSID clsid, com_ptr<IUnknown>& object) noexcept {
    ClassTable& table = Table();
    std::lock_guard guard(table.lock);
    const Registration* registration = FindByClass(table, clsid);
    if (registration == nullptr || !registration->listening || table.stopping) return CO_E_SERVER_STOPPING;
    object = registration->object;
    return S_OK;
}

bool ServerStopping() noexcept {
    ClassTable& table = Table();
    std::lock_guard guard(table.lock);
    return table.stopping;
}

void EndServing() noexcept {
    {
        ClassTable& table = Table();
        std::lock_guard guard(table.lock);
        SuspendAll(table);
    }
    // Outside the table's lock: what the connections held may call back into it as it goes.
    DrainConnections();
}

}  // namespace pal::com

using pal::com::Table;

extern "C" HRESULT WINAPI CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN object, DWORD clsContext, DWORD flags,
                                                LPDWORD cookie) {
    if (pal::testing::RecordingCalls()) {
        WCHAR classText[39] = {};
        StringFromGUID2(clsid, classText, 39);
        pal::testing::RecordCall("CoRegisterClassObject " + pal::ToUtf8(classText) + " context " +
                                 std::to_string(clsContext) + " flags " + std::to_string(flags));
    }
    if (const HRESULT injected = pal::com::InjectedFailure(pal::testing::Fault::CoRegisterClassObject)) return injected;
    if (object == nullptr || cookie == nullptr) return E_INVALIDARG;
    // Only multiple-use local servers exist here; a multiple-use local class is in-process too.
    if ((clsContext & ~DWORD{CLSCTX_INPROC_SERVER}) != CLSCTX_LOCAL_SERVER) return E_NOTIMPL;
    if ((flags & ~DWORD{REGCLS_SUSPENDED}) != REGCLS_MULTIPLEUSE) return E_NOTIMPL;

    auto& table = Table();
    std::unique_lock guard(table.lock);
    if (table.stopping) return CO_E_SERVER_STOPPING;
    if (pal::com::FindByClass(table, clsid) != nullptr) return CO_E_OBJISREG;
    const bool listening = (flags & REGCLS_SUSPENDED) == 0;
    try {
        if (listening) RETURN_IF_FAILED(pal::com::StartListening(clsid));
        table.registrations.push_back({table.nextCookie, clsid, com_ptr<IUnknown>::copy(object), listening});
    } catch (const std::bad_alloc&) {
        if (listening) pal::com::StopListening(clsid);
        return E_OUTOFMEMORY;
    }
    const DWORD registered = table.nextCookie++;
    if (!listening) {
        *cookie = registered;
        return S_OK;
    }
    pal::com::TellStarterServing();
    guard.unlock();  // the first calls need the table
    if (const HRESULT served = pal::com::StartServing(); FAILED(served)) {
        CoRevokeClassObject(registered);
        return served;
    }
    *cookie = registered;
    return S_OK;
}

extern "C" HRESULT WINAPI CoRevokeClassObject(DWORD cookie) {
    pal::testing::RecordCall("CoRevokeClassObject");
    com_ptr<IUnknown> released;  // let go outside the lock: its Release may call back into COM
    auto& table = Table();
    std::lock_guard guard(table.lock);
    for (auto it = table.registrations.begin(); it != table.registrations.end(); ++it) {
        if (it->cookie != cookie) continue;
        if (it->listening) pal::com::StopListening(it->clsid);
        released = std::move(it->object);
        table.registrations.erase(it);
        return S_OK;
    }
    return CO_E_OBJNOTREG;
}

extern "C" HRESULT WINAPI CoResumeClassObjects() {
    pal::testing::RecordCall("CoResumeClassObjects");
    if (const HRESULT injected = pal::com::InjectedFailure(pal::testing::Fault::CoResumeClassObjects)) return injected;
    auto& table = Table();
    std::unique_lock guard(table.lock);
    if (table.stopping) return CO_E_SERVER_STOPPING;
    for (auto& registration : table.registrations) {
        if (registration.listening) continue;
        RETURN_IF_FAILED(pal::com::StartListening(registration.clsid));
        registration.listening = true;
    }
    pal::com::TellStarterServing();
    guard.unlock();  // the first calls need the table
    return pal::com::StartServing();
}

extern "C" HRESULT WINAPI CoSuspendClassObjects() {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    pal::com::SuspendAll(table);
    return S_OK;
}

extern "C" ULONG WINAPI CoAddRefServerProcess() {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    return ++table.serverCount;
}

extern "C" ULONG WINAPI CoReleaseServerProcess() {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    if (table.serverCount != 0) --table.serverCount;
    if (table.serverCount == 0) {
        // From here on new activations start another server instead of reaching this one.
        table.stopping = true;
        pal::com::SuspendAll(table);
    }
    return table.serverCount;
}
