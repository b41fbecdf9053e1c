// Test-only control of the registry: keep it in this process's memory (fast
// enough for fuzzing, same calls and codes), empty it, and read it whole.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/registry/key_store.h"

namespace pal::testing {

// From now on the registry of this process is one kept in its memory, shared
// by its threads, instead of $PAL_PREFIX/registry.db; false returns to the
// prefix. The memory's registry lasts until the process ends.
void KeepRegistryInMemory(bool inMemory);

// Removes every key below the hives and every value of the current registry.
LSTATUS ClearRegistry() noexcept;

// Every stored key and value row of the current registry, as SaveRegistry
// takes them.
struct RegistrySnapshot {
    std::vector<registry::KeyRow> keys;
    std::vector<registry::ValueRow> values;
};

LSTATUS SaveRegistry(RegistrySnapshot& snapshot) noexcept;

// Puts back exactly the snapshot's keys, with their ids, and values: one
// transaction, where clearing and writing the keys again takes one a key.
LSTATUS RestoreRegistry(const RegistrySnapshot& snapshot) noexcept;

// For the registry kept in memory (ERROR_NOT_SUPPORTED otherwise): marks its
// state now, and returns it to the mark, undoing every call since, as often as
// needed. Cheaper than a snapshot when the calls since changed little.
LSTATUS MarkRegistry() noexcept;
LSTATUS ReturnRegistryToMark() noexcept;

// Every key (id, parent, name) and value (key, name, type, data) of the current
// registry as text, in a fixed order; two equal texts mean equal registries.
std::string RegistryContents();

}  // namespace pal::testing
