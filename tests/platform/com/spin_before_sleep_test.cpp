// Spinning for a peer: not for its first answer; then it stops at the first
// sign of it, gives up within its budget, backs off further after each spin
// that found nothing but always tries again, starts over after a spin that
// found the peer, and never spins with a single processor.
#include "platform/posix/com/spin_before_sleep.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pal::com::SpinBeforeSleep;
using namespace std::chrono_literals;

// How many times each of `waits` waits polled for a peer that never comes.
std::vector<int> PollsPerWait(SpinBeforeSleep& spin, int waits) {
    std::vector<int> polls;
    for (int wait = 0; wait < waits; ++wait) {
        int count = 0;
        EXPECT_FALSE(spin.Spin([&count] {
            ++count;
            return false;
        }));
        polls.push_back(count);
    }
    return polls;
}

// The waits that polled, by index.
std::vector<int> Spun(const std::vector<int>& polls) {
    std::vector<int> spun;
    for (size_t wait = 0; wait < polls.size(); ++wait) {
        if (polls[wait] > 0) spun.push_back(static_cast<int>(wait));
    }
    return spun;
}

TEST(SpinBeforeSleep, BacksOffAfterEachFruitlessSpinUpToALimitAndStartsOverWhenThePeerCame) {
    SpinBeforeSleep spin(20us, true);
    // Sleeps first; spins, then sleeps at once 1, 2, 4, ... 64 times between spins, and keeps trying every 65th.
    EXPECT_EQ(Spun(PollsPerWait(spin, 400)),
              (std::vector<int>{1, 3, 6, 11, 20, 37, 70, 135, 200, 265, 330, 395}));

    // A peer that comes on the third poll ends the next spin at once; the wait after it spins again.
    int polls = 0;
    for (int wait = 0; wait <= 64 && polls == 0; ++wait) {
        const bool came = spin.Spin([&polls] { return ++polls == 3; });
        EXPECT_EQ(came, polls != 0);
    }
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(Spun(PollsPerWait(spin, 4)), (std::vector<int>{0, 2}));
}

TEST(SpinBeforeSleep, NeverSpinsWithASingleProcessor) {
    SpinBeforeSleep spin(1000us, false);
    int polls = 0;
    EXPECT_FALSE(spin.Spin([&polls] { return ++polls > 0; }));
    EXPECT_EQ(polls, 0);
}

}  // namespace
