// One running e2e_activator_client: its standard input and output as pipes,
// so a test can release it in step with others and read what it reports.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class ClientProcess {
public:
    ClientProcess(const char* mode, int count = 0) {
        const std::string program = QUILL_BINARY_DIR "/bin/e2e_activator_client";
        const std::string number = std::to_string(count);
        int in[2], out[2];
        if (pipe(in) != 0) return;
        if (pipe(out) != 0) {
            close(in[0]);
            close(in[1]);
            return;
        }
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, in[0], 0);
        posix_spawn_file_actions_adddup2(&files, out[1], 1);
        for (const int end : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&files, end);
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(mode), const_cast<char*>(number.c_str()),
                        nullptr};
        if (posix_spawn(&pid_, argv[0], &files, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~ClientProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (input_ >= 0) close(input_);
        if (output_ >= 0) close(output_);
    }
    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Go() { return write(input_, "g", 1) == 1; }

    // The next line of its output, without the newline; empty at its end.
    std::string ReadLine() {
        std::string line;
        for (char c; read(output_, &c, 1) == 1 && c != '\n';) line += c;
        return line;
    }

    void Kill() { kill(pid_, SIGKILL); }

    // Its exit status once it has ended; -1 when it did not exit normally.
    int Wait() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
};
