// The directory lock is a flock on the directory. Whoever removes the
// directory holds that lock, and whoever takes it checks that the directory is
// still the one at its path, making it again when it is gone.
#include "platform/posix/com/endpoint_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/hresult.h"
#include "platform/posix/com/endpoint.h"
#include "platform/posix/com/file_lock.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

constexpr auto kTidyLockWait = std::chrono::seconds(2);

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// Removes the start lock if nobody holds it; true when it is gone.
bool RemoveIdleStartLock(const std::string& path) {
    const int file = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (file < 0) return errno == ENOENT;
    const bool idle = flock(file, LOCK_EX | LOCK_NB) == 0;
    if (idle) unlink(path.c_str());  // removed while locked: a waiter that gets it next sees it gone
    close(file);
    return idle;
}

}  // namespace

EndpointDirectoryLock::~EndpointDirectoryLock() {
    if (file_ >= 0) close(file_);
}

HRESULT EndpointDirectoryLock::Take(const Clock::time_point& deadline) {
    for (;;) {
        RETURN_IF_FAILED(EndpointDirectory(directory_, true));
        if (file_ >= 0) close(file_);
        file_ = open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (file_ < 0) {
            if (errno == ENOENT) continue;  // removed between the two looks
            return HResultFromWin32(Win32ErrorFromErrno(errno));
        }
        switch (LockBefore(file_, directory_, deadline)) {
        case Locked::Yes: return S_OK;
        case Locked::Removed: continue;
        case Locked::TimedOut: return RPC_E_TIMEOUT;
        case Locked::Failed: return HResultFromWin32(Win32ErrorFromErrno(errno));
        }
    }
}

void EndpointDirectoryLock::Tidy() noexcept {
    DIR* listing = opendir(directory_.c_str());
    if (listing == nullptr) return;
    bool inUse = false;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = directory_ + "/" + name;
        struct stat info{};
        if (lstat(path.c_str(), &info) != 0) continue;
        if (S_ISSOCK(info.st_mode) && !SomeoneListens(path)) {
            unlink(path.c_str());  // a server that ended without withdrawing it
        } else if (S_ISREG(info.st_mode) && EndsWith(name, kStartLockSuffix)) {
            inUse |= !RemoveIdleStartLock(path);
        } else {
            inUse = true;
        }
    }
    closedir(listing);
    if (!inUse) rmdir(directory_.c_str());
}

void TidyEndpointDirectory() noexcept {
    std::string directory;
    if (FAILED(EndpointDirectory(directory, false))) return;
    EndpointDirectoryLock lock;
    try {
        if (SUCCEEDED(lock.Take(Clock::now() + kTidyLockWait))) lock.Tidy();
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace pal::com
