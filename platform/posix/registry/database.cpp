// Connections to the registry database and the one-transaction-per-call rule.
// Connections are pooled per database file, so threads never share one at a
// time and a test that switches PAL_PREFIX gets the new prefix's database.
#include "platform/posix/registry/database.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "platform/posix/core/prefix.h"
#include "platform/posix/storage/connection_pool.h"
#include "platform/posix/storage/sqlite_database.h"
#include "platform/posix/registry/database_location.h"
#include "platform/posix/registry/memory_key_store.h"
#include "platform/posix/registry/sql_key_store.h"

namespace pal::registry {
namespace {

constexpr int kBusyTimeoutMilliseconds = 30000;

constexpr int kSchemaVersion = 1;
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: a stale handle must not find a new key
    "  parent INTEGER NOT NULL, name BLOB NOT NULL, folded BLOB NOT NULL, written INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, folded);"
    "CREATE TABLE IF NOT EXISTS key_values("
    "  key INTEGER NOT NULL, name BLOB NOT NULL, folded BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
    "  PRIMARY KEY(key, folded));"
    "INSERT OR IGNORE INTO keys(id, parent, name, folded, written) VALUES"
    "  (1, 0, X'', X'01', 0), (2, 0, X'', X'02', 0);";  // the hives: rows whose parent is 0

LSTATUS CodeOf(int result) noexcept {
    switch (result & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FORMAT:
        case SQLITE_SCHEMA:
            return ERROR_REGISTRY_CORRUPT;
        case SQLITE_CANTOPEN:
            return ERROR_CANTOPEN;
        case SQLITE_NOMEM:
            return ERROR_OUTOFMEMORY;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_TIMEOUT;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

// The process's registry connections. Each thread keeps the connection it
// used last at hand, so a call on the warm path takes neither the shared
// pool's lock nor a look-up; a nested call, or a thread that changes prefixes,
// goes to the shared pool.
class Pool {
public:
    std::unique_ptr<Connection> Take(const std::string& file) {
        if (Slot& slot = ThreadSlot(); slot.connection && slot.file == file) return std::move(slot.connection);
        if (std::unique_ptr<Connection> idle = shared_.Take(file)) return idle;
        return std::make_unique<Connection>(file);
    }

    void Give(const std::string& file, std::unique_ptr<Connection> connection) {
        if (Slot& slot = ThreadSlot(); !slot.connection) {
            slot.file = file;
            slot.connection = std::move(connection);
            return;
        }
        shared_.Give(file, std::move(connection));
    }

private:
    struct Slot {
        std::string file;
        std::unique_ptr<Connection> connection;
    };
    static Slot& ThreadSlot() {
        thread_local Slot slot;
        return slot;
    }

    storage::ConnectionPool<Connection> shared_;
};

Pool& ThePool() {
    static Pool* const pool = new Pool;
    return *pool;
}

// A connection borrowed for one call; it goes back only if it ended clean.
class Lease {
public:
    explicit Lease(std::string file) : file_(std::move(file)), connection_(ThePool().Take(file_)) {}
    ~Lease() {
        if (clean_) ThePool().Give(file_, std::move(connection_));
    }
    Connection& operator*() const noexcept { return *connection_; }
    void MarkClean() noexcept { clean_ = true; }

private:
    std::string file_;
    std::unique_ptr<Connection> connection_;
    bool clean_ = false;
};

// The database file opened, or StoreError with the registry's code.
sqlite3* OpenStore(const std::string& file) {
    sqlite3* database = nullptr;
    constexpr int kFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int opened = storage::OpenPrivateDatabase(file, kFlags, &database);
    if (opened != SQLITE_OK) {
        const LSTATUS code = database != nullptr ? CodeOf(sqlite3_extended_errcode(database)) : ERROR_OUTOFMEMORY;
        sqlite3_close(database);
        throw StoreError{code == ERROR_REGISTRY_IO_FAILED ? static_cast<LSTATUS>(ERROR_CANTOPEN) : code};
    }
    return database;
}

}  // namespace

Connection::Connection(const std::string& file) : database_(OpenStore(file)), statements_(database_) {
    try {
        sqlite3_busy_timeout(database_, kBusyTimeoutMilliseconds);
        Execute("PRAGMA synchronous=FULL");
        if (const int made = storage::EnsureSchema(statements_, kSchema, kSchemaVersion); made != SQLITE_OK) Fail(made);
    } catch (...) {
        statements_.FinalizeAll();
        sqlite3_close(database_);
        throw;
    }
}

Connection::~Connection() {
    statements_.FinalizeAll();
    sqlite3_close(database_);
}

int64_t Connection::LastInsertedRow() const noexcept { return sqlite3_last_insert_rowid(database_); }

void Connection::Fail(int result) const { throw StoreError{CodeOf(result)}; }

void Connection::Execute(const char* sql) {
    if (const int result = statements_.Run(sql); result != SQLITE_OK) Fail(result);
}

sqlite3_stmt* Connection::Prepared(const char* sql) {
    if (cacheUse_ == CacheUse::Answer) throw CacheMiss{};
    sqlite3_stmt* statement = nullptr;
    if (const int result = statements_.Prepared(sql, &statement); result != SQLITE_OK) Fail(result);
    return statement;
}

Query::Query(Connection& connection, const char* sql) : connection_(connection), statement_(connection.Prepared(sql)) {}

Query::~Query() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

Query& Query::Bind(int index, int64_t value) {
    const int result = sqlite3_bind_int64(statement_, index, value);
    if (result != SQLITE_OK) connection_.Fail(result);
    return *this;
}

Query& Query::Bind(int index, const void* bytes, size_t size) {
    const int result = size == 0 ? sqlite3_bind_zeroblob(statement_, index, 0)
                                 : sqlite3_bind_blob64(statement_, index, bytes, size, SQLITE_TRANSIENT);
    if (result != SQLITE_OK) connection_.Fail(result);
    return *this;
}

bool Query::Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    connection_.Fail(result);
}

void Query::Run() {
    while (Step()) {
    }
}

int64_t Query::Integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::u16string Query::Text16(int column) const {
    const void* bytes = sqlite3_column_blob(statement_, column);
    const size_t size = static_cast<size_t>(sqlite3_column_bytes(statement_, column));
    std::u16string text(size / sizeof(char16_t), u'\0');
    if (bytes != nullptr && !text.empty()) std::memcpy(text.data(), bytes, text.size() * sizeof(char16_t));
    return text;
}

std::vector<BYTE> Query::Bytes(int column) const {
    const BYTE* bytes = static_cast<const BYTE*>(sqlite3_column_blob(statement_, column));
    const size_t size = static_cast<size_t>(sqlite3_column_bytes(statement_, column));
    return bytes != nullptr ? std::vector<BYTE>(bytes, bytes + size) : std::vector<BYTE>();
}

int64_t Query::Changes() const { return sqlite3_changes64(connection_.Handle()); }

namespace {

// The call's answer from the connection's cache alone, when the registry has
// had no commit since the cache was filled; otherwise nothing, and record says
// whether the call's transaction is to fill the cache.
std::optional<LSTATUS> AnswerFromCache(Connection& connection, const std::function<LSTATUS(KeyStore&)>& body,
                                       bool& record) {
    // Read before the transaction begins: what the transaction reads is at least
    // this new, so a commit after the stamp, and only that, makes the next differ.
    const std::optional<LogStamp> stamp = ReadLogStamp(connection.Handle());
    ReadCache& cache = connection.Cache();
    record = false;
    if (!stamp) {
        cache.Forget();
        return std::nullopt;
    }
    if (cache.Current(*stamp)) {
        try {
            const Connection::CacheUseScope answering(connection, Connection::CacheUse::Answer);
            SqlKeyStore rows(connection);
            return body(rows);
        } catch (const CacheMiss&) {
        }
    }
    cache.Align(*stamp);
    record = true;
    return std::nullopt;
}

}  // namespace

LSTATUS InTransaction(Access access, const std::function<LSTATUS(KeyStore&)>& body) noexcept {
    try {
        if (MemoryKeyStore* memory = KeptInMemory()) return memory->InTransaction(body);
        std::string file;
        if (const LSTATUS found = RegistryDatabaseName(file); found != ERROR_SUCCESS) return found;
        Lease lease(file);
        Connection& connection = *lease;
        bool record = false;
        if (access == Access::CachedRead) {
            if (const std::optional<LSTATUS> answered = AnswerFromCache(connection, body, record)) {
                lease.MarkClean();
                return *answered;
            }
        }
        const Connection::CacheUseScope recording(
            connection, record ? Connection::CacheUse::Record : Connection::CacheUse::None);
        connection.Execute(access == Access::Write ? "BEGIN IMMEDIATE" : "BEGIN");
        const int64_t changesBefore = sqlite3_total_changes64(connection.Handle());
        LSTATUS status = ERROR_SUCCESS;
        try {
            SqlKeyStore rows(connection);
            status = body(rows);
            if (status != ERROR_SUCCESS) {
                // A call that fails having changed nothing (a key not found) undoes nothing.
                if (sqlite3_total_changes64(connection.Handle()) != changesBefore) connection.ForgetRemembered();
                connection.Execute("ROLLBACK");
            } else if (const int committed = storage::CommitOrRollBack(connection.Statements()); committed != SQLITE_OK) {
                connection.Fail(committed);
            }
        } catch (...) {
            connection.Statements().Run("ROLLBACK");
            throw;
        }
        lease.MarkClean();
        return status;
    } catch (const StoreError& error) {
        return error.code;
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}

}  // namespace pal::registry
