// SQLite creates a database with mode 0644 less the umask, and its -wal and -shm
// files with the database's mode; a file made 0600 beforehand keeps all three
// private. A COMMIT that fails (busy, disk full, I/O) can leave the transaction
// open, and a connection kept for reuse would then refuse every later BEGIN.
#include "platform/posix/storage/sqlite_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <new>

#include "platform/posix/testing/fault_injection.h"

namespace pal::storage {

void CloseDatabase::operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }

int OpenPrivateDatabase(const std::string& path, int flags, sqlite3** database) noexcept {
    // When the file cannot be made here, SQLite's own open reports why.
    if (const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); file >= 0) {
        struct stat info{};
        if (fstat(file, &info) == 0 && (info.st_mode & 0777) != 0600) fchmod(file, 0600);
        close(file);
    }
    // A connection is used by one thread at a time (calls lease them), so it needs no
    // mutex of its own; and SQLite's memory statistics would take a global one on every
    // allocation of every connection.
    static const int configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        // Nor a page cache allocated ahead for each connection: a connection here reads a
        // handful of pages, and touching the memory of twenty costs a short-lived process
        // more than the allocations it saves.
        sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
        return sqlite3_initialize();
    }();
    if (configured != SQLITE_OK) return configured;
    return sqlite3_open_v2(path.c_str(), database, flags | SQLITE_OPEN_NOMUTEX, nullptr);
}

int PreparedStatements::Prepared(const char* sql, sqlite3_stmt** statement) noexcept {
    try {
        if (const auto found = statements_.find(sql); found != statements_.end()) {
            *statement = found->second;
            return SQLITE_OK;
        }
        sqlite3_stmt* made = nullptr;
        const char* rest = nullptr;
        const int result = sqlite3_prepare_v3(database_, sql, -1, SQLITE_PREPARE_PERSISTENT, &made, &rest);
        if (result != SQLITE_OK) return result;
        // One statement per text: a second one would never run.
        if (rest != nullptr && rest[std::strspn(rest, " \t\n;")] != 0) {
            sqlite3_finalize(made);
            return SQLITE_MISUSE;
        }
        statements_.emplace(sql, made);
        *statement = made;
        return SQLITE_OK;
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    }
}

int PreparedStatements::Run(const char* sql) noexcept {
    sqlite3_stmt* statement = nullptr;
    if (const int prepared = Prepared(sql, &statement); prepared != SQLITE_OK) return prepared;
    int result;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    sqlite3_reset(statement);
    return result == SQLITE_DONE ? SQLITE_OK : result;
}

void PreparedStatements::FinalizeAll() noexcept {
    for (const auto& [sql, statement] : statements_) sqlite3_finalize(statement);
    statements_.clear();
}

int CommitOrRollBack(PreparedStatements& statements) noexcept {
    int result = static_cast<int>(testing::TakeInjectedFailure(testing::Fault::DatabaseCommit));
    if (result == SQLITE_OK) result = statements.Run("COMMIT");
    if (result != SQLITE_OK && sqlite3_get_autocommit(statements.Database()) == 0) statements.Run("ROLLBACK");
    return result;
}

int ReadSchemaVersion(PreparedStatements& statements, int& version) noexcept {
    sqlite3_stmt* statement = nullptr;
    int result = statements.Prepared("PRAGMA user_version", &statement);
    if (result != SQLITE_OK) return result;
    result = sqlite3_step(statement);
    if (result == SQLITE_ROW) version = sqlite3_column_int(statement, 0);
    sqlite3_reset(statement);
    return result == SQLITE_ROW ? SQLITE_OK : result;
}

int WriteSchemaVersion(PreparedStatements& statements, int version) noexcept {
    char setVersion[48];
    std::snprintf(setVersion, sizeof setVersion, "PRAGMA user_version=%d", version);
    return sqlite3_exec(statements.Database(), setVersion, nullptr, nullptr, nullptr);
}

namespace {

int TryEnsureSchema(PreparedStatements& statements, const char* schema, int schemaVersion) noexcept {
    int version = 0;
    int result = ReadSchemaVersion(statements, version);
    if (result != SQLITE_OK || version >= schemaVersion) return result;
    sqlite3* database = statements.Database();
    result = sqlite3_exec(database, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (result == SQLITE_OK) result = sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) return result;
    result = sqlite3_exec(database, schema, nullptr, nullptr, nullptr);
    if (result == SQLITE_OK) result = WriteSchemaVersion(statements, schemaVersion);
    if (result != SQLITE_OK) {
        sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
        return result;
    }
    return CommitOrRollBack(statements);
}

}  // namespace

int EnsureSchema(PreparedStatements& statements, const char* schema, int schemaVersion) noexcept {
    // Processes meeting a new database at once collide while one of them turns
    // WAL on, and SQLite answers "busy" there without waiting: try again.
    int result = SQLITE_BUSY;
    for (int attempt = 0; attempt < 100 && (result & 0xFF) == SQLITE_BUSY; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        result = TryEnsureSchema(statements, schema, schemaVersion);
    }
    return result;
}

}  // namespace pal::storage
