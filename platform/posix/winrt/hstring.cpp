// Windows Runtime strings: a handle points at a small header that either lives in
// the caller's HSTRING_HEADER (a reference over the caller's text, never freed)
// or at the front of a counted heap block (a copy). NULL is the empty string.
#include <winstring.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/posix/testing/fault_injection.h"

namespace {

enum class StringKind : UINT32 { Reference = 0x52454631, Heap = 0x48454150 };

struct StringHeader {
    StringKind kind;
    UINT32 length;
    const WCHAR* buffer;
};
static_assert(sizeof(StringHeader) <= sizeof(HSTRING_HEADER) && alignof(StringHeader) <= alignof(HSTRING_HEADER));

struct HeapString {
    StringHeader header;
    std::atomic<ULONG> references;
    // The code units and their terminator follow the block.
    WCHAR* Units() noexcept { return reinterpret_cast<WCHAR*>(this + 1); }
};

StringHeader* HeaderOf(HSTRING string) noexcept { return reinterpret_cast<StringHeader*>(string); }
HSTRING HandleOf(StringHeader* header) noexcept { return reinterpret_cast<HSTRING>(header); }

HRESULT MakeHeapString(const WCHAR* source, UINT32 length, HSTRING* string) noexcept {
    const size_t bytes = sizeof(HeapString) + (static_cast<size_t>(length) + 1) * sizeof(WCHAR);
    void* block = std::malloc(bytes);
    if (block == nullptr) return E_OUTOFMEMORY;
    auto* heap = new (block) HeapString{{StringKind::Heap, length, nullptr}, {1}};
    std::char_traits<WCHAR>::copy(heap->Units(), source, length);
    heap->Units()[length] = u'\0';
    heap->header.buffer = heap->Units();
    *string = HandleOf(&heap->header);
    return S_OK;
}

}  // namespace

extern "C" {

HRESULT WINAPI WindowsCreateStringReference(PCWSTR sourceString, UINT32 length, HSTRING_HEADER* header,
                                            HSTRING* string) {
    if (string == nullptr || header == nullptr) return E_INVALIDARG;
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::WindowsCreateStringReference))
        return static_cast<HRESULT>(injected);
    if (sourceString == nullptr) {
        if (length > 0) return E_POINTER;
        *string = nullptr;
        return S_OK;
    }
    // Windows checks the terminator even for an empty reference.
    if (sourceString[length] != u'\0') return E_STRING_NOT_NULL_TERMINATED;
    if (length == 0) {
        *string = nullptr;
        return S_OK;
    }
    auto* reference = new (header) StringHeader{StringKind::Reference, length, sourceString};
    *string = HandleOf(reference);
    return S_OK;
}

HRESULT WINAPI WindowsCreateString(PCWSTR sourceString, UINT32 length, HSTRING* string) {
    if (string == nullptr) return E_INVALIDARG;
    if (length == 0) {
        *string = nullptr;
        return S_OK;
    }
    if (sourceString == nullptr) return E_POINTER;
    return MakeHeapString(sourceString, length, string);
}

HRESULT WINAPI WindowsDeleteString(HSTRING string) {
    StringHeader* header = HeaderOf(string);
    if (header == nullptr || header->kind != StringKind::Heap) return S_OK;
    auto* heap = reinterpret_cast<HeapString*>(header);
    if (heap->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        heap->~HeapString();
        std::free(heap);
    }
    return S_OK;
}

HRESULT WINAPI WindowsDuplicateString(HSTRING string, HSTRING* newString) {
    if (newString == nullptr) return E_INVALIDARG;
    StringHeader* header = HeaderOf(string);
    if (header == nullptr) {
        *newString = nullptr;
        return S_OK;
    }
    if (header->kind == StringKind::Heap) {
        reinterpret_cast<HeapString*>(header)->references.fetch_add(1, std::memory_order_relaxed);
        *newString = string;
        return S_OK;
    }
    // A reference lives only as long as its caller's text: the duplicate is a copy.
    return MakeHeapString(header->buffer, header->length, newString);
}

PCWSTR WINAPI WindowsGetStringRawBuffer(HSTRING string, UINT32* length) {
    const StringHeader* header = HeaderOf(string);
    if (length != nullptr) *length = header == nullptr ? 0 : header->length;
    return header == nullptr ? u"" : header->buffer;
}

UINT32 WINAPI WindowsGetStringLen(HSTRING string) {
    const StringHeader* header = HeaderOf(string);
    return header == nullptr ? 0 : header->length;
}

BOOL WINAPI WindowsIsStringEmpty(HSTRING string) { return WindowsGetStringLen(string) == 0 ? TRUE : FALSE; }

}  // extern "C"
