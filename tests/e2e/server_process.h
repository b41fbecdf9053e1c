// The real QuillNotification server as other processes see it: registering it
// per user in the current prefix, finding its running processes through /proc
// (by executable and by the prefix in their environment) and waiting for them
// to end. Shared by the cross-process tests and the benchmarks.
#pragma once

#include <windows.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_any.h"
#include "tests/e2e/activator_clsid.h"

namespace e2e {

inline const std::string kServer = QUILL_BINARY_DIR "/bin/QuillNotification";
inline const std::string kPal = QUILL_BINARY_DIR "/bin/pal";

struct Finished {
    int status = -1;  // the exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Runs a program to its end with these arguments, its output collected in files
// of the prefix (the outputs here are small; no pipe to drain).
inline Finished Run(const std::vector<std::string>& command) {
    static int serial = 0;
    const std::string base = std::string(std::getenv("PAL_PREFIX")) + "/run-" + std::to_string(getpid()) + "-" +
                             std::to_string(++serial);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, (base + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, (base + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    Finished finished;
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &files, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&files);
    for (auto [suffix, text] : {std::pair{".out", &finished.out}, std::pair{".err", &finished.err}}) {
        std::ifstream file(base + suffix, std::ios::binary);
        text->assign(std::istreambuf_iterator<char>(file), {});
        std::filesystem::remove(base + suffix);
    }
    return finished;
}

// Registers the server for this user and records it as the activator of the
// product's AppUserModelID, as an installer would. True when both worked.
inline bool RegisterServerAndActivator() {
    if (Run({kServer, "-RegServerPerUser"}).status != 0) return false;
    unique_hkey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Classes\\AppUserModelId\\Corvane.Tessaline", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), u"CustomActivator", 0, REG_SZ, reinterpret_cast<const BYTE*>(kActivatorClsid),
                          sizeof kActivatorClsid) == ERROR_SUCCESS;
}

// The live server processes of the current prefix (running the executable
// given, the build's server by default). A server that has exited but not been
// reaped has neither executable nor environment and is not listed.
inline std::vector<pid_t> ServerProcesses(const std::string& executable = kServer) {
    std::error_code error;
    const std::filesystem::path server = std::filesystem::canonical(executable, error);
    const std::string marker = std::string("PAL_PREFIX=") + std::getenv("PAL_PREFIX");
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path() / "exe", ignored) != server) continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(environ, variable, '\0');) {
            if (variable == marker) found.push_back(std::stoi(name));
        }
    }
    return found;
}

// Waits up to the time given for every server of the prefix to end; true when they did.
inline bool ServersEndWithin(std::chrono::milliseconds limit, const std::string& executable = kServer) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ServerProcesses(executable).empty()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline void KillServers() {
    for (const pid_t pid : ServerProcesses()) kill(pid, SIGKILL);
}

}  // namespace e2e
