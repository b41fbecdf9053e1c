// A client of the activator in a process of its own, for the Wine lane:
//   quill_activation_client ARGUMENTS [KEY=VALUE]...
// creates the activator as a local server, calls Activate for the
// AppUserModelID "Corvane.Tessaline" with the arguments and inputs given,
// releases it and exits with the first failing HRESULT, or 0.
#include <objbase.h>
#include <notification_platform.h>

#include <string>
#include <vector>

#include "common/com_ptr.h"

namespace {

constexpr CLSID kActivator = {0x6B1C2E47, 0x93D0, 0x4F5A, {0x8E, 0x21, 0x7C, 0x4D, 0x0A, 0x9B, 0x3F, 0x12}};

HRESULT Activate(const wchar_t* arguments, const std::vector<std::wstring>& pairs) {
    std::vector<std::wstring> keys, values;
    for (const std::wstring& pair : pairs) {
        const size_t equals = pair.find(L'=');
        keys.push_back(pair.substr(0, equals));
        values.push_back(equals == std::wstring::npos ? L"" : pair.substr(equals + 1));
    }
    std::vector<winsdk::NOTIFICATION_USER_INPUT_DATA> inputs;
    for (size_t i = 0; i < keys.size(); ++i) inputs.push_back({keys[i].c_str(), values[i].c_str()});

    com_ptr<winsdk::INotificationActivationCallback> callback;
    const HRESULT created = CoCreateInstance(kActivator, nullptr, CLSCTX_LOCAL_SERVER,
                                             __uuidof(winsdk::INotificationActivationCallback),
                                             reinterpret_cast<void**>(callback.put()));
    if (FAILED(created)) return created;
    return callback->Activate(L"Corvane.Tessaline", arguments, inputs.empty() ? nullptr : inputs.data(),
                              static_cast<ULONG>(inputs.size()));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return static_cast<int>(E_INVALIDARG);
    const std::vector<std::wstring> pairs(argv + 2, argv + argc);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return static_cast<int>(E_UNEXPECTED);
    const HRESULT hr = Activate(argv[1], pairs);
    CoUninitialize();
    return static_cast<int>(hr);
}
