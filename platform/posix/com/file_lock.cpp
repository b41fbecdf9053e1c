// flock has no time-out of its own: the lock is tried, and between tries the
// wait grows from 50 microseconds to twenty milliseconds, so a long wait costs
// no CPU and a short one (a toast's append meeting a fold's rename) little delay.
#include "platform/posix/com/file_lock.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace pal::com {

bool StillAtPath(int file, const std::string& path, struct stat* info) noexcept {
    struct stat opened{}, named{};
    if (info == nullptr) info = &opened;
    return fstat(file, info) == 0 && stat(path.c_str(), &named) == 0 && info->st_dev == named.st_dev &&
           info->st_ino == named.st_ino;
}

Locked LockBefore(int file, const std::string& path, const Clock::time_point& deadline, LockMode mode,
                  struct stat* info) noexcept {
    const int operation = mode == LockMode::Exclusive ? LOCK_EX : LOCK_SH;
    Clock::duration pause = std::chrono::microseconds(50);
    while (flock(file, operation | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return Locked::Failed;
        const auto now = Clock::now();
        if (now >= deadline) return Locked::TimedOut;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min<Clock::duration>(pause * 2, std::chrono::milliseconds(20));
    }
    return StillAtPath(file, path, info) ? Locked::Yes : Locked::Removed;
}

}  // namespace pal::com
