// How a key object maps onto stored keys: one row for a direct key, up to two
// (user first, then machine) for the classes view, with Windows' rules for
// where the classes view reads and writes.
#pragma once

#include <optional>

#include "platform/posix/registry/key_handle.h"

namespace pal::registry {

using KeyPath = std::vector<std::u16string>;

// The stored keys behind object, highest priority first. ERROR_KEY_DELETED when
// the key is gone; the classes root may have none and still be valid.
LSTATUS ResolveLayers(KeyStore& db, const KeyObject& object, std::vector<KeyId>& layers);

// The key at path below parent (parent itself for an empty path) and its
// layers as ResolveLayers gives them. ERROR_FILE_NOT_FOUND when nothing exists
// there, ERROR_KEY_DELETED when parent is gone.
LSTATUS OpenBelow(KeyStore& db, const KeyObject& parent, const KeyPath& path, KeyObject& child,
                  std::vector<KeyId>& layers);

// Opens or creates; a new classes-view key is stored under HKLM\Software\Classes.
// ERROR_ACCESS_DENIED when a key must be made and parent lacks KEY_CREATE_SUB_KEY.
LSTATUS CreateBelow(KeyStore& db, const KeyObject& parent, const KeyPath& path, KeyObject& child, bool& created);

// Where a value write lands: the user's key when the classes view has one.
LSTATUS ValueTarget(KeyStore& db, const KeyObject& object, KeyId& target);

// The merged view: the first layer's entry wins over same-named later ones.
std::vector<std::u16string> MergedSubkeys(KeyStore& db, const std::vector<KeyId>& layers);
std::vector<StoredValue> MergedValues(KeyStore& db, const std::vector<KeyId>& layers);
// The value of that name as the key shows it: ERROR_FILE_NOT_FOUND without
// one, ERROR_KEY_DELETED once the key is gone.
LSTATUS FindMergedValue(KeyStore& db, const KeyObject& object, std::u16string_view name, StoredValue& value);

}  // namespace pal::registry
