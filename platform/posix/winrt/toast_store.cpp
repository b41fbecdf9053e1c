// The toast store as an SQLite database, <prefix>/toasts.db, in WAL mode so
// readers never wait for writers. A call borrows a connection no other call
// holds, so any thread or process may call at any time; writers queue on the
// busy timeout.
// The XML is kept as its UTF-16 code units, so it comes back exactly as given.
#include "platform/posix/winrt/toast_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "common/hresult.h"
#include "platform/posix/core/prefix.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/storage/connection_pool.h"
#include "platform/posix/storage/log_write_back.h"
#include "platform/posix/storage/sqlite_database.h"
#include "platform/posix/testing/call_log.h"

namespace pal::toast_store {
namespace {

constexpr int kBusyTimeoutMilliseconds = 30000;
constexpr int kLogWriteBackPages = 100;
constexpr DWORD kErrorDiskFull = 112;

HRESULT HResultFromSqlite(int code) noexcept {
    switch (code & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW: return S_OK;
        case SQLITE_NOMEM: return E_OUTOFMEMORY;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH: return E_ACCESSDENIED;
        case SQLITE_CANTOPEN: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        case SQLITE_FULL: return HRESULT_FROM_WIN32(kErrorDiskFull);
        case SQLITE_IOERR: return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
        default: return E_FAIL;
    }
}

// Ids are never reused, so a toast named by its id is never mistaken for a
// later one. Version 1 kept the highest id in sqlite_sequence (AUTOINCREMENT),
// a page written with every toast; now the highest id cleared away is kept
// instead, written only by Clear. A version 1 table keeps its AUTOINCREMENT
// and works as before.
constexpr int kSchemaVersion = 2;
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS toasts("
    " id INTEGER PRIMARY KEY,"
    " aumid TEXT NOT NULL,"
    " time TEXT NOT NULL,"
    " xml BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cleared(id INTEGER PRIMARY KEY);";
// A version 1 store that was cleared knows its highest id only from sqlite_sequence.
constexpr const char* kCarryVersion1Ids =
    "INSERT OR IGNORE INTO cleared(id) SELECT seq FROM sqlite_sequence WHERE name = 'toasts';";

// Ids only grow, past every toast there is and every one cleared away.
constexpr const char* kInsertToast =
    "INSERT INTO toasts(id, aumid, time, xml) SELECT coalesce(max(id), 0) + 1, ?1, ?2, ?3 FROM"
    " (SELECT max(id) AS id FROM toasts UNION ALL SELECT max(id) FROM cleared)";

// A connection to the store of one prefix, with its statements.
struct StoreConnection {
    std::string path;
    storage::LogWriteBack logWriteBack{kLogWriteBackPages};  // outlives the database's connection
    storage::Database database;
    std::optional<storage::PreparedStatements> statements;  // finalized before the database closes

    HRESULT Open(std::string file) {
        sqlite3* raw = nullptr;
        const int code = storage::OpenPrivateDatabase(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &raw);
        database.reset(raw);
        if (code != SQLITE_OK) return HResultFromSqlite(code);
        sqlite3_busy_timeout(raw, kBusyTimeoutMilliseconds);
        statements.emplace(raw);
        // A toast may be lost with the machine's power, never corrupted (the log's checksums).
        // Storing one touches a handful of pages at the end of the table: a larger cache would
        // only keep toasts a server never reads again.
        for (const char* setting : {"PRAGMA synchronous=NORMAL", "PRAGMA cache_size=32"})
            RETURN_IF_FAILED(HResultFromSqlite(statements->Run(setting)));
        // A process that opens the store while no other has it open reads the whole log
        // through first: the log is kept short, and no toast waits for it to be written back.
        logWriteBack.Attach(raw);
        if (const HRESULT hr = HResultFromSqlite(EnsureSchema()); FAILED(hr)) return hr;
        path = std::move(file);
        testing::RecordCall("toast store opened");
        return S_OK;
    }

    // Writes the log back and, once all of it is in the database, starts it over
    // with a write that changes nothing (the schema version written again), so the
    // next process to open the store reads a log of one page. Never waits for
    // another process: a busy store is left as it is.
    void StartLogOver() noexcept {
        sqlite3* raw = database.get();
        int logged = 0, written = 0;
        if (sqlite3_wal_checkpoint_v2(raw, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logged, &written) != SQLITE_OK ||
            logged <= 1 || written != logged)
            return;
        sqlite3_busy_timeout(raw, 0);
        if (statements->Run("BEGIN IMMEDIATE") == SQLITE_OK) {
            int version = 0;
            int result = storage::ReadSchemaVersion(*statements, version);
            if (result == SQLITE_OK) result = storage::WriteSchemaVersion(*statements, version);
            if (result == SQLITE_OK) {
                storage::CommitOrRollBack(*statements);
            } else {
                statements->Run("ROLLBACK");
            }
        }
        sqlite3_busy_timeout(raw, kBusyTimeoutMilliseconds);
    }

    int EnsureSchema() {
        int version = 0;
        if (const int read = storage::ReadSchemaVersion(*statements, version); read != SQLITE_OK) return read;
        if (version >= kSchemaVersion) return SQLITE_OK;  // the store of every start but the first
        sqlite3_stmt* sequence = nullptr;
        int result = statements->Prepared("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'", &sequence);
        if (result != SQLITE_OK) return result;
        result = sqlite3_step(sequence);
        sqlite3_reset(sequence);
        if (result != SQLITE_ROW && result != SQLITE_DONE) return result;
        const std::string schema = result == SQLITE_ROW ? std::string(kSchema) + kCarryVersion1Ids : kSchema;
        return storage::EnsureSchema(*statements, schema.c_str(), kSchemaVersion);
    }
};

// Opening a connection means recovering the WAL index, which costs more than
// storing a toast: calls borrow pooled ones.
storage::ConnectionPool<StoreConnection>& ThePool() {
    static auto* const pool = new storage::ConnectionPool<StoreConnection>;
    return *pool;
}

// A process that shows a toast or two and ends never reaches the write-back
// limit: without this, each such process would leave the log longer, and each
// start would read all of it, until a commit wrote it back at ten times the limit.
pid_t exitHandlerOwner = 0;

void StartLogsOverAtExit() {
    if (getpid() != exitHandlerOwner) return;  // a forked child: the connections are its parent's
    ThePool().ForOneIdlePerFile([](StoreConnection& connection) { connection.StartLogOver(); });
}

void StartLogsOverWhenTheProcessEnds() noexcept {
    static const bool registered = [] {
        exitHandlerOwner = getpid();
        return std::atexit(StartLogsOverAtExit) == 0;
    }();
    (void)registered;
}

// While a connection to a file is being opened ahead, a call that wants one waits
// for that connection rather than open a second.
class OpeningAhead {
public:
    explicit OpeningAhead(const std::string& file) {
        std::lock_guard guard(Shared().lock);
        Shared().file = file;
    }
    ~OpeningAhead() {
        {
            std::lock_guard guard(Shared().lock);
            Shared().file.clear();
        }
        Shared().done.notify_all();
    }
    OpeningAhead(const OpeningAhead&) = delete;
    OpeningAhead& operator=(const OpeningAhead&) = delete;

    static void WaitFor(const std::string& file) {
        std::unique_lock guard(Shared().lock);
        Shared().done.wait(guard, [&] { return Shared().file != file; });
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable done;
        std::string file;
    };
    static State& Shared() {
        static auto* const state = new State;  // never destroyed, like the pool
        return *state;
    }
};

HRESULT CurrentStoreFile(std::string& path) {
    RETURN_IF_WIN32_ERROR(FindPrefix(path));
    path += "/toasts.db";
    return S_OK;
}

// An idle connection to the store at path, or a new one.
HRESULT TakeOrOpen(const std::string& path, std::unique_ptr<StoreConnection>& connection) {
    connection = ThePool().Take(path);
    if (connection) return S_OK;
    auto opened = std::make_unique<StoreConnection>();
    RETURN_IF_FAILED(opened->Open(path));
    connection = std::move(opened);
    return S_OK;
}

// A connection to the store of the current prefix, borrowed for one call.
class Lease {
public:
    ~Lease() {
        if (!connection_) return;
        const std::string path = connection_->path;
        ThePool().Give(path, std::move(connection_));
    }

    HRESULT Open(storage::PreparedStatements*& statements) noexcept {
        try {
            std::string path;
            RETURN_IF_FAILED(CurrentStoreFile(path));
            OpeningAhead::WaitFor(path);
            RETURN_IF_FAILED(TakeOrOpen(path, connection_));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        statements = &*connection_->statements;
        return S_OK;
    }

private:
    std::unique_ptr<StoreConnection> connection_;
};

// A cached statement for one use: reset and unbound again when the use ends.
class Use {
public:
    Use(storage::PreparedStatements& statements, const char* sql) noexcept
        : result_(HResultFromSqlite(statements.Prepared(sql, &statement_))) {}
    ~Use() {
        if (statement_ == nullptr) return;
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    HRESULT Result() const noexcept { return result_; }
    sqlite3_stmt* get() const noexcept { return statement_; }

private:
    sqlite3_stmt* statement_ = nullptr;
    HRESULT result_;
};

// The civil date and time of the UTC clock: arithmetic only, where gmtime would
// read the time zone file the first time it runs, on the first toast's way.
std::string CurrentTime() {
    using namespace std::chrono;
    const auto now = floor<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss clock{now - day};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

Toast ReadRow(sqlite3_stmt* row) {
    Toast toast;
    toast.id = sqlite3_column_int64(row, 0);
    toast.appUserModelId = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
    toast.time = reinterpret_cast<const char*>(sqlite3_column_text(row, 2));
    const auto* units = static_cast<const char16_t*>(sqlite3_column_blob(row, 3));
    const size_t bytes = static_cast<size_t>(sqlite3_column_bytes(row, 3));
    if (units != nullptr) toast.xml.assign(units, bytes / sizeof(char16_t));
    return toast;
}

}  // namespace

void OpenAhead() noexcept {
    try {
        std::string path;
        if (FAILED(CurrentStoreFile(path))) return;
        const OpeningAhead opening(path);
        std::unique_ptr<StoreConnection> connection;
        sqlite3_stmt* insert = nullptr;
        if (FAILED(TakeOrOpen(path, connection))) return;
        if (connection->statements->Prepared(kInsertToast, &insert) == SQLITE_OK)
            ThePool().Give(path, std::move(connection));
    } catch (const std::bad_alloc&) {
        // the calls open the store themselves
    }
}

HRESULT Append(std::u16string_view appUserModelId, std::u16string_view xml, int64_t* id) noexcept {
    try {
        const std::string aumid = ToUtf8(appUserModelId);
        const std::string time = CurrentTime();
        Lease lease;
        storage::PreparedStatements* statements = nullptr;
        RETURN_IF_FAILED(lease.Open(statements));
        const Use insert(*statements, kInsertToast);
        RETURN_IF_FAILED(insert.Result());
        sqlite3_bind_text(insert.get(), 1, aumid.data(), static_cast<int>(aumid.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert.get(), 2, time.data(), static_cast<int>(time.size()), SQLITE_STATIC);
        static const char16_t kNoUnits[1] = {};
        sqlite3_bind_blob64(insert.get(), 3, xml.empty() ? kNoUnits : xml.data(), xml.size() * sizeof(char16_t),
                            SQLITE_STATIC);
        // BEGIN IMMEDIATE takes the write lock through the busy handler up front,
        // rather than failing on a lock upgrade half-way.
        RETURN_IF_FAILED(HResultFromSqlite(statements->Run("BEGIN IMMEDIATE")));
        const HRESULT inserted = HResultFromSqlite(sqlite3_step(insert.get()));
        if (FAILED(inserted)) {
            statements->Run("ROLLBACK");
            return inserted;
        }
        const int64_t newId = sqlite3_last_insert_rowid(statements->Database());
        RETURN_IF_FAILED(HResultFromSqlite(storage::CommitOrRollBack(*statements)));
        StartLogsOverWhenTheProcessEnds();
        if (id != nullptr) *id = newId;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT List(std::vector<Toast>& toasts, const std::optional<std::string>& appUserModelId) {
    Lease lease;
    storage::PreparedStatements* statements = nullptr;
    RETURN_IF_FAILED(lease.Open(statements));
    const Use select(*statements, "SELECT id, aumid, time, xml FROM toasts WHERE ?1 IS NULL OR aumid = ?1 ORDER BY id");
    RETURN_IF_FAILED(select.Result());
    if (appUserModelId)
        sqlite3_bind_text(select.get(), 1, appUserModelId->data(), static_cast<int>(appUserModelId->size()),
                          SQLITE_STATIC);
    toasts.clear();
    int code;
    while ((code = sqlite3_step(select.get())) == SQLITE_ROW) toasts.push_back(ReadRow(select.get()));
    return HResultFromSqlite(code);
}

std::optional<Toast> Find(int64_t id) {
    Lease lease;
    storage::PreparedStatements* statements = nullptr;
    if (FAILED(lease.Open(statements))) return std::nullopt;
    const Use select(*statements, "SELECT id, aumid, time, xml FROM toasts WHERE id = ?1");
    if (FAILED(select.Result())) return std::nullopt;
    sqlite3_bind_int64(select.get(), 1, id);
    if (sqlite3_step(select.get()) != SQLITE_ROW) return std::nullopt;
    return ReadRow(select.get());
}

HRESULT Clear() noexcept {
    Lease lease;
    storage::PreparedStatements* statements = nullptr;
    RETURN_IF_FAILED(lease.Open(statements));
    RETURN_IF_FAILED(HResultFromSqlite(statements->Run("BEGIN IMMEDIATE")));
    // The highest id goes into cleared before its toast goes.
    for (const char* step :
         {"INSERT INTO cleared(id) SELECT id FROM toasts ORDER BY id DESC LIMIT 1", "DELETE FROM toasts"}) {
        if (const HRESULT hr = HResultFromSqlite(statements->Run(step)); FAILED(hr)) {
            statements->Run("ROLLBACK");
            return hr;
        }
    }
    return HResultFromSqlite(storage::CommitOrRollBack(*statements));
}

}  // namespace pal::toast_store
