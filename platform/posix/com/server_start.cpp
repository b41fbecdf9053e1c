// The registered command line is HKCU's LocalServer32 default value, else the
// machine's. A lock file in the endpoint directory makes racing activations
// start one server: the one holding it starts and waits, the others then find
// the server running. A started server that ends cleanly before this client
// reaches it served others; another is started, a few times at most.
#include "platform/posix/com/server_start.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>

#include "common/hresult.h"
#include "common/unique_any.h"
#include "platform/posix/com/channel.h"
#include "platform/posix/com/endpoint.h"
#include "platform/posix/com/local_server_command.h"
#include "platform/posix/com/proxy.h"
#include "platform/posix/process/command_line.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

std::atomic<DWORD> serverStartTimeout{30000};
constexpr DWORD kPollMilliseconds = 5;
// Starts tried for one activation when each started server ends cleanly before serving it.
constexpr int kServerStarts = 3;

// CO_E_SERVER_STOPPING when no server serves the class now (none listens, or
// the one listening is on its way out); any other result is final.
HRESULT TryRunningServer(REFCLSID clsid, REFIID iid, void** object) {
    std::string path;
    RETURN_IF_FAILED(EndpointFile(clsid, kSocketSuffix, path));
    std::shared_ptr<Channel> channel;
    if (!Channel::Connect(path, channel)) return CO_E_SERVER_STOPPING;
    const HRESULT hr = GetRemoteClassObject(channel, clsid, iid, object);
    return hr == RPC_E_DISCONNECTED ? CO_E_SERVER_STOPPING : hr;
}

HRESULT StartServer(const std::u16string& commandLine, unique_handle& process) {
    std::u16string_view rest = commandLine;
    const std::u16string program = TakeProgramName(rest);
    if (program.empty()) return CO_E_SERVER_EXEC_FAILURE;
    SpawnRequest request;
    request.program = AbsoluteFilePath(program);
    request.arguments = SplitArguments(std::u16string(rest) + u" -Embedding");
    request.detached = true;  // it must outlive this client and hold none of its files
    PROCESS_INFORMATION started{};
    RETURN_IF_WIN32_ERROR(SpawnProcess(request, started));
    CloseHandle(started.hThread);
    process.reset(started.hProcess);
    return S_OK;
}

HRESULT StartAndConnect(REFCLSID clsid, REFIID iid, void** object) {
    std::u16string commandLine;
    RETURN_IF_FAILED(RegisteredCommandLine(clsid, commandLine));
    unique_handle process;
    RETURN_IF_FAILED(StartServer(commandLine, process));
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(serverStartTimeout.load(std::memory_order_relaxed));
    for (;;) {
        const HRESULT hr = TryRunningServer(clsid, iid, object);
        if (hr != CO_E_SERVER_STOPPING) return hr;
        if (WaitForSingleObject(process.get(), kPollMilliseconds) == WAIT_OBJECT_0) {
            // It may have served and ended between the two looks; a last try tells.
            const HRESULT last = TryRunningServer(clsid, iid, object);
            if (last != CO_E_SERVER_STOPPING) return last;
            // A clean exit: other clients reached it first and their release ended it.
            DWORD code = 1;
            return GetExitCodeProcess(process.get(), &code) && code == 0 ? CO_E_SERVER_STOPPING
                                                                          : CO_E_SERVER_EXEC_FAILURE;
        }
        if (std::chrono::steady_clock::now() >= deadline) return CO_E_SERVER_EXEC_FAILURE;
    }
}

struct StartLock {
    int file = -1;
    ~StartLock() {
        if (file >= 0) close(file);  // closing lets the lock go
    }
};

}  // namespace

void SetServerStartTimeout(DWORD milliseconds) noexcept {
    serverStartTimeout.store(milliseconds, std::memory_order_relaxed);
}

HRESULT GetLocalServerClassObject(REFCLSID clsid, REFIID iid, void** object) {
    HRESULT hr = TryRunningServer(clsid, iid, object);
    if (hr != CO_E_SERVER_STOPPING) return hr;

    std::string lockPath;
    RETURN_IF_FAILED(EndpointFile(clsid, kStartLockSuffix, lockPath));
    StartLock lock;
    lock.file = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock.file < 0) return HResultFromWin32(Win32ErrorFromErrno(errno));
    while (flock(lock.file, LOCK_EX) != 0) {
        if (errno != EINTR) return HResultFromWin32(Win32ErrorFromErrno(errno));
    }
    // Whoever held the lock before us may have started the server already.
    hr = TryRunningServer(clsid, iid, object);
    for (int start = 0; start < kServerStarts && hr == CO_E_SERVER_STOPPING; ++start)
        hr = StartAndConnect(clsid, iid, object);
    return hr == CO_E_SERVER_STOPPING ? CO_E_SERVER_EXEC_FAILURE : hr;
}

}  // namespace pal::com
