// Encoding, bounds-checked decoding and whole-message socket I/O.
#include "platform/posix/com/wire.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pal::com {
namespace {

constexpr uint32_t kNullText = 0xFFFFFFFFu;

struct Header {
    uint32_t magic;
    uint16_t version;
    uint16_t kind;
    uint32_t length;
};
static_assert(sizeof(Header) == 12);

bool ReadFully(int socket, void* data, size_t size) noexcept {
    auto* next = static_cast<uint8_t*>(data);
    while (size != 0) {
        const ssize_t got = recv(socket, next, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        next += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

void WireWriter::PutBytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
}

void WireWriter::PutText(const WCHAR* text) {
    if (text == nullptr) {
        PutU32(kNullText);
        return;
    }
    const size_t length = std::char_traits<char16_t>::length(text);
    // Longer texts cannot fit a message anyway; the caller's size check refuses them.
    PutU32(length >= kNullText ? kNullText - 1 : static_cast<uint32_t>(length));
    PutBytes(text, std::min<size_t>(length, kNullText - 1) * sizeof(WCHAR));
}

bool WireReader::GetBytes(void* data, size_t size) {
    if (Remaining() < size) return false;
    std::memcpy(data, next_, size);
    next_ += size;
    return true;
}

bool WireReader::GetText(std::optional<std::u16string>& text) {
    uint32_t length;
    if (!GetU32(length)) return false;
    if (length == kNullText) {
        text.reset();
        return true;
    }
    if (Remaining() / sizeof(WCHAR) < length) return false;
    text.emplace(length, u'\0');
    return GetBytes(text->data(), length * sizeof(WCHAR));
}

bool SendMessage(int socket, uint16_t kind, const std::vector<uint8_t>& payload) noexcept {
    if (payload.size() > kMaxPayloadBytes) return false;
    Header header{kWireMagic, kWireVersion, kind, static_cast<uint32_t>(payload.size())};
    iovec parts[2] = {{&header, sizeof header}, {const_cast<uint8_t*>(payload.data()), payload.size()}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    size_t left = sizeof header + payload.size();
    while (left != 0) {
        const ssize_t sent = sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        left -= static_cast<size_t>(sent);
        // Step past what went out, across the two parts.
        size_t done = static_cast<size_t>(sent);
        while (done != 0 && message.msg_iovlen != 0) {
            const size_t take = std::min(done, message.msg_iov->iov_len);
            message.msg_iov->iov_base = static_cast<uint8_t*>(message.msg_iov->iov_base) + take;
            message.msg_iov->iov_len -= take;
            done -= take;
            if (message.msg_iov->iov_len == 0) {
                ++message.msg_iov;
                --message.msg_iovlen;
            }
        }
    }
    return true;
}

Received ReceiveMessage(int socket, uint16_t& kind, std::vector<uint8_t>& payload) noexcept {
    Header header{};
    if (!ReadFully(socket, &header, sizeof header)) return Received::Closed;
    if (header.magic != kWireMagic || header.version != kWireVersion || header.length > kMaxPayloadBytes)
        return Received::Malformed;
    try {
        payload.resize(header.length);
    } catch (const std::bad_alloc&) {
        return Received::Closed;
    }
    if (!ReadFully(socket, payload.data(), payload.size())) return Received::Closed;
    kind = header.kind;
    return Received::Message;
}

}  // namespace pal::com
