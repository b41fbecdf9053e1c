// "pal com activate CLSID [--aumid ID] [--args TEXT] [--input KEY=VALUE]...":
// creates the class's object as a local server, calls Activate once, releases
// it and prints the HRESULT. An option left out is passed as a null text.
#include "tools/pal/com_activate.h"

#include <objbase.h>
#include <notification_platform.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/com_ptr.h"
#include "platform/posix/core/utf.h"

namespace pal::tool {
namespace {

struct ActivateRequest {
    CLSID clsid{};
    std::optional<std::u16string> appUserModelId;
    std::optional<std::u16string> invokedArgs;
    std::vector<std::pair<std::u16string, std::u16string>> inputs;
};

bool ParseActivate(const Arguments& arguments, ActivateRequest& request) {
    if (arguments.empty() || FAILED(CLSIDFromString(FromUtf8(arguments[0]).c_str(), &request.clsid))) return false;
    for (size_t i = 1; i < arguments.size(); i += 2) {
        if (i + 1 >= arguments.size()) return false;
        const std::u16string value = FromUtf8(arguments[i + 1]);
        if (arguments[i] == "--aumid") {
            request.appUserModelId = value;
        } else if (arguments[i] == "--args") {
            request.invokedArgs = value;
        } else if (arguments[i] == "--input") {
            const size_t equals = value.find(u'=');
            if (equals == std::u16string::npos) return false;
            request.inputs.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else {
            return false;
        }
    }
    return true;
}

HRESULT Activate(const ActivateRequest& request) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) return hr;
    {
        com_ptr<abi::INotificationActivationCallback> callback;
        hr = CoCreateInstance(request.clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
        if (SUCCEEDED(hr)) {
            std::vector<abi::NOTIFICATION_USER_INPUT_DATA> data;
            for (const auto& [key, value] : request.inputs) data.push_back({key.c_str(), value.c_str()});
            hr = callback->Activate(request.appUserModelId ? request.appUserModelId->c_str() : nullptr,
                                    request.invokedArgs ? request.invokedArgs->c_str() : nullptr, data.data(),
                                    static_cast<ULONG>(data.size()));
        }
    }
    CoUninitialize();
    return hr;
}

}  // namespace

int RunCom(const Arguments& arguments) {
    ActivateRequest request;
    if (arguments.empty() || arguments[0] != "activate" ||
        !ParseActivate(Arguments(arguments.begin() + 1, arguments.end()), request)) {
        std::fprintf(stderr, "usage: pal com activate {CLSID} [--aumid ID] [--args TEXT] [--input KEY=VALUE]...\n");
        return 1;
    }
    const HRESULT hr = Activate(request);
    std::printf("0x%08X\n", static_cast<unsigned>(hr));
    return hr == S_OK ? 0 : 1;
}

}  // namespace pal::tool
