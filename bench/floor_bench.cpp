// The floors the other figures are read against, measured in the same run on
// the same machine: a round trip between two processes over a Unix socket
// (each side sleeping until the other's message comes, as the floor of the
// round trips; and each side spinning up to 50 µs for it first, for
// comparison, since the transport spins too),
// starting and reaping a trivial program, and SQLite's own cost for one
// committed WAL insert (as the toast store and the registry commit) and for
// one prepared point query.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>

#include "tests/support/temporary_prefix.h"

extern char** environ;

namespace {

constexpr size_t kMessageBytes = 64;  // about an Activate request's header and a short argument

constexpr auto kSpin = std::chrono::microseconds(50);

// Polls for bytes to read for up to kSpin; true once there are some.
bool SpinForBytes(int socket) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    char byte;
    do {
        if (recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0 || (errno != EAGAIN && errno != EINTR)) return true;
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

bool Transfer(int socket, char* bytes, size_t size, bool sending, bool spinning) {
    if (!sending && spinning) SpinForBytes(socket);
    for (size_t done = 0; done < size;) {
        const ssize_t moved = sending ? write(socket, bytes + done, size - done) : read(socket, bytes + done, size - done);
        if (moved <= 0) return false;
        done += static_cast<size_t>(moved);
    }
    return true;
}

void UnixSocketPingPong(benchmark::State& state) {
    const bool spinning = state.range(0) != 0;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return state.SkipWithError("socketpair failed");
    const pid_t echo = fork();
    if (echo == 0) {
        close(ends[0]);
        std::array<char, kMessageBytes> message{};
        while (Transfer(ends[1], message.data(), message.size(), false, spinning) &&
               Transfer(ends[1], message.data(), message.size(), true, spinning)) {
        }
        _exit(0);
    }
    close(ends[1]);
    std::array<char, kMessageBytes> message{};
    for (auto _ : state) {
        if (!Transfer(ends[0], message.data(), message.size(), true, spinning) ||
            !Transfer(ends[0], message.data(), message.size(), false, spinning))
            state.SkipWithError("the echoing process went away");
    }
    close(ends[0]);
    waitpid(echo, nullptr, 0);
}
BENCHMARK(UnixSocketPingPong)->Arg(0)->Arg(1)->ArgName("spinning")->Unit(benchmark::kMicrosecond)->UseRealTime();

void SpawnAndReap(benchmark::State& state) {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    for (auto _ : state) {
        pid_t child = 0;
        if (posix_spawn(&child, program, nullptr, nullptr, argv, environ) != 0) state.SkipWithError("spawn failed");
        waitpid(child, nullptr, 0);
    }
}
BENCHMARK(SpawnAndReap)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A WAL database in a scratch directory with one table and its prepared statements.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const char* synchronous) {
        sqlite3_open((prefix_.Path() + "/floor.db").c_str(), &database_);
        sqlite3_exec(database_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(database_, (std::string("PRAGMA synchronous=") + synchronous).c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(database_, "CREATE TABLE rows(id INTEGER PRIMARY KEY, data BLOB NOT NULL)", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(database_, "INSERT INTO rows(data) VALUES(?1)", -1, &insert_, nullptr);
        sqlite3_prepare_v2(database_, "SELECT data FROM rows WHERE id=?1", -1, &select_, nullptr);
    }
    ~ScratchDatabase() {
        sqlite3_finalize(insert_);
        sqlite3_finalize(select_);
        sqlite3_close(database_);
    }
    bool Insert(const std::string& data) {
        sqlite3_bind_blob(insert_, 1, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
        const bool done = sqlite3_step(insert_) == SQLITE_DONE;
        sqlite3_reset(insert_);
        return done;
    }
    int Select(int64_t id) {
        sqlite3_bind_int64(select_, 1, id);
        const int size = sqlite3_step(select_) == SQLITE_ROW ? sqlite3_column_bytes(select_, 0) : -1;
        sqlite3_reset(select_);
        return size;
    }

private:
    TemporaryPrefix prefix_;
    sqlite3* database_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* select_ = nullptr;
};

const std::string kToastSizedRow(1800, 'x');  // about the warning toast's XML in UTF-16

void SqliteWalInsert(benchmark::State& state) {
    ScratchDatabase database(state.range(0) != 0 ? "FULL" : "NORMAL");
    for (auto _ : state) {
        if (!database.Insert(kToastSizedRow)) state.SkipWithError("insert failed");
    }
}
BENCHMARK(SqliteWalInsert)->Arg(0)->ArgName("full")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(SqliteWalInsert)->Arg(1)->ArgName("full")->Unit(benchmark::kMicrosecond)->UseRealTime();

void SqlitePointQuery(benchmark::State& state) {
    ScratchDatabase database("NORMAL");
    for (int row = 0; row < 1000; ++row) database.Insert("value");
    int64_t id = 0;
    for (auto _ : state) {
        id = id % 1000 + 1;
        benchmark::DoNotOptimize(database.Select(id));
    }
}
BENCHMARK(SqlitePointQuery)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
