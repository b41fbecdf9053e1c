// The registry's test interface, written against the store's own tables.
#include "platform/posix/testing/registry_testing.h"

#include <cstdio>

#include "platform/posix/registry/database.h"
#include "platform/posix/registry/database_location.h"

namespace pal::testing {
namespace {

void AppendHex(std::string& out, const std::vector<BYTE>& bytes) {
    char digits[3];
    for (BYTE byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        out += digits;
    }
}

}  // namespace

void KeepRegistryInMemory(bool inMemory) { registry::UseMemoryDatabase(inMemory); }

LSTATUS ClearRegistry() noexcept {
    return registry::InTransaction(registry::Access::Write, [](registry::Connection& connection) -> LSTATUS {
        connection.Execute("DELETE FROM key_values");
        connection.Execute("DELETE FROM keys WHERE parent <> 0");
        return ERROR_SUCCESS;
    });
}

std::string RegistryContents() {
    std::string out;
    const LSTATUS status = registry::InTransaction(registry::Access::Read, [&](registry::Connection& connection) -> LSTATUS {
        registry::Query keys(connection, "SELECT id, parent, name FROM keys ORDER BY id");
        while (keys.Step()) {
            out += "k " + std::to_string(keys.Integer(0)) + " " + std::to_string(keys.Integer(1)) + " ";
            AppendHex(out, keys.Bytes(2));
            out += "\n";
        }
        registry::Query values(connection, "SELECT key, name, type, data FROM key_values ORDER BY key, folded");
        while (values.Step()) {
            out += "v " + std::to_string(values.Integer(0)) + " ";
            AppendHex(out, values.Bytes(1));
            out += " " + std::to_string(values.Integer(2)) + " ";
            AppendHex(out, values.Bytes(3));
            out += "\n";
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) out += "error " + std::to_string(status) + "\n";
    return out;
}

}  // namespace pal::testing
