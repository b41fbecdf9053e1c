// A lock file in the endpoint directory makes racing activations start one
// server (the registered LocalServer32, HKCU's else the machine's); a server
// that said it serves and ended cleanly before this client reached it served
// others, and another is started. One that ends without ever serving failed.
// Every wait ends at the activation's deadline (the start time-out).
// The starting client's request goes first over a connection the server
// inherits, answered once the server serves; only when that cannot tell (the
// class is not served yet, or the server closed it unanswered) does the client
// wait on the readiness pipe and connect to the class's endpoint.
#include "platform/posix/com/server_start.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>

#include "common/hresult.h"
#include "common/unique_any.h"
#include "platform/posix/com/channel.h"
#include "platform/posix/com/endpoint.h"
#include "platform/posix/com/local_server_command.h"
#include "platform/posix/com/endpoint_lock.h"
#include "platform/posix/com/file_lock.h"
#include "platform/posix/com/proxy.h"
#include "platform/posix/com/starter_connection.h"
#include "platform/posix/com/starter_readiness.h"
#include "platform/posix/process/command_line.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

std::atomic<DWORD> serverStartTimeout{30000};
constexpr DWORD kReapMilliseconds = 1000;

// What a client wants of the server of a class: its class object, or an
// instance its class object makes there (CoCreateInstance's one round trip).
struct Wanted {
    REFCLSID clsid;
    bool instance;
    REFIID iid;
    void** object;
};

HRESULT Ask(const std::shared_ptr<Channel>& channel, const Wanted& wanted, const Clock::time_point& deadline) {
    return wanted.instance ? CreateRemoteInstance(channel, wanted.clsid, wanted.iid, wanted.object, deadline)
                           : GetRemoteClassObject(channel, wanted.clsid, wanted.iid, wanted.object, deadline);
}

// CO_E_SERVER_STOPPING when no server serves the class now (none listens, or
// the one listening is on its way out); any other result is final.
HRESULT TryRunningServer(const Wanted& wanted, const Clock::time_point& deadline) {
    std::string path;
    const HRESULT where = EndpointFile(wanted.clsid, kSocketSuffix, path);
    if (where == HResultFromWin32(ERROR_PATH_NOT_FOUND)) return CO_E_SERVER_STOPPING;  // no server of the prefix runs
    RETURN_IF_FAILED(where);
    std::shared_ptr<Channel> channel;
    if (const HRESULT connected = Channel::Connect(path, deadline, channel); connected != S_OK) return connected;
    const HRESULT hr = Ask(channel, wanted, deadline);
    return hr == RPC_E_DISCONNECTED ? CO_E_SERVER_STOPPING : hr;
}

// The started server, and what it was handed.
struct StartedServer {
    StarterReadiness readiness;
    StarterConnection firstConnection;
    unique_handle process;
    pid_t group = 0;
};

HRESULT StartServer(const std::u16string& commandLine, StartedServer& server) {
    std::u16string_view rest = commandLine;
    const std::u16string program = TakeProgramName(rest);
    if (program.empty()) return CO_E_SERVER_EXEC_FAILURE;
    RETURN_IF_FAILED(server.readiness.Create());
    RETURN_IF_FAILED(server.firstConnection.Create());
    SpawnRequest request;
    request.program = AbsoluteFilePath(program);
    request.arguments = SplitArguments(std::u16string(rest) + u" -Embedding");
    request.detached = true;  // it must outlive this client and hold none of its files; it leads a group of its own
    request.keptDescriptors = {server.readiness.ServerEnd(), server.firstConnection.ServerEnd()};
    const std::vector<std::string> environment =
        EnvironmentWith({StarterReadiness::ServerSetting(kFirstKeptDescriptor),
                         StarterConnection::ServerSetting(kFirstKeptDescriptor + 1)});
    request.environment = &environment;
    PROCESS_INFORMATION started{};
    RETURN_IF_WIN32_ERROR(SpawnProcess(request, started));
    server.readiness.ServerStarted();
    server.firstConnection.ServerStarted();
    CloseHandle(started.hThread);
    server.process.reset(started.hProcess);
    server.group = static_cast<pid_t>(started.dwProcessId);
    return S_OK;
}

// Ends a start that failed. The process is not yet collected, so the group id is still its own:
// this ends it and whatever it started.
HRESULT EndFailedStart(const StartedServer& server) {
    kill(-server.group, SIGKILL);
    WaitForSingleObject(server.process.get(), kReapMilliseconds);
    return CO_E_SERVER_EXEC_FAILURE;
}

HRESULT StartAndConnect(const std::u16string& commandLine, const Wanted& wanted, const Clock::time_point& deadline) {
    StartedServer server;
    RETURN_IF_FAILED(StartServer(commandLine, server));
    StarterReadiness& readiness = server.readiness;
    const HANDLE process = server.process.get();
    // Sent at once, the request waits in the connection for the server's first thread.
    if (const std::shared_ptr<Channel> first = server.firstConnection.TakeChannel(process)) {
        const HRESULT hr = Ask(first, wanted, deadline);
        if (hr == RPC_E_TIMEOUT) return EndFailedStart(server);  // it never served
        if (hr != CO_E_SERVER_STOPPING && hr != RPC_E_DISCONNECTED) return hr;
    }
    bool served = false;
    for (StarterReadiness::Event event = readiness.Wait(process, deadline);;
         event = readiness.Wait(process, deadline)) {
        if (event == StarterReadiness::Event::TimedOut) break;
        if (event == StarterReadiness::Event::Serving) {
            served = true;
            const HRESULT hr = TryRunningServer(wanted, deadline);
            if (hr == RPC_E_TIMEOUT) break;  // it took the connection but never answered
            if (hr != CO_E_SERVER_STOPPING) return hr;
            continue;  // it serves other classes first, or is already stopping
        }
        // It ended. It may have served and ended between the two looks; a last try tells.
        const HRESULT last = TryRunningServer(wanted, deadline);
        if (last != CO_E_SERVER_STOPPING) return last;
        // A clean exit after serving: other clients reached it first and their release ended it.
        DWORD code = 1;
        return served && WaitForSingleObject(process, kReapMilliseconds) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process, &code) && code == 0
                   ? CO_E_SERVER_STOPPING
                   : CO_E_SERVER_EXEC_FAILURE;
    }
    return EndFailedStart(server);
}

