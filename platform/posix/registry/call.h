// The frame every registry call shares: find the handle's object, check the
// rights the call needs, and run the body in one transaction.
#pragma once

#include <algorithm>
#include <new>

#include "platform/posix/registry/arguments.h"
#include "platform/posix/registry/database.h"
#include "platform/posix/registry/key_view.h"
#include "platform/posix/testing/fault_injection.h"

namespace pal::registry {

template <class Body>
LSTATUS OnKey(HKEY key, Access access, REGSAM neededRights, Body&& body) noexcept {
    const KeyRef object = FindKeyObject(key);
    if (!object) return ERROR_INVALID_HANDLE;
    if ((object->access & neededRights) != neededRights) return ERROR_ACCESS_DENIED;
    return InTransaction(access, [&](KeyStore& db) { return body(db, *object); });
}

// Copies a name with its terminator into a buffer of *length units; on return
// *length holds the units copied without the terminator.
inline LSTATUS CopyName(const std::u16string& name, LPWSTR buffer, LPDWORD length) noexcept {
    if (name.size() + 1 > *length) return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = 0;
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// A failure a test armed for this call, or ERROR_SUCCESS.
inline LSTATUS InjectedFailure(pal::testing::Fault fault) noexcept {
    return static_cast<LSTATUS>(pal::testing::TakeInjectedFailure(fault));
}

inline void StoreFileTime(int64_t ticks, PFILETIME time) noexcept {
    if (time == nullptr) return;
    time->dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
    time->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
}

}  // namespace pal::registry
