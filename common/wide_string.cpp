// Storage, copy-on-write and the text operations of CWideString.
#include "common/wide_string.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

struct CWideString::Block {
    StringManager* manager;
    std::atomic<long> references;
    int length;
    int capacity;  // code units, not counting the terminator

    WCHAR* Chars() noexcept { return reinterpret_cast<WCHAR*>(this + 1); }
    static Block* Of(WCHAR* chars) noexcept { return reinterpret_cast<Block*>(chars) - 1; }
};

namespace {

class HeapStringManager final : public StringManager {
public:
    void* Allocate(size_t bytes) noexcept override { return std::malloc(bytes); }
    void Free(void* block) noexcept override { std::free(block); }
};

HeapStringManager heapManager;
std::atomic<StringManager*> defaultManager{&heapManager};

}  // namespace

void RaiseWideStringError(HRESULT code) { throw WideStringError(code); }

void CheckBoundedCopy(int errorNumber) {
    switch (errorNumber) {
    case 0:
    case 80:  // STRUNCATE: a truncated copy is a success
        return;
    case ENOMEM:
        RaiseWideStringError(E_OUTOFMEMORY);
    case EINVAL:
    case ERANGE:
        RaiseWideStringError(E_INVALIDARG);
    default:
        RaiseWideStringError(E_FAIL);
    }
}

StringManager* DefaultStringManager() noexcept { return defaultManager.load(std::memory_order_acquire); }

StringManager* SetDefaultStringManager(StringManager* manager) noexcept {
    return defaultManager.exchange(manager, std::memory_order_acq_rel);
}

size_t WideLength(const WCHAR* text) noexcept { return text ? std::char_traits<WCHAR>::length(text) : 0; }

namespace {

// Copies count units into a destination of the given capacity, as a bounded
// copy would: the error number says why it could not.
int CopyUnits(WCHAR* destination, size_t capacity, const WCHAR* source, size_t count) noexcept {
    if (destination == nullptr || (source == nullptr && count != 0)) return EINVAL;
    if (count > capacity) return ERANGE;
    if (count != 0) std::memmove(destination, source, count * sizeof(WCHAR));
    return 0;
}

int CheckedLength(size_t length) {
    if (length > static_cast<size_t>(CWideString::kMaxLength)) RaiseWideStringError(E_INVALIDARG);
    return static_cast<int>(length);
}

}  // namespace

// ---- blocks ---------------------------------------------------------------------------

namespace {
// The shared empty string: zeroed static storage (no manager, length 0,
// capacity 0, a terminator after the header); never counted, never freed.
alignas(16) unsigned char emptyStorage[64];
}  // namespace

CWideString::Block* CWideString::EmptyBlock() noexcept { return reinterpret_cast<Block*>(emptyStorage); }

CWideString::Block* CWideString::Allocate(int capacity) {
    StringManager* manager = DefaultStringManager();
    if (manager == nullptr) RaiseWideStringError(E_FAIL);
    const size_t bytes = sizeof(Block) + (static_cast<size_t>(capacity) + 1) * sizeof(WCHAR);
    void* memory = manager->Allocate(bytes);
    if (memory == nullptr) RaiseWideStringError(E_OUTOFMEMORY);
    Block* block = new (memory) Block{manager, {1}, 0, capacity};
    block->Chars()[0] = 0;
    return block;
}

void CWideString::Retain(Block* block) noexcept {
    if (block != EmptyBlock()) block->references.fetch_add(1, std::memory_order_relaxed);
}

void CWideString::ReleaseBlock(Block* block) noexcept {
    if (block == EmptyBlock()) return;  // the shared empty block
    if (block->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        StringManager* manager = block->manager;
        block->~Block();
        manager->Free(block);
    }
}

CWideString::Block* CWideString::GetBlock() const noexcept { return Block::Of(chars_); }

// ---- construction -----------------------------------------------------------------------

CWideString::CWideString() noexcept : chars_(EmptyBlock()->Chars()) {}

CWideString::CWideString(const WCHAR* text) : CWideString() { SetString(text, CheckedLength(WideLength(text))); }

CWideString::CWideString(const WCHAR* text, int length) : CWideString() { SetString(text, length); }

CWideString::CWideString(const CWideString& other) noexcept : chars_(other.chars_) { Retain(GetBlock()); }

CWideString::CWideString(CWideString&& other) noexcept : chars_(other.chars_) {
    other.chars_ = EmptyBlock()->Chars();
}

CWideString& CWideString::operator=(const CWideString& other) noexcept {
    Block* incoming = other.GetBlock();
    Retain(incoming);
    ReleaseBlock(GetBlock());
    chars_ = incoming->Chars();
    return *this;
}

