// A thread of the process's own that does some work on a file whenever it is
// asked, off the asking call's path. Asked again for a file it has not got to
// yet, it does the work once. The thread starts at the first request and then
// waits for the next; it is never joined, as calls may ask while the process
// runs its exit handlers, so the worker must never be destroyed.
#pragma once

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

namespace pal::storage {

class FileWorker {
public:
    using Work = void (*)(const std::string& file);
    explicit FileWorker(Work work) noexcept : work_(work) {}
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    // False when the thread cannot be started (the caller then does the work itself).
    bool Request(const std::string& file) noexcept;

private:
    void Run();

    const Work work_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::set<std::string> pending_;
    bool started_ = false;
};

}  // namespace pal::storage
