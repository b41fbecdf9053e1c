// The server path of the entry point. Two choices where the flow leaves room:
// a release event that cannot be created ends the start with the creation's
// failure code (the wait could never end otherwise), and ServerReady is set
// just before the class objects are registered and resumed, so no activation
// can find the server not yet ready; a registration that fails clears it again.
#include "host/notification_server.h"

#include <roapi.h>

#include "com/module.h"
#include "com/release_notifier.h"
#include "common/hresult.h"
#include "common/static_order.h"
#include "notify/app_identity.h"

namespace {

struct SignalReleaseEvent {
    HANDLE event = nullptr;
    void operator()() const noexcept { SetEvent(event); }
};

// The process's one notifier; static storage, never deleted by the module, and
// made before the module so that it outlives it at process exit.
GenericReleaseNotifier<SignalReleaseEvent> releaseNotifier QUILL_STATIC_ORDER(QUILL_ORDER_RELEASE_NOTIFIER){
    SignalReleaseEvent{}, false};

}  // namespace

HRESULT ServeNotificationActivator() {
    RETURN_IF_FAILED(RoInitialize(RO_INIT_MULTITHREADED));

    AppUserModelId = kCorvaneAppUserModelId;
    IdentityReady.store(true, std::memory_order_release);

    // Manual reset, not signalled, unnamed. It is never closed: it lives until the process ends.
    const HANDLE releaseEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (releaseEvent == nullptr) {
        const HRESULT failure = HResultFromLastError();
        RoUninitialize();
        return FAILED(failure) ? failure : E_FAIL;
    }

    DefaultModule& module = ServerModule();
    if (module.GetReleaseNotifier() == nullptr) {
        releaseNotifier.callback.event = releaseEvent;
        module.InstallReleaseNotifier(&releaseNotifier);
    }

    ServerReady.store(true, std::memory_order_release);
    const HRESULT registered = RegisterObjectTable();
    if (FAILED(registered)) {
        ServerReady.store(false, std::memory_order_release);
        RoUninitialize();
        return registered;
    }

    WaitForSingleObject(releaseEvent, INFINITE);
    RoUninitialize();
    return S_OK;
}
