// Whole programs as a user runs them, from spawn to reap: "pal reg query" on a
// prefix with a value, and "pal com activate" of the warning with no server
// running (it starts QuillNotification, which shows and stores the toast).
// Their floor is starting and reaping /bin/true (floor_bench).
#include <windows.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/e2e/server_process.h"
#include "tests/support/temporary_prefix.h"

namespace {

using namespace std::chrono_literals;

// Runs the program to its end with its output on /dev/null; its exit status, or -1.
int RunQuietly(const std::vector<std::string>& command) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = -1;
    if (posix_spawn(&child, argv[0], &files, nullptr, argv.data(), environ) == 0) waitpid(child, &status, 0);
    posix_spawn_file_actions_destroy(&files);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PalRegQuery(benchmark::State& state) {
    const TemporaryPrefix prefix;
    const std::vector<std::string> add{e2e::kPal, "reg", "add", "HKCU\\Software\\Bench", "/v", "Counter",
                                       "/t", "REG_DWORD", "/d", "42", "/f"};
    if (RunQuietly(add) != 0) return state.SkipWithError("pal reg add failed");
    const std::vector<std::string> query{e2e::kPal, "reg", "query", "HKCU\\Software\\Bench", "/v", "Counter"};
    for (auto _ : state) {
        if (RunQuietly(query) != 0) state.SkipWithError("pal reg query failed");
    }
}
BENCHMARK(PalRegQuery)->Unit(benchmark::kMicrosecond)->UseRealTime();

void PalComActivateCold(benchmark::State& state) {
    const TemporaryPrefix prefix;
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(variable);
    setenv("LANG", "en_GB.UTF-8", 1);
    if (!e2e::RegisterServerAndActivator()) return state.SkipWithError("registration failed");
    const std::vector<std::string> activate{
        e2e::kPal, "com", "activate", "{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}", "--aumid", "Corvane.Tessaline",
        "--args", "RivaVavirezar.display", "--input", "Path=C:\\Users\\Ana\\R&D <archive>",
        "--input", "ShowAgainChoice=true"};
    for (auto _ : state) {
        if (RunQuietly(activate) != 0) state.SkipWithError("pal com activate failed");
        state.PauseTiming();
        if (!e2e::ServersEndWithin(2s)) state.SkipWithError("the server did not end");
        state.ResumeTiming();
    }
    e2e::KillServers();
}
BENCHMARK(PalComActivateCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

}  // namespace