CWideString& CWideString::operator=(CWideString&& other) noexcept {
    if (this != &other) {
        ReleaseBlock(GetBlock());
        chars_ = other.chars_;
        other.chars_ = EmptyBlock()->Chars();
    }
    return *this;
}

CWideString& CWideString::operator=(const WCHAR* text) {
    SetString(text, CheckedLength(WideLength(text)));
    return *this;
}

CWideString::~CWideString() { ReleaseBlock(GetBlock()); }

bool CWideString::Overlaps(const WCHAR* text) const noexcept {
    return text >= chars_ && text <= chars_ + GetCapacity();
}

int CWideString::GetLength() const noexcept { return GetBlock()->length; }

int CWideString::GetCapacity() const noexcept { return GetBlock()->capacity; }

void CWideString::Empty() noexcept {
    ReleaseBlock(GetBlock());
    chars_ = EmptyBlock()->Chars();
}

// ---- writing --------------------------------------------------------------------------------

WCHAR* CWideString::PrepareWrite(int length, int keep) {
    Block* block = GetBlock();
    const bool shared = block == EmptyBlock() || block->references.load(std::memory_order_acquire) > 1;
    if (!shared && block->capacity >= length) return chars_;

    int capacity = length;
    if (!shared && length > block->capacity) {
        // Growing a string we own: leave room so repeated appends stay linear.
        const long long grown = static_cast<long long>(block->capacity) * 3 / 2;
        if (grown > capacity) capacity = grown > kMaxLength ? kMaxLength : static_cast<int>(grown);
    }
    Block* fresh = Allocate(capacity);
    const int kept = keep < length ? keep : length;
    CheckBoundedCopy(CopyUnits(fresh->Chars(), static_cast<size_t>(capacity), chars_,
                               static_cast<size_t>(kept < block->length ? kept : block->length)));
    fresh->length = kept < block->length ? kept : block->length;
    fresh->Chars()[fresh->length] = 0;
    ReleaseBlock(block);
    chars_ = fresh->Chars();
    return chars_;
}

void CWideString::SetLength(int length) noexcept {
    Block* block = GetBlock();
    if (block == EmptyBlock()) return;  // the empty block is already right
    block->length = length;
    chars_[length] = 0;
}

void CWideString::SetString(const WCHAR* text, int length) {
    if (text == nullptr || length <= 0) {
        Empty();
        return;
    }
    // Text that lies inside this string's own block must outlive the rewrite.
    const CWideString keepAlive = Overlaps(text) ? *this : CWideString();
    WCHAR* destination = PrepareWrite(length, 0);
    CheckBoundedCopy(CopyUnits(destination, static_cast<size_t>(GetCapacity()), text, static_cast<size_t>(length)));
    SetLength(length);
}

CWideString& CWideString::Append(const WCHAR* text) { return Append(text, CheckedLength(WideLength(text))); }

CWideString& CWideString::Append(const WCHAR* text, int length) {
    if (length < 0) RaiseWideStringError(E_INVALIDARG);
    if (text == nullptr || length == 0) return *this;
    const int oldLength = GetLength();
    if (static_cast<long long>(oldLength) + length > kMaxLength) RaiseWideStringError(E_INVALIDARG);
    const int newLength = oldLength + length;
    const CWideString keepAlive = Overlaps(text) ? *this : CWideString();
    WCHAR* destination = PrepareWrite(newLength, oldLength);
    CheckBoundedCopy(CopyUnits(destination + oldLength, static_cast<size_t>(GetCapacity() - oldLength), text,
                               static_cast<size_t>(length)));
    SetLength(newLength);
    return *this;
}

WCHAR* CWideString::GetBuffer(int minLength) {
    if (minLength < 0) RaiseWideStringError(E_INVALIDARG);
    const int length = GetLength();
    WCHAR* buffer = PrepareWrite(minLength > length ? minLength : length, length);
    if (GetBlock() == EmptyBlock()) {
        // A zero-length request on the shared empty block still needs a block of our own.
        buffer = PrepareWrite(1, 0);
    }
    return buffer;
}

void CWideString::ReleaseBuffer(int newLength) noexcept {
    Block* block = GetBlock();
    if (block == EmptyBlock()) return;
    if (newLength < 0) newLength = static_cast<int>(WideLength(chars_));
    if (newLength > block->capacity) newLength = block->capacity;
    SetLength(newLength);
}

// ---- searching and formatting ------------------------------------------------------------

int CWideString::Find(const WCHAR* text, int start) const noexcept {
    const int length = GetLength();
    if (text == nullptr || start < 0 || start > length) return -1;
    const size_t needle = WideLength(text);
    if (needle == 0) return start;
    if (needle > static_cast<size_t>(length - start)) return -1;
    const std::u16string_view haystack(reinterpret_cast<const char16_t*>(chars_), static_cast<size_t>(length));
    const size_t found =
        haystack.find(std::u16string_view(reinterpret_cast<const char16_t*>(text), needle), static_cast<size_t>(start));
    return found == std::u16string_view::npos ? -1 : static_cast<int>(found);
}

