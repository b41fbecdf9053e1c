// Activation of a local server from another process: the registered server is
// started on demand, calls arrive intact, failures come back with Windows'
// codes, and what a client held goes back when it dies.
#include <notification_platform.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <barrier>

#include "common/com_ptr.h"
#include "tests/platform/com/local_server_fixture.h"

using winsdk::INotificationActivationCallback;
using winsdk::NOTIFICATION_USER_INPUT_DATA;
using namespace std::chrono_literals;

namespace {

com_ptr<INotificationActivationCallback> CreateCallback(HRESULT& hr) {
    com_ptr<INotificationActivationCallback> callback;
    hr = CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
    return callback;
}

}  // namespace

TEST_F(LocalServerTest, ActivationStartsTheRegisteredServerAndEveryTextArrivesIntact) {
    RegisterServer();
    HRESULT hr;
    const auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);

    const std::u16string longValue(100000, u'\u00e9');
    const NOTIFICATION_USER_INPUT_DATA inputs[] = {
        {u"Path", u"C:\\Users\\Zo\u00eb\\\u6587\u4ef6 \U0001F600"},
        {u"ShowAgainChoice", u""},
        {nullptr, nullptr},
        {u"Long", longValue.c_str()},
    };
    struct Call {
        const WCHAR* aumid;
        const WCHAR* args;
        const NOTIFICATION_USER_INPUT_DATA* data;
        ULONG count;
    };
    const Call calls[] = {
        {u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 4},
        {u"Corvane.Tessaline", nullptr, nullptr, 0},
        {u"", u"", inputs, 0},
        {nullptr, u"x", nullptr, 0},
    };
    std::vector<std::string> expected;
    for (const Call& call : calls) {
        EXPECT_EQ(callback->Activate(call.aumid, call.args, call.data, call.count), S_OK);
        expected.push_back(comtest::EncodeCall(call.aumid, call.args, call.data, call.count));
    }
    const auto recorded = Lines("calls");
    ASSERT_EQ(recorded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(recorded[i] == expected[i]) << "call " << i << ": " << recorded[i].substr(0, 80) << " vs " << expected[i].substr(0, 80);
    EXPECT_EQ(callback->Activate(u"a", u"fail", nullptr, 0), E_ABORT);  // the object's own failure comes back
    EXPECT_EQ(Lines("starts").size(), 1u);
}

TEST_F(LocalServerTest, QueryInterfaceAnswersOnlyWhatTheObjectGives) {
    RegisterServer();
    HRESULT hr;
    const auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    com_ptr<IUnknown> unknown;
    EXPECT_EQ(callback->QueryInterface(IID_PPV_ARGS(unknown.put())), S_OK);
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(callback->QueryInterface(IID_PPV_ARGS(factory.put())), E_NOINTERFACE);
    EXPECT_FALSE(factory);
    com_ptr<INotificationActivationCallback> again;
    ASSERT_EQ(unknown->QueryInterface(IID_PPV_ARGS(again.put())), S_OK);
    EXPECT_EQ(again->Activate(u"a", u"b", nullptr, 0), S_OK);

    com_ptr<IClassFactory> classObject;
    ASSERT_EQ(CoGetClassObject(comtest::kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(classObject.put())),
              S_OK);
    com_ptr<INotificationActivationCallback> notCallback;
    EXPECT_EQ(classObject->QueryInterface(IID_PPV_ARGS(notCallback.put())), E_NOINTERFACE);
    IUnknown* outer = unknown.get();
    EXPECT_EQ(classObject->CreateInstance(outer, IID_PPV_ARGS(notCallback.put())), CLASS_E_NOAGGREGATION);
}

TEST_F(LocalServerTest, FailuresToReachAServerGiveWindowsCodes) {
    HRESULT hr;
    CreateCallback(hr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG) << "nothing registered";
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(CoGetClassObject(comtest::kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(factory.put())),
              REGDB_E_CLASSNOTREG);

    RegisterServer("exit-now");
    auto start = std::chrono::steady_clock::now();
    CreateCallback(hr);
    EXPECT_EQ(hr, CO_E_SERVER_EXEC_FAILURE) << "server that exits at once";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    RegisterServer("exit-in-first-call");
    start = std::chrono::steady_clock::now();
    CreateCallback(hr);
    EXPECT_EQ(hr, CO_E_SERVER_EXEC_FAILURE) << "server that dies before answering the first request";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    RegisterServer("never-register");
    pal::testing::SetServerStartTimeout(500);
    start = std::chrono::steady_clock::now();
    CreateCallback(hr);
    EXPECT_EQ(hr, CO_E_SERVER_EXEC_FAILURE) << "server that never registers";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);

    RegisterServer("", "no_such_server");
    CreateCallback(hr);
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << "missing program";
}

TEST_F(LocalServerTest, EightClientsRacingStartOneServer) {
    RegisterServer();
    std::barrier start(8), done(8);
    std::vector<HRESULT> results(8, E_FAIL);
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i) {
        clients.emplace_back([&, i] {
            start.arrive_and_wait();
            HRESULT hr;
            const auto callback = CreateCallback(hr);
            results[i] = SUCCEEDED(hr) ? callback->Activate(u"a", u"race", nullptr, 0) : hr;
            done.arrive_and_wait();  // all hold their objects until every one has called
        });
    }
    for (auto& client : clients) client.join();
    for (const HRESULT hr : results) EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Lines("starts").size(), 1u);
    EXPECT_EQ(Lines("calls").size(), 8u);
}

TEST_F(LocalServerTest, ServerEndsWithItsLastReferenceAndTheNextActivationStartsAnother) {
    RegisterServer();
    HRESULT hr;
    auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    const int first = ServerPid();
    callback.reset();
    EXPECT_TRUE(WaitForEnd(first, 2s));
    callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(callback->Activate(u"a", u"b", nullptr, 0), S_OK);
    EXPECT_EQ(Lines("starts").size(), 2u);
}

