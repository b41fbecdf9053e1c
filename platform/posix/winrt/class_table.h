// The runtime classes the platform offers, by activatable class id, and the
// table that a test can temporarily point at a fake of its own.
#pragma once

#include <activation.h>

#include <string_view>

namespace pal::winrt {

// The activation factory registered for the class, with a reference for the
// caller; REGDB_E_CLASSNOTREG when there is none.
HRESULT FindActivationFactory(std::u16string_view classId, IActivationFactory** factory) noexcept;

// Factories of the built-in classes, each a new object.
HRESULT CreateXmlDocumentFactory(IActivationFactory** factory) noexcept;
HRESULT CreateToastNotificationManagerFactory(IActivationFactory** factory) noexcept;
HRESULT CreateToastNotificationFactory(IActivationFactory** factory) noexcept;

}  // namespace pal::winrt
