// The plain allocator behind SQLite in the fuzz targets: glibc's own entry
// points, which the sanitizer does not intercept.
#include "fuzz/sqlite_allocator.h"

#include <sqlite3.h>

#include <cstdlib>
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace fuzz {
namespace {

// Each block carries its requested size in front, which SQLite asks back for.
constexpr size_t kHeader = 16;

void* Allocate(int size) {
    auto* block = static_cast<char*>(__libc_malloc(static_cast<size_t>(size) + kHeader));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<size_t*>(block) = static_cast<size_t>(size);
    return block + kHeader;
}

void Free(void* block) {
    if (block != nullptr) __libc_free(static_cast<char*>(block) - kHeader);
}

void* Reallocate(void* block, int size) {
    auto* moved = static_cast<char*>(__libc_realloc(static_cast<char*>(block) - kHeader, static_cast<size_t>(size) + kHeader));
    if (moved == nullptr) return nullptr;
    *reinterpret_cast<size_t*>(moved) = static_cast<size_t>(size);
    return moved + kHeader;
}

int Size(void* block) { return static_cast<int>(*reinterpret_cast<size_t*>(static_cast<char*>(block) - kHeader)); }
int Roundup(int size) { return (size + 7) & ~7; }
int Init(void*) { return SQLITE_OK; }
void Shutdown(void*) {}

}  // namespace

void UsePlainAllocatorForSqlite() {
    static const sqlite3_mem_methods methods{Allocate, Free, Reallocate, Size, Roundup, Init, Shutdown, nullptr};
    if (sqlite3_config(SQLITE_CONFIG_MALLOC, &methods) != SQLITE_OK) std::abort();
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

}  // namespace fuzz
