#include "platform/posix/registry/database_location.h"

#include "platform/posix/core/prefix.h"

namespace pal::registry {

LSTATUS RegistryDatabaseName(std::string& name) {
    std::string prefix;
    if (const LSTATUS found = FindPrefix(prefix); found != ERROR_SUCCESS)
        return found == ERROR_ACCESS_DENIED ? found : static_cast<LSTATUS>(ERROR_CANTOPEN);
    name = prefix + "/registry.db";
    return ERROR_SUCCESS;
}

}  // namespace pal::registry
