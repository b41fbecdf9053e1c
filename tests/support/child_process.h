// Running the real programs from tests: start a child with arguments (and the
// test's environment), wait for its exit with a time limit, kill it if needed.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class ChildProcess {
public:
    ChildProcess(const std::string& program, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t Pid() const { return pid_; }

    // The exit status once the child has ended within the limit; -1 for a child
    // ended by a signal; nothing while it still runs.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit) {
        if (pid_ <= 0) return -1;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!status_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs the program to its end (at most a minute) and gives its exit status.
inline int RunProgram(const std::string& program, std::vector<std::string> arguments) {
    ChildProcess child(program, std::move(arguments));
    return child.WaitForExit(std::chrono::minutes(1)).value_or(-2);
}
