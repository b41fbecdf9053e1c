// Windows Runtime initialisation and activation. Only the multithreaded
// apartment exists: once any thread of the process has entered it, every thread
// may activate classes, as Windows' implicit MTA allows (the server's COM worker
// threads never initialise themselves). Single-threaded apartments are refused.
#include <roapi.h>
#include <winstring.h>

#include <atomic>
#include <string_view>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "platform/posix/winrt/class_table.h"

namespace {

thread_local unsigned threadInitializations = 0;
std::atomic<unsigned> threadsInMultithreadedApartment{0};

bool ActivationAllowed() noexcept { return threadsInMultithreadedApartment.load(std::memory_order_acquire) > 0; }

HRESULT FactoryForClass(HSTRING activatableClassId, IActivationFactory** factory) noexcept {
    if (!ActivationAllowed()) return CO_E_NOTINITIALIZED;
    UINT32 length = 0;
    const WCHAR* name = WindowsGetStringRawBuffer(activatableClassId, &length);
    if (length == 0) return E_INVALIDARG;
    return pal::winrt::FindActivationFactory(std::u16string_view(name, length), factory);
}

}  // namespace

extern "C" {

HRESULT WINAPI RoInitialize(RO_INIT_TYPE initType) {
    if (initType == RO_INIT_SINGLETHREADED) return threadInitializations > 0 ? RPC_E_CHANGED_MODE : E_NOTIMPL;
    if (initType != RO_INIT_MULTITHREADED) return E_INVALIDARG;
    if (threadInitializations++ > 0) return S_FALSE;
    threadsInMultithreadedApartment.fetch_add(1, std::memory_order_release);
    return S_OK;
}

void WINAPI RoUninitialize() {
    if (threadInitializations == 0) return;
    if (--threadInitializations == 0) threadsInMultithreadedApartment.fetch_sub(1, std::memory_order_release);
}

HRESULT WINAPI RoActivateInstance(HSTRING activatableClassId, IInspectable** instance) {
    if (instance == nullptr) return E_POINTER;
    com_ptr<IActivationFactory> factory;
    *instance = nullptr;
    RETURN_IF_FAILED(FactoryForClass(activatableClassId, factory.put()));
    return factory->ActivateInstance(instance);
}

HRESULT WINAPI RoGetActivationFactory(HSTRING activatableClassId, REFIID iid, void** factory) {
    if (factory == nullptr) return E_POINTER;
    *factory = nullptr;
    com_ptr<IActivationFactory> activationFactory;
    RETURN_IF_FAILED(FactoryForClass(activatableClassId, activationFactory.put()));
    return activationFactory->QueryInterface(iid, factory);
}

}  // extern "C"
