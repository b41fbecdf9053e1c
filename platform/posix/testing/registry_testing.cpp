// The registry's test interface, written against the store's own tables.
#include "platform/posix/testing/registry_testing.h"

#include "platform/posix/registry/database.h"
#include "platform/posix/registry/database_location.h"

namespace pal::testing {
namespace {

// Called for every name and value on every read of the whole registry, which
// a fuzz target does once an input.
void AppendHex(std::string& out, const std::vector<BYTE>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const size_t start = out.size();
    out.resize(start + bytes.size() * 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        out[start + 2 * i] = kDigits[bytes[i] >> 4];
        out[start + 2 * i + 1] = kDigits[bytes[i] & 0xF];
    }
}

void DeleteAllButTheHives(registry::Connection& connection) {
    connection.Execute("DELETE FROM key_values");
    connection.Execute("DELETE FROM keys WHERE parent <> 0");
}

}  // namespace

void KeepRegistryInMemory(bool inMemory) { registry::UseMemoryDatabase(inMemory); }

LSTATUS ClearRegistry() noexcept {
    return registry::InTransaction(registry::Access::Write, [](registry::Connection& connection) -> LSTATUS {
        DeleteAllButTheHives(connection);
        return ERROR_SUCCESS;
    });
}

LSTATUS SaveRegistry(RegistrySnapshot& snapshot) noexcept {
    return registry::InTransaction(registry::Access::Read, [&](registry::Connection& connection) -> LSTATUS {
        snapshot = {};
        registry::Query keys(connection, "SELECT id, parent, name, folded, written FROM keys WHERE parent <> 0");
        while (keys.Step())
            snapshot.keys.push_back({keys.Integer(0), keys.Integer(1), keys.Bytes(2), keys.Bytes(3), keys.Integer(4)});
        registry::Query values(connection, "SELECT key, name, folded, type, data FROM key_values");
        while (values.Step())
            snapshot.values.push_back({values.Integer(0), values.Bytes(1), values.Bytes(2), values.Integer(3), values.Bytes(4)});
        return ERROR_SUCCESS;
    });
}

LSTATUS RestoreRegistry(const RegistrySnapshot& snapshot) noexcept {
    return registry::InTransaction(registry::Access::Write, [&](registry::Connection& connection) -> LSTATUS {
        DeleteAllButTheHives(connection);
        for (const RegistrySnapshot::Key& key : snapshot.keys) {
            registry::Query(connection, "INSERT INTO keys(id, parent, name, folded, written) VALUES (?1, ?2, ?3, ?4, ?5)")
                .Bind(1, key.id)
                .Bind(2, key.parent)
                .Bind(3, key.name.data(), key.name.size())
                .Bind(4, key.folded.data(), key.folded.size())
                .Bind(5, key.written)
                .Run();
        }
        for (const RegistrySnapshot::Value& value : snapshot.values) {
            registry::Query(connection, "INSERT INTO key_values(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)")
                .Bind(1, value.key)
                .Bind(2, value.name.data(), value.name.size())
                .Bind(3, value.folded.data(), value.folded.size())
                .Bind(4, value.type)
                .Bind(5, value.data.data(), value.data.size())
                .Run();
        }
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
