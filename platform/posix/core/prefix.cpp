// The prefix directory, read from the environment on every call so that tests
// can switch prefixes, created (with its parents) on demand, and checked before
// its first use by each thread: a refused prefix answers ERROR_ACCESS_DENIED to
// every call. A prefix once accepted stays accepted for the thread, so calls on
// the warm path do not look at the disk for it again.
#include "platform/posix/core/prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace pal {
namespace {

// The configured path, not yet looked at; empty when nothing names one.
std::string ConfiguredPath() {
    std::string path;
    if (const char* prefix = std::getenv("PAL_PREFIX"); prefix != nullptr && *prefix != 0) {
        path = prefix;
    } else if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != 0) {
        path = std::string(data) + "/pal";
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        path = std::string(home) + "/.local/share/pal";
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Why an existing directory may not serve as the prefix; empty when it may.
std::string Refusal(const struct stat& info) {
    if (info.st_uid != geteuid())
        return "it belongs to user " + std::to_string(info.st_uid) + ", not to you (" + std::to_string(geteuid()) + ")";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "it is writable by group or others (chmod go-w fixes that)";
    return {};
}

bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

LSTATUS FindPrefix(std::string& path) {
    path = ConfiguredPath();
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    thread_local std::string accepted;
    if (path == accepted) return ERROR_SUCCESS;
    struct stat info{};
    // Made here it is 0700 (a umask only takes bits away); if another made it first, it is checked as found.
    if (stat(path.c_str(), &info) != 0 && (!MakeDirectories(path) || stat(path.c_str(), &info) != 0))
        return ERROR_PATH_NOT_FOUND;
    if (!S_ISDIR(info.st_mode)) return ERROR_PATH_NOT_FOUND;
    if (!Refusal(info).empty()) return ERROR_ACCESS_DENIED;
    accepted = path;
    return ERROR_SUCCESS;
}

void StopIfPrefixRefused() {
    const std::string path = ConfiguredPath();
    struct stat info{};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    const std::string refusal = Refusal(info);
    if (refusal.empty()) return;
    std::fprintf(stderr, "pal: refusing the prefix %s: %s\n", path.c_str(), refusal.c_str());
    std::exit(1);
}

}  // namespace pal
