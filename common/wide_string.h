// The program's wide string: UTF-16 code units with a length and a capacity,
// reference-counted and copied on write. Storage comes from a string manager;
// when none can be had the string raises WideStringError with its HRESULT
// (E_OUTOFMEMORY, or E_FAIL when no manager exists), never a null string.
#pragma once

#include <windows.h>

#include <atomic>
#include <concepts>
#include <cstddef>
#include <initializer_list>

class WideStringError {
public:
    explicit WideStringError(HRESULT code) noexcept : code_(code) {}
    HRESULT Code() const noexcept { return code_; }

private:
    HRESULT code_;
};

[[noreturn]] void RaiseWideStringError(HRESULT code);

// A bounded copy reports C runtime error numbers; this turns them into the
// string layer's outcome (truncation and success pass, the rest raise).
void CheckBoundedCopy(int errorNumber);

// Where string storage comes from. Strings keep the manager that made their block.
class StringManager {
public:
    virtual void* Allocate(size_t bytes) noexcept = 0;
    virtual void Free(void* block) noexcept = 0;

protected:
    ~StringManager() = default;
};

StringManager* DefaultStringManager() noexcept;
// Installs the manager new strings use and returns the previous one; null means
// "no string manager", after which every allocation raises E_FAIL.
StringManager* SetDefaultStringManager(StringManager* manager) noexcept;

size_t WideLength(const WCHAR* text) noexcept;

class CWideString;

// One argument of Format: "%s" takes a text, "%u" an unsigned number.
class FormatArgument {
public:
    FormatArgument(const WCHAR* text) noexcept : text_(text), isText_(true) {}
    FormatArgument(const CWideString& text) noexcept;
    template <std::unsigned_integral U> FormatArgument(U number) noexcept : number_(number), isText_(false) {}

    bool IsText() const noexcept { return isText_; }
    const WCHAR* Text() const noexcept { return text_; }
    unsigned long long Number() const noexcept { return number_; }

private:
    const WCHAR* text_ = nullptr;
    unsigned long long number_ = 0;
    bool isText_;
};

class CWideString {
public:
    static constexpr int kMaxLength = 0x7FFFFFFF;

    CWideString() noexcept;
    CWideString(const WCHAR* text);  // null gives the empty string
    CWideString(const WCHAR* text, int length);
    CWideString(const CWideString& other) noexcept;
    CWideString(CWideString&& other) noexcept;
    CWideString& operator=(const CWideString& other) noexcept;
    CWideString& operator=(CWideString&& other) noexcept;
    CWideString& operator=(const WCHAR* text);
    ~CWideString();

    int GetLength() const noexcept;
    int GetCapacity() const noexcept;
    bool IsEmpty() const noexcept { return GetLength() == 0; }
    const WCHAR* GetString() const noexcept { return chars_; }
    operator const WCHAR*() const noexcept { return chars_; }
    WCHAR operator[](int index) const noexcept { return chars_[index]; }

    void Empty() noexcept;
    void SetString(const WCHAR* text, int length);
    CWideString& Append(const WCHAR* text);
    CWideString& Append(const WCHAR* text, int length);
    CWideString& operator+=(const WCHAR* text) { return Append(text); }
    CWideString& operator+=(const CWideString& text) { return Append(text.chars_, text.GetLength()); }

    // Position of the first occurrence of text at or after start (code unit by
    // code unit, case-sensitive), or -1.
    int Find(const WCHAR* text, int start = 0) const noexcept;
    bool StartsWith(const WCHAR* text) const noexcept { return Find(text) == 0; }

    // printf-style: "%s" places a text, "%u" an unsigned decimal, "%%" a percent sign.
    template <class... Args> void Format(const WCHAR* format, const Args&... args) {
        FormatList(format, {FormatArgument(args)...});
    }
    void FormatList(const WCHAR* format, std::initializer_list<FormatArgument> args);

    // Replaces every non-overlapping occurrence of search, scanning left to right
    // and never rescanning an inserted replacement. Returns the count.
    int ReplaceAll(const WCHAR* search, const WCHAR* replacement);

    // A writable buffer of at least minLength units plus a terminator; the
    // string is unshared first. ReleaseBuffer sets the length (-1: up to the first NUL).
    WCHAR* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1) noexcept;

    friend bool operator==(const CWideString& a, const CWideString& b) noexcept;
    friend bool operator==(const CWideString& a, const WCHAR* b) noexcept;

private:
    struct Block;

    static Block* EmptyBlock() noexcept;
    Block* GetBlock() const noexcept;
    bool Overlaps(const WCHAR* text) const noexcept;
    static Block* Allocate(int capacity);
    static void Retain(Block* block) noexcept;
    static void ReleaseBlock(Block* block) noexcept;
    // Makes the string the sole owner of a block of at least length units,
    // keeping the first min(keep, length) units.
    WCHAR* PrepareWrite(int length, int keep);
    void SetLength(int length) noexcept;

    WCHAR* chars_;
};

inline FormatArgument::FormatArgument(const CWideString& text) noexcept : text_(text.GetString()), isText_(true) {}
