// One thread for the process, started at the first write-back it is asked for
// and then left waiting for the next: it is never joined, as connections may
// commit while the process runs its exit handlers, and a checkpoint cut short
// by the exit is safe (the log stays the record until it is written back).
#include "platform/posix/storage/log_write_back.h"

#include <sqlite3.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "platform/posix/storage/sqlite_database.h"
#include "platform/posix/testing/call_log.h"

namespace pal::storage {
namespace {

constexpr int kBusyTimeoutMilliseconds = 30000;
constexpr int kCommitWritesBackAt = 10;  // times the background limit

class LogWriter {
public:
    // Held through each write-back of the thread's: a commit that writes the
    // log back itself waits for the thread's pass to end rather than find the
    // log busy and leave it growing.
    std::mutex& Passes() noexcept { return passes_; }

    // False when the thread cannot be started.
    bool Request(const char* file) noexcept {
        try {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!started_) {
                std::thread([this] { Run(); }).detach();
                started_ = true;
            }
            if (pending_.emplace(file).second) wake_.notify_one();
            return true;
        } catch (...) {
            return false;
        }
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !pending_.empty(); });
            const std::string file = std::move(pending_.extract(pending_.begin()).value());
            lock.unlock();
            WriteBack(file);
            lock.lock();
        }
    }

    // The thread's connection is kept for the next write-back of the same file.
    void WriteBack(const std::string& file) {
        if (file != connectionFile_) {
            connection_.reset();
            connectionFile_.clear();
            sqlite3* opened = nullptr;
            // Never made here: a database that is gone (its prefix removed) is left gone.
            const int result = sqlite3_open_v2(file.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
            Database owned(opened);
            if (result != SQLITE_OK) return;
            sqlite3_busy_timeout(opened, kBusyTimeoutMilliseconds);
            // A connection learns that the database keeps a log by reading it once.
            if (sqlite3_exec(opened, "SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr) != SQLITE_OK) return;
            connection_ = std::move(owned);
            connectionFile_ = file;
        }
        std::lock_guard<std::mutex> pass(passes_);
        sqlite3_wal_checkpoint_v2(connection_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }

    std::mutex mutex_;
    std::mutex passes_;
    std::condition_variable wake_;
    std::set<std::string> pending_;
    bool started_ = false;
    // Used by the thread only.
    Database connection_;
    std::string connectionFile_;
};

LogWriter& TheLogWriter() {
    static auto* const writer = new LogWriter;
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
        std::lock_guard<std::mutex> pass(TheLogWriter().Passes());
        sqlite3_wal_checkpoint_v2(connection, database, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } catch (const std::system_error&) {
        // Left to the next commit.
    }
    return SQLITE_OK;
}

void LogWriteBack::Attach(sqlite3* connection) noexcept { sqlite3_wal_hook(connection, AfterCommit, this); }

}  // namespace pal::storage
