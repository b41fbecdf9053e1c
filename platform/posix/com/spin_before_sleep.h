// Spinning briefly for a peer before sleeping on it. Where waking a thread on
// another processor is slow (tens of microseconds on virtual machines), a
// thread put to sleep wakes later than a short call takes to be answered: a
// thread that expects its peer soon polls instead, while another processor
// runs the peer. A spin that finds nothing (the peer was slow, or every
// processor was busy and the spinning only stood in its way) makes the next
// waits sleep at once, more of them after each such spin, until one is tried
// again. The first wait on a peer sleeps too: a new peer is slow to answer
// its first message (a thread of it must wake for it, or it is still
// starting), and spinning then only takes a processor it needs. With a single
// processor to run on, it never spins.
#pragma once

#include <chrono>

#include "platform/posix/com/deadline.h"

namespace pal::com {

class SpinBeforeSleep {
public:
    explicit SpinBeforeSleep(std::chrono::microseconds budget, bool severalProcessors = SeveralProcessors()) noexcept
        : budget_(budget), enabled_(severalProcessors) {}

    // Polls `arrived` until it returns true or the budget is spent, and says
    // whether it did. While backing off it polls nothing and returns false.
    template <class Arrived>
    bool Spin(Arrived&& arrived) {
        if (!TakeTurn()) return false;
        const auto until = Clock::now() + budget_;
        do {
            if (arrived()) {
                backoff_ = 0;
                return true;
            }
        } while (Clock::now() < until);
        BackOff();
        return false;
    }

    // Whether this process may run on more than one processor.
    static bool SeveralProcessors() noexcept;

private:
    bool TakeTurn() noexcept;
    void BackOff() noexcept;

    const std::chrono::microseconds budget_;
    const bool enabled_;
    unsigned backoff_ = 0;  // waits that sleep at once after the last spin that found nothing
    unsigned skip_ = 1;     // of those, still to come; the first wait is one
};

}  // namespace pal::com
