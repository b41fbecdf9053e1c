// Activatable class ids resolved to factories: the overrides tests install come
// first, then the platform's own classes. Lookups may run on any thread.
#include "platform/posix/winrt/class_table.h"

#include "platform/posix/testing/runtime_class_override.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace pal::winrt {
namespace {

struct BuiltInClass {
    std::u16string_view classId;
    HRESULT (*createFactory)(IActivationFactory** factory) noexcept;
};

constexpr BuiltInClass kBuiltInClasses[] = {
    {u"Windows.Data.Xml.Dom.XmlDocument", &CreateXmlDocumentFactory},
    {u"Windows.UI.Notifications.ToastNotificationManager", &CreateToastNotificationManagerFactory},
    {u"Windows.UI.Notifications.ToastNotification", &CreateToastNotificationFactory},
};

struct Overrides {
    std::shared_mutex lock;
    std::map<std::u16string, IActivationFactory*, std::less<>> fakes;
};

Overrides& TheOverrides() {
    static Overrides overrides;
    return overrides;
}

bool FindOverride(std::u16string_view classId, IActivationFactory** factory) {
    Overrides& overrides = TheOverrides();
    std::shared_lock guard(overrides.lock);
    const auto found = overrides.fakes.find(classId);
    if (found == overrides.fakes.end()) return false;
    found->second->AddRef();
    *factory = found->second;
    return true;
}

}  // namespace

HRESULT FindActivationFactory(std::u16string_view classId, IActivationFactory** factory) noexcept {
    try {
        if (FindOverride(classId, factory)) return S_OK;
    } catch (const std::exception&) {
        return E_OUTOFMEMORY;
    }
    for (const BuiltInClass& builtIn : kBuiltInClasses) {
        if (builtIn.classId == classId) return builtIn.createFactory(factory);
    }
    return REGDB_E_CLASSNOTREG;
}

}  // namespace pal::winrt

namespace pal::testing {

RuntimeClassOverride::RuntimeClassOverride(std::u16string classId, IActivationFactory* fake)
    : classId_(std::move(classId)), fake_(fake), previous_(nullptr) {
    fake_->AddRef();
    auto& overrides = winrt::TheOverrides();
    std::unique_lock guard(overrides.lock);
    IActivationFactory*& slot = overrides.fakes[classId_];
    previous_ = slot;
    slot = fake_;
}

RuntimeClassOverride::~RuntimeClassOverride() {
    {
        auto& overrides = winrt::TheOverrides();
        std::unique_lock guard(overrides.lock);
        if (previous_ != nullptr) {
            overrides.fakes[classId_] = previous_;
        } else {
            overrides.fakes.erase(classId_);
        }
    }
    fake_->Release();
}

}  // namespace pal::testing
