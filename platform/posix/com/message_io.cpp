// Non-blocking reads and writes of framed messages. The payload grows with
// what actually arrives, so a peer that announces a megabyte and sends a byte
// costs a byte.
#include "platform/posix/com/message_io.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace pal::com {
namespace {

constexpr size_t kReadChunk = 64 * 1024;

enum class Read { Some, Nothing, Closed };

Read ReadSome(int socket, uint8_t* into, size_t size, size_t& got) noexcept {
    for (;;) {
        const ssize_t result = recv(socket, into, size, MSG_DONTWAIT);
        if (result > 0) {
            got = static_cast<size_t>(result);
            return Read::Some;
        }
        if (result < 0 && errno == EINTR) continue;
        if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Read::Nothing;
        return Read::Closed;
    }
}

}  // namespace

IncomingMessage::Progress IncomingMessage::ReadFrom(int socket) noexcept {
    while (headerBytes_ < kHeaderBytes) {
        size_t got = 0;
        switch (ReadSome(socket, header_ + headerBytes_, kHeaderBytes - headerBytes_, got)) {
        case Read::Nothing: return Progress::Incomplete;
        case Read::Closed: return Progress::Closed;
        case Read::Some: break;
        }
        headerBytes_ += got;
        if (headerBytes_ == kHeaderBytes && !ParseHeader(header_, kind_, length_)) return Progress::Malformed;
    }
    while (payload_.size() < length_) {
        const size_t have = payload_.size();
        const size_t want = std::min<size_t>(length_ - have, kReadChunk);
        try {
            payload_.resize(have + want);
        } catch (const std::bad_alloc&) {
            return Progress::Closed;
        }
        size_t got = 0;
        const Read read = ReadSome(socket, payload_.data() + have, want, got);
        payload_.resize(have + got);
        if (read == Read::Nothing) return Progress::Incomplete;
        if (read == Read::Closed) return Progress::Closed;
    }
    return Progress::Complete;
}

std::vector<uint8_t> IncomingMessage::TakePayload() noexcept {
    headerBytes_ = 0;
    length_ = 0;
    return std::move(payload_);
}

bool OutgoingMessage::Set(uint16_t kind, const std::vector<uint8_t>& payload) noexcept {
    if (payload.size() > kMaxPayloadBytes) return false;
    try {
        bytes_.resize(kHeaderBytes + payload.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    PutHeader(bytes_.data(), kind, static_cast<uint32_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), bytes_.begin() + kHeaderBytes);
    sent_ = 0;
    return true;
}

OutgoingMessage::Progress OutgoingMessage::WriteTo(int socket) noexcept {
    while (sent_ < bytes_.size()) {
        const ssize_t result = send(socket, bytes_.data() + sent_, bytes_.size() - sent_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (result < 0 && errno == EINTR) continue;
        if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Progress::Pending;
        if (result <= 0) return Progress::Failed;
        sent_ += static_cast<size_t>(result);
    }
    return Progress::Sent;
}

}  // namespace pal::com
