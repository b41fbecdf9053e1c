// SQLite creates a database with mode 0644 less the umask, and its -wal and -shm
// files with the database's mode; a file made 0600 beforehand keeps all three
// private. A COMMIT that fails (busy, disk full, I/O) can leave the transaction
// open, and a connection kept for reuse would then refuse every later BEGIN.
#include "platform/posix/storage/sqlite_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/testing/fault_injection.h"

namespace pal::storage {

int OpenPrivateDatabase(const std::string& path, int flags, sqlite3** database) noexcept {
    // When the file cannot be made here, SQLite's own open reports why.
    if (const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); file >= 0) {
        struct stat info{};
        if (fstat(file, &info) == 0 && (info.st_mode & 0777) != 0600) fchmod(file, 0600);
        close(file);
    }
    return sqlite3_open_v2(path.c_str(), database, flags, nullptr);
}

int CommitOrRollBack(sqlite3* database) noexcept {
    int result = static_cast<int>(testing::TakeInjectedFailure(testing::Fault::DatabaseCommit));
    if (result == SQLITE_OK) result = sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
    if (result != SQLITE_OK && sqlite3_get_autocommit(database) == 0)
        sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    return result;
}

}  // namespace pal::storage
