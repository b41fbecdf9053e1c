// Debugger presence from the kernel's tracer id; debugger output goes to
// standard error while a debugger (tracer) is attached, and nowhere otherwise;
// the tests' debugger stand-in keeps it instead.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/core/utf.h"
#include "platform/posix/testing/process_stand_ins.h"

extern "C" BOOL WINAPI IsDebuggerPresent() {
    if (pal::testing::DebuggerStandInAttached()) return TRUE;
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return FALSE;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            tracer = std::strtol(line + 10, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return tracer != 0 ? TRUE : FALSE;
}

extern "C" void WINAPI OutputDebugStringW(LPCWSTR text) {
    if (text == nullptr || !IsDebuggerPresent()) return;
    if (pal::testing::DebuggerStandInAttached()) return pal::testing::KeepDebuggerOutput(text);
    const std::string utf8 = pal::ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}
