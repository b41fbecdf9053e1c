// A peer of a local server at the socket level, for tests that misbehave on
// purpose: raw connections, hand-made messages, and whether the server hung up.
#pragma once

#include <objbase.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "tests/platform/com/test_class.h"

namespace comtest {

inline int ConnectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int connected = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(connected, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(connected);
        return -1;
    }
    return connected;
}

// True when the server closed the connection within the limit instead of
// answering (whatever it had sent before is read and dropped). A limit of
// zero asks whether it has been closed already.
inline bool ClosedByServer(int connected, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char reply[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{connected, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0) return false;
        const ssize_t got = recv(connected, reply, sizeof reply, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno == ECONNRESET)) return true;
    }
}

inline std::vector<uint8_t> Header(uint16_t version, uint16_t kind, uint32_t length) {
    std::vector<uint8_t> bytes(12);
    const uint32_t magic = 0x4D4F4351;
    std::memcpy(bytes.data(), &magic, 4);
    std::memcpy(bytes.data() + 4, &version, 2);
    std::memcpy(bytes.data() + 6, &kind, 2);
    std::memcpy(bytes.data() + 8, &length, 4);
    return bytes;
}

// A message of the kind given around the payload given (the magic word can be made wrong).
inline std::vector<uint8_t> Message(uint16_t kind, const std::vector<uint8_t>& payload, uint32_t magic = 0x4D4F4351) {
    std::vector<uint8_t> bytes = Header(1, kind, static_cast<uint32_t>(payload.size()));
    std::memcpy(bytes.data(), &magic, sizeof magic);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// A well-formed request for the test class's class object.
inline std::vector<uint8_t> GetClassObjectRequest() {
    auto bytes = Header(1, 1, 32);
    const auto* clsid = reinterpret_cast<const uint8_t*>(&kTestClass);
    const auto* iid = reinterpret_cast<const uint8_t*>(&__uuidof(IClassFactory));
    bytes.insert(bytes.end(), clsid, clsid + 16);
    bytes.insert(bytes.end(), iid, iid + 16);
    return bytes;
}

}  // namespace comtest
