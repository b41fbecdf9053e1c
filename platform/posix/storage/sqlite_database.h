// What the prefix's SQLite databases (the registry and the toast store) share:
// files that only their owner may read, and transactions that never stay open
// after a failed commit.
#pragma once

#include <string>

struct sqlite3;

namespace pal::storage {

// sqlite3_open_v2 on a database file that is made mode 0600 first, whatever the
// umask, so that SQLite gives its -wal and -shm files the same mode.
int OpenPrivateDatabase(const std::string& path, int flags, sqlite3** database) noexcept;

// COMMIT. When it fails the transaction is rolled back, so the connection is
// ready for the next one; the result is the COMMIT's.
int CommitOrRollBack(sqlite3* database) noexcept;

}  // namespace pal::storage
