// Stand-in for objbase.h / combaseapi.h: the COM runtime calls of a local
// server and of its clients, and the COM task allocator.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <unknwn.h>

typedef enum tagCOINIT {
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef enum tagREGCLS {
    REGCLS_SINGLEUSE = 0,
    REGCLS_MULTIPLEUSE = 1,
    REGCLS_MULTI_SEPARATE = 2,
    REGCLS_SUSPENDED = 4,
    REGCLS_SURROGATE = 8,
    REGCLS_AGILE = 0x10
} REGCLS;

extern "C" {
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit);
void WINAPI CoUninitialize();
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsContext, REFIID riid, LPVOID* object);
HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD clsContext, LPVOID serverInfo, REFIID riid, LPVOID* object);
HRESULT WINAPI CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN object, DWORD clsContext, DWORD flags,
                                     LPDWORD cookie);
HRESULT WINAPI CoRevokeClassObject(DWORD cookie);
HRESULT WINAPI CoResumeClassObjects();
HRESULT WINAPI CoSuspendClassObjects();
ULONG WINAPI CoAddRefServerProcess();
ULONG WINAPI CoReleaseServerProcess();

LPVOID WINAPI CoTaskMemAlloc(SIZE_T size);
LPVOID WINAPI CoTaskMemRealloc(LPVOID block, SIZE_T size);
void WINAPI CoTaskMemFree(LPVOID block);

HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR text, int capacity);
}
