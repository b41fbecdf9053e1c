// The toast store as an SQLite database, <prefix>/toasts.db, in WAL mode so
// readers never wait for writers, fed by its inbox (toast_inbox.h): a toast is
// appended there, and the inbox is folded into the database before the store is
// listed or cleared, when it has grown, or when a caller wants its toast's id.
// A call borrows a connection no other call holds, so any thread or process may
// call at any time; writers queue on the busy timeout.
// The XML is kept as its UTF-16 code units, so it comes back exactly as given.
#include "platform/posix/winrt/toast_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "common/hresult.h"
#include "platform/posix/core/prefix.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/storage/connection_pool.h"
#include "platform/posix/storage/file_worker.h"
#include "platform/posix/storage/log_write_back.h"
#include "platform/posix/storage/sqlite_database.h"
#include "platform/posix/testing/call_log.h"
#include "platform/posix/winrt/toast_inbox.h"

namespace pal::toast_store {
namespace {

constexpr int kBusyTimeoutMilliseconds = 30000;
constexpr int kLogWriteBackPages = 100;
// A hundred toasts or so: folded in one transaction, once a toast has grown the inbox past this.
constexpr uint64_t kFoldAtInboxBytes = 256 * 1024;
constexpr size_t kRecordsPerTransaction = 64;
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
// and works as before. Version 3 adds how far which inbox was folded.
constexpr int kSchemaVersion = 3;
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS toasts("
    " id INTEGER PRIMARY KEY,"
    " aumid TEXT NOT NULL,"
    " time TEXT NOT NULL,"
    " xml BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cleared(id INTEGER PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS inbox_folded(generation BLOB NOT NULL, folded INTEGER NOT NULL);";
// A version 1 store that was cleared knows its highest id only from sqlite_sequence.
constexpr const char* kCarryVersion1Ids =
    "INSERT OR IGNORE INTO cleared(id) SELECT seq FROM sqlite_sequence WHERE name = 'toasts';";

// Ids only grow, past every toast there is and every one cleared away. The first
// free one is read once in each transaction, which holds the write lock; the
// toasts it stores take it and those after it.
constexpr const char* kFirstFreeId =
    "SELECT coalesce(max(id), 0) + 1 FROM (SELECT max(id) AS id FROM toasts UNION ALL SELECT max(id) FROM cleared)";
constexpr const char* kInsertToast = "INSERT INTO toasts(id, aumid, time, xml) VALUES(?1, ?2, ?3, ?4)";
constexpr const char* kFoldedSoFar = "SELECT generation, folded FROM inbox_folded WHERE rowid = 1";
constexpr const char* kNoteFolded = "INSERT OR REPLACE INTO inbox_folded(rowid, generation, folded) VALUES(1, ?1, ?2)";

constexpr std::string_view kDatabaseName = "toasts.db";
constexpr std::string_view kInboxName = "toasts.inbox";

std::string InboxBeside(const std::string& database) {
    return database.substr(0, database.size() - kDatabaseName.size()) + std::string(kInboxName);
}

// A connection to the store of one prefix, with its statements.
struct StoreConnection {
    std::string path;
    std::string inbox;
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
        inbox = InboxBeside(path);
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

HRESULT CurrentStoreFile(std::string& path) {
    RETURN_IF_WIN32_ERROR(FindPrefix(path));
    path += '/';
    path += kDatabaseName;
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

    HRESULT Open(StoreConnection*& connection) noexcept {
        try {
            std::string path;
            RETURN_IF_FAILED(CurrentStoreFile(path));
            RETURN_IF_FAILED(TakeOrOpen(path, connection_));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        connection = connection_.get();
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

// A toast for the database, and where its id goes.
struct Stored {
    std::string_view appUserModelId;
    std::string_view time;
    std::string_view xml;  // the code units' bytes
    int64_t* id = nullptr;
};

HRESULT FirstFreeId(storage::PreparedStatements& statements, int64_t& id) {
    const Use read(statements, kFirstFreeId);
    RETURN_IF_FAILED(read.Result());
    const int step = sqlite3_step(read.get());
    if (step != SQLITE_ROW) return step == SQLITE_DONE ? E_FAIL : HResultFromSqlite(step);
    id = sqlite3_column_int64(read.get(), 0);
    return S_OK;
}

// Stores the toast under the id given, and moves that on to the next.
HRESULT Insert(storage::PreparedStatements& statements, const Stored& toast, int64_t& id) {
    const Use insert(statements, kInsertToast);
    RETURN_IF_FAILED(insert.Result());
    sqlite3_bind_int64(insert.get(), 1, id);
    sqlite3_bind_text(insert.get(), 2, toast.appUserModelId.data(), static_cast<int>(toast.appUserModelId.size()),
                      SQLITE_STATIC);
    sqlite3_bind_text(insert.get(), 3, toast.time.data(), static_cast<int>(toast.time.size()), SQLITE_STATIC);
    static const char kNoUnits[2] = {};
    sqlite3_bind_blob64(insert.get(), 4, toast.xml.empty() ? kNoUnits : toast.xml.data(), toast.xml.size(),
                        SQLITE_STATIC);
    RETURN_IF_FAILED(HResultFromSqlite(sqlite3_step(insert.get())));
    if (toast.id != nullptr) *toast.id = id;
    ++id;
    return S_OK;
}

// One transaction around body. BEGIN IMMEDIATE takes the write lock through the
// busy handler up front, rather than failing on a lock upgrade half-way.
template <class Body> HRESULT InTransaction(storage::PreparedStatements& statements, Body&& body) {
    RETURN_IF_FAILED(HResultFromSqlite(statements.Run("BEGIN IMMEDIATE")));
    if (const HRESULT hr = body(); FAILED(hr)) {
        statements.Run("ROLLBACK");
        return hr;
    }
    RETURN_IF_FAILED(HResultFromSqlite(storage::CommitOrRollBack(statements)));
    StartLogsOverWhenTheProcessEnds();
    return S_OK;
}

// How far the file of that generation was folded: 0 when the database knows another.
HRESULT FoldedSoFar(storage::PreparedStatements& statements, std::string_view generation, uint64_t& folded) {
    folded = 0;
    const Use read(statements, kFoldedSoFar);
    RETURN_IF_FAILED(read.Result());
    const int step = sqlite3_step(read.get());
    RETURN_IF_FAILED(HResultFromSqlite(step));
    if (step != SQLITE_ROW) return S_OK;
    const auto* known = static_cast<const char*>(sqlite3_column_blob(read.get(), 0));
    if (std::string_view(known != nullptr ? known : "", static_cast<size_t>(sqlite3_column_bytes(read.get(), 0))) ==
        generation)
        folded = static_cast<uint64_t>(sqlite3_column_int64(read.get(), 1));
    return S_OK;
}

HRESULT NoteFolded(storage::PreparedStatements& statements, std::string_view generation, uint64_t through) {
    const Use note(statements, kNoteFolded);
    RETURN_IF_FAILED(note.Result());
    sqlite3_bind_blob(note.get(), 1, generation.data(), static_cast<int>(generation.size()), SQLITE_STATIC);
    sqlite3_bind_int64(note.get(), 2, static_cast<sqlite3_int64>(through));
    return HResultFromSqlite(sqlite3_step(note.get()));
}

// The records of a file set aside that the database has not got yet (an earlier fold
// may have stored some and ended before it removed the file), a run of them to each
// transaction, so that no commit grows the store's log by more than a run's pages.
HRESULT FoldFile(storage::PreparedStatements& statements, const InboxFold& inbox) {
    uint64_t folded = 0;
    RETURN_IF_FAILED(FoldedSoFar(statements, inbox.Generation(), folded));
    const std::vector<InboxRecord> records = inbox.RecordsFrom(folded);
    size_t next = 0;
    do {
        const size_t end = std::min(records.size(), next + kRecordsPerTransaction);
        const uint64_t through = end == records.size() ? inbox.Size() : records[end - 1].end;
        RETURN_IF_FAILED(InTransaction(statements, [&] {
            int64_t id = 0;
            RETURN_IF_FAILED(FirstFreeId(statements, id));
            for (size_t record = next; record < end; ++record) {
                const InboxRecord& stored = records[record];
                RETURN_IF_FAILED(Insert(statements, Stored{stored.appUserModelId, stored.time, stored.xml}, id));
            }
            return NoteFolded(statements, inbox.Generation(), through);
        }));
        next = end;
    } while (next < records.size());
    return S_OK;
}

// Folds the inbox into the database (a file an earlier fold left first, then the
// inbox), with one more toast after their records if given.
HRESULT Fold(StoreConnection& connection, const Stored* also = nullptr) {
    FoldTurn turn;
    RETURN_IF_FAILED(turn.Take(connection.inbox));
    storage::PreparedStatements& statements = *connection.statements;
    // Two files at most: appenders who keep coming are left for the next fold.
    for (int file = 0; file < 2; ++file) {
        InboxFold inbox;
        const HRESULT taken = inbox.Take(connection.inbox);
        RETURN_IF_FAILED(taken);
        if (taken == S_FALSE) break;
        RETURN_IF_FAILED(FoldFile(statements, inbox));
        inbox.Done();
    }
    if (also == nullptr) return S_OK;
    return InTransaction(statements, [&] {
        int64_t id = 0;
        RETURN_IF_FAILED(FirstFreeId(statements, id));
        return Insert(statements, *also, id);
    });
}

// The fold of an inbox that has grown, on the folding thread: a pooled connection,
// so that the folds of a long-running process share one.
void FoldGrownInbox(const std::string& database) {
    try {
        std::unique_ptr<StoreConnection> connection;
        if (FAILED(TakeOrOpen(database, connection))) return;
        (void)Fold(*connection);  // what a failed fold leaves is the next one's
        ThePool().Give(database, std::move(connection));
    } catch (const std::bad_alloc&) {
        // left to the next fold
    }
}

storage::FileWorker& TheFolder() {
    static auto* const folder = new storage::FileWorker(&FoldGrownInbox);
    return *folder;
}

}  // namespace

HRESULT Append(std::u16string_view appUserModelId, std::u16string_view xml, int64_t* id) noexcept {
    try {
        const std::string aumid = ToUtf8(appUserModelId);
        const std::string time = CurrentTime();
        const std::string_view bytes(reinterpret_cast<const char*>(xml.data()), xml.size() * sizeof(char16_t));
        if (id != nullptr) {
            // Stored in the database at once, after what the inbox holds, so ids keep the order toasts came in.
            Lease lease;
            StoreConnection* connection = nullptr;
            RETURN_IF_FAILED(lease.Open(connection));
            const Stored toast{aumid, time, bytes, id};
            return Fold(*connection, &toast);
        }
        std::string path;
        RETURN_IF_FAILED(CurrentStoreFile(path));
        uint64_t inboxSize = 0;
        RETURN_IF_FAILED(AppendToInbox(InboxBeside(path), aumid, time, xml, inboxSize));
        // The toast is stored: folding is a thread's of the process's own, off this call's path.
        if (inboxSize >= kFoldAtInboxBytes && !TheFolder().Request(path)) FoldGrownInbox(path);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT List(std::vector<Toast>& toasts, const std::optional<std::string>& appUserModelId) {
    Lease lease;
    StoreConnection* connection = nullptr;
    RETURN_IF_FAILED(lease.Open(connection));
    RETURN_IF_FAILED(Fold(*connection));
    storage::PreparedStatements* statements = &*connection->statements;
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
    // Ids are given only to toasts in the database: the inbox need not be folded first.
    Lease lease;
    StoreConnection* connection = nullptr;
    if (FAILED(lease.Open(connection))) return std::nullopt;
    storage::PreparedStatements* statements = &*connection->statements;
    const Use select(*statements, "SELECT id, aumid, time, xml FROM toasts WHERE id = ?1");
    if (FAILED(select.Result())) return std::nullopt;
    sqlite3_bind_int64(select.get(), 1, id);
    if (sqlite3_step(select.get()) != SQLITE_ROW) return std::nullopt;
    return ReadRow(select.get());
}

HRESULT Clear() noexcept {
    Lease lease;
    StoreConnection* connection = nullptr;
    RETURN_IF_FAILED(lease.Open(connection));
    RETURN_IF_FAILED(Fold(*connection));
    storage::PreparedStatements* statements = &*connection->statements;
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
