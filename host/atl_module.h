// The framework shape of the server module: the root module record with its
// size marker and lock, the module base with its virtual operations, and the
// executable-module layer that a concrete module derives from. All inline:
// the registrar sees the module through this header without linking the host.
#pragma once

#include <windows.h>

#include "host/com_module_record.h"
#include "registrar/registrar_base.h"

struct _ATL_MODULE70 {
    UINT cbSize = 0;  // non-zero while the module lock is initialised
    CRITICAL_SECTION moduleLock{};
};

class CAtlModule : public _ATL_MODULE70 {
public:
    static constexpr UINT kInitializedSize = 56;

    CAtlModule() noexcept {
        // A lock that cannot be initialised leaves the marker at 0, so teardown does nothing.
        if (InitializeCriticalSectionEx(&moduleLock, 0, 0)) cbSize = kInitializedSize;
    }
    CAtlModule(const CAtlModule&) = delete;
    CAtlModule& operator=(const CAtlModule&) = delete;
    virtual ~CAtlModule() { Term(); }

    // Adds the replacements every registry script of the module may use.
    virtual HRESULT AddCommonReplacements(IRegistrarBase* registrar) noexcept = 0;

    // Deletes the module lock once; later calls do nothing.
    void Term() noexcept {
        if (cbSize == 0) return;
        DeleteCriticalSection(&moduleLock);
        cbSize = 0;
    }

protected:
    bool comInitialized_ = false;  // this module never initialises COM
};

template <class T> class CAtlModuleT : public CAtlModule {};

// A compile-time check of the concrete module's configuration; no data.
template <class T> class CAtlValidateModuleConfiguration {
protected:
    CAtlValidateModuleConfiguration() noexcept {
        static_assert(sizeof(T) > 0, "the module must be a complete class");
    }
};

template <class T> class CAtlExeModuleT : public CAtlModuleT<T> {
public:
    CAtlExeModuleT() noexcept { ComModuleRecord().NotifyStart(); }
    ~CAtlExeModuleT() override { Term(); }

    void Term() noexcept {
        ComModuleRecord().NotifyStop();
        CAtlModule::Term();
        ComModuleRecord().Term();
    }
};
