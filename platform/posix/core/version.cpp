// The Windows version the platform reports: PAL_WINDOWS_VERSION (6.1, 6.2, 6.3
// or 10.0; 10.0 when unset), as Windows reports it to a program whose manifest
// lists Windows 10. Any other value stops the process with a one-line message,
// so a mistyped setting can never pass for a real version.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct ReportedVersion {
    DWORD major;
    DWORD minor;
};

ReportedVersion CurrentVersion() {
    static const ReportedVersion version = [] {
        const char* setting = std::getenv("PAL_WINDOWS_VERSION");
        if (setting == nullptr || *setting == 0) return ReportedVersion{10, 0};
        static constexpr struct {
            const char* text;
            ReportedVersion version;
        } kKnown[] = {{"6.1", {6, 1}}, {"6.2", {6, 2}}, {"6.3", {6, 3}}, {"10.0", {10, 0}}};
        for (const auto& known : kKnown) {
            if (std::strcmp(setting, known.text) == 0) return known.version;
        }
        std::fprintf(stderr, "pal: PAL_WINDOWS_VERSION must be 6.1, 6.2, 6.3 or 10.0, not '%s'\n", setting);
        std::exit(1);
    }();
    return version;
}

// Each type bit owns three bits of the condition mask, by its bit index.
int TypeIndex(DWORD typeBit) {
    int index = 0;
    while ((typeBit >> index) != 1) ++index;
    return index;
}

BYTE ConditionOf(DWORDLONG mask, DWORD typeBit) { return static_cast<BYTE>((mask >> (TypeIndex(typeBit) * 3)) & 7); }

bool Holds(BYTE condition, int comparison) {
    switch (condition) {
    case VER_EQUAL: return comparison == 0;
    case VER_GREATER: return comparison > 0;
    case VER_GREATER_EQUAL: return comparison >= 0;
    case VER_LESS: return comparison < 0;
    case VER_LESS_EQUAL: return comparison <= 0;
    default: return false;
    }
}

}  // namespace

extern "C" ULONGLONG WINAPI VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition) {
    if (typeMask == 0 || (typeMask & (typeMask - 1)) != 0 || typeMask > VER_PRODUCT_TYPE) return conditionMask;
    const int shift = TypeIndex(typeMask) * 3;
    return (conditionMask & ~(7ull << shift)) | (static_cast<ULONGLONG>(condition & 7) << shift);
}

// Major, minor and service-pack numbers compare as one ordered tuple, under the
// condition given for the most significant field that was asked for.
extern "C" BOOL WINAPI VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD typeMask, DWORDLONG conditionMask) {
    constexpr DWORD kSupported = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR;
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW) || typeMask == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((typeMask & ~kSupported) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    const ReportedVersion running = CurrentVersion();
    const struct {
        DWORD bit;
        DWORD running;
        DWORD wanted;
    } fields[] = {{VER_MAJORVERSION, running.major, info->dwMajorVersion},
                  {VER_MINORVERSION, running.minor, info->dwMinorVersion},
                  {VER_SERVICEPACKMAJOR, 0, info->wServicePackMajor},
                  {VER_SERVICEPACKMINOR, 0, info->wServicePackMinor}};
    int comparison = 0;
    BYTE condition = 0;
    for (const auto& field : fields) {
        if ((typeMask & field.bit) == 0) continue;
        if (condition == 0) condition = ConditionOf(conditionMask, field.bit);
        if (comparison == 0 && field.running != field.wanted) comparison = field.running > field.wanted ? 1 : -1;
    }
    if (Holds(condition, comparison)) return TRUE;
    SetLastError(ERROR_OLD_WIN_VERSION);
    return FALSE;
}
