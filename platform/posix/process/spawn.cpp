// posix_spawn, so that a program that cannot be started is reported by
// CreateProcessW itself and the child does not copy this process's memory
// (glibc starts it in the parent's memory and waits for the exec), and a
// pidfd per child so that waits take time-outs. The child keeps only its
// standard streams, and the descriptors asked for, across exec.
#include "platform/posix/process/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/posix/core/utf.h"
#include "platform/posix/process/kernel_object.h"

extern char** environ;

namespace pal {
namespace {

class ProcessObject final : public KernelObject {
public:
    ProcessObject(pid_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}

    ~ProcessObject() override {
        std::lock_guard guard(lock_);
        if (reaped_) {
            close(pidfd_);
            return;
        }
        // The child outlives its last handle: a detached reaper keeps it from lingering as a zombie.
        try {
            std::thread([pidfd = pidfd_] {
                siginfo_t info{};
                while (waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED) != 0 && errno == EINTR) {
                }
                close(pidfd);
            }).detach();
        } catch (const std::system_error&) {
            close(pidfd_);  // no thread to spare: the init process reaps it once we are gone
        }
    }

    DWORD Wait(DWORD milliseconds) noexcept override {
        if (Reap()) return WAIT_OBJECT_0;
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            int timeout = -1;
            if (milliseconds != INFINITE) {
                const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start).count();
                if (spent >= milliseconds) return WAIT_TIMEOUT;
                timeout = static_cast<int>(std::min<long long>(milliseconds - spent, INT_MAX));
            }
            pollfd ready{pidfd_, POLLIN, 0};
            const int result = poll(&ready, 1, timeout);
            if (result < 0 && errno != EINTR) return WAIT_FAILED;
            if (result > 0 && Reap()) return WAIT_OBJECT_0;
        }
    }

    DWORD ExitCode() noexcept {
        return Reap() ? exitCode_ : STILL_ACTIVE;
    }

    DWORD Id() const noexcept { return static_cast<DWORD>(pid_); }
    int Descriptor() const noexcept { return pidfd_; }

private:
    // Collects the exit status once the child has ended; true when it has.
    bool Reap() noexcept {
        std::lock_guard guard(lock_);
        if (reaped_) return true;
        siginfo_t info{};
        if (waitid(P_PIDFD, static_cast<id_t>(pidfd_), &info, WEXITED | WNOHANG) != 0 || info.si_pid == 0)
            return false;
        reaped_ = true;
        // A signal ends a process the way TerminateProcess would; report it as the shell does.
        exitCode_ = info.si_code == CLD_EXITED ? static_cast<DWORD>(info.si_status)
                                               : 128u + static_cast<DWORD>(info.si_status);
        return true;
    }

    const pid_t pid_;
    const int pidfd_;
    std::mutex lock_;
    bool reaped_ = false;
    DWORD exitCode_ = STILL_ACTIVE;
};

// A thread handle of a started process: its one thread ends with the process.
class ThreadObject final : public KernelObject {
public:
    explicit ThreadObject(std::shared_ptr<ProcessObject> process) : process_(std::move(process)) {}
    DWORD Wait(DWORD milliseconds) noexcept override { return process_->Wait(milliseconds); }

private:
    std::shared_ptr<ProcessObject> process_;
};

std::vector<char*> PointersOf(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// What the child does between its start and the exec, and how it starts.
class SpawnSetup {
public:
    explicit SpawnSetup(const SpawnRequest& request) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
        const int kept = static_cast<int>(request.keptDescriptors.size());
        // First, before the standard streams could take their numbers.
        for (int index = 0; index < kept; ++index) {
            const int source = OutOfTheWay(request.keptDescriptors[static_cast<size_t>(index)], kept);
            Check(posix_spawn_file_actions_adddup2(&actions_, source, kFirstKeptDescriptor + index));
        }
        if (request.detached) {
            Check(posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDWR, 0));
            Check(posix_spawn_file_actions_adddup2(&actions_, 0, 1));
            Check(posix_spawn_file_actions_adddup2(&actions_, 0, 2));
            Check(posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSID));
        }
        Check(posix_spawn_file_actions_addclosefrom_np(&actions_, kFirstKeptDescriptor + kept));
        if (!request.currentDirectory.empty())
            Check(posix_spawn_file_actions_addchdir_np(&actions_, request.currentDirectory.c_str()));
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
        for (const int copy : copies_) close(copy);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // 0, or the errno of the first step that could not be set up.
    int Error() const noexcept { return error_; }
    const posix_spawn_file_actions_t* Actions() const noexcept { return &actions_; }
    const posix_spawnattr_t* Attributes() const noexcept { return &attributes_; }

