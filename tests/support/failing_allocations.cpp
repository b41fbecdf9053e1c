// The global allocation functions of a test program, over malloc and free, with
// the per-thread refusal of failing_allocations.h. Every form is replaced, so
// each block is freed by the family that made it (the sanitizers check that).
#include "tests/support/failing_allocations.h"

#include <cstdlib>
#include <new>

namespace failing_allocations {
namespace {

thread_local bool armed = false;
thread_local unsigned remaining = 0;

void* Allocate(std::size_t size) noexcept {
    if (armed) {
        if (remaining == 0) return nullptr;
        --remaining;
    }
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void FailAfter(unsigned granted) noexcept {
    remaining = granted;
    armed = true;
}

void Stop() noexcept { armed = false; }

}  // namespace failing_allocations

void* operator new(std::size_t size) {
    if (void* block = failing_allocations::Allocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return failing_allocations::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return failing_allocations::Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
