// Sixteen client processes make two hundred activations while the server
// keeps reaching zero and ending: every call succeeds, and no server runs a
// call after its main has returned. Under the sanitizers the servers write
// their reports into the prefix, where the test looks for them.
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "tests/platform/com/local_server_fixture.h"

using namespace std::chrono_literals;

namespace {

constexpr int kClients = 16;
constexpr int kActivationsEach = 13;

// Points the sanitizers' reports of every process started from here into directory.
void ReportSanitizerFindingsIn(const std::filesystem::path& directory) {
    for (const char* name : {"ASAN_OPTIONS", "TSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        const char* existing = std::getenv(name);
        std::string options = existing != nullptr ? std::string(existing) + ":" : std::string();
        options += "log_path=" + (directory / "sanitizer").string();
        setenv(name, options.c_str(), 1);
    }
}

}  // namespace

class ServerChurnTest : public LocalServerTest {
protected:
    void TearDown() override {
        for (const char* name : {"ASAN_OPTIONS", "TSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (saved_.count(name) != 0) setenv(name, saved_[name].c_str(), 1); else unsetenv(name);
        }
        LocalServerTest::TearDown();
    }
    void SaveSanitizerOptions() {
        for (const char* name : {"ASAN_OPTIONS", "TSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) saved_[name] = value;
        }
    }
    std::map<std::string, std::string> saved_;
};

TEST_F(ServerChurnTest, ManyClientsWhileTheServerKeepsEndingRunNoCallAfterItsExit) {
    RegisterServer();
    SaveSanitizerOptions();
    ReportSanitizerFindingsIn(Prefix());
    const std::string program = ProgramPath("com_test_client");
    const std::string times = std::to_string(kActivationsEach);
    std::vector<pid_t> clients;
    for (int i = 0; i < kClients; ++i) {
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("churn"), const_cast<char*>(times.c_str()),
                        nullptr};
        pid_t client;
        ASSERT_EQ(posix_spawn(&client, program.c_str(), nullptr, nullptr, argv, environ), 0);
        clients.push_back(client);
    }
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (const pid_t client : clients) {
        int status = 0;
        while (waitpid(client, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() - start > 60s) kill(client, SIGKILL);
            std::this_thread::sleep_for(5ms);
        }
        failed += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }
    EXPECT_EQ(failed, 0) << "clients whose activation or call failed";
    EXPECT_GT(Lines("starts").size(), 1u) << "the server never reached zero and ended";
    for (const std::string& pid : Lines("starts")) EXPECT_TRUE(WaitForEnd(std::stoi(pid), 5s));
    for (const auto& entry : std::filesystem::directory_iterator(Prefix())) {
        if (entry.path().filename().string().rfind("sanitizer", 0) != 0) continue;
        std::ifstream report(entry.path());
        ADD_FAILURE() << entry.path() << ":\n" << std::string(std::istreambuf_iterator<char>(report), {});
    }
}
