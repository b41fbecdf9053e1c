// The toast store as an SQLite database, <prefix>/toasts.db, in WAL mode so
// readers never wait for writers. Each thread has its own connection, so any
// thread or process may call at any time; writers queue on the busy timeout.
// The XML is kept as its UTF-16 code units, so it comes back exactly as given.
#include "platform/posix/winrt/toast_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include "common/hresult.h"
#include "platform/posix/core/prefix.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/storage/sqlite_database.h"

namespace pal::toast_store {
namespace {

constexpr int kBusyTimeoutMilliseconds = 30000;
constexpr DWORD kErrorDiskFull = 112;

struct CloseDatabase {
    void operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

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

HRESULT Execute(sqlite3* database, const char* sql) noexcept {
    return HResultFromSqlite(sqlite3_exec(database, sql, nullptr, nullptr, nullptr));
}

HRESULT Prepare(sqlite3* database, const char* sql, Statement& statement) noexcept {
    sqlite3_stmt* raw = nullptr;
    const int code = sqlite3_prepare_v2(database, sql, -1, &raw, nullptr);
    statement.reset(raw);
    return HResultFromSqlite(code);
}

// Turning on WAL needs a moment alone with the file; the first processes to
// meet a new store may collide there, so the set-up is retried.
HRESULT PrepareSchema(sqlite3* database) noexcept {
    constexpr const char* kSchema =
        "PRAGMA journal_mode=WAL;"
        "PRAGMA synchronous=NORMAL;"
        "CREATE TABLE IF NOT EXISTS toasts("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " aumid TEXT NOT NULL,"
        " time TEXT NOT NULL,"
        " xml BLOB NOT NULL);";
    HRESULT hr = S_OK;
    for (int attempt = 0; attempt < 100; ++attempt) {
        hr = Execute(database, kSchema);
        if (hr != HRESULT_FROM_WIN32(ERROR_TIMEOUT)) return hr;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return hr;
}

HRESULT OpenDatabase(const std::string& path, Database& database) noexcept {
    sqlite3* raw = nullptr;
    const int code = storage::OpenPrivateDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &raw);
    database.reset(raw);
    if (code != SQLITE_OK) return HResultFromSqlite(code);
    sqlite3_busy_timeout(raw, kBusyTimeoutMilliseconds);
    return PrepareSchema(raw);
}

// Each thread keeps its connection to the store of the current prefix: opening
// one means recovering the WAL index, which costs more than storing a toast.
HRESULT Open(sqlite3*& database) noexcept {
    struct Cached {
        std::string path;
        Database database;
    };
    thread_local Cached cached;
    try {
        std::string path;
        RETURN_IF_WIN32_ERROR(FindPrefix(path));
        path += "/toasts.db";
        if (!cached.database || cached.path != path) {
            cached.database.reset();
            cached.path.clear();
            RETURN_IF_FAILED(OpenDatabase(path, cached.database));
            cached.path = std::move(path);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    database = cached.database.get();
    return S_OK;
}

std::string CurrentTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(milliseconds));
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

HRESULT Append(std::u16string_view appUserModelId, std::u16string_view xml, int64_t* id) noexcept {
    try {
        const std::string aumid = ToUtf8(appUserModelId);
        const std::string time = CurrentTime();
        sqlite3* database = nullptr;
        RETURN_IF_FAILED(Open(database));
        Statement insert;
        RETURN_IF_FAILED(
            Prepare(database, "INSERT INTO toasts(aumid, time, xml) VALUES(?1, ?2, ?3)", insert));
        sqlite3_bind_text(insert.get(), 1, aumid.data(), static_cast<int>(aumid.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert.get(), 2, time.data(), static_cast<int>(time.size()), SQLITE_STATIC);
        static const char16_t kNoUnits[1] = {};
        sqlite3_bind_blob64(insert.get(), 3, xml.empty() ? kNoUnits : xml.data(), xml.size() * sizeof(char16_t),
                            SQLITE_STATIC);
        // BEGIN IMMEDIATE takes the write lock through the busy handler up front,
        // rather than failing on a lock upgrade half-way.
        RETURN_IF_FAILED(Execute(database, "BEGIN IMMEDIATE"));
        const HRESULT inserted = HResultFromSqlite(sqlite3_step(insert.get()));
        if (FAILED(inserted)) {
            Execute(database, "ROLLBACK");
            return inserted;
        }
        const int64_t newId = sqlite3_last_insert_rowid(database);
        RETURN_IF_FAILED(HResultFromSqlite(storage::CommitOrRollBack(database)));
        if (id != nullptr) *id = newId;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT List(std::vector<Toast>& toasts, const std::optional<std::string>& appUserModelId) {
    sqlite3* database = nullptr;
    RETURN_IF_FAILED(Open(database));
    Statement select;
    RETURN_IF_FAILED(Prepare(database,
                                   "SELECT id, aumid, time, xml FROM toasts WHERE ?1 IS NULL OR aumid = ?1 ORDER BY id",
                                   select));
    if (appUserModelId)
        sqlite3_bind_text(select.get(), 1, appUserModelId->data(), static_cast<int>(appUserModelId->size()),
                          SQLITE_STATIC);
    toasts.clear();
    int code;
    while ((code = sqlite3_step(select.get())) == SQLITE_ROW) toasts.push_back(ReadRow(select.get()));
    return HResultFromSqlite(code);
}

std::optional<Toast> Find(int64_t id) {
    sqlite3* database = nullptr;
    Statement select;
    if (FAILED(Open(database)) ||
        FAILED(Prepare(database, "SELECT id, aumid, time, xml FROM toasts WHERE id = ?1", select)))
        return std::nullopt;
    sqlite3_bind_int64(select.get(), 1, id);
    if (sqlite3_step(select.get()) != SQLITE_ROW) return std::nullopt;
    return ReadRow(select.get());
}

HRESULT Clear() noexcept {
    sqlite3* database = nullptr;
    RETURN_IF_FAILED(Open(database));
    return Execute(database, "DELETE FROM toasts");
}

}  // namespace pal::toast_store
