// Where the registry's database lives: the prefix's registry.db.
#pragma once

#include <windows.h>

#include <string>

namespace pal::registry {

// The name to open: ERROR_ACCESS_DENIED for a refused prefix, ERROR_CANTOPEN
// when the prefix directory cannot be made.
LSTATUS RegistryDatabaseName(std::string& name);

}  // namespace pal::registry
