// The program's object table: one classic class, the notification activator;
// no runtime class. Linked into the executable only, so tests can bring tables
// of their own.
#include "com/class_entry.h"
#include "notify/notification_activator.h"

namespace {

ClassRegistration activatorRegistration;

const ClassEntry activatorEntry = {&MakeActivatorFactory, &CLSID_NotificationActivator, nullptr,
                                   &activatorRegistration, nullptr};

// Start marker, the classic section, divider, the (empty) runtime section, end marker.
const ClassEntry* const objectTableSlots[] = {nullptr, &activatorEntry, nullptr, nullptr};

}  // namespace

const ObjectTable& ProgramObjectTable() noexcept {
    static const ObjectTable table = {&objectTableSlots[0], &objectTableSlots[2], &objectTableSlots[3]};
    return table;
}
