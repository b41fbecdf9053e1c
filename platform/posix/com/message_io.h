// Whole messages over a non-blocking socket, a piece at a time: what has
// arrived is kept until the message is complete, and what the peer has not
// taken yet is kept until it does. Neither side ever waits here; the caller
// decides how long a message may take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/posix/com/wire.h"

namespace pal::com {

class IncomingMessage {
public:
    enum class Progress { Incomplete, Complete, Malformed, Closed };

    // Reads what the socket holds now, never past the end of this message.
    // Malformed: a header that is not ours; Closed: end of stream or an error.
    Progress ReadFrom(int socket) noexcept;

    // True once a byte of the message has arrived.
    bool Started() const noexcept { return headerBytes_ != 0; }

    // The complete message; the next ReadFrom starts the next one.
    uint16_t Kind() const noexcept { return kind_; }
    std::vector<uint8_t> TakePayload() noexcept;

private:
    uint8_t header_[kHeaderBytes] = {};
    size_t headerBytes_ = 0;
    uint16_t kind_ = 0;
    uint32_t length_ = 0;
    std::vector<uint8_t> payload_;
};

class OutgoingMessage {
public:
    enum class Progress { Sent, Pending, Failed };

    // Frames the message; false when it is over the size limit or memory is short.
    bool Set(uint16_t kind, const std::vector<uint8_t>& payload) noexcept;

    // Sends what the socket takes now.
    Progress WriteTo(int socket) noexcept;

private:
    std::vector<uint8_t> bytes_;
    size_t sent_ = 0;
};

}  // namespace pal::com