// A client gives back only the locks it took: unlocking what it never locked
// ends no server that another reference holds.
TEST_F(LocalServerTest, AnUnlockWithoutALockEndsNoServer) {
    RegisterServer();
    HRESULT hr;
    const auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    com_ptr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(comtest::kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(factory.put())), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.reset();
    EXPECT_FALSE(WaitForEnd(ServerPid(), 300ms));
    EXPECT_EQ(callback->Activate(u"a", u"still held", nullptr, 0), S_OK);
}

// The starting client's request goes over the connection the server inherits:
// a server whose endpoint is gone as soon as it serves still answers the client
// that started it, whose later calls take the same way.
TEST_F(LocalServerTest, TheStartersRequestTravelsOverTheConnectionTheServerInherits) {
    RegisterServer("hidden-endpoint");
    pal::testing::SetServerStartTimeout(5000);  // without that connection the start times out
    HRESULT hr;
    const auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(callback->Activate(u"a", u"b", nullptr, 0), S_OK);
    EXPECT_EQ(Lines("calls").size(), 1u);
    EXPECT_EQ(Lines("starts").size(), 1u);
}

// A server that serves another class first answers the starter's request with
// "not served yet": the client waits for its class and reaches the same server
// through the class's endpoint.
TEST_F(LocalServerTest, AStarterWhoseClassIsServedLaterReachesTheSameServer) {
    RegisterServer("other-class-first");
    HRESULT hr;
    const auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(callback->Activate(u"a", u"b", nullptr, 0), S_OK);
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(CoGetClassObject(comtest::kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(factory.put())), S_OK);
    EXPECT_EQ(Lines("starts").size(), 1u);
}

// The readiness pipe and the first connection are the server's alone: a
// program it starts by any means inherits neither, nor the variables naming them.
TEST_F(LocalServerTest, AServersOwnChildrenInheritNothingItsStarterHandedIt) {
    RegisterServer("child-looks");
    HRESULT hr;
    const auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    const auto looked = [this] { return !Lines("child").empty() && Lines("child").back() == "looked"; };
    for (int waited = 0; waited < 500 && !looked(); ++waited) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(Lines("child"), std::vector<std::string>{"looked"});
}

TEST_F(LocalServerTest, ASecondServerIsRefusedWhileTheFirstServesAndReplacesADeadOnesSocket) {
    RegisterServer();
    HRESULT hr;
    auto callback = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    const int first = ServerPid();

    const std::string program = ProgramPath("com_test_server");
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("-Embedding"), nullptr};
    pid_t second;
    ASSERT_EQ(posix_spawn(&second, program.c_str(), nullptr, nullptr, argv, environ), 0);
    const auto spawned = std::chrono::steady_clock::now();
    int status = 0;
    while (waitpid(second, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() - spawned < 5s)
        std::this_thread::sleep_for(5ms);
    if (!WIFEXITED(status)) kill(second, SIGKILL);
    ASSERT_TRUE(WIFEXITED(status)) << "the second server runs on";
    EXPECT_EQ(WEXITSTATUS(status), 0xFC) << "CO_E_OBJISREG's low byte";
    EXPECT_EQ(callback->Activate(u"a", u"quiet", nullptr, 0), S_OK);
    const auto other = CreateCallback(hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Lines("starts").size(), 2u) << "the first server still answers new clients";

    // A server killed outright leaves its socket; the next one takes its place.
    kill(first, SIGKILL);
    ASSERT_TRUE(WaitForEnd(first, 2s));
    callback = CreateCallback(hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Lines("starts").size(), 3u);
}

TEST_F(LocalServerTest, PrefixesHaveServersOfTheirOwn) {
    RegisterServer();
    HRESULT hr;
    const auto first = CreateCallback(hr);
    ASSERT_EQ(hr, S_OK);
    const std::string firstPrefix = Prefix().string();

    std::string other = (std::filesystem::temp_directory_path() / "pal-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(other.data()), nullptr);
    setenv("PAL_PREFIX", other.c_str(), 1);
    RegisterServer();
    const auto second = CreateCallback(hr);
    EXPECT_EQ(hr, S_OK);
    std::ifstream starts(other + "/starts");
    std::string pid;
    EXPECT_TRUE(std::getline(starts, pid)) << "the second prefix started its own server";
    if (!pid.empty()) kill(std::stoi(pid), SIGKILL);
    setenv("PAL_PREFIX", firstPrefix.c_str(), 1);
    std::filesystem::remove_all(other);
    EXPECT_EQ(Lines("starts").size(), 1u);
}

// A client process that takes a reference (or a lock), says so, and is killed.
class KilledClientTest : public LocalServerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledClientTest, WhatAKilledClientHeldIsReleasedWithinASecond) {
    RegisterServer();
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    const std::string program = ProgramPath("com_test_client");
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(GetParam()), nullptr};
    pid_t client;
    ASSERT_EQ(posix_spawn(&client, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    char said[16] = {};
    ASSERT_GT(read(output[0], said, sizeof said - 1), 0);
    close(output[0]);
    ASSERT_STREQ(said, "ready\n");

    const int server = ServerPid();
    ASSERT_FALSE(ProcessEnded(server));
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    const auto killed = std::chrono::steady_clock::now();
    while (Lines("releases").empty() && std::chrono::steady_clock::now() - killed < 1s)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(Lines("releases").size(), 1u) << "the server count returned to zero within a second";
    EXPECT_TRUE(WaitForEnd(server, 5s));
}

INSTANTIATE_TEST_SUITE_P(Holdings, KilledClientTest, ::testing::Values("object", "lock"));
