// The COM server start: the Windows Runtime for the multithreaded apartment,
// the AppUserModelID, the class objects, and the wait until the last server
// reference is gone.
#pragma once

#include <windows.h>

// Runs the server path to its end; returns the process exit code.
HRESULT ServeNotificationActivator();
