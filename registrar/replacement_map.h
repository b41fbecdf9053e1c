// The registrar's replacements: names and values as two parallel arrays, each
// entry owning copies of its texts. Lookup takes the first entry whose name
// matches ignoring case, so a later duplicate is stored but never found.
#pragma once

#include <windows.h>

#include <cstddef>

class ReplacementMap {
public:
    ReplacementMap() noexcept = default;
    ReplacementMap(const ReplacementMap&) = delete;
    ReplacementMap& operator=(const ReplacementMap&) = delete;
    ~ReplacementMap() { Clear(); }

    // False, with nothing added, when a copy or the growth of an array fails.
    bool Add(LPCWSTR name, LPCWSTR value) noexcept;
    LPCWSTR Find(LPCWSTR name) const noexcept;
    void Clear() noexcept;
    size_t Count() const noexcept { return count_; }

private:
    LPWSTR* names_ = nullptr;
    LPWSTR* values_ = nullptr;
    size_t count_ = 0;
};
