// The latest moment a wait may last until. An empty deadline waits for as
// long as the peer lives.
#pragma once

#include <chrono>
#include <climits>
#include <optional>

namespace pal::com {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

// Milliseconds left for poll(): -1 without a deadline, 0 once it has passed.
inline int MillisecondsLeft(const Deadline& deadline) noexcept {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace pal::com
