// What the COM benchmarks share: the client's apartment for the length of one
// benchmark, and an activator created from a local server.
#pragma once

#include <notification_platform.h>
#include <objbase.h>

#include "common/com_ptr.h"

class ClientApartment {
public:
    ClientApartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ClientApartment() { CoUninitialize(); }
    ClientApartment(const ClientApartment&) = delete;
    ClientApartment& operator=(const ClientApartment&) = delete;
};

// Starts the class's server if none runs; empty when activation fails.
inline com_ptr<winsdk::INotificationActivationCallback> CreateLocalActivator(REFCLSID clsid) {
    com_ptr<winsdk::INotificationActivationCallback> callback;
    CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
    return callback;
}
