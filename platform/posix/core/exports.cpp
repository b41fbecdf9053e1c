// The exports table. A system DLL's handle is the address of its table entry.
#include "platform/posix/core/exports.h"

#include <cstring>

namespace pal {
namespace {

struct Export {
    const char* name;
    FARPROC address;
};

struct SystemModule {
    const WCHAR* name;
    const Export* exports;  // ends with a null name
};

template <class F> [[maybe_unused]] FARPROC AsProc(F* function) noexcept {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));  // void(*)() is the generic function type
}

const Export kAdvapi32[] = {
    {"RegDeleteKeyExW", AsProc(&RegDeleteKeyExW)},
    {"RegDeleteKeyW", AsProc(&RegDeleteKeyW)},
    {nullptr, nullptr},
};

const SystemModule kModules[] = {
    {u"advapi32.dll", kAdvapi32},
};

}  // namespace

HMODULE FindSystemModule(LPCWSTR moduleName) noexcept {
    for (const SystemModule& module : kModules) {
        if (lstrcmpiW(module.name, moduleName) == 0)
            return reinterpret_cast<HMODULE>(const_cast<SystemModule*>(&module));
    }
    return nullptr;
}

FARPROC FindExport(HMODULE module, LPCSTR procName) noexcept {
    if (procName == nullptr || (reinterpret_cast<ULONG_PTR>(procName) >> 16) == 0) return nullptr;  // no ordinals
    for (const SystemModule& candidate : kModules) {
        if (reinterpret_cast<HMODULE>(const_cast<SystemModule*>(&candidate)) != module) continue;
        for (const Export* entry = candidate.exports; entry->name != nullptr; ++entry) {
            if (std::strcmp(entry->name, procName) == 0) return entry->address;
        }
    }
    return nullptr;
}

}  // namespace pal
