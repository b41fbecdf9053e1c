// Stand-in for winstring.h: the Windows Runtime string functions the program uses.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <hstring.h>

extern "C" {
HRESULT WINAPI WindowsCreateStringReference(PCWSTR sourceString, UINT32 length, HSTRING_HEADER* header,
                                            HSTRING* string);
HRESULT WINAPI WindowsCreateString(PCWSTR sourceString, UINT32 length, HSTRING* string);
HRESULT WINAPI WindowsDeleteString(HSTRING string);
HRESULT WINAPI WindowsDuplicateString(HSTRING string, HSTRING* newString);
PCWSTR WINAPI WindowsGetStringRawBuffer(HSTRING string, UINT32* length);
UINT32 WINAPI WindowsGetStringLen(HSTRING string);
BOOL WINAPI WindowsIsStringEmpty(HSTRING string);
}