// A start's failure, shared with the clients that waited for it.
bool StartFailure(HRESULT hr) {
    return hr == CO_E_SERVER_EXEC_FAILURE || HRESULT_FACILITY(hr) == FACILITY_WIN32;
}

// The start lock of a class. Its file also records when the last start under
// it failed and how, so the clients that waited meanwhile share the outcome
// instead of starting servers of their own in turn. (The steady clock is the
// system's monotonic clock, the same in every process.)
class StartLock {
public:
    StartLock() = default;
    ~StartLock() {
        if (file_ >= 0) close(file_);  // closing lets the lock go
    }
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;

    // S_OK once held. CO_E_SERVER_EXEC_FAILURE when the deadline comes first;
    // the failure of a start made while this client waited, when there was one.
    HRESULT Take(REFCLSID clsid, const Clock::time_point& deadline) {
        const auto waitingSince = Clock::now();
        for (;;) {
            std::string path;
            {
                EndpointDirectoryLock directory;
                const HRESULT taken = directory.Take(deadline);
                if (taken == RPC_E_TIMEOUT) return CO_E_SERVER_EXEC_FAILURE;
                RETURN_IF_FAILED(taken);
                path = EndpointFileIn(directory.Directory(), clsid, kStartLockSuffix);
                if (file_ >= 0) close(file_);
                file_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
                if (file_ < 0) return HResultFromWin32(Win32ErrorFromErrno(errno));
            }
            switch (LockBefore(file_, path, deadline)) {
            case Locked::Yes: return FailureSince(waitingSince);
            case Locked::Removed:
                // Tidied away before it was ours: what the start before it recorded still holds,
                // or this client would start a server of its own after the failure it waited on.
                if (const HRESULT failed = FailureSince(waitingSince); FAILED(failed)) return failed;
                continue;  // make it again
            case Locked::TimedOut: return CO_E_SERVER_EXEC_FAILURE;
            case Locked::Failed: return HResultFromWin32(Win32ErrorFromErrno(errno));
            }
        }
    }

    void NoteFailure(HRESULT hr) noexcept {
        const Outcome outcome{Clock::now().time_since_epoch().count(), hr, 0};
        (void)!pwrite(file_, &outcome, sizeof outcome, 0);
    }

private:
    struct Outcome {
        int64_t failedAt;
        HRESULT result;
        int32_t unused;
    };

    HRESULT FailureSince(Clock::time_point since) const noexcept {
        Outcome outcome{};
        if (pread(file_, &outcome, sizeof outcome, 0) != static_cast<ssize_t>(sizeof outcome)) return S_OK;
        const Clock::time_point failedAt{Clock::duration(outcome.failedAt)};
        return failedAt >= since && FAILED(outcome.result) ? outcome.result : S_OK;
    }

    int file_ = -1;
};

}  // namespace

void SetServerStartTimeout(DWORD milliseconds) noexcept {
    serverStartTimeout.store(milliseconds, std::memory_order_relaxed);
}

Clock::time_point StartDeadline() noexcept {
    return Clock::now() + std::chrono::milliseconds(serverStartTimeout.load(std::memory_order_relaxed));
}

namespace {

HRESULT ReachLocalServer(const Wanted& wanted) {
    REFCLSID clsid = wanted.clsid;
    const auto deadline = StartDeadline();
    HRESULT hr = TryRunningServer(wanted, deadline);
    if (hr != CO_E_SERVER_STOPPING) return hr;
    std::u16string commandLine;
    RETURN_IF_FAILED(RegisteredCommandLine(clsid, commandLine));
    {
        StartLock lock;
        hr = lock.Take(clsid, deadline);
        if (SUCCEEDED(hr)) {
            // Whoever held the lock before us may have started the server already.
            hr = TryRunningServer(wanted, deadline);
            // While clients come and go, started servers may keep ending under this one: start
            // another until the deadline.
            while (hr == CO_E_SERVER_STOPPING && Clock::now() < deadline)
                hr = StartAndConnect(commandLine, wanted, deadline);
            if (hr == CO_E_SERVER_STOPPING) hr = CO_E_SERVER_EXEC_FAILURE;
            if (StartFailure(hr)) lock.NoteFailure(hr);
        }
    }
    // A failed start leaves nothing behind: no server will tidy the endpoint directory for it.
    if (FAILED(hr)) TidyEndpointDirectory();
    return hr;
}

}  // namespace

HRESULT GetLocalServerClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return ReachLocalServer(Wanted{clsid, false, iid, object});
}

HRESULT CreateLocalServerInstance(REFCLSID clsid, REFIID iid, void** object) {
    return ReachLocalServer(Wanted{clsid, true, iid, object});
}

}  // namespace pal::com
