// The server module's own operations.
#include "host/atl_helper.h"

#include "host/registration_switches.h"

HRESULT CAtlHelper::AddCommonReplacements(IRegistrarBase* registrar) noexcept {
    return registrar->AddScriptReplacement(TEXT("APPID"), TEXT(""));
}

bool CAtlHelper::HandleRegistrationSwitches(LPCWSTR arguments, HRESULT* result) noexcept {
    return ::HandleRegistrationSwitches(*this, arguments, result);
}
