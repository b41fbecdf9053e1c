// The process's entry point. It receives the argument text of the command line
// (the program name already removed) and decides what the process does: a
// registration switch, a plain start that opens the console, or, with
// "-Embedding", the COM server. It returns the process exit code.
#include <windows.h>

#include "common/wide_string.h"
#include "host/atl_helper.h"
#include "host/launch_console.h"
#include "host/notification_server.h"
#include "notify/platform_queries.h"

namespace {

// The launch mode after the registration switches: only the argument text is
// searched, case-sensitively, and the marker counts anywhere in it.
HRESULT RunLaunchMode(LPCWSTR arguments) {
    const CWideString text(arguments);
    if (text.Find(TEXT("-Embedding")) < 0) {
        LaunchConsole();
        return S_OK;
    }
    if (!IsOsVersionAtLeast(6, 2)) return S_OK;
    return ServeNotificationActivator();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int) {
    CAtlHelper module;
    HRESULT exitCode = S_OK;
    if (module.HandleRegistrationSwitches(arguments, &exitCode)) exitCode = RunLaunchMode(arguments);
    module.Term();
    return exitCode;
}
