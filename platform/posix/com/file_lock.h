// Whole-file locks (flock) taken with a deadline, on files that others may
// remove: a lock counts only while its file is still the one at its path, so
// whoever removes a lock file does it holding the lock.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/posix/com/deadline.h"

namespace pal::com {

enum class Locked { Yes, TimedOut, Removed, Failed };
enum class LockMode { Exclusive, Shared };

// Locks the open file before the deadline (a shared lock held by this
// descriptor becomes exclusive, or the other way, not atomically). Removed:
// the lock was got but the file is no longer at path (the caller opens it again).
// When locked, *info (if given) is the file's status as of then.
Locked LockBefore(int file, const std::string& path, const Clock::time_point& deadline,
                  LockMode mode = LockMode::Exclusive, struct stat* info = nullptr) noexcept;

// True when file is still the file at path; *info (if given) is its status.
bool StillAtPath(int file, const std::string& path, struct stat* info = nullptr) noexcept;

}  // namespace pal::com
