// The console launcher. The separator is appended unconditionally: a drive
// root gives a doubled backslash and an unknown directory the bare file name
// below the current drive's root, as the process has always done.
#include "host/launch_console.h"

#include "common/unique_any.h"
#include "common/wide_string.h"
#include "notify/platform_queries.h"

BOOL LaunchConsole() {
    CWideString application(GetModuleDirectory());
    application += TEXT("\\QuillConsole.exe");

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(application.GetString(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &startup, &process);
    if (started) {
        unique_handle thread(process.hThread);
        unique_handle console(process.hProcess);
        thread.reset();
    }
    return started;
}
