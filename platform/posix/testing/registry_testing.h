// Test-only control of the registry: keep it in this process's memory (fast
// enough for fuzzing, same calls and codes), empty it, and read it whole.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pal::testing {

// From now on the registry of this process is one in-memory database shared by
// its threads instead of $PAL_PREFIX/registry.db; false returns to the prefix.
void KeepRegistryInMemory(bool inMemory);

// Removes every key below the hives and every value of the current registry.
LSTATUS ClearRegistry() noexcept;

// Every stored key and value row of the current registry, as SaveRegistry
// takes them.
struct RegistrySnapshot {
    struct Key {
        int64_t id, parent;
        std::vector<BYTE> name, folded;
        int64_t written;
    };
    struct Value {
        int64_t key;
        std::vector<BYTE> name, folded;
        int64_t type;
        std::vector<BYTE> data;
    };
    std::vector<Key> keys;
    std::vector<Value> values;
};

LSTATUS SaveRegistry(RegistrySnapshot& snapshot) noexcept;

// Puts back exactly the snapshot's keys, with their ids, and values: one
// transaction, where clearing and writing the keys again takes one a key.
LSTATUS RestoreRegistry(const RegistrySnapshot& snapshot) noexcept;

// Every key (id, parent, name) and value (key, name, type, data) of the current
// registry as text, in a fixed order; two equal texts mean equal registries.
std::string RegistryContents();

}  // namespace pal::testing
