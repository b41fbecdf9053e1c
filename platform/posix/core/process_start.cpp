// The process start of a Windows program on Linux: builds the argument text
// the way the Windows start-up code hands it to wWinMain (the program name
// removed, the arguments joined by blanks, quoted where they need it), calls
// the entry point and turns its 32-bit result into an 8-bit exit status.
// Like Windows' process heap, the heap keeps what calls free for the next ones.
#include <windows.h>

#include <malloc.h>

#include <csignal>
#include <string>

#include "platform/posix/core/exit_status.h"
#include "platform/posix/core/module.h"
#include "platform/posix/core/prefix.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/com/starter_connection.h"
#include "platform/posix/com/starter_readiness.h"

int main(int argc, char** argv) {
    // Peers that vanish mid-write must give an error code, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Memory freed at the top of a thread's heap stays the process's, up to 1 MiB,
    // instead of going back to the system after every call that freed it: that is a
    // system call, and the next call faults each page in again.
    mallopt(M_TRIM_THRESHOLD, 1 << 20);
    pal::StopIfPrefixRefused();
    pal::com::AdoptStarterReadiness();
    pal::com::AdoptStarterConnection();

    std::u16string arguments;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) arguments += u' ';
        arguments += pal::QuoteArgument(pal::FromUtf8(argv[i]));
    }
    const int result = wWinMain(pal::ExecutableModule(), nullptr, arguments.data(), SW_SHOWDEFAULT);
    return pal::ExitStatusFromResult(static_cast<DWORD>(result));
}
