// The registry's read cache is bounded: a process that reads many distinct
// values, subkeys and keys keeps a few hundred of them, not all it ever read.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/registry/read_cache.h"

namespace {

TEST(RegistryReadCache, KeepsAFewHundredEntriesWhateverIsRead) {
    pal::registry::ReadCache cache;
    constexpr int kRead = 3000;
    for (int i = 0; i < kRead; ++i) {
        const std::string name = "name" + std::to_string(i);
        cache.PutValue(1, name, std::nullopt);
        cache.PutSubkey(1, name, std::nullopt);
        cache.PutKeyExists(i + 2, true);
    }
    int kept = 0;
    for (int i = 0; i < kRead; ++i) {
        const std::string name = "name" + std::to_string(i);
        kept += cache.FindValue(1, name) != nullptr;
        kept += cache.FindSubkey(1, name) != nullptr;
        kept += cache.KeyExists(i + 2) != nullptr;
    }
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, 256);
    EXPECT_NE(cache.KeyExists(kRead + 1), nullptr) << "the latest entry is kept";
}

}  // namespace
