// One thread for the process (a FileWorker): a checkpoint cut short by the
// process's exit is safe, as the log stays the record until it is written back.
#include "platform/posix/storage/log_write_back.h"

#include <sqlite3.h>

#include <mutex>
#include <string>
#include <system_error>

#include "platform/posix/storage/file_worker.h"
#include "platform/posix/storage/sqlite_database.h"
#include "platform/posix/testing/call_log.h"

namespace pal::storage {
namespace {

constexpr int kBusyTimeoutMilliseconds = 30000;
constexpr int kCommitWritesBackAt = 10;  // times the background limit

// Held through each write-back of the thread's: a commit that writes the log
// back itself waits for the thread's pass to end rather than find the log busy
// and leave it growing.
std::mutex& Passes() {
    static auto* const passes = new std::mutex;
    return *passes;
}

// The thread's connection is kept for the next write-back of the same file (and
// never destroyed: the thread may be writing back while the process exits).
void WriteBack(const std::string& file) {
    struct Kept {
        Database connection;
        std::string file;
    };
    static auto* const kept = new Kept;
    Database& connection = kept->connection;
    std::string& connectionFile = kept->file;
    if (file != connectionFile) {
        connection.reset();
        connectionFile.clear();
        sqlite3* opened = nullptr;
        // Never made here: a database that is gone (its prefix removed) is left gone.
        const int result = sqlite3_open_v2(file.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
        Database owned(opened);
        if (result != SQLITE_OK) return;
        sqlite3_busy_timeout(opened, kBusyTimeoutMilliseconds);
        // A connection learns that the database keeps a log by reading it once.
        if (sqlite3_exec(opened, "SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr) != SQLITE_OK) return;
        connection = std::move(owned);
        connectionFile = file;
    }
    std::lock_guard<std::mutex> pass(Passes());
    sqlite3_wal_checkpoint_v2(connection.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

FileWorker& TheLogWriter() {
    static auto* const writer = new FileWorker(&WriteBack);
    return *writer;
}

}  // namespace

int LogWriteBack::AfterCommit(void* self, sqlite3* connection, const char* database, int pages) noexcept {
    LogWriteBack& writeBack = *static_cast<LogWriteBack*>(self);
    if (pages < writeBack.requestedAt_) writeBack.requestedAt_ = 0;
    if (pages < writeBack.pages_) return SQLITE_OK;
    if (pages < writeBack.pages_ * kCommitWritesBackAt) {
        if (writeBack.requestedAt_ != 0 && pages < writeBack.requestedAt_ + writeBack.pages_) return SQLITE_OK;
        const char* file = sqlite3_db_filename(connection, database);
        if (testing::RecordingCalls()) testing::RecordCall("log write-back asked");
        if (file != nullptr && *file != '\0' && TheLogWriter().Request(file)) {
            writeBack.requestedAt_ = pages;
            return SQLITE_OK;
        }
    }
    try {
        std::lock_guard<std::mutex> pass(Passes());
        sqlite3_wal_checkpoint_v2(connection, database, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } catch (const std::system_error&) {
        // Left to the next commit.
    }
    return SQLITE_OK;
}

void LogWriteBack::Attach(sqlite3* connection) noexcept { sqlite3_wal_hook(connection, AfterCommit, this); }

}  // namespace pal::storage
