// Test-only: put a fake activation factory in place of a runtime class for the
// lifetime of the override, so tests can count calls, hold references and
// inject failures. RoActivateInstance and RoGetActivationFactory then reach the fake.
#pragma once

#include <activation.h>

#include <string>

namespace pal::testing {

class RuntimeClassOverride {
public:
    // Holds a reference to the fake until destroyed; then the class is what it
    // was before (the platform's own, or an enclosing override's fake).
    RuntimeClassOverride(std::u16string classId, IActivationFactory* fake);
    ~RuntimeClassOverride();
    RuntimeClassOverride(const RuntimeClassOverride&) = delete;
    RuntimeClassOverride& operator=(const RuntimeClassOverride&) = delete;

private:
    std::u16string classId_;
    IActivationFactory* fake_;
    IActivationFactory* previous_;
};

}  // namespace pal::testing
