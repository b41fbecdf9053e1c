// Where a prefix's local servers can be reached: a per-user directory of mode
// 0700, named by a hash of the prefix and the user id so that its socket paths
// stay within the socket-name limit however long the prefix is.
#pragma once

#include <windows.h>

#include <string>

namespace pal::com {

// The endpoint directory of the current prefix, created on demand and checked
// to belong to this user with no access for others.
HRESULT EndpointDirectory(std::string& directory);

// "<directory>/<32 hex digits of the CLSID><suffix>".
HRESULT EndpointFile(REFCLSID clsid, const char* suffix, std::string& path);

inline constexpr const char* kSocketSuffix = ".sock";
inline constexpr const char* kStartLockSuffix = ".lock";

}  // namespace pal::com
