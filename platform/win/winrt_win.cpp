// The Windows Runtime and path functions the program calls by their SDK names,
// defined here so that nothing imports them: each binds to combase.dll (or the
// path API set) on its first call, and the program still starts on Windows 7.
#include <windows.h>

#include <pathcch.h>
#include <roapi.h>
#include <winstring.h>

#include <notification_platform.h>

#include "platform/win/late_bound_win.h"

namespace {

using pal::win::LateBound;
using pal::win::MissingFunctionResult;

constexpr wchar_t kCombase[] = L"combase.dll";

LateBound<HRESULT(RO_INIT_TYPE)> roInitialize{kCombase, "RoInitialize"};
LateBound<void()> roUninitialize{kCombase, "RoUninitialize"};
LateBound<HRESULT(HSTRING, IInspectable**)> roActivateInstance{kCombase, "RoActivateInstance"};
LateBound<HRESULT(HSTRING, REFIID, void**)> roGetActivationFactory{kCombase, "RoGetActivationFactory"};
LateBound<BOOL(HRESULT, HSTRING)> roOriginateError{kCombase, "RoOriginateError"};
LateBound<HRESULT(PCWSTR, UINT32, HSTRING_HEADER*, HSTRING*)> windowsCreateStringReference{
    kCombase, "WindowsCreateStringReference"};
LateBound<HRESULT(PCWSTR, UINT32, HSTRING*)> windowsCreateString{kCombase, "WindowsCreateString"};
LateBound<HRESULT(HSTRING)> windowsDeleteString{kCombase, "WindowsDeleteString"};
LateBound<HRESULT(HSTRING, HSTRING*)> windowsDuplicateString{kCombase, "WindowsDuplicateString"};
LateBound<PCWSTR(HSTRING, UINT32*)> windowsGetStringRawBuffer{kCombase, "WindowsGetStringRawBuffer"};
LateBound<UINT32(HSTRING)> windowsGetStringLen{kCombase, "WindowsGetStringLen"};
LateBound<BOOL(HSTRING)> windowsIsStringEmpty{kCombase, "WindowsIsStringEmpty"};
LateBound<HRESULT(PWSTR, size_t)> pathCchRemoveFileSpec{L"api-ms-win-core-path-l1-1-0.dll", "PathCchRemoveFileSpec",
                                                        L"kernelbase.dll"};

}  // namespace

extern "C" {

HRESULT WINAPI RoInitialize(RO_INIT_TYPE initType) { return roInitialize.Call(MissingFunctionResult, initType); }

void WINAPI RoUninitialize(void) { roUninitialize.Call([] {}); }

HRESULT WINAPI RoActivateInstance(HSTRING activatableClassId, IInspectable** instance) {
    return roActivateInstance.Call(MissingFunctionResult, activatableClassId, instance);
}

HRESULT WINAPI RoGetActivationFactory(HSTRING activatableClassId, REFIID iid, void** factory) {
    return roGetActivationFactory.Call(MissingFunctionResult, activatableClassId, iid, factory);
}

BOOL WINAPI RoOriginateError(HRESULT error, HSTRING message) {
    return roOriginateError.Call([] { return FALSE; }, error, message);
}

HRESULT WINAPI WindowsCreateStringReference(PCWSTR sourceString, UINT32 length, HSTRING_HEADER* header,
                                            HSTRING* string) {
    return windowsCreateStringReference.Call(MissingFunctionResult, sourceString, length, header, string);
}

HRESULT WINAPI WindowsCreateString(PCWSTR sourceString, UINT32 length, HSTRING* string) {
    return windowsCreateString.Call(MissingFunctionResult, sourceString, length, string);
}

HRESULT WINAPI WindowsDeleteString(HSTRING string) { return windowsDeleteString.Call(MissingFunctionResult, string); }

HRESULT WINAPI WindowsDuplicateString(HSTRING string, HSTRING* newString) {
    return windowsDuplicateString.Call(MissingFunctionResult, string, newString);
}

PCWSTR WINAPI WindowsGetStringRawBuffer(HSTRING string, UINT32* length) {
    // Without the runtime no string can exist but the empty one.
    return windowsGetStringRawBuffer.Call(
        [length] {
            if (length != nullptr) *length = 0;
            return L"";
        },
        string, length);
}

UINT32 WINAPI WindowsGetStringLen(HSTRING string) {
    return windowsGetStringLen.Call([] { return UINT32{0}; }, string);
}

BOOL WINAPI WindowsIsStringEmpty(HSTRING string) { return windowsIsStringEmpty.Call([] { return TRUE; }, string); }

HRESULT APIENTRY PathCchRemoveFileSpec(PWSTR path, size_t capacity) {
    return pathCchRemoveFileSpec.Call(MissingFunctionResult, path, capacity);
}

}  // extern "C"
