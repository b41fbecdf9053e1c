// What a connection read of values and keys (and of subkeys looked up by
// name), kept while the registry has had no commit since: a repeated value
// read or key opening is then answered without SQLite, whose read transaction
// takes and drops a lock on the shared log index. Whether anything was
// committed is told by the log index's header, which every commit by any
// process rewrites (SQLite's documented WAL-index format: two copies of a
// 48-byte header at the start of the -shm file).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/registry/key_store.h"

struct sqlite3;

namespace pal::registry {

using LogStamp = std::array<uint8_t, 48>;

// The log index's header as it is now: nullopt when the connection has none
// mapped yet or a commit is rewriting it at this moment.
std::optional<LogStamp> ReadLogStamp(sqlite3* connection) noexcept;

class ReadCache {
public:
    // True when entries were read at stamp, so they are still the registry's.
    bool Current(const LogStamp& stamp) const noexcept { return stamp_ && *stamp_ == stamp; }
    // From now on entries are those of the registry at stamp: the old ones go
    // unless they were read at it.
    void Align(const LogStamp& stamp);
    void Forget() noexcept;

    // A value's or subkey's entry: nullptr when not read; a null optional when read and not there.
    const std::optional<StoredValue>* FindValue(KeyId key, std::string_view folded) const;
    const std::optional<KeyId>* FindSubkey(KeyId parent, std::string_view folded) const;
    const bool* KeyExists(KeyId key) const;
    void PutValue(KeyId key, std::string folded, const std::optional<StoredValue>& value);
    void PutSubkey(KeyId parent, std::string folded, std::optional<KeyId> subkey);
    void PutKeyExists(KeyId key, bool exists);

private:
    void MakeRoom();

    std::optional<LogStamp> stamp_;
    // Looked up by (key, folded name) without copying the name.
    struct NameOrder {
        using is_transparent = void;
        template <class Left, class Right>
        bool operator()(const Left& left, const Right& right) const noexcept {
            if (left.first != right.first) return left.first < right.first;
            return std::string_view(left.second) < std::string_view(right.second);
        }
    };
    template <class Entry>
    using ByName = std::map<std::pair<KeyId, std::string>, std::optional<Entry>, NameOrder>;
    ByName<StoredValue> values_;
    ByName<KeyId> subkeys_;
    std::map<KeyId, bool> keys_;
};

}  // namespace pal::registry
