#include "platform/posix/com/spin_before_sleep.h"

#include <sched.h>

#include <algorithm>

namespace pal::com {
namespace {

constexpr unsigned kLongestBackOff = 64;

}  // namespace

bool SpinBeforeSleep::SeveralProcessors() noexcept {
    static const bool several = [] {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        return sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 1;
    }();
    return several;
}

bool SpinBeforeSleep::TakeTurn() noexcept {
    if (!enabled_) return false;
    if (skip_ == 0) return true;
    --skip_;
    return false;
}

void SpinBeforeSleep::BackOff() noexcept {
    backoff_ = std::clamp(backoff_ * 2, 1u, kLongestBackOff);
    skip_ = backoff_;
}

}  // namespace pal::com
