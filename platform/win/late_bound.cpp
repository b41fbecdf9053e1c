// The late-bound Windows Runtime and path functions. Each keeps the SDK's name
// and signature; when the system does not have it, it fails as a missing
// feature would (E_NOTIMPL, or the empty text for the string buffer).
#include "platform/win/late_bound.h"

#include <roapi.h>
#include <winstring.h>

namespace pal_win {

FARPROC FindSystemExport(const wchar_t* library, const char* name) noexcept {
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

}  // namespace pal_win

namespace {

constexpr wchar_t kCombase[] = L"combase.dll";
constexpr wchar_t kPathApi[] = L"api-ms-win-core-path-l1-1-0.dll";

#define QUILL_LATE_BOUND(library, name) \
    static std::atomic<decltype(&name)> slot{nullptr}; \
    const auto bound = pal_win::BindOnFirstCall(slot, library, #name)

}  // namespace

extern "C" HRESULT WINAPI RoActivateInstance(HSTRING activatableClassId, IInspectable** instance) {
    QUILL_LATE_BOUND(kCombase, RoActivateInstance);
    return bound ? bound(activatableClassId, instance) : E_NOTIMPL;
}

extern "C" HRESULT WINAPI WindowsCreateStringReference(PCWSTR source, UINT32 length, HSTRING_HEADER* header,
                                                       HSTRING* string) {
    QUILL_LATE_BOUND(kCombase, WindowsCreateStringReference);
    return bound ? bound(source, length, header, string) : E_NOTIMPL;
}

extern "C" PCWSTR WINAPI WindowsGetStringRawBuffer(HSTRING string, UINT32* length) {
    QUILL_LATE_BOUND(kCombase, WindowsGetStringRawBuffer);
    if (bound) return bound(string, length);
    if (length) *length = 0;
    return L"";
}

extern "C" HRESULT WINAPI WindowsDeleteString(HSTRING string) {
    QUILL_LATE_BOUND(kCombase, WindowsDeleteString);
    return bound ? bound(string) : E_NOTIMPL;
}

// pathcch.h declares PathCchRemoveFileSpec as a DLL import, so callers go
// through its import slot; the slot here holds the first-call binder.
namespace {

using PathCchRemoveFileSpecFunction = HRESULT(WINAPI*)(PWSTR, size_t);

HRESULT WINAPI BindPathCchRemoveFileSpec(PWSTR path, size_t capacity) {
    static std::atomic<PathCchRemoveFileSpecFunction> slot{nullptr};
    const auto bound = pal_win::BindOnFirstCall(slot, kPathApi, "PathCchRemoveFileSpec");
    return bound ? bound(path, capacity) : E_NOTIMPL;
}

}  // namespace

extern "C" {
PathCchRemoveFileSpecFunction __imp_PathCchRemoveFileSpec = BindPathCchRemoveFileSpec;
}
