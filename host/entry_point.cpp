// The process's entry point. It receives the argument text of the command line
// (the program name already removed) and returns the process exit code.
#include <windows.h>

#include "host/atl_helper.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int) {
    CAtlHelper module;
    HRESULT result = S_OK;
    const bool noSwitch = module.HandleRegistrationSwitches(arguments, &result);
    module.Term();
    if (!noSwitch) return result;
    // The plain start and the COM server start are not built yet; both end with 0 for now.
    return 0;
}
