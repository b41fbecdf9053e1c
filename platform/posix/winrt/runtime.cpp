// Windows Runtime initialisation and activation. RoInitialize enters the COM
// apartment, as on Windows; only the multithreaded one is offered. Once any
// thread of the process is in it, every thread may activate classes, as
// Windows' implicit MTA allows (the server's COM worker threads never
// initialise themselves). Single-threaded apartments are refused.
#include <objbase.h>
#include <roapi.h>
#include <winstring.h>

#include <string_view>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "platform/posix/com/apartment.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/winrt/class_table.h"

namespace {

HRESULT FactoryForClass(HSTRING activatableClassId, IActivationFactory** factory) noexcept {
    if (!pal::com::CanUseCom()) return CO_E_NOTINITIALIZED;
    UINT32 length = 0;
    const WCHAR* name = WindowsGetStringRawBuffer(activatableClassId, &length);
    if (length == 0) return E_INVALIDARG;
    return pal::winrt::FindActivationFactory(std::u16string_view(name, length), factory);
}

}  // namespace

extern "C" {

HRESULT WINAPI RoInitialize(RO_INIT_TYPE initType) {
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::RoInitialize))
        return static_cast<HRESULT>(injected);
    if (initType == RO_INIT_SINGLETHREADED) {
        // Refused: a thread already in the multithreaded apartment hears that it is in another mode.
        const HRESULT probe = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(probe)) CoUninitialize();
        return probe == RPC_E_CHANGED_MODE ? probe : E_NOTIMPL;
    }
    if (initType != RO_INIT_MULTITHREADED) return E_INVALIDARG;
    return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

void WINAPI RoUninitialize() { CoUninitialize(); }

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