private:
    void Check(int result) noexcept {
        if (error_ == 0) error_ = result;
    }

    // The child's dup2s run in order, so a source that has one of the numbers
    // the kept descriptors get (3 for the second, say) would be overwritten by
    // an earlier one before its own turn: such a source is passed as a copy
    // numbered above them all, which closes with the setup.
    int OutOfTheWay(int source, int kept) noexcept {
        if (source < kFirstKeptDescriptor || source >= kFirstKeptDescriptor + kept) return source;
        const int copy = fcntl(source, F_DUPFD_CLOEXEC, std::max(kFirstCopy, kFirstKeptDescriptor + kept));
        if (copy < 0) {
            Check(errno);
            return source;
        }
        try {
            copies_.push_back(copy);
        } catch (const std::bad_alloc&) {
            close(copy);
            Check(ENOMEM);
            return source;
        }
        return copy;
    }

    static constexpr int kFirstCopy = 10;

    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    std::vector<int> copies_;
    int error_ = 0;
};

}  // namespace

DWORD Win32ErrorFromErrno(int error) noexcept {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: return ERROR_ACCESS_DENIED;
    case ENOEXEC: return 193;  // ERROR_BAD_EXE_FORMAT
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_INVALID_FUNCTION;
    }
}

std::string AbsoluteFilePath(std::u16string_view windowsPath) {
    std::string path = ToUtf8(windowsPath);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (!path.empty() && path.front() != '/') {
        char here[PATH_MAX];
        if (getcwd(here, sizeof here) != nullptr) path = std::string(here) + "/" + path;
    }
    return path;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings) {
    const auto setByName = [&settings](const char* entry) {
        for (const std::string& setting : settings) {
            const size_t nameLength = setting.find('=');
            if (std::strncmp(entry, setting.c_str(), nameLength) == 0 && entry[nameLength] == '=') return true;
        }
        return false;
    };
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!setByName(*entry)) environment.emplace_back(*entry);
    }
    environment.insert(environment.end(), settings.begin(), settings.end());
    return environment;
}

std::string KeptDescriptorSetting(const char* variable, int number) {
    return std::string(variable) + "=" + std::to_string(number);
}

int TakeKeptDescriptor(const char* variable) noexcept {
    const char* text = std::getenv(variable);
    if (text == nullptr) return -1;
    char* end = nullptr;
    const long descriptor = std::strtol(text, &end, 10);
    const bool valid = *end == 0 && descriptor >= kFirstKeptDescriptor && descriptor <= INT32_MAX;
    unsetenv(variable);  // text points into the environment: read before this
    return valid ? static_cast<int>(descriptor) : -1;
}

DWORD SpawnProcess(const SpawnRequest& request, PROCESS_INFORMATION& started) {
    struct stat info{};
    if (stat(request.program.c_str(), &info) != 0) return Win32ErrorFromErrno(errno);
    if (!S_ISREG(info.st_mode)) return ERROR_ACCESS_DENIED;
    if (!request.currentDirectory.empty() &&
        (stat(request.currentDirectory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
        return 267;  // ERROR_DIRECTORY

    std::vector<std::string> argumentTexts{request.name.empty() ? request.program : request.name};
    argumentTexts.insert(argumentTexts.end(), request.arguments.begin(), request.arguments.end());
    const std::vector<char*> argv = PointersOf(argumentTexts);
    const std::vector<char*> envp = request.environment ? PointersOf(*request.environment) : std::vector<char*>{};

    const SpawnSetup setup(request);
    if (setup.Error() != 0) return Win32ErrorFromErrno(setup.Error());
    pid_t pid = 0;
    if (const int error = posix_spawn(&pid, request.program.c_str(), setup.Actions(), setup.Attributes(), argv.data(),
                                      request.environment ? envp.data() : environ);
        error != 0)
        return Win32ErrorFromErrno(error);
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        const int error = errno;
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return Win32ErrorFromErrno(error);
    }
    const auto process = std::make_shared<ProcessObject>(pid, pidfd);
    started.hProcess = InsertHandle(process);
    started.hThread = InsertHandle(std::make_shared<ThreadObject>(process));
    started.dwProcessId = process->Id();
    started.dwThreadId = process->Id();
    return ERROR_SUCCESS;
}

}  // namespace pal

extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    const auto object = pal::LookupHandleAs<pal::ProcessObject>(process);
    if (!object) return FALSE;
    if (exitCode == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *exitCode = object->ExitCode();
    return TRUE;
}

int pal::ProcessDescriptor(HANDLE process) noexcept {
    const auto object = LookupHandleAs<ProcessObject>(process);
    return object ? object->Descriptor() : -1;
}

extern "C" DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
