// The server writes one byte per resume and keeps its end open until it
// exits, so a byte wakes the client at once and the pipe never reads as
// closed while the server lives; a server's own children may keep the pipe
// open after it ends, which is why the client also waits on the process.
#include "platform/posix/com/starter_readiness.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/hresult.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

constexpr char kVariable[] = "PAL_COM_READY_FD";
int starterPipe = -1;

}  // namespace

void AdoptStarterReadiness() noexcept {
    const int candidate = TakeKeptDescriptor(kVariable);
    // Only a pipe is ours to write to; a stale number may name any file now.
    struct stat info{};
    if (candidate < 0 || fstat(candidate, &info) != 0 || !S_ISFIFO(info.st_mode)) return;
    fcntl(candidate, F_SETFD, FD_CLOEXEC);
    starterPipe = candidate;
}

void TellStarterServing() noexcept {
    if (starterPipe < 0) return;
    const char serving = 1;
    (void)!write(starterPipe, &serving, 1);
}

HRESULT StarterReadiness::Create() noexcept {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return HResultFromWin32(Win32ErrorFromErrno(errno));
    ends_.Set(ends[0], ends[1]);
    return S_OK;
}

std::string StarterReadiness::ServerSetting(int number) {
    return KeptDescriptorSetting(kVariable, number);
}

StarterReadiness::Event StarterReadiness::Wait(HANDLE process, const Clock::time_point& deadline) noexcept {
    pollfd watched[2] = {{ends_.Client(), POLLIN, 0}, {ProcessDescriptor(process), POLLIN, 0}};
    for (;;) {
        const int ready = poll(watched, 2, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Event::TimedOut;
        if (watched[0].revents != 0) {
            char bytes[64];
            const ssize_t got = read(ends_.Client(), bytes, sizeof bytes);
            if (got > 0) return Event::Serving;
            watched[0].fd = -1;  // every server end is closed: only the process is left to watch
        }
        if (watched[1].revents != 0 || watched[1].fd < 0) return Event::Ended;
    }
}

}  // namespace pal::com
