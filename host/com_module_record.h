// The framework's COM module record: the type-library module, an object map
// for classes served through the framework (empty in this program: the class
// object module serves the one class) and the lock of that map.
#pragma once

#include <windows.h>

class CAtlComModule {
public:
    static constexpr UINT kInitializedSize = 72;

    CAtlComModule() noexcept;
    CAtlComModule(const CAtlComModule&) = delete;
    CAtlComModule& operator=(const CAtlComModule&) = delete;
    ~CAtlComModule() { Term(); }

    // Start and stop notifications to the object-map entries; there are none.
    void NotifyStart() noexcept {}
    void NotifyStop() noexcept {}

    // Releases the cached class objects of the map (none) and the lock, once.
    void Term() noexcept;

    UINT Size() const noexcept { return cbSize_; }
    HINSTANCE TypeLibraryModule() const noexcept { return typeLibraryModule_; }

private:
    UINT cbSize_ = 0;
    HINSTANCE typeLibraryModule_ = nullptr;
    CRITICAL_SECTION objectMapLock_{};
};

CAtlComModule& ComModuleRecord() noexcept;
