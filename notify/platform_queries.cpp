// The version test and the program-directory cache. The activation road takes
// no lock of the program's own, so the cache is published with one atomic
// exchange; a failed filling leaves it empty for a retry.
#include "notify/platform_queries.h"

#include <pathcch.h>
#include <shlwapi.h>

#include "common/wide_string.h"

#include <atomic>
#include <memory>

bool IsOsVersionAtLeast(WORD major, WORD minor) noexcept {
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    wanted.wServicePackMajor = 0;
    DWORDLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, conditions) != FALSE;
}

namespace {

constexpr DWORD kModulePathCapacity = 260;

// The executable's directory, or the empty text when the name or its trimming fails.
CWideString DetermineModuleDirectory() {
    WCHAR path[kModulePathCapacity + 1] = {};
    if (GetModuleFileNameW(nullptr, path, kModulePathCapacity) == 0) return CWideString();
    if (IsOsVersionAtLeast(6, 2)) {
        if (FAILED(PathCchRemoveFileSpec(path, kModulePathCapacity))) return CWideString();
    } else if (!PathRemoveFileSpecW(path)) {
        return CWideString();
    }
    return CWideString(path);
}

// Filled at most once, without a lock: concurrent first callers each work out
// the directory and the first to publish wins; the others read its text. An
// empty result is never published, so the next call tries again.
class ModuleDirectoryCache {
public:
    ~ModuleDirectoryCache() { std::unique_ptr<CWideString> owned(filled_.exchange(nullptr)); }

    const WCHAR* Get() {
        if (const CWideString* text = filled_.load(std::memory_order_acquire)) return text->GetString();
        auto fresh = std::make_unique<CWideString>(DetermineModuleDirectory());
        if (fresh->IsEmpty()) return TEXT("");
        CWideString* published = nullptr;
        if (filled_.compare_exchange_strong(published, fresh.get(), std::memory_order_acq_rel,
                                            std::memory_order_acquire)) {
            return fresh.release()->GetString();
        }
        return published->GetString();
    }

private:
    std::atomic<CWideString*> filled_{nullptr};
};

}  // namespace

const WCHAR* GetModuleDirectory() {
    static ModuleDirectoryCache cache;
    return cache.Get();
}
