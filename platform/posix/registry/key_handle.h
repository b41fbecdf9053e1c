// What an HKEY stands for: a heap object in a table of live handles, or one of
// the predefined keys. A handle remembers its access rights; looking up a
// closed or made-up value finds nothing, so it is answered, not dereferenced.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/registry/key_store.h"

namespace pal::registry {

struct KeyObject {
    // The classes view merges HKCU\Software\Classes over HKLM\Software\Classes;
    // its keys are named by their path below those two, not by one row.
    bool classesView = false;
    KeyId id = 0;
    std::vector<std::u16string> path;
    REGSAM access = 0;
};

using KeyRef = std::shared_ptr<const KeyObject>;

KeyRef FindKeyObject(HKEY key) noexcept;  // null for anything but a live or supported predefined key
HKEY AddKeyObject(KeyObject object);      // may throw std::bad_alloc
bool RemoveKeyObject(HKEY key) noexcept;  // false when key is not a live handle
bool IsPredefinedKey(HKEY key) noexcept;

}  // namespace pal::registry
