// CoInitializeEx/CoUninitialize: a per-thread count and model, and a process
// count of threads in the multithreaded apartment. Calls are synchronous on
// the caller's thread in either model, so a single-threaded apartment needs no
// message loop here. When the last thread leaves the multithreaded apartment,
// the process stops serving other processes.
#include "platform/posix/com/apartment.h"

#include <objbase.h>

#include <atomic>

#include "platform/posix/com/class_table.h"

namespace pal::com {
namespace {

struct ThreadApartment {
    unsigned entered = 0;
    DWORD model = COINIT_MULTITHREADED;
};

thread_local ThreadApartment thisThread;
std::atomic<unsigned> multithreadedThreads{0};

constexpr DWORD kKnownFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;

}  // namespace

bool CanUseCom() noexcept {
    return thisThread.entered != 0 || multithreadedThreads.load(std::memory_order_acquire) != 0;
}

}  // namespace pal::com

extern "C" HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit) {
    using namespace pal::com;
    if (reserved != nullptr || (coInit & ~kKnownFlags) != 0) return E_INVALIDARG;
    const DWORD model = coInit & COINIT_APARTMENTTHREADED;
    if (thisThread.entered != 0) {
        if (thisThread.model != model) return RPC_E_CHANGED_MODE;
        ++thisThread.entered;
        return S_FALSE;
    }
    thisThread.entered = 1;
    thisThread.model = model;
    if (model == COINIT_MULTITHREADED) multithreadedThreads.fetch_add(1, std::memory_order_acq_rel);
    return S_OK;
}

extern "C" void WINAPI CoUninitialize() {
    using namespace pal::com;
    if (thisThread.entered == 0) return;
    if (--thisThread.entered != 0 || thisThread.model != COINIT_MULTITHREADED) return;
    // The last thread out of the multithreaded apartment ends it, and with it the
    // serving: a server's main thread returns from here with no call in flight.
    if (multithreadedThreads.fetch_sub(1, std::memory_order_acq_rel) == 1) EndServing();
}
