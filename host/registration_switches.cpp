// The switch scan: every "-" or "/" starts a token, compared with the switch
// names one character at a time in the platform's single-character upper case.
#include "host/registration_switches.h"

#include "registrar/apply_registry_script.h"
#include "registrar/per_user_registration.h"

namespace {

struct SwitchName {
    LPCWSTR name;
    RegistrationSwitch value;
};

// Compared in this order; the first name that matches decides.
const SwitchName kSwitchNames[] = {
    {TEXT("UnregServer"), RegistrationSwitch::UnregServer},
    {TEXT("RegServer"), RegistrationSwitch::RegServer},
    {TEXT("UnregServerPerUser"), RegistrationSwitch::UnregServerPerUser},
    {TEXT("RegServerPerUser"), RegistrationSwitch::RegServerPerUser},
};

bool EndsToken(WCHAR c) noexcept { return c == 0 || c == TEXT('\t') || c == TEXT(' '); }

// Single-character mode: the character travels in the low word of the pointer argument.
WCHAR UpperCase(WCHAR c) noexcept {
    return static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

bool TokenMatches(LPCWSTR token, LPCWSTR name) noexcept {
    while (!EndsToken(*token) && UpperCase(*token) == UpperCase(*name)) {
        ++token;
        ++name;
    }
    return EndsToken(*token) && EndsToken(*name);
}

bool IsDelimiter(WCHAR c) noexcept { return c == TEXT('-') || c == TEXT('/'); }

}  // namespace

RegistrationSwitch FindRegistrationSwitch(LPCWSTR arguments) noexcept {
    if (arguments == nullptr) return RegistrationSwitch::None;
    for (LPCWSTR at = arguments; *at != 0; at = CharNextW(at)) {
        if (!IsDelimiter(*at)) continue;
        const LPCWSTR token = CharNextW(at);
        for (const SwitchName& candidate : kSwitchNames) {
            if (TokenMatches(token, candidate.name)) return candidate.value;
        }
    }
    return RegistrationSwitch::None;
}

bool HandleRegistrationSwitches(CAtlModule& module, LPCWSTR arguments, HRESULT* result) noexcept {
    *result = S_OK;
    const RegistrationSwitch found = FindRegistrationSwitch(arguments);
    if (found == RegistrationSwitch::None) return true;
    if (found == RegistrationSwitch::RegServerPerUser || found == RegistrationSwitch::UnregServerPerUser) {
        PerUserRegistration = true;
    }
    const bool doRegister = found == RegistrationSwitch::RegServer || found == RegistrationSwitch::RegServerPerUser;
    const HRESULT applied = ApplyRegistryScript(module, doRegister);
    // A removal reports S_OK for every success code; a registration its code as it is.
    *result = !doRegister && SUCCEEDED(applied) ? S_OK : applied;
    return false;
}
