// Recognition of the registration switches RegServer, UnregServer,
// RegServerPerUser and UnregServerPerUser after "-" or "/" in the argument
// text; the first recognised switch is carried out and no other.
#pragma once

#include <windows.h>

class CAtlModule;

enum class RegistrationSwitch { None, RegServer, UnregServer, RegServerPerUser, UnregServerPerUser };

// The first switch of the text, from left to right; None for a null text.
RegistrationSwitch FindRegistrationSwitch(LPCWSTR arguments) noexcept;

bool HandleRegistrationSwitches(CAtlModule& module, LPCWSTR arguments, HRESULT* result) noexcept;
