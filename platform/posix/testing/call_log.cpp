// The call record: a list under a lock, since calls arrive on any thread.
#include "platform/posix/testing/call_log.h"

#include <atomic>
#include <mutex>

namespace pal::testing {
namespace {

std::atomic<bool> recording{false};
std::mutex lock;
std::vector<std::string> calls;

}  // namespace

void RecordCalls(bool on) {
    std::lock_guard guard(lock);
    if (on) calls.clear();
    recording.store(on, std::memory_order_release);
}

std::vector<std::string> RecordedCalls() {
    std::lock_guard guard(lock);
    return calls;
}

bool RecordingCalls() noexcept { return recording.load(std::memory_order_acquire); }

void RecordCall(const std::string& line) {
    if (!recording.load(std::memory_order_acquire)) return;
    std::lock_guard guard(lock);
    calls.push_back(line);
}

}  // namespace pal::testing
