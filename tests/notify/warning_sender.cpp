// A program started up the way the server starts (multithreaded apartment,
// AppUserModelID, both readiness flags) that shows the folder warning for the
// path it is given through the real delivery policy: "handle" as an activation
// would, "compose" by handing the display's composition to Toaster directly.
#include <roapi.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "notify/app_identity.h"
#include "notify/notification_activator.h"
#include "notify/warning_toast.h"
#include "platform/posix/core/utf.h"

namespace {

int Usage() {
    std::fputs("usage: warning_sender handle|compose PATH\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    const std::string mode = argv[1];
    if (mode != "handle" && mode != "compose") return Usage();
    const std::u16string path = pal::FromUtf8(argv[2]);
    const WCHAR choice[] = TEXT("true");

    if (FAILED(RoInitialize(RO_INIT_MULTITHREADED))) return 3;
    AppUserModelId = kCorvaneAppUserModelId;
    IdentityReady.store(true, std::memory_order_release);
    ServerReady.store(true, std::memory_order_release);

    int status = 0;
    if (mode == "handle") {
        const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{TEXT("Path"), path.c_str()},
                                                            {TEXT("ShowAgainChoice"), choice}};
        WarningHandler handler(std::make_shared<Toaster>(), std::make_shared<Isolation>());
        handler.HandleActivation(TEXT("RivaVavirezar.display"), inputs, 2);
    } else {
        const CWideString xml = ComposeWarningToast(path.c_str(), choice);
        const HRESULT hr = Toaster::DeliverToast(xml.GetString());
        if (FAILED(hr)) {
            std::fprintf(stderr, "warning_sender: delivery failed with 0x%08X\n", static_cast<unsigned>(hr));
            status = 1;
        }
    }
    RoUninitialize();
    return status;
}
