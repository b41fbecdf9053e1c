// Writing a database's log back into the database off the committing call's
// path. SQLite's own automatic checkpoint runs inside the commit that crosses
// its limit, syncing the log and the database while the caller waits.
#pragma once

struct sqlite3;

namespace pal::storage {

// Once a commit on connection leaves the log at pages pages or more, a thread
// of the process's own writes it back (a passive checkpoint on a connection of
// its own), so the log stays short for a process that opens the database next.
// A log that reaches ten times pages, when writes outrun that thread, is
// written back by the commit itself. Replaces the connection's automatic
// checkpoint.
void WriteLogBackInBackground(sqlite3* connection, int pages) noexcept;

}  // namespace pal::storage
