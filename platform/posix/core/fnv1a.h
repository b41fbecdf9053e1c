// The 64-bit FNV-1a hash: short, fast, and good enough to tell texts apart
// where nobody chooses them to collide (names, checksums of our own records).
#pragma once

#include <cstdint>
#include <string_view>

namespace pal {

constexpr uint64_t kFnv1aStart = 0xcbf29ce484222325ull;

inline uint64_t Fnv1a(std::string_view bytes, uint64_t hash = kFnv1aStart) noexcept {
    for (const unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

}  // namespace pal
