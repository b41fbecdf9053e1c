// The server takes the inherited end only if it is a stream socket: a stale
// number may name any file now. Like every connection, it is served only if
// its peer is this user (the service looks when it adds it).
#include "platform/posix/com/starter_connection.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>

#include "common/hresult.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

constexpr char kVariable[] = "PAL_COM_FIRST_CONNECTION_FD";
std::atomic<int> starterConnection{-1};

bool IsStreamSocket(int descriptor) {
    struct stat info{};
    int type = 0;
    socklen_t size = sizeof type;
    return fstat(descriptor, &info) == 0 && S_ISSOCK(info.st_mode) &&
           getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_STREAM;
}

}  // namespace

void AdoptStarterConnection() noexcept {
    const int candidate = TakeKeptDescriptor(kVariable);
    if (candidate < 0 || !IsStreamSocket(candidate)) return;
    fcntl(candidate, F_SETFD, FD_CLOEXEC);
    // The service waits on it with the others and never blocks on one.
    const int flags = fcntl(candidate, F_GETFL);
    if (flags < 0 || fcntl(candidate, F_SETFL, flags | O_NONBLOCK) != 0) return;
    starterConnection.store(candidate, std::memory_order_relaxed);
}

int TakeStarterConnection() noexcept { return starterConnection.exchange(-1, std::memory_order_relaxed); }

HRESULT StarterConnection::Create() noexcept {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return HResultFromWin32(Win32ErrorFromErrno(errno));
    ends_.Set(ends[0], ends[1]);
    return S_OK;
}

std::string StarterConnection::ServerSetting(int number) {
    return KeptDescriptorSetting(kVariable, number);
}

std::shared_ptr<Channel> StarterConnection::TakeChannel(HANDLE process) noexcept {
    // Without a process descriptor the channel still sees the connection close when the server ends,
    // unless a child of the server holds the server's end too.
    const int watched = fcntl(ProcessDescriptor(process), F_DUPFD_CLOEXEC, 0);
    try {
        auto channel = std::make_shared<Channel>(ends_.Client(), watched);
        ends_.TakeClient();
        return channel;
    } catch (const std::bad_alloc&) {
        if (watched >= 0) close(watched);
        return nullptr;
    }
}

}  // namespace pal::com
