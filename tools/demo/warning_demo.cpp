// Runs the warning handler once from the command line, with a delivery policy
// that prints the toast XML instead of showing it:
//   quill-warning-demo display <folder path> [ShowAgainChoice]
//   quill-warning-demo dismiss [repeat]
#include <windows.h>
#include <notification_platform.h>
#include <roapi.h>

#include "notify/riva_vavirezar_toast.h"
#include "platform/posix/core/utf.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Prints the text it is given; nothing reaches the notification platform.
class PrintingToaster {
public:
    HRESULT DeliverToast(const WCHAR* xml) {
        const std::string text = pal::ToUtf8(xml);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return S_OK;
    }
};

struct NoIsolation {};

int Usage() {
    std::fputs("usage: quill-warning-demo display <folder path> [ShowAgainChoice]\n"
               "       quill-warning-demo dismiss [repeat]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string verb = argv[1];
    std::vector<std::u16string> keys;
    std::vector<std::u16string> values;
    const char16_t* arguments = nullptr;
    if (verb == "display" && (argc == 3 || argc == 4)) {
        arguments = u"RivaVavirezar.display";
        keys = {u"Path", u"ShowAgainChoice"};
        values = {pal::FromUtf8(argv[2]), pal::FromUtf8(argc == 4 ? argv[3] : "true")};
    } else if (verb == "dismiss" && (argc == 2 || argc == 3)) {
        arguments = u"RivaVavirezar.dismiss";
        if (argc == 3) {
            keys = {u"repeat"};
            values = {pal::FromUtf8(argv[2])};
        }
    } else {
        return Usage();
    }
    std::vector<abi::NOTIFICATION_USER_INPUT_DATA> inputs;
    for (size_t index = 0; index < keys.size(); ++index) inputs.push_back({keys[index].c_str(), values[index].c_str()});

    // Activations reach the server in the multithreaded apartment.
    if (FAILED(RoInitialize(RO_INIT_MULTITHREADED))) return 1;
    RivaVavirezarToast<PrintingToaster, NoIsolation> handler(std::make_shared<PrintingToaster>(),
                                                             std::make_shared<NoIsolation>());
    handler.HandleActivation(arguments, inputs.data(), static_cast<ULONG>(inputs.size()));
    RoUninitialize();
    return 0;
}
