// The base module record: which image is the program's module and which images
// string resources are looked up in. Here the program's own file is both, and
// the resource-module list is guarded by a lock of the record's own.
#pragma once

#include <windows.h>

class CAtlBaseModule {
public:
    CAtlBaseModule() noexcept;
    ~CAtlBaseModule();
    CAtlBaseModule(const CAtlBaseModule&) = delete;
    CAtlBaseModule& operator=(const CAtlBaseModule&) = delete;

    HINSTANCE GetModuleInstance() const noexcept { return module_; }
    HINSTANCE GetResourceInstance() const noexcept { return resource_; }

    // The resource module at position index of the search list, or null past
    // its end. The list holds one entry: the program's own image.
    HINSTANCE GetHInstanceAt(int index) noexcept;

    // False when the lock could not be made at start; the list is then read
    // without it (it never changes after construction).
    bool HasLock() const noexcept { return lockReady_; }

private:
    HINSTANCE module_;
    HINSTANCE resource_;
    CRITICAL_SECTION lock_;
    bool lockReady_;
};

// The process's one record, created during static initialisation.
extern CAtlBaseModule _AtlBaseModule;
