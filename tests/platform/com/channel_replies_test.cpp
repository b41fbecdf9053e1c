// What a client makes of its server's reply, whether it comes at once (while
// the client still spins for it) or only after the client went to sleep, or
// in pieces either side of that: a good reply is taken whole, one of another
// call or not of our protocol fails the call with RPC_E_INVALID_DATA, a
// server that hangs up with RPC_E_DISCONNECTED; a failed call leaves the
// connection broken.
#include "platform/posix/com/channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/platform/com/raw_peer.h"

namespace {

using namespace std::chrono_literals;
using pal::com::Channel;
using pal::com::Request;

constexpr uint16_t kReleaseReply = static_cast<uint16_t>(Request::Release) | pal::com::kReplyFlag;

using comtest::Message;

// What the server sends for the second call: the first piece at once or after
// a pause, the rest after another; then it hangs up if asked to.
struct Row {
    const char* what;
    std::vector<uint8_t> reply;
    size_t firstPiece;
    std::chrono::milliseconds beforeFirst, beforeRest;
    bool hangUp;
    HRESULT expected;
};

TEST(ChannelReplies, AreTakenWholeOrFailTheCallWhenTheyComeAndWhateverTheyHold) {
    const std::vector<uint8_t> payload{1, 2, 3, 4, 5};
    const std::vector<uint8_t> good = Message(kReleaseReply, payload);
    const Row rows[] = {
        {"at once", good, good.size(), 0ms, 0ms, false, S_OK},
        {"late", good, good.size(), 20ms, 0ms, false, S_OK},
        {"half a header at once, the rest late", good, 6, 0ms, 20ms, false, S_OK},
        {"the header at once, the payload late", good, 12, 0ms, 20ms, false, S_OK},
        {"another call's reply at once", Message(static_cast<uint16_t>(Request::QueryInterface) | 0x8000, payload),
         17, 0ms, 0ms, false, RPC_E_INVALID_DATA},
        {"a request for a reply, late", Message(static_cast<uint16_t>(Request::Release), payload), 17, 20ms, 0ms,
         false, RPC_E_INVALID_DATA},
        {"not our protocol at once", Message(kReleaseReply, payload, 0x50545448), 17, 0ms, 0ms, false,
         RPC_E_INVALID_DATA},
        {"half a reply, then gone", good, 14, 0ms, 0ms, true, RPC_E_DISCONNECTED},
        {"gone late, having said nothing", {}, 0, 20ms, 0ms, true, RPC_E_DISCONNECTED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        ASSERT_EQ(fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
        Channel channel(ends[0], -1);
        // The server answers a first call (a peer's first answer is never spun for); what it
        // sends "at once" it sends with that answer, so it is there as the client starts to spin.
        std::thread server([&row, &good, end = ends[1]] {
            uint8_t request[64];
            const bool atOnce = row.beforeFirst == 0ms;
            ASSERT_GT(recv(end, request, sizeof request, 0), 0);
            ASSERT_EQ(send(end, good.data(), good.size(), MSG_NOSIGNAL), static_cast<ssize_t>(good.size()));
            if (atOnce) {
                ASSERT_EQ(send(end, row.reply.data(), row.firstPiece, MSG_NOSIGNAL), static_cast<ssize_t>(row.firstPiece));
            }
            ASSERT_GT(recv(end, request, sizeof request, 0), 0);
            if (!atOnce) {
                std::this_thread::sleep_for(row.beforeFirst);
                ASSERT_EQ(send(end, row.reply.data(), row.firstPiece, MSG_NOSIGNAL), static_cast<ssize_t>(row.firstPiece));
            }
            std::this_thread::sleep_for(row.beforeRest);
            if (row.hangUp) {
                shutdown(end, SHUT_RDWR);
                return;
            }
            const size_t rest = row.reply.size() - row.firstPiece;
            if (rest > 0) {
                ASSERT_EQ(send(end, row.reply.data() + row.firstPiece, rest, MSG_NOSIGNAL), static_cast<ssize_t>(rest));
            }
        });
        pal::com::WireWriter request;
        request.PutU64(7);
        std::vector<uint8_t> reply;
        ASSERT_EQ(channel.Call(Request::Release, request, reply, pal::com::Clock::now() + 5s), S_OK);
        EXPECT_EQ(channel.Call(Request::Release, request, reply, pal::com::Clock::now() + 5s), row.expected);
        if (row.expected == S_OK) {
            EXPECT_EQ(reply, payload);
        } else {
            EXPECT_EQ(channel.Call(Request::Release, request, reply, pal::com::Clock::now() + 5s), RPC_E_DISCONNECTED);
        }
        server.join();
        close(ends[1]);
    }
}

}  // namespace
