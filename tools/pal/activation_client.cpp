// One activation as the notification platform makes it: the multithreaded
// apartment, CoCreateInstance with CLSCTX_LOCAL_SERVER, Activate, and the
// object released before the apartment is left.
#include "tools/pal/activation_client.h"

#include <notification_platform.h>

#include "common/com_ptr.h"

namespace pal::tool {

HRESULT ActivateOnce(const ActivationCall& call) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) return hr;
    {
        com_ptr<winsdk::INotificationActivationCallback> callback;
        hr = CoCreateInstance(call.clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
        if (SUCCEEDED(hr)) {
            std::vector<winsdk::NOTIFICATION_USER_INPUT_DATA> data;
            data.reserve(call.inputs.size());
            for (const auto& [key, value] : call.inputs) data.push_back({key.c_str(), value.c_str()});
            hr = callback->Activate(call.appUserModelId ? call.appUserModelId->c_str() : nullptr,
                                    call.invokedArgs ? call.invokedArgs->c_str() : nullptr, data.data(),
                                    static_cast<ULONG>(data.size()));
        }
    }
    CoUninitialize();
    return hr;
}

}  // namespace pal::tool
