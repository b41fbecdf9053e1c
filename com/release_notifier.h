// What the module calls whenever the server count returns to zero. The
// process's one notifier is a static GenericReleaseNotifier that sets the event
// the start-up thread waits on; a module deletes only notifiers it owns.
// A static notifier is made before the module (QUILL_ORDER_RELEASE_NOTIFIER),
// so it outlives the module, whose destructor still reads it.
#pragma once

#include <utility>

class ReleaseNotifier {
public:
    explicit ReleaseNotifier(bool ownedByModule) noexcept : ownedByModule(ownedByModule) {}
    ReleaseNotifier(const ReleaseNotifier&) = delete;
    ReleaseNotifier& operator=(const ReleaseNotifier&) = delete;
    virtual ~ReleaseNotifier() = default;

    virtual void Notify() noexcept = 0;

    bool ownedByModule;
};

template <class Callback> class GenericReleaseNotifier final : public ReleaseNotifier {
public:
    GenericReleaseNotifier(Callback callback, bool ownedByModule) noexcept
        : ReleaseNotifier(ownedByModule), callback(std::move(callback)) {}

    void Notify() noexcept override { callback(); }

    Callback callback;
};