namespace {

// Writes the decimal digits of number into digits (from the back); returns their count.
int DecimalDigits(unsigned long long number, WCHAR (&digits)[24]) noexcept {
    int count = 0;
    do {
        digits[23 - count] = static_cast<WCHAR>(u'0' + number % 10);
        number /= 10;
        ++count;
    } while (number != 0);
    return count;
}

}  // namespace

void CWideString::FormatList(const WCHAR* format, std::initializer_list<FormatArgument> args) {
    if (format == nullptr) RaiseWideStringError(E_INVALIDARG);
    static constexpr WCHAR kNull[] = {u'(', u'n', u'u', u'l', u'l', u')', 0};

    // Two passes over the same walk: first measure, then write into one block.
    CWideString result;
    for (int pass = 0; pass < 2; ++pass) {
        long long length = 0;
        WCHAR* out = pass == 0 ? nullptr : result.chars_;
        auto emit = [&](const WCHAR* text, size_t count) {
            if (out != nullptr) std::memcpy(out + length, text, count * sizeof(WCHAR));
            length += static_cast<long long>(count);
            if (length > kMaxLength) RaiseWideStringError(E_INVALIDARG);
        };
        const FormatArgument* next = args.begin();
        for (const WCHAR* p = format; *p != 0; ++p) {
            if (*p != u'%') {
                const WCHAR* literal = p;
                while (p[1] != 0 && p[1] != u'%') ++p;
                emit(literal, static_cast<size_t>(p - literal + 1));
                continue;
            }
            const WCHAR directive = *++p;
            if (directive == u'%') {
                emit(p, 1);
                continue;
            }
            if ((directive != u's' && directive != u'u') || next == args.end() || next->IsText() != (directive == u's'))
                RaiseWideStringError(E_INVALIDARG);
            if (directive == u's') {
                const WCHAR* text = next->Text() != nullptr ? next->Text() : kNull;
                emit(text, WideLength(text));
            } else {
                WCHAR digits[24];
                const int count = DecimalDigits(next->Number(), digits);
                emit(digits + 24 - count, static_cast<size_t>(count));
            }
            ++next;
        }
        if (pass == 0) {
            if (length > 0) result.PrepareWrite(static_cast<int>(length), 0);
        } else {
            result.SetLength(static_cast<int>(length));
        }
    }
    *this = std::move(result);
}

int CWideString::ReplaceAll(const WCHAR* search, const WCHAR* replacement) {
    const size_t searchLength = WideLength(search);
    if (searchLength == 0) return 0;
    const size_t replacementLength = WideLength(replacement);

    int count = 0;
    for (int at = Find(search); at >= 0; at = Find(search, at + static_cast<int>(searchLength))) ++count;
    if (count == 0) return 0;

    const long long newLength = static_cast<long long>(GetLength()) +
                                (static_cast<long long>(replacementLength) - static_cast<long long>(searchLength)) * count;
    if (newLength > kMaxLength) RaiseWideStringError(E_INVALIDARG);
    if (newLength == 0) {
        Empty();
        return count;
    }

    // Build the result in one left-to-right pass over the old text.
    CWideString result;
    WCHAR* out = result.PrepareWrite(static_cast<int>(newLength), 0);
    int written = 0;
    int from = 0;
    for (int at = Find(search); at >= 0; at = Find(search, from)) {
        std::memcpy(out + written, chars_ + from, static_cast<size_t>(at - from) * sizeof(WCHAR));
        written += at - from;
        if (replacementLength != 0) std::memcpy(out + written, replacement, replacementLength * sizeof(WCHAR));
        written += static_cast<int>(replacementLength);
        from = at + static_cast<int>(searchLength);
    }
    std::memcpy(out + written, chars_ + from, static_cast<size_t>(GetLength() - from) * sizeof(WCHAR));
    result.SetLength(static_cast<int>(newLength));
    *this = std::move(result);
    return count;
}

bool operator==(const CWideString& a, const CWideString& b) noexcept {
    return a.GetLength() == b.GetLength() &&
           std::memcmp(a.GetString(), b.GetString(), static_cast<size_t>(a.GetLength()) * sizeof(WCHAR)) == 0;
}

bool operator==(const CWideString& a, const WCHAR* b) noexcept {
    const size_t length = WideLength(b);
    return static_cast<size_t>(a.GetLength()) == length &&
           std::memcmp(a.GetString(), b == nullptr ? a.GetString() : b, length * sizeof(WCHAR)) == 0;
}
