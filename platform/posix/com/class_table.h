// The class objects this process has registered, and the server count that
// decides when they stop taking activations from other processes.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "common/com_ptr.h"

namespace pal::com {

// A class object registered in this process, whatever its state: activations
// from the process itself find it directly.
HRESULT FindRegisteredClassObject(REFCLSID clsid, com_ptr<IUnknown>& object) noexcept;

// A class object that serves other processes now: registered, resumed and not
// stopping. CO_E_SERVER_STOPPING otherwise, so that clients start a new server.
HRESULT FindServedClassObject(REFCLSID clsid, com_ptr<IUnknown>& object) noexcept;

// True once the server count has returned to zero: the process is on its way out.
bool ServerStopping() noexcept;

// The multithreaded apartment is being left for good: other processes can no
// longer reach this one's classes, and the calls in flight are waited for, so
// nothing of the process runs on a worker once this returns.
void EndServing() noexcept;

}  // namespace pal::com
