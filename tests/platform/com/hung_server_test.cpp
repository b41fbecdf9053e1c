// Servers and starters that hang cost a client no more than the start
// time-out: a stopped server fails its client with RPC_E_TIMEOUT, a stopped
// client holding the start lock fails the next with CO_E_SERVER_EXEC_FAILURE,
// and clients racing a server that never serves fail together, with the
// server's whole process group ended. Activate itself may take longer.
#include <notification_platform.h>

#include <spawn.h>
#include <sys/wait.h>

#include <barrier>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "common/com_ptr.h"
#include "tests/platform/com/local_server_fixture.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kStartTimeout = 1s;

struct Timed {
    HRESULT hr = E_FAIL;
    std::chrono::steady_clock::duration took{};
};

Timed TimedActivation() {
    const auto start = std::chrono::steady_clock::now();
    com_ptr<winsdk::INotificationActivationCallback> callback;
    Timed timed;
    timed.hr = CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
    timed.took = std::chrono::steady_clock::now() - start;
    return timed;
}

// SIGSTOP takes effect as each thread of the process next passes through the
// kernel, which on a busy machine can be after kill() has returned: wait until
// every thread shows as stopped, so that nothing it does afterwards is served.
void StopAndWaitUntilStopped(pid_t process) {
    kill(process, SIGSTOP);
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    const std::string tasks = "/proc/" + std::to_string(process) + "/task";
    for (;;) {
        bool allStopped = true;
        for (const auto& task : std::filesystem::directory_iterator(tasks)) {
            std::ifstream stat(task.path() / "stat");
            std::string line;
            std::getline(stat, line);
            const size_t state = line.rfind(") ");
            if (state != std::string::npos && line[state + 2] != 'T' && line[state + 2] != 't') allStopped = false;
        }
        if (allStopped || std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(1ms);
    }
}

}  // namespace

class HungServerTest : public LocalServerTest {
protected:
    // An activation on a thread of its own, so that one that hangs fails the
    // test instead of hanging it; unhang() lets it go then.
    template <class Unhang> Timed BoundedActivation(Unhang unhang) {
        auto activation = std::async(std::launch::async, TimedActivation);
        if (activation.wait_for(kStartTimeout + 5s) == std::future_status::ready) return activation.get();
        ADD_FAILURE() << "the activation still waits";
        unhang();
        return activation.get();
    }
};

TEST_F(HungServerTest, StoppedServersAndStartersCostNoMoreThanTheStartTimeOut) {
    RegisterServer();
    com_ptr<winsdk::INotificationActivationCallback> callback;
    ASSERT_EQ(CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put())), S_OK);
    pal::testing::SetServerStartTimeout(static_cast<DWORD>(std::chrono::milliseconds(kStartTimeout).count()) / 4);
    EXPECT_EQ(callback->Activate(u"a", u"sleep", nullptr, 0), S_OK) << "a call of a live server may take its time";

    pal::testing::SetServerStartTimeout(static_cast<DWORD>(std::chrono::milliseconds(kStartTimeout).count()));
    const int server = ServerPid();
    StopAndWaitUntilStopped(server);
    Timed timed = BoundedActivation([&] { kill(server, SIGCONT); });
    kill(server, SIGCONT);
    EXPECT_EQ(timed.hr, RPC_E_TIMEOUT);
    EXPECT_GE(timed.took, kStartTimeout);
    EXPECT_LT(timed.took, kStartTimeout + 1s);
    EXPECT_EQ(callback->Activate(u"a", u"quiet", nullptr, 0), S_OK) << "the server goes on once it runs again";
    callback.reset();
    ASSERT_TRUE(WaitForEnd(server, 5s));

    // A client stopped while it starts a server that never serves holds the start lock.
    RegisterServer("never-serve");
    const std::string program = ProgramPath("com_test_client");
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("object"), nullptr};
    pid_t starter;
    ASSERT_EQ(posix_spawn(&starter, program.c_str(), nullptr, nullptr, argv, environ), 0);
    const auto spawned = std::chrono::steady_clock::now();
    while (Lines("starts").size() < 2 && std::chrono::steady_clock::now() - spawned < 5s) std::this_thread::sleep_for(5ms);
    StopAndWaitUntilStopped(starter);
    timed = BoundedActivation([&] { kill(starter, SIGKILL); });
    EXPECT_EQ(timed.hr, CO_E_SERVER_EXEC_FAILURE);
    EXPECT_LT(timed.took, kStartTimeout + 1s);
    kill(starter, SIGKILL);
    waitpid(starter, nullptr, 0);
    const auto started = Lines("starts");
    for (size_t i = 1; i < started.size(); ++i) kill(std::stoi(started[i]), SIGKILL);
    expectTidyEnd_ = false;  // the killed starter's lock file stays until the prefix's next server ends
}

TEST_F(HungServerTest, ClientsRacingANeverServingServerFailTogetherAndLeaveNoProcess) {
    RegisterServer("never-serve");
    pal::testing::SetServerStartTimeout(static_cast<DWORD>(std::chrono::milliseconds(kStartTimeout).count()));
    std::barrier start(3);
    std::vector<Timed> results(3);
    std::vector<std::thread> clients;
    for (int i = 0; i < 3; ++i) {
        clients.emplace_back([&, i] {
            start.arrive_and_wait();
            results[i] = TimedActivation();
        });
    }
    for (auto& client : clients) client.join();
    for (const Timed& result : results) {
        EXPECT_EQ(result.hr, CO_E_SERVER_EXEC_FAILURE);
        EXPECT_GE(result.took, kStartTimeout - 50ms);
        EXPECT_LT(result.took, kStartTimeout + 500ms) << "a client started a server of its own after the first failed";
    }
    const auto started = Lines("starts");
    EXPECT_EQ(started.size(), 2u) << "one server, and the child it started";
    for (const std::string& pid : started) EXPECT_TRUE(WaitForEnd(std::stoi(pid), 2s)) << "process " << pid << " left running";
}
