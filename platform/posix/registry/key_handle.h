// What an HKEY stands for: a heap object in a table of live handles, or one of
// the predefined keys. A handle remembers its access rights; looking up a
// closed or made-up value finds nothing, so it is answered, not dereferenced.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/registry/key_store.h"

namespace pal::registry {

constexpr size_t kClassesLayerCount = 2;
using ClassesLayerIds = std::array<KeyId, kClassesLayerCount>;

struct KeyObject {
    // The classes view merges HKCU\Software\Classes over HKLM\Software\Classes;
    // its keys are named by their path below those two, not by one row.
    bool classesView = false;
    KeyId id = 0;
    std::vector<std::u16string> path;
    REGSAM access = 0;
    // For the classes view: the user's and the machine's key at path when the
    // handle was made (0 for none then). Only where the next walk starts: such
    // a key that still exists is still at path, since key ids are never reused
    // and keys never move, and a hive without one is walked from its root.
    ClassesLayerIds seenLayers{};
};

using KeyRef = std::shared_ptr<const KeyObject>;

KeyRef FindKeyObject(HKEY key) noexcept;  // null for anything but a live or supported predefined key
HKEY AddKeyObject(KeyObject object);      // may throw std::bad_alloc
bool RemoveKeyObject(HKEY key) noexcept;  // false when key is not a live handle
bool IsPredefinedKey(HKEY key) noexcept;

}  // namespace pal::registry
