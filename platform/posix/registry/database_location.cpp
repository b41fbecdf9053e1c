// The registry database's name, and the connection that keeps the in-memory
// database alive: a memdb database lives only while a connection to it is open,
// and the pool drops connections whose call failed.
#include "platform/posix/registry/database_location.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/posix/core/prefix.h"
#include "platform/posix/registry/database.h"

namespace pal::registry {
namespace {

// A name beginning with '/' makes memdb share one database among the process's connections.
constexpr char kMemoryDatabaseName[] = "file:/pal-registry?vfs=memdb";

std::atomic<bool> inMemory{false};

}  // namespace

LSTATUS RegistryDatabaseName(std::string& name) {
    if (inMemory.load(std::memory_order_acquire)) {
        name = kMemoryDatabaseName;
        return ERROR_SUCCESS;
    }
    std::string prefix;
    if (const LSTATUS found = FindPrefix(prefix); found != ERROR_SUCCESS)
        return found == ERROR_ACCESS_DENIED ? found : static_cast<LSTATUS>(ERROR_CANTOPEN);
    name = prefix + "/registry.db";
    return ERROR_SUCCESS;
}

bool IsMemoryDatabaseName(const std::string& name) noexcept { return name == kMemoryDatabaseName; }

void UseMemoryDatabase(bool use) {
    static std::mutex mutex;
    static Connection* keeper = nullptr;  // never closed: pooled connections may outlive any owner
    std::lock_guard<std::mutex> lock(mutex);
    if (use && keeper == nullptr) keeper = new Connection(kMemoryDatabaseName);
    inMemory.store(use, std::memory_order_release);
}

}  // namespace pal::registry
