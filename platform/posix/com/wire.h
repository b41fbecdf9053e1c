// The wire protocol between COM clients and local servers: one request, then
// one reply, each a 12-byte header (magic, version, kind, payload length) and a
// payload whose every length is checked against what is left of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pal::com {

constexpr uint32_t kWireMagic = 0x4D4F4351;  // "QCOM"
constexpr uint16_t kWireVersion = 1;
constexpr uint32_t kMaxPayloadBytes = 1u << 20;  // larger messages close the connection
constexpr uint16_t kReplyFlag = 0x8000;

enum class Request : uint16_t {
    GetClassObject = 1,   // CLSID, IID           -> HRESULT, object id
    QueryInterface = 2,   // object id, IID       -> HRESULT, object id
    Release = 3,          // object id            -> HRESULT
    CreateInstance = 4,   // object id, IID       -> HRESULT, object id
    LockServer = 5,       // object id, BOOL      -> HRESULT
    Activate = 6,         // object id, 2 texts, input array -> HRESULT
    CreateClassInstance = 7,  // CLSID, IID: made by the class object -> HRESULT, object id
};

class WireWriter {
public:
    void PutU32(uint32_t value) { PutBytes(&value, sizeof value); }
    void PutU64(uint64_t value) { PutBytes(&value, sizeof value); }
    void PutGuid(const GUID& value) { PutBytes(&value, sizeof value); }
    // A text with a presence mark, so null stays null and empty stays empty.
    void PutText(const WCHAR* text);
    const std::vector<uint8_t>& Bytes() const noexcept { return bytes_; }

private:
    void PutBytes(const void* data, size_t size);
    std::vector<uint8_t> bytes_;
};

class WireReader {
public:
    explicit WireReader(const std::vector<uint8_t>& bytes) : next_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    bool GetU32(uint32_t& value) { return GetBytes(&value, sizeof value); }
    bool GetU64(uint64_t& value) { return GetBytes(&value, sizeof value); }
    bool GetGuid(GUID& value) { return GetBytes(&value, sizeof value); }
    bool GetText(std::optional<std::u16string>& text);
    size_t Remaining() const noexcept { return static_cast<size_t>(end_ - next_); }
    bool AtEnd() const noexcept { return next_ == end_; }

private:
    bool GetBytes(void* data, size_t size);
    const uint8_t* next_;
    const uint8_t* end_;
};

constexpr size_t kHeaderBytes = 12;

// The 12-byte header of a message of kind with a payload of length bytes.
void PutHeader(uint8_t* header, uint16_t kind, uint32_t length) noexcept;

// Reads a header; false when its magic, version or length is not ours.
bool ParseHeader(const uint8_t* header, uint16_t& kind, uint32_t& length) noexcept;

}  // namespace pal::com
