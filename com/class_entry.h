// The object table: the classes the server module registers, fixed when the
// program is built. Classic COM classes come first, runtime classes after the
// divider; empty slots are skipped. The program supplies the one table.
#pragma once

#include <roapi.h>
#include <windows.h>

#include <atomic>

enum ModuleType : unsigned { InProcModule = 1, OutOfProcModule = 2 };

struct ClassEntry;

// A factory kept for by-name activation (encoded with EncodePointer), and the
// registration cookie; both empty while the class is not registered.
struct ClassRegistration {
    std::atomic<void*> cachedFactory{nullptr};
    std::atomic<DWORD> cookie{0};
};

struct ClassEntry {
    HRESULT (*makeFactory)(unsigned moduleType, const ClassEntry& entry, REFIID riid, void** factory);
    const CLSID* classId;
    TrustLevel (*trustLevel)();  // absent for classic classes
    ClassRegistration* registration;
    const WCHAR* serverName;  // absent: registration takes every non-empty entry
};

// [start + 1, divider) holds the classic classes, [divider + 1, end) the runtime
// classes; the three markers themselves are empty slots.
struct ObjectTable {
    const ClassEntry* const* start;
    const ClassEntry* const* divider;
    const ClassEntry* const* end;
};

// Defined by the program: its object table.
const ObjectTable& ProgramObjectTable() noexcept;
