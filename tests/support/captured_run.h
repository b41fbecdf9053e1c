// Runs a program as a user would and keeps what it printed: its standard
// output and error together, its exit status, ended by SIGKILL (status -1) if
// it outlives the limit. The output goes through a file outside any prefix.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

struct CapturedRun {
    int status = -2;
    std::string output;
};

inline CapturedRun RunCaptured(const std::string& program, std::vector<std::string> arguments,
                               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    CapturedRun run;
    char outputPath[] = "/tmp/quill-output-XXXXXX";
    const int output = mkstemp(outputPath);
    if (output < 0) return run;
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    pid_t pid = -1;
    const bool started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(output);
    if (started) {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream file(outputPath);
        std::ostringstream text;
        text << file.rdbuf();
        run.output = text.str();
    }
    unlink(outputPath);
    return run;
}
