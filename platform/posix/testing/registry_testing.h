// Test-only control of the registry: keep it in this process's memory (fast
// enough for fuzzing, same calls and codes), empty it, and read it whole.
#pragma once

#include <windows.h>

#include <string>

namespace pal::testing {

// From now on the registry of this process is one in-memory database shared by
// its threads instead of $PAL_PREFIX/registry.db; false returns to the prefix.
void KeepRegistryInMemory(bool inMemory);

// Removes every key below the hives and every value of the current registry.
LSTATUS ClearRegistry() noexcept;

// Every key (id, parent, name) and value (key, name, type, data) of the current
// registry as text, in a fixed order; two equal texts mean equal registries.
std::string RegistryContents();

}  // namespace pal::testing
