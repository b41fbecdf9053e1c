// The COM task allocator: blocks that one side allocates and the other frees,
// here plain C heap blocks. Realloc keeps the old block when it cannot grow it,
// and a zero size frees the block, as on Windows.
#include <objbase.h>

#include <cstdlib>

#include "platform/posix/testing/fault_injection.h"

extern "C" LPVOID WINAPI CoTaskMemAlloc(SIZE_T size) {
    if (pal::testing::TakeInjectedFailure(pal::testing::Fault::CoTaskMemAlloc) != 0) return nullptr;
    return std::malloc(size != 0 ? size : 1);
}

extern "C" LPVOID WINAPI CoTaskMemRealloc(LPVOID block, SIZE_T size) {
    if (size != 0 && pal::testing::TakeInjectedFailure(pal::testing::Fault::CoTaskMemRealloc) != 0) return nullptr;
    if (block != nullptr && size == 0) {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, size != 0 ? size : 1);
}

extern "C" void WINAPI CoTaskMemFree(LPVOID block) { std::free(block); }
