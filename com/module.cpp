// The server module: server references, the release notifier, and the
// registration of the object table's classes (suspended, then resumed, so no
// class serves before every class is registered).
#include "com/module.h"

#include "common/hresult.h"

#include <objbase.h>
#include <roapi.h>

#include <memory>
#include <mutex>
#include <new>

namespace {

std::atomic<ModuleBase*> currentModule{nullptr};

// Guards the cachedFactory slots of the table: by-name activation and module destruction.
std::shared_mutex cacheLock;

// Walks the table slots in [from, to), skipping the empty ones.
template <class Visit> void ForEachEntry(const ClassEntry* const* from, const ClassEntry* const* to, Visit visit) {
    for (const ClassEntry* const* slot = from; slot < to; ++slot) {
        if (*slot != nullptr) visit(**slot);
    }
}

// The runtime-class section after the divider; empty in this program.
HRESULT RegisterRuntimeSection(ModuleBase& module) noexcept {
    unsigned runtimeClasses = 0;
    ForEachEntry(module.TableDivider() + 1, module.TableEnd(), [&runtimeClasses](const ClassEntry&) { ++runtimeClasses; });
    return runtimeClasses == 0 ? S_OK : module.RegisterRuntimeClasses(nullptr);
}

}  // namespace

ModuleBase::ModuleBase() noexcept { currentModule.store(this, std::memory_order_release); }

ModuleBase::~ModuleBase() {
    ModuleBase* self = this;
    currentModule.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

ModuleBase* CurrentModule() noexcept { return currentModule.load(std::memory_order_acquire); }

DefaultModule::~DefaultModule() {
    ReleaseNotifier* notifier = releaseNotifier_.exchange(nullptr, std::memory_order_acq_rel);
    if (notifier != nullptr && notifier->ownedByModule) delete notifier;

    // Cached factories: each slot is emptied under the exclusive lock and released outside it.
    ForEachEntry(TableStart() + 1, TableEnd(), [this](const ClassEntry& entry) {
        void* encoded = nullptr;
        {
            std::unique_lock lock(CacheLock());
            encoded = entry.registration->cachedFactory.exchange(nullptr);
        }
        if (encoded != nullptr) static_cast<IUnknown*>(DecodePointer(encoded))->Release();
    });
}

ULONG DefaultModule::AcquireServerReference() noexcept { return CoAddRefServerProcess(); }

ULONG DefaultModule::ReleaseServerReference() noexcept {
    const ULONG count = CoReleaseServerProcess();
    if (count == 0) {
        if (ReleaseNotifier* notifier = GetReleaseNotifier()) notifier->Notify();
    }
    return count;
}

std::shared_mutex& DefaultModule::CacheLock() noexcept { return cacheLock; }

// Publishing runtime classes by name is not supported: the program's runtime
// section is empty, so these are never reached.
HRESULT DefaultModule::RegisterRuntimeClasses(const WCHAR*) noexcept { return E_NOTIMPL; }
HRESULT DefaultModule::RevokeRuntimeClasses() noexcept { return S_OK; }

HRESULT DefaultModule::RegisterClassObjects(const WCHAR*, const CLSID* classIds, IUnknown** classObjects,
                                            DWORD* cookies, unsigned count) noexcept {
    HRESULT hr = S_OK;
    unsigned registered = 0;
    for (; registered < count; ++registered) {
        hr = CoRegisterClassObject(classIds[registered], classObjects[registered], CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookies[registered]);
        if (FAILED(hr)) break;
    }
    if (SUCCEEDED(hr)) {
        hr = CoResumeClassObjects();
        if (SUCCEEDED(hr)) return hr;
    }
    for (unsigned i = 0; i < count; ++i) {
        if (i < registered) CoRevokeClassObject(cookies[i]);
        cookies[i] = 0;
    }
    return hr;
}

HRESULT DefaultModule::RevokeClassObjects(const WCHAR*, DWORD* cookies, unsigned count) noexcept {
    HRESULT hr = S_OK;
    for (unsigned i = 0; i < count && SUCCEEDED(hr); ++i) {
        if (cookies[i] == 0) continue;
        hr = CoRevokeClassObject(cookies[i]);
        if (SUCCEEDED(hr)) cookies[i] = 0;
    }
    return hr;
}

bool DefaultModule::InstallReleaseNotifier(ReleaseNotifier* notifier) noexcept {
    ReleaseNotifier* expected = nullptr;
    return releaseNotifier_.compare_exchange_strong(expected, notifier, std::memory_order_acq_rel);
}

DefaultModule& ServerModule() noexcept {
    static DefaultModule module;
    return module;
}

HRESULT RegisterObjectTable() noexcept {
    DefaultModule& module = ServerModule();
    const ClassEntry* const* first = module.TableStart() + 1;
    const ClassEntry* const* divider = module.TableDivider();

    unsigned count = 0;
    ForEachEntry(first, divider, [&count](const ClassEntry&) { ++count; });
    if (count == 0) return RegisterRuntimeSection(module);

    std::unique_ptr<DWORD[]> cookies(new (std::nothrow) DWORD[count]());
    std::unique_ptr<IUnknown*[]> classObjects(new (std::nothrow) IUnknown*[count]());
    std::unique_ptr<CLSID[]> classIds(new (std::nothrow) CLSID[count]());
    if (!cookies || !classObjects || !classIds) return E_OUTOFMEMORY;

    HRESULT hr = S_OK;
    unsigned made = 0;
    for (const ClassEntry* const* slot = first; slot < divider && SUCCEEDED(hr); ++slot) {
        if (*slot == nullptr) continue;
        const ClassEntry& entry = **slot;
        hr = entry.makeFactory(OutOfProcModule, entry, __uuidof(IClassFactory), reinterpret_cast<void**>(&classObjects[made]));
        if (SUCCEEDED(hr)) classIds[made++] = *entry.classId;
    }
    if (SUCCEEDED(hr)) {
        hr = module.RegisterClassObjects(nullptr, classIds.get(), classObjects.get(), cookies.get(), count);
        if (SUCCEEDED(hr)) {
            unsigned index = 0;
            ForEachEntry(first, divider, [&](const ClassEntry& entry) {
                entry.registration->cookie.store(cookies[index++], std::memory_order_release);
            });
        }
    }
    // The runtime holds its own references to what it registered.
    for (unsigned i = 0; i < made; ++i) classObjects[i]->Release();
    RETURN_IF_FAILED(hr);

    return RegisterRuntimeSection(module);
}
