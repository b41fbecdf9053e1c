// The registry's rows in the prefix's database: the keys and key_values tables,
// read and written inside the transaction the registry call opened.
#pragma once

#include "platform/posix/registry/database.h"
#include "platform/posix/registry/key_store.h"

namespace pal::registry {

class SqlKeyStore final : public KeyStore {
public:
    explicit SqlKeyStore(Connection& connection) noexcept : db_(connection) {}

    bool KeyExists(KeyId key) override;
    std::optional<KeyId> FindSubkey(KeyId parent, std::u16string_view name) override;
    KeyId CreateSubkey(KeyId parent, std::u16string_view name) override;
    std::vector<std::u16string> SubkeyNames(KeyId key) override;
    bool HasSubkeys(KeyId key) override;
    void DeleteKeyRow(KeyId key) override;

    std::optional<StoredValue> FindValue(KeyId key, std::u16string_view name) override;
    std::vector<StoredValue> Values(KeyId key) override;
    void StoreValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) override;
    bool RemoveValue(KeyId key, std::u16string_view name) override;
    int64_t LastWriteTime(KeyId key) override;

    int64_t& Remembered(size_t slot) override { return db_.Remembered(slot); }

    std::vector<KeyRow> KeyRows() override;
    std::vector<ValueRow> ValueRows() override;
    void ReplaceRows(const std::vector<KeyRow>& keys, const std::vector<ValueRow>& values) override;

private:
    void Touch(KeyId key);

    Connection& db_;
};

}  // namespace pal::registry
