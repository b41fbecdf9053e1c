// The server module of an out-of-process COM server: counts server references
// through the platform, calls its release notifier whenever the count returns
// to zero, and registers the classes of the object table with the COM runtime.
#pragma once

#include <windows.h>

#include <atomic>
#include <shared_mutex>

#include "com/class_entry.h"
#include "com/release_notifier.h"

class ModuleBase {
public:
    ModuleBase(const ModuleBase&) = delete;
    ModuleBase& operator=(const ModuleBase&) = delete;
    virtual ~ModuleBase();

    virtual ULONG AcquireServerReference() noexcept = 0;
    virtual ULONG ReleaseServerReference() noexcept = 0;
    virtual ULONG LiveObjectCount() const noexcept = 0;
    virtual const ClassEntry* const* TableStart() const noexcept = 0;
    virtual const ClassEntry* const* TableDivider() const noexcept = 0;
    virtual const ClassEntry* const* TableEnd() const noexcept = 0;
    virtual std::shared_mutex& CacheLock() noexcept = 0;
    virtual HRESULT RegisterRuntimeClasses(const WCHAR* serverName) noexcept = 0;
    virtual HRESULT RevokeRuntimeClasses() noexcept = 0;
    virtual HRESULT RegisterClassObjects(const WCHAR* serverName, const CLSID* classIds, IUnknown** classObjects,
                                         DWORD* cookies, unsigned count) noexcept = 0;
    virtual HRESULT RevokeClassObjects(const WCHAR* serverName, DWORD* cookies, unsigned count) noexcept = 0;

protected:
    ModuleBase() noexcept;
};

// The module the objects report to; null before construction and after destruction.
ModuleBase* CurrentModule() noexcept;

class DefaultModule final : public ModuleBase {
public:
    DefaultModule() noexcept = default;
    ~DefaultModule() override;

    ULONG AcquireServerReference() noexcept override;
    ULONG ReleaseServerReference() noexcept override;
    ULONG LiveObjectCount() const noexcept override { return 0; }
    const ClassEntry* const* TableStart() const noexcept override { return ProgramObjectTable().start; }
    const ClassEntry* const* TableDivider() const noexcept override { return ProgramObjectTable().divider; }
    const ClassEntry* const* TableEnd() const noexcept override { return ProgramObjectTable().end; }
    std::shared_mutex& CacheLock() noexcept override;
    HRESULT RegisterRuntimeClasses(const WCHAR* serverName) noexcept override;
    HRESULT RevokeRuntimeClasses() noexcept override;
    HRESULT RegisterClassObjects(const WCHAR* serverName, const CLSID* classIds, IUnknown** classObjects,
                                 DWORD* cookies, unsigned count) noexcept override;
    HRESULT RevokeClassObjects(const WCHAR* serverName, DWORD* cookies, unsigned count) noexcept override;

    ReleaseNotifier* GetReleaseNotifier() const noexcept { return releaseNotifier_.load(std::memory_order_acquire); }
    // Installs the notifier unless one is installed already; true when it was installed.
    bool InstallReleaseNotifier(ReleaseNotifier* notifier) noexcept;

private:
    std::atomic<ReleaseNotifier*> releaseNotifier_{nullptr};
};

// The process's module, made on first use and destroyed at process exit.
DefaultModule& ServerModule() noexcept;

// Registers and resumes every classic class of the object table.
HRESULT RegisterObjectTable() noexcept;
