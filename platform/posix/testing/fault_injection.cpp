// Armed faults, one slot per platform function; lock-free so any thread may take them.
#include "platform/posix/testing/fault_injection.h"

#include <atomic>
#include <cstddef>

namespace pal::testing {
namespace {

struct Slot {
    std::atomic<DWORD> code{0};
    std::atomic<unsigned> remaining{0};
    std::atomic<unsigned> passing{0};
};

Slot slots[static_cast<size_t>(Fault::Count)];

}  // namespace

void InjectFailure(Fault fault, DWORD code, unsigned times) noexcept { InjectFailureAfter(fault, 0, code, times); }

void InjectFailureAfter(Fault fault, unsigned passed, DWORD code, unsigned times) noexcept {
    Slot& slot = slots[static_cast<size_t>(fault)];
    slot.code.store(code, std::memory_order_relaxed);
    slot.passing.store(code == 0 ? 0 : passed, std::memory_order_relaxed);
    slot.remaining.store(code == 0 ? 0 : times, std::memory_order_release);
}

DWORD TakeInjectedFailure(Fault fault) noexcept {
    Slot& slot = slots[static_cast<size_t>(fault)];
    if (slot.remaining.load(std::memory_order_acquire) == 0) return 0;
    unsigned passing = slot.passing.load(std::memory_order_acquire);
    while (passing != 0) {
        if (slot.passing.compare_exchange_weak(passing, passing - 1, std::memory_order_acq_rel)) return 0;
    }
    unsigned remaining = slot.remaining.load(std::memory_order_acquire);
    while (remaining != 0) {
        if (slot.remaining.compare_exchange_weak(remaining, remaining - 1, std::memory_order_acq_rel))
            return slot.code.load(std::memory_order_relaxed);
    }
    return 0;
}

}  // namespace pal::testing
