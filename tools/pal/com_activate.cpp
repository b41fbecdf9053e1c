// "pal com activate CLSID [--aumid ID] [--args TEXT] [--input KEY=VALUE]...":
// creates the class's object as a local server, calls Activate once, releases
// it and prints the HRESULT. An option left out is passed as a null text.
#include "tools/pal/com_activate.h"

#include <cstdio>

#include "platform/posix/core/utf.h"
#include "tools/pal/activation_client.h"

namespace pal::tool {
namespace {

bool ParseActivate(const Arguments& arguments, ActivationCall& request) {
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

}  // namespace

int RunCom(const Arguments& arguments) {
    ActivationCall request;
    if (arguments.empty() || arguments[0] != "activate" ||
        !ParseActivate(Arguments(arguments.begin() + 1, arguments.end()), request)) {
        std::fprintf(stderr, "usage: pal com activate {CLSID} [--aumid ID] [--args TEXT] [--input KEY=VALUE]...\n");
        return 1;
    }
    const HRESULT hr = ActivateOnce(request);
    std::printf("0x%08X\n", static_cast<unsigned>(hr));
    return hr == S_OK ? 0 : 1;
}

}  // namespace pal::tool
