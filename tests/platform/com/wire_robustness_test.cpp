// A server meets malformed, truncated and oversized messages, and peers of
// another user: each costs only that one connection, while a well-behaved
// client's calls go on. A call of up to 1 MiB passes.
#include <notification_platform.h>

#include <sys/fsuid.h>
#include <sys/wait.h>

#include <fstream>
#include <string>

#include "common/com_ptr.h"
#include "tests/platform/com/local_server_fixture.h"
#include "tests/platform/com/raw_peer.h"

using winsdk::INotificationActivationCallback;
using winsdk::NOTIFICATION_USER_INPUT_DATA;

class WireRobustnessTest : public LocalServerTest {
protected:
    void SetUp() override {
        LocalServerTest::SetUp();
        RegisterServer();
        HRESULT hr = CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(client_.put()));
        ASSERT_EQ(hr, S_OK);
        endpoint_ = pal::testing::ComEndpointPath(comtest::kTestClass);
    }
    void TearDown() override {
        client_.reset();
        LocalServerTest::TearDown();
    }

    void ExpectOnlyThatConnectionClosed(const std::vector<uint8_t>& bytes, bool endWriting) {
        const int peer = comtest::ConnectTo(endpoint_);
        ASSERT_GE(peer, 0);
        ASSERT_EQ(send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
        if (endWriting) shutdown(peer, SHUT_WR);
        EXPECT_TRUE(comtest::ClosedByServer(peer));
        close(peer);
        EXPECT_EQ(client_->Activate(u"a", u"still served", nullptr, 0), S_OK);
        EXPECT_FALSE(ProcessEnded(ServerPid()));
    }

    static long PeakResidentKiB(int pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        }
        return -1;
    }

    com_ptr<INotificationActivationCallback> client_;
    std::string endpoint_;
};

TEST_F(WireRobustnessTest, BadMessagesCloseOnlyTheirConnection) {
    const std::vector<uint8_t> garbage(64, 0xA5);
    ExpectOnlyThatConnectionClosed(garbage, false);

    auto truncated = comtest::Header(1, 1, 32);
    truncated.resize(12 + 10);
    ExpectOnlyThatConnectionClosed(truncated, true);

    auto oversized = comtest::Header(1, 6, 2u << 20);
    oversized.resize(oversized.size() + 4096, 0);
    ExpectOnlyThatConnectionClosed(oversized, false);

    auto wrongVersion = comtest::GetClassObjectRequest();
    wrongVersion[4] = 2;
    ExpectOnlyThatConnectionClosed(wrongVersion, false);

    auto trailing = comtest::GetClassObjectRequest();
    trailing[8] += 1;
    trailing.push_back(0);
    ExpectOnlyThatConnectionClosed(trailing, false);

    auto unknownObject = comtest::Header(1, 6, 8 + 4 + 4 + 4 + 4);  // Activate on an object never handed out
    unknownObject.resize(unknownObject.size() + 24, 0);
    ExpectOnlyThatConnectionClosed(unknownObject, false);

    // An Activate whose first text claims 4,294,967,280 units where four follow: refused for what
    // the message holds, before any room is made for the text.
    ExpectOnlyThatConnectionClosed(
        comtest::Message(6, {0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0, 'c', 0, 'd', 0}), false);
    // And one whose inputs claim 33,554,432 entries where none follow.
    ExpectOnlyThatConnectionClosed(
        comtest::Message(6, {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2, 1, 0, 0, 0}),
        false);
    EXPECT_LT(PeakResidentKiB(ServerPid()), 1024 * 1024) << "the server made room for what the peer claimed";
}

TEST_F(WireRobustnessTest, LargeCallsPassUpToTheLimitAndBeyondItAreRefused) {
    const std::u16string nearLimit((1u << 20) / 2 - 64, u'x');
    const NOTIFICATION_USER_INPUT_DATA input{u"k", nearLimit.c_str()};
    EXPECT_EQ(client_->Activate(u"a", u"big", &input, 1), S_OK);
    EXPECT_EQ(Lines("calls").back(), comtest::EncodeCall(u"a", u"big", &input, 1));

    const std::u16string overLimit(1u << 20, u'x');
    const NOTIFICATION_USER_INPUT_DATA tooBig{u"k", overLimit.c_str()};
    EXPECT_EQ(client_->Activate(u"a", u"big", &tooBig, 1), E_INVALIDARG);
    EXPECT_EQ(client_->Activate(u"a", u"after", nullptr, 0), S_OK);
}

TEST_F(WireRobustnessTest, PeersOfAnotherUserAreRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on a second user id";
    const auto request = comtest::GetClassObjectRequest();
    const pid_t child = fork();
    if (child == 0) {
        // Reach the socket with root's file access, but connect as user 65534:
        // the peer credentials the server sees are the effective ones.
        if (setresuid(65534, 65534, 0) != 0) _exit(10);
        setfsuid(0);
        const int peer = comtest::ConnectTo(endpoint_);
        if (peer < 0) _exit(11);
        send(peer, request.data(), request.size(), MSG_NOSIGNAL);
        _exit(comtest::ClosedByServer(peer) ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const pid_t plain = fork();
    if (plain == 0) {
        if (setuid(65534) != 0) _exit(10);
        _exit(comtest::ConnectTo(endpoint_) < 0 ? 0 : 13);  // the directory lets nobody else in
    }
    ASSERT_EQ(waitpid(plain, &status, 0), plain);
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const int same = comtest::ConnectTo(endpoint_);  // and the same request from this user is served
    ASSERT_GE(same, 0);
    send(same, request.data(), request.size(), MSG_NOSIGNAL);
    char reply[12];
    EXPECT_EQ(recv(same, reply, sizeof reply, MSG_WAITALL), 12);
    close(same);
}
