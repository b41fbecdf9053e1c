// Peers that misbehave at the socket level cost only their own connections:
// stalled, dripping and non-reading peers are dropped at the message deadline
// while a good client is served at once; connections beyond the cap are
// refused at once; a server out of descriptors waits idle and serves again
// once one is free.
#include <notification_platform.h>

#include <sys/resource.h>

#include <filesystem>
#include <thread>

#include "common/com_ptr.h"
#include "tests/platform/com/local_server_fixture.h"
#include "tests/platform/com/raw_peer.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kMessageDeadline = 500ms;

class MisbehavingPeerTest : public LocalServerTest {
protected:
    void SetUp() override {
        LocalServerTest::SetUp();
        setenv("COMTEST_MESSAGE_DEADLINE_MS", std::to_string(kMessageDeadline.count()).c_str(), 1);
        RegisterServer();
        ASSERT_EQ(CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(held_.put())), S_OK);
        endpoint_ = pal::testing::ComEndpointPath(comtest::kTestClass);
    }
    void TearDown() override {
        for (const int peer : peers_) close(peer);
        held_.reset();
        unsetenv("COMTEST_MESSAGE_DEADLINE_MS");
        LocalServerTest::TearDown();
    }

    int Peer() {
        const int peer = comtest::ConnectTo(endpoint_);
        if (peer >= 0) peers_.push_back(peer);
        return peer;
    }

    // A fresh activation and one call, as a new client makes them.
    static HRESULT ActivateAnew() {
        com_ptr<winsdk::INotificationActivationCallback> callback;
        HRESULT hr = CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
        return SUCCEEDED(hr) ? callback->Activate(u"a", u"quiet", nullptr, 0) : hr;
    }

    com_ptr<winsdk::INotificationActivationCallback> held_;
    std::string endpoint_;
    std::vector<int> peers_;
};

// The server's CPU time so far, in clock ticks.
long CpuTicks(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stol(field);  // utime, stime
    }
    return ticks;
}

}  // namespace

TEST_F(MisbehavingPeerTest, StalledDrippingAndNonReadingPeersStarveNoOne) {
    std::vector<int> stalled;
    for (int i = 0; i < 12; ++i) {
        const int peer = Peer();
        ASSERT_GE(peer, 0);
        ASSERT_EQ(send(peer, "Q", 1, MSG_NOSIGNAL), 1);  // one byte of a header, then nothing
        stalled.push_back(peer);
    }
    // Requests sent in one go and replies never read: the server's sending stalls.
    std::vector<uint8_t> pipelined;
    for (int i = 0; i < 5000; ++i) {
        const auto request = comtest::GetClassObjectRequest();
        pipelined.insert(pipelined.end(), request.begin(), request.end());
    }
    std::vector<int> deaf;
    for (int i = 0; i < 4; ++i) {
        const int peer = Peer();
        ASSERT_GE(peer, 0);
        ASSERT_EQ(send(peer, pipelined.data(), pipelined.size(), MSG_NOSIGNAL | MSG_DONTWAIT) > 0, true);
        deaf.push_back(peer);
    }
    // A byte every 50 ms: each arrives in time, the message as a whole does not.
    const int dripping = Peer();
    ASSERT_GE(dripping, 0);
    std::atomic<bool> dripCut{false};
    std::thread drip([&] {
        for (const uint8_t byte : comtest::GetClassObjectRequest()) {
            if (send(dripping, &byte, 1, MSG_NOSIGNAL) != 1) {
                dripCut = true;
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
    });

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ActivateAnew(), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "a good client waited for the stalled ones";

    for (const int peer : stalled) EXPECT_TRUE(comtest::ClosedByServer(peer, kMessageDeadline + 1500ms));
    drip.join();
    EXPECT_TRUE(dripCut) << "a peer that drips a message slower than the deadline keeps its connection";
    std::this_thread::sleep_for(kMessageDeadline + 500ms);  // reading now would let the server send again
    for (const int peer : deaf) EXPECT_TRUE(comtest::ClosedByServer(peer, 2s)) << "a peer that never reads kept its connection";
    EXPECT_EQ(held_->Activate(u"a", u"still served", nullptr, 0), S_OK);
}

TEST_F(MisbehavingPeerTest, ConnectionsBeyondTheCapAreRefusedAtOnce) {
    constexpr int kConnections = 300;  // the held client's connection is one of the server's 256
    for (int i = 0; i < kConnections; ++i) ASSERT_GE(Peer(), 0);
    int refused = 0;
    const auto connected = std::chrono::steady_clock::now();
    do {
        std::this_thread::sleep_for(50ms);
        refused = 0;
        for (const int peer : peers_) refused += comtest::ClosedByServer(peer, 0ms) ? 1 : 0;
    } while (refused < kConnections - 255 && std::chrono::steady_clock::now() - connected < 2s);
    EXPECT_EQ(refused, kConnections - 255);
    EXPECT_EQ(held_->Activate(u"a", u"quiet", nullptr, 0), S_OK);

    for (const int peer : peers_) close(peer);
    peers_.clear();
    const auto start = std::chrono::steady_clock::now();
    while (ActivateAnew() != S_OK && std::chrono::steady_clock::now() - start < 2s) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ActivateAnew(), S_OK) << "room again once the connections went";
}

TEST_F(MisbehavingPeerTest, AServerOutOfDescriptorsIdlesAndServesOnceOneIsFree) {
#ifdef QUILL_TYPE_CHECKS_NEED_DESCRIPTORS
    // The sanitizer's check of an object's type opens a pipe when its cache
    // misses, which varies with where the program is loaded. Out of
    // descriptors, that fails, the sanitizer reports a bad type and ends the
    // server. The plain and thread-sanitizer builds run this case.
    GTEST_SKIP() << "a server out of descriptors cannot have its object types checked";
#endif
    const int server = ServerPid();
    const auto open = std::distance(std::filesystem::directory_iterator("/proc/" + std::to_string(server) + "/fd"),
                                    std::filesystem::directory_iterator());
    rlimit limit{};
    ASSERT_EQ(prlimit(server, RLIMIT_NOFILE, nullptr, &limit), 0);
    rlimit tight = limit;
    // Room for four more connections.
    tight.rlim_cur = static_cast<rlim_t>(open) + 4;
    ASSERT_EQ(prlimit(server, RLIMIT_NOFILE, &tight, nullptr), 0);

    for (int i = 0; i < 8; ++i) ASSERT_GE(Peer(), 0);
    std::this_thread::sleep_for(100ms);
    const long before = CpuTicks(server);
    std::this_thread::sleep_for(1s);
    EXPECT_LT(CpuTicks(server) - before, 20) << "the server spins while it has no descriptor to accept with";

    int refused = 0;
    for (const int peer : peers_) refused += comtest::ClosedByServer(peer, 0ms) ? 1 : 0;
    EXPECT_EQ(refused, 4) << "peers beyond the descriptor limit are refused, not left waiting";
    for (const int peer : peers_) close(peer);
    peers_.clear();

    const auto start = std::chrono::steady_clock::now();
    HRESULT hr = E_FAIL;
    while ((hr = ActivateAnew()) != S_OK && std::chrono::steady_clock::now() - start < 2s)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Lines("starts").size(), 1u) << "the same server serves";
    ASSERT_EQ(prlimit(server, RLIMIT_NOFILE, &limit, nullptr), 0);
}
