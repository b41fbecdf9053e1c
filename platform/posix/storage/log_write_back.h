// Writing a database's log back into the database off the committing call's
// path. SQLite's own automatic checkpoint runs inside the commit that crosses
// its limit, syncing the log and the database while the caller waits.
#pragma once

struct sqlite3;

namespace pal::storage {

// Once a commit on a connection leaves the log at pages pages or more, a
// thread of the process's own writes it back (a passive checkpoint on a
// connection of its own), so the log stays short for a process that opens the
// database next. The thread is asked again only when the log has grown by
// pages more or has started over: while commits keep coming, a pass rarely
// ends between two of them, the log cannot start over, and asking at every
// commit would sync the files at every commit. A log that reaches ten times
// pages, when writes outrun that thread, is written back by the commit itself.
class LogWriteBack {
public:
    explicit LogWriteBack(int pages) noexcept : pages_(pages) {}
    LogWriteBack(const LogWriteBack&) = delete;
    LogWriteBack& operator=(const LogWriteBack&) = delete;

    // Replaces the connection's automatic checkpoint. The connection must be
    // closed before this object goes, and used by one thread at a time.
    void Attach(sqlite3* connection) noexcept;

private:
    static int AfterCommit(void* self, sqlite3* connection, const char* database, int pages) noexcept;

    const int pages_;
    int requestedAt_ = 0;  // the log's length when the thread was last asked; 0 once it started over
};

}  // namespace pal::storage
