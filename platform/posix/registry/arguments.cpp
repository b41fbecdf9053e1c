// Argument checks shared by the registry calls.
#include "platform/posix/registry/arguments.h"

namespace pal::registry {
namespace {

constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kKeyRights = KEY_ALL_ACCESS | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER | SYNCHRONIZE;

}  // namespace

LSTATUS ParseSubkeyPath(LPCWSTR text, KeyPath& path) {
    path.clear();
    if (text == nullptr) return ERROR_SUCCESS;
    if (text[0] == u'\\') return ERROR_BAD_PATHNAME;
    size_t names = 1;
    for (const WCHAR* unit = text; *unit != 0; ++unit) names += *unit == u'\\';
    path.reserve(names);
    for (const WCHAR* start = text;;) {
        const WCHAR* end = start;
        while (*end != u'\\' && *end != 0) ++end;
        const size_t length = static_cast<size_t>(end - start);
        if (length > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
        if (length != 0) path.emplace_back(start, length);
        if (*end == 0) return ERROR_SUCCESS;
        start = end + 1;
    }
}

LSTATUS GrantedAccess(REGSAM desired, REGSAM& granted) {
    if ((desired & KEY_WOW64_RES) == KEY_WOW64_RES) return ERROR_INVALID_PARAMETER;
    REGSAM rights = desired & ~static_cast<REGSAM>(KEY_WOW64_RES);
    const std::pair<REGSAM, REGSAM> mappings[] = {{kMaximumAllowed, KEY_ALL_ACCESS},
                                                  {kGenericAll, KEY_ALL_ACCESS},
                                                  {kGenericRead, KEY_READ},
                                                  {kGenericWrite, KEY_WRITE},
                                                  {kGenericExecute, KEY_EXECUTE}};
    for (const auto& [generic, specific] : mappings) {
        if (rights & generic) rights = (rights & ~generic) | specific;
    }
    if ((rights & ~kKeyRights) != 0) return ERROR_NOT_SUPPORTED;
    granted = rights;
    return ERROR_SUCCESS;
}

LSTATUS CheckValueName(LPCWSTR name) {
    if (name != nullptr && static_cast<size_t>(lstrlenW(name)) > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

}  // namespace pal::registry
