// Where a prefix's local servers can be reached: a per-user directory of mode
// 0700, named by a hash of the prefix and the user id so that its socket paths
// stay within the socket-name limit however long the prefix is.
#pragma once

#include <windows.h>

#include <string>

namespace pal::com {

// The endpoint directory of the current prefix, made when create says so, and
// checked to belong to this user with no access for others. Without create, a
// missing directory is ERROR_PATH_NOT_FOUND: no server of the prefix runs.
HRESULT EndpointDirectory(std::string& directory, bool create);

// "<directory>/<32 hex digits of the CLSID><suffix>", in the directory as it is
// (ERROR_PATH_NOT_FOUND without one) or in one already found.
HRESULT EndpointFile(REFCLSID clsid, const char* suffix, std::string& path);
std::string EndpointFileIn(const std::string& directory, REFCLSID clsid, const char* suffix);

// True when a server listens on the socket at path (even one too busy to accept now).
bool SomeoneListens(const std::string& path) noexcept;

// True when the process at the other end of the connected socket runs as this
// user: only such peers are served.
bool PeerIsThisUser(int socket) noexcept;

inline constexpr const char* kSocketSuffix = ".sock";
inline constexpr const char* kStartLockSuffix = ".lock";

}  // namespace pal::com
