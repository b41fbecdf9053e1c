// The prefix directory, read from the environment on every call so that tests
// can switch prefixes, and created (with its parents) on demand.
#include "platform/posix/core/prefix.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace pal {
namespace {

bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

std::string PrefixDirectory() {
    std::string path;
    if (const char* prefix = std::getenv("PAL_PREFIX"); prefix != nullptr && *prefix != 0) {
        path = prefix;
    } else if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != 0) {
        path = std::string(data) + "/pal";
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        path = std::string(home) + "/.local/share/pal";
    } else {
        return {};
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info{};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? path : std::string();
    if (!MakeDirectories(path)) return {};
    return path;
}

}  // namespace pal
