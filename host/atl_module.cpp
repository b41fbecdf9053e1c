// Construction and teardown of the root module record.
#include "host/atl_module.h"

CAtlModule::CAtlModule() noexcept {
    // A lock that cannot be initialised leaves the marker at 0, so teardown does nothing.
    if (InitializeCriticalSectionEx(&moduleLock, 0, 0)) cbSize = kInitializedSize;
}

CAtlModule::~CAtlModule() { Term(); }

void CAtlModule::Term() noexcept {
    if (cbSize == 0) return;
    DeleteCriticalSection(&moduleLock);
    cbSize = 0;
}
