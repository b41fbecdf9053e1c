#include "platform/posix/storage/file_worker.h"

#include <thread>

namespace pal::storage {

bool FileWorker::Request(const std::string& file) noexcept {
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_) {
            std::thread([this] { Run(); }).detach();
            started_ = true;
        }
        if (pending_.emplace(file).second) wake_.notify_one();
        return true;
    } catch (...) {
        return false;
    }
}

void FileWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !pending_.empty(); });
        const std::string file = std::move(pending_.extract(pending_.begin()).value());
        lock.unlock();
        work_(file);
        lock.lock();
    }
}

}  // namespace pal::storage
