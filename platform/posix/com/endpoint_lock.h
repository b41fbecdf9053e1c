// Turns in the endpoint directory: publishing a server's socket, withdrawing
// it and tidying up happen under one lock on the directory itself, so a
// second server never takes over a live endpoint and nothing is removed
// while another process is about to use it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/posix/com/deadline.h"

namespace pal::com {

class EndpointDirectoryLock {
public:
    EndpointDirectoryLock() = default;
    ~EndpointDirectoryLock();
    EndpointDirectoryLock(const EndpointDirectoryLock&) = delete;
    EndpointDirectoryLock& operator=(const EndpointDirectoryLock&) = delete;

    // Makes the directory if it is missing and locks it; RPC_E_TIMEOUT at the deadline.
    HRESULT Take(const Clock::time_point& deadline);

    const std::string& Directory() const noexcept { return directory_; }

    // Removes what nobody uses any more (sockets no server listens on, start
    // locks nobody holds) and then the directory itself if nothing is left.
    void Tidy() noexcept;

private:
    std::string directory_;
    int file_ = -1;
};

// Tidies the current prefix's endpoint directory, if it has one.
void TidyEndpointDirectory() noexcept;

}  // namespace pal::com
