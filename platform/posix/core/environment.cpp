// ExpandEnvironmentStringsW over the process environment. Names are looked up
// as Windows does, ignoring case (an exact match wins); values are UTF-8 on
// Linux. A %NAME% whose variable is not set, and a % without its pair, stay as
// written.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "platform/posix/core/utf.h"

extern char** environ;

namespace {

std::optional<std::u16string> VariableValue(const std::u16string& name) {
    const std::string wanted = pal::ToUtf8(name);
    if (const char* value = std::getenv(wanted.c_str()); value != nullptr) return pal::FromUtf8(value);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals == nullptr) continue;
        const std::u16string entryName = pal::FromUtf8(std::string_view(*entry, static_cast<size_t>(equals - *entry)));
        if (lstrcmpiW(entryName.c_str(), name.c_str()) == 0) return pal::FromUtf8(equals + 1);
    }
    return std::nullopt;
}

std::u16string Expand(std::u16string_view source) {
    std::u16string expanded;
    for (size_t at = 0; at < source.size();) {
        const size_t open = source.find(u'%', at);
        const size_t close = open == std::u16string_view::npos ? open : source.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            expanded.append(source.substr(at));
            break;
        }
        expanded.append(source.substr(at, open - at));
        const std::u16string name(source.substr(open + 1, close - open - 1));
        const std::optional<std::u16string> value = name.empty() ? std::nullopt : VariableValue(name);
        expanded.append(value ? std::u16string_view(*value) : source.substr(open, close - open + 1));
        at = close + 1;
    }
    return expanded;
}

}  // namespace

// The characters the expansion needs with its terminator; it is written only
// when the buffer holds all of them.
extern "C" DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size) {
    if (source == nullptr || (destination == nullptr && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        const std::u16string expanded = Expand(source);
        const DWORD needed = static_cast<DWORD>(expanded.size() + 1);
        if (needed <= size) std::memcpy(destination, expanded.c_str(), needed * sizeof(WCHAR));
        return needed;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}
