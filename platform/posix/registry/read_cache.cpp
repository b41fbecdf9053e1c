// The cache is bounded: a process that reads many values keeps the last few hundred.
#include "platform/posix/registry/read_cache.h"

#include <sqlite3.h>

#include <cstring>

namespace pal::registry {
namespace {

constexpr size_t kMostEntries = 256;
constexpr size_t kHeaderCopies = 2;
constexpr size_t kIsInitOffset = 12;
constexpr int kFirstRegionSize = 32768;

}  // namespace

std::optional<LogStamp> ReadLogStamp(sqlite3* connection) noexcept {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr)
        return std::nullopt;
    const sqlite3_io_methods* methods = file->pMethods;
    if (methods == nullptr || methods->iVersion < 2 || methods->xShmMap == nullptr) return std::nullopt;
    // Without extending: the region the connection's own reads mapped, or none.
    volatile void* region = nullptr;
    if (methods->xShmMap(file, 0, kFirstRegionSize, 0, &region) != SQLITE_OK || region == nullptr) return std::nullopt;
    const auto* bytes = static_cast<const volatile uint8_t*>(region);
    std::array<LogStamp, kHeaderCopies> copies{};
    // The order SQLite's readers use: a commit writes the second copy first.
    methods->xShmBarrier(file);
    for (size_t copy = 0; copy < kHeaderCopies; ++copy) {
        for (size_t i = 0; i < copies[copy].size(); ++i) copies[copy][i] = bytes[copy * copies[copy].size() + i];
        methods->xShmBarrier(file);
    }
    if (copies[0] != copies[1] || copies[0][kIsInitOffset] == 0) return std::nullopt;
    return copies[0];
}

void ReadCache::Align(const LogStamp& stamp) {
    if (Current(stamp)) return;
    Forget();
    stamp_ = stamp;
}

void ReadCache::Forget() noexcept {
    stamp_.reset();
    values_.clear();
    subkeys_.clear();
    keys_.clear();
}

const std::optional<StoredValue>* ReadCache::FindValue(KeyId key, std::string_view folded) const {
    const auto found = values_.find(std::pair<KeyId, std::string_view>(key, folded));
    return found != values_.end() ? &found->second : nullptr;
}

const std::optional<KeyId>* ReadCache::FindSubkey(KeyId parent, std::string_view folded) const {
    const auto found = subkeys_.find(std::pair<KeyId, std::string_view>(parent, folded));
    return found != subkeys_.end() ? &found->second : nullptr;
}

const bool* ReadCache::KeyExists(KeyId key) const {
    const auto found = keys_.find(key);
    return found != keys_.end() ? &found->second : nullptr;
}

void ReadCache::MakeRoom() {
    if (values_.size() + subkeys_.size() + keys_.size() < kMostEntries) return;
    values_.clear();
    subkeys_.clear();
    keys_.clear();
}

void ReadCache::PutValue(KeyId key, std::string folded, const std::optional<StoredValue>& value) {
    MakeRoom();
    values_.insert_or_assign({key, std::move(folded)}, value);
}

void ReadCache::PutSubkey(KeyId parent, std::string folded, std::optional<KeyId> subkey) {
    MakeRoom();
    subkeys_.insert_or_assign({parent, std::move(folded)}, subkey);
}

void ReadCache::PutKeyExists(KeyId key, bool exists) {
    MakeRoom();
    keys_.insert_or_assign(key, exists);
}

}  // namespace pal::registry
