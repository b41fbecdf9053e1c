// Stand-in for oleauto.h: the one number conversion the registrar uses.
#pragma once

#include <windef.h>
#include <winerror.h>

extern "C" HRESULT WINAPI VarUI4FromStr(LPCOLESTR text, LCID locale, ULONG flags, ULONG* result);
