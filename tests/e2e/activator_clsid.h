// The CLSID of the product's activator, as the registry and its clients name it.
#pragma once

#include <windows.h>

namespace e2e {

inline constexpr char16_t kActivatorClsid[] = u"{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}";
inline constexpr CLSID kActivator = {0x6B1C2E47, 0x93D0, 0x4F5A, {0x8E, 0x21, 0x7C, 0x4D, 0x0A, 0x9B, 0x3F, 0x12}};

}  // namespace e2e
