// The two ends of a pipe or socket pair that a client makes for a server it
// starts: the server's end is kept across the server's exec, and the client
// lets go of its copy once the server has it, so that the server's exit
// closes it; the client keeps the other end.
#pragma once

#include <utility>

namespace pal::com {

class StarterEnds {
public:
    StarterEnds() = default;
    ~StarterEnds();
    StarterEnds(const StarterEnds&) = delete;
    StarterEnds& operator=(const StarterEnds&) = delete;

    // Takes the two ends just made.
    void Set(int client, int server) noexcept {
        client_ = client;
        server_ = server;
    }
    int Client() const noexcept { return client_; }
    int TakeClient() noexcept { return std::exchange(client_, -1); }
    int Server() const noexcept { return server_; }
    // Once the server has its end.
    void ServerStarted() noexcept;

private:
    int client_ = -1;
    int server_ = -1;
};

}  // namespace pal::com
