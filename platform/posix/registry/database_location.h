// Where the registry's database lives: the prefix's registry.db, or, when a
// test asked for it, one database in this process's memory that every thread's
// connections share (same schema, same transactions, no file and no fsync).
#pragma once

#include <windows.h>

#include <string>

namespace pal::registry {

// The name to open: ERROR_ACCESS_DENIED for a refused prefix, ERROR_CANTOPEN
// when the prefix directory cannot be made.
LSTATUS RegistryDatabaseName(std::string& name);

// True for the in-memory database's name, which SQLite opens as a URI.
bool IsMemoryDatabaseName(const std::string& name) noexcept;

// Switches this process to the in-memory database (created empty on first use,
// kept alive by a connection of its own until the process ends) or back to the prefix.
void UseMemoryDatabase(bool inMemory);

}  // namespace pal::registry
