// Pointer encoding with a per-process secret, so an encoded pointer read from
// memory does not give the pointer away.
#include <windows.h>

#include <random>

namespace {

ULONG_PTR Secret() {
    static const ULONG_PTR secret = [] {
        std::random_device device;
        return (static_cast<ULONG_PTR>(device()) << 32) ^ device() ^ 1;
    }();
    return secret;
}

ULONG_PTR Rotate(ULONG_PTR value, unsigned by) { return (value >> by) | (value << (64 - by)); }

}  // namespace

extern "C" PVOID WINAPI EncodePointer(PVOID pointer) {
    const unsigned by = static_cast<unsigned>(Secret() & 63) | 1;
    return reinterpret_cast<PVOID>(Rotate(reinterpret_cast<ULONG_PTR>(pointer) ^ Secret(), by));
}

extern "C" PVOID WINAPI DecodePointer(PVOID pointer) {
    const unsigned by = static_cast<unsigned>(Secret() & 63) | 1;
    return reinterpret_cast<PVOID>(Rotate(reinterpret_cast<ULONG_PTR>(pointer), 64 - by) ^ Secret());
}
