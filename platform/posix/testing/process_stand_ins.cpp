// The stand-ins' state: a few values under one lock.
#include "platform/posix/testing/process_stand_ins.h"

#include <atomic>
#include <mutex>

namespace pal::testing {
namespace {

std::mutex lock;
std::u16string moduleFileName;
std::atomic<bool> debuggerAttached{false};
std::u16string debuggerOutput;

}  // namespace

void ReportModuleFileName(std::u16string path) {
    std::lock_guard guard(lock);
    moduleFileName = std::move(path);
}

bool ReportedModuleFileName(std::u16string& path) {
    std::lock_guard guard(lock);
    if (moduleFileName.empty()) return false;
    path = moduleFileName;
    return true;
}

void AttachDebuggerStandIn(bool attached) {
    std::lock_guard guard(lock);
    debuggerOutput.clear();
    debuggerAttached.store(attached, std::memory_order_release);
}

bool DebuggerStandInAttached() noexcept { return debuggerAttached.load(std::memory_order_acquire); }

std::u16string DebuggerStandInOutput() {
    std::lock_guard guard(lock);
    return debuggerOutput;
}

void KeepDebuggerOutput(const std::u16string& text) {
    std::lock_guard guard(lock);
    debuggerOutput += text;
}

}  // namespace pal::testing
