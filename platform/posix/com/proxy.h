// Client-side stand-ins for objects in a local server. Each proxy owns one
// reference held for it by the server; its last Release gives that back.
// Activate waits for as long as the server lives; every other call is part of
// activating or letting go, and ends within the server start time-out.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <memory>

#include "platform/posix/com/channel.h"

namespace pal::com {

// Asks the server behind the channel for a class object and wraps it.
HRESULT GetRemoteClassObject(const std::shared_ptr<Channel>& channel, REFCLSID clsid, REFIID iid, void** object,
                             const Deadline& deadline);

// Asks the server behind the channel to make an instance of a class (its
// class object's CreateInstance, unaggregated) and wraps it.
HRESULT CreateRemoteInstance(const std::shared_ptr<Channel>& channel, REFCLSID clsid, REFIID iid, void** object,
                             const Deadline& deadline);

}  // namespace pal::com
