// The process's server module. It recognises the registration switches on the
// command line and supplies the registry script's common replacement "APPID".
#pragma once

#include <windows.h>

#include "host/atl_module.h"

class CAtlHelper : public CAtlExeModuleT<CAtlHelper>, public CAtlValidateModuleConfiguration<CAtlHelper> {
public:
    HRESULT AddCommonReplacements(IRegistrarBase* registrar) noexcept override;

    // True when the argument text holds no registration switch (result S_OK):
    // the caller goes on. False when a switch was carried out: the process
    // ends with result.
    bool HandleRegistrationSwitches(LPCWSTR arguments, HRESULT* result) noexcept;
};
