/* What the generated proxy code includes for base_types.idl: the SDK's own
 * declarations, and the IUnknown proxy entry points rpcrt4 exports, which the
 * SDK headers of this toolchain do not declare for C. */
#include <windows.h>
#include <unknwn.h>

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid, void **object);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);
