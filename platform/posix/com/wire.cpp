// Encoding, bounds-checked decoding and the message header.
#include "platform/posix/com/wire.h"

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
static_assert(sizeof(Header) == kHeaderBytes);

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

void PutHeader(uint8_t* header, uint16_t kind, uint32_t length) noexcept {
    const Header fields{kWireMagic, kWireVersion, kind, length};
    std::memcpy(header, &fields, sizeof fields);
}

bool ParseHeader(const uint8_t* header, uint16_t& kind, uint32_t& length) noexcept {
    Header fields{};
    std::memcpy(&fields, header, sizeof fields);
    if (fields.magic != kWireMagic || fields.version != kWireVersion || fields.length > kMaxPayloadBytes) return false;
    kind = fields.kind;
    length = fields.length;
    return true;
}

}  // namespace pal::com
