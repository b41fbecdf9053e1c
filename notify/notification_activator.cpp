// The activator's handler graph: a handler that alone owns its Toaster and
// Isolation, shared with nobody but the activator that owns the handler.
#include "notify/notification_activator.h"

#include "com/class_factory.h"

namespace {

std::shared_ptr<WarningHandler> MakeHandlerGraph() {
    auto isolation = std::make_shared<Isolation>();
    auto toaster = std::make_shared<Toaster>();
    return std::make_shared<WarningHandler>(toaster, isolation);
}

}  // namespace

// The graph is built before the COM base, so a failed allocation takes no server reference.
NotificationActivator::NotificationActivator() : _NotificationActivator(MakeHandlerGraph()) {}

HRESULT MakeActivatorFactory(unsigned moduleType, const ClassEntry& entry, REFIID riid, void** factory) noexcept {
    return MakeFactory<NotificationActivator>(moduleType, entry, riid, factory);
}
