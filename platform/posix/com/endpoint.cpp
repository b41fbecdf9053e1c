// The endpoint directory: $XDG_RUNTIME_DIR when it is short enough, else
// /dev/shm, else /tmp. Endpoints live only as long as their servers, so they
// belong in memory: every start makes the directory, a lock file and a socket
// and every last server removes them, which a disk file system writes out
// each time (about a twentieth of a cold start here).
#include "platform/posix/com/endpoint.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/hresult.h"
#include "platform/posix/core/prefix.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

// Room left in sun_path for "/" + 32 hex digits + the longest suffix + NUL.
constexpr size_t kLongestDirectory = sizeof(sockaddr_un{}.sun_path) - 1 - 32 - 16;

constexpr int kMakeAttempts = 100;

uint64_t Fnv1a(const std::string& text, uint64_t hash = 0xcbf29ce484222325ull) {
    for (const unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

std::string BaseDirectory(const char* runtime) {
    if (runtime != nullptr && runtime[0] == '/' && std::string(runtime).size() + 40 <= kLongestDirectory)
        return runtime;
    struct stat memory{};
    const bool sharedMemory = stat("/dev/shm", &memory) == 0 && S_ISDIR(memory.st_mode) && (memory.st_mode & S_ISVTX);
    return sharedMemory ? "/dev/shm" : "/tmp";
}

// Named after the user and the prefix's real path. Worked out once per prefix
// and runtime directory on each thread (as the prefix is checked once): the
// real path costs a lookup per component, and every activation asks several times.
std::string DirectoryOf(const std::string& prefix, uid_t user) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string key = prefix;
    key.push_back('\0');
    if (runtime != nullptr) key += runtime;
    thread_local std::string namedFor, named;
    if (key == namedFor) return named;

    char canonical[PATH_MAX];
    const std::string identity = realpath(prefix.c_str(), canonical) ? canonical : prefix;
    char name[64];
    std::snprintf(name, sizeof name, "/pal-com-%u-%016llx", static_cast<unsigned>(user),
                  static_cast<unsigned long long>(Fnv1a(identity, Fnv1a(std::to_string(user)))));
    named = BaseDirectory(runtime) + name;
    namedFor = std::move(key);
    return named;
}

}  // namespace

HRESULT EndpointDirectory(std::string& directory, bool create) {
    std::string prefix;
    RETURN_IF_WIN32_ERROR(FindPrefix(prefix));
    const uid_t user = geteuid();
    std::string path = DirectoryOf(prefix, user);
    struct stat info{};
    // The last server of the prefix may remove the directory between the two
    // looks; one that is to be made is then made again.
    for (int attempt = 0;; ++attempt) {
        if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return HResultFromWin32(Win32ErrorFromErrno(errno));
        if (lstat(path.c_str(), &info) == 0) break;
        if (errno != ENOENT) return HResultFromWin32(Win32ErrorFromErrno(errno));
        if (!create || attempt == kMakeAttempts) return HResultFromWin32(ERROR_PATH_NOT_FOUND);
    }
    // A directory someone else made, or opened to others, is not ours to trust.
    if (!S_ISDIR(info.st_mode) || info.st_uid != user || (info.st_mode & 077) != 0) return E_ACCESSDENIED;
    directory = std::move(path);
    return S_OK;
}

HRESULT EndpointFile(REFCLSID clsid, const char* suffix, std::string& path) {
    std::string directory;
    RETURN_IF_FAILED(EndpointDirectory(directory, false));
    path = EndpointFileIn(directory, clsid, suffix);
    return S_OK;
}

std::string EndpointFileIn(const std::string& directory, REFCLSID clsid, const char* suffix) {
    char name[48];
    std::snprintf(name, sizeof name, "/%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", clsid.Data1, clsid.Data2,
                  clsid.Data3, clsid.Data4[0], clsid.Data4[1], clsid.Data4[2], clsid.Data4[3], clsid.Data4[4],
                  clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
    return directory + name + suffix;
}

bool SomeoneListens(const std::string& path) noexcept {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) return true;  // cannot tell: assume the worst
    const int result = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int error = errno;
    close(probe);
    // A full backlog (EAGAIN) still means a listener; refused or missing means none.
    return result == 0 || (error != ECONNREFUSED && error != ENOENT);
}

bool PeerIsThisUser(int socket) noexcept {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.uid == geteuid();
}

}  // namespace pal::com
