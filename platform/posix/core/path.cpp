// Path trimming: both "\" and "/" separate path elements (Linux paths use "/"),
// and a drive or Unix root ("C:\", "/") keeps its separator; a UNC root
// ("\\server\share") has none of its own, as Windows strips it.
#include <pathcch.h>
#include <shlwapi.h>
#include <windows.h>

namespace {

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// Length of the root at the start of the path, separator included.
size_t RootLength(const WCHAR* path, size_t length) {
    if (length >= 2 && path[1] == u':' && ((path[0] | 0x20) >= u'a' && (path[0] | 0x20) <= u'z'))
        return length >= 3 && IsSeparator(path[2]) ? 3 : 2;
    if (length >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share : two more elements belong to the root, not the separator after them.
        size_t at = 2;
        for (int element = 0; element < 2 && at < length; ++element) {
            if (element > 0) ++at;
            while (at < length && !IsSeparator(path[at])) ++at;
        }
        return at < length ? at : length;
    }
    return length >= 1 && IsSeparator(path[0]) ? 1 : 0;
}

// Cuts the last element and its leading separator; true when something was cut.
bool RemoveLastElement(WCHAR* path, size_t length) {
    const size_t root = RootLength(path, length);
    if (length <= root) return false;
    size_t cut = length;
    while (cut > root && !IsSeparator(path[cut - 1])) --cut;
    if (cut > root) --cut;  // the element's leading separator goes too
    path[cut] = 0;
    return true;
}

}  // namespace

extern "C" HRESULT WINAPI PathCchRemoveFileSpec(PWSTR path, size_t capacity) {
    if (path == nullptr || capacity == 0 || capacity > 32768) return E_INVALIDARG;
    size_t length = 0;
    while (length < capacity && path[length] != 0) ++length;
    if (length == capacity) return E_INVALIDARG;
    return RemoveLastElement(path, length) ? S_OK : S_FALSE;
}

extern "C" BOOL WINAPI PathRemoveFileSpecW(LPWSTR path) {
    if (path == nullptr) return FALSE;
    return RemoveLastElement(path, static_cast<size_t>(lstrlenW(path))) ? TRUE : FALSE;
}
