// The registry's test interface, written against the store's own tables.
#include "platform/posix/testing/registry_testing.h"

#include <algorithm>

#include "platform/posix/registry/database.h"
#include "platform/posix/registry/memory_key_store.h"

namespace pal::testing {
namespace {

// Called for every name and value on every read of the whole registry, which
// a fuzz target does once an input.
void AppendHex(std::string& out, const BYTE* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const size_t start = out.size();
    out.resize(start + size * 2);
    for (size_t i = 0; i < size; ++i) {
        out[start + 2 * i] = kDigits[bytes[i] >> 4];
        out[start + 2 * i + 1] = kDigits[bytes[i] & 0xF];
    }
}

// A name's units in memory order, as the database keeps them.
void AppendHex(std::string& out, std::u16string_view name) {
    AppendHex(out, reinterpret_cast<const BYTE*>(name.data()), name.size() * sizeof(char16_t));
}

}  // namespace

void KeepRegistryInMemory(bool inMemory) { registry::KeepInMemory(inMemory); }

LSTATUS ClearRegistry() noexcept {
    return registry::InTransaction(registry::Access::Write, [](registry::KeyStore& store) -> LSTATUS {
        store.ReplaceRows({}, {});
        return ERROR_SUCCESS;
    });
}

LSTATUS SaveRegistry(RegistrySnapshot& snapshot) noexcept {
    return registry::InTransaction(registry::Access::Read, [&](registry::KeyStore& store) -> LSTATUS {
        snapshot.keys = store.KeyRows();
        snapshot.values = store.ValueRows();
        return ERROR_SUCCESS;
    });
}

LSTATUS RestoreRegistry(const RegistrySnapshot& snapshot) noexcept {
    return registry::InTransaction(registry::Access::Write, [&](registry::KeyStore& store) -> LSTATUS {
        store.ReplaceRows(snapshot.keys, snapshot.values);
        return ERROR_SUCCESS;
    });
}

LSTATUS MarkRegistry() noexcept {
    registry::MemoryKeyStore* store = registry::KeptInMemory();
    if (store == nullptr) return ERROR_NOT_SUPPORTED;
    store->Mark();
    return ERROR_SUCCESS;
}

LSTATUS ReturnRegistryToMark() noexcept {
    registry::MemoryKeyStore* store = registry::KeptInMemory();
    if (store == nullptr) return ERROR_NOT_SUPPORTED;
    store->ReturnToMark();
    return ERROR_SUCCESS;
}

std::string RegistryContents() {
    std::string out;
    const LSTATUS status = registry::InTransaction(registry::Access::Read, [&](registry::KeyStore& store) -> LSTATUS {
        for (const registry::KeyRow& key : store.KeyRows()) {
            out += "k " + std::to_string(key.id) + " " + std::to_string(key.parent) + " ";
            AppendHex(out, key.name);
            out += "\n";
        }
        std::vector<registry::ValueRow> values = store.ValueRows();
        // By name within a key: the place of a value is not part of what it is.
        std::stable_sort(values.begin(), values.end(), [](const registry::ValueRow& a, const registry::ValueRow& b) {
            return a.key != b.key ? a.key < b.key : registry::FoldedName(a.value.name) < registry::FoldedName(b.value.name);
        });
        for (const registry::ValueRow& row : values) {
            out += "v " + std::to_string(row.key) + " ";
            AppendHex(out, row.value.name);
            out += " " + std::to_string(row.value.type) + " ";
            AppendHex(out, row.value.data.data(), row.value.data.size());
            out += "\n";
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) out += "error " + std::to_string(status) + "\n";
    return out;
}

}  // namespace pal::testing
