// SQLite's allocations for the fuzz targets: served by the C library directly,
// past the sanitizer's allocator. SQLite is not what is fuzzed; its blocks need
// no checking, and they stay out of the sanitizer's quarantine.
#pragma once

namespace fuzz {

// Call before the first database is opened.
void UsePlainAllocatorForSqlite();

}  // namespace fuzz
