// The COM class the notification platform and the product's components call:
// Activate hands every request whose invoked arguments begin with
// "RivaVavirezar." to the activator's own warning handler, and answers S_OK.
#pragma once

#include <notification_platform.h>
#include <windows.h>

#include <memory>

#include "com/runtime_class.h"
#include "common/com_boundary.h"
#include "common/wide_string.h"
#include "notify/riva_vavirezar_toast.h"
#include "notify/toaster.h"

// {6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}, as the registry script registers it.
inline constexpr CLSID CLSID_NotificationActivator = {
    0x6B1C2E47, 0x93D0, 0x4F5A, {0x8E, 0x21, 0x7C, 0x4D, 0x0A, 0x9B, 0x3F, 0x12}};

// Held by the handler for the activator's sake; never called.
class Isolation {};

template <class Handler> class _NotificationActivator : public RuntimeClass<winsdk::INotificationActivationCallback> {
public:
    explicit _NotificationActivator(const std::shared_ptr<Handler>& handler) noexcept : handler(handler) {}

    // The application id is not looked at. Whatever the handler does, the answer
    // is S_OK, unless a raised failure (no string storage, a platform string
    // that could not be made) ends the call: then it is the code it carries.
    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR, LPCWSTR invokedArgs, const winsdk::NOTIFICATION_USER_INPUT_DATA* data,
                                       ULONG count) noexcept override {
        return CallAtComBoundary([&]() -> HRESULT {
            const CWideString arguments(invokedArgs);
            if (arguments.StartsWith(TEXT("RivaVavirezar."))) handler->HandleActivation(invokedArgs, data, count);
            return S_OK;
        });
    }

protected:
    std::shared_ptr<Handler> handler;
};

using WarningHandler = RivaVavirezarToast<Toaster, Isolation>;

class NotificationActivator final : public _NotificationActivator<WarningHandler> {
public:
    // Builds a fresh handler graph for every activator.
    NotificationActivator();
};

// The makeFactory of the activator's object-table entry.
HRESULT MakeActivatorFactory(unsigned moduleType, const ClassEntry& entry, REFIID riid, void** factory) noexcept;
