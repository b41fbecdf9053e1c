// Stand-in for roapi.h: Windows Runtime initialisation and class activation.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <hstring.h>
#include <activation.h>
#include <activation.h>

typedef enum RO_INIT_TYPE { RO_INIT_SINGLETHREADED = 0, RO_INIT_MULTITHREADED = 1 } RO_INIT_TYPE;

extern "C" {
HRESULT WINAPI RoInitialize(RO_INIT_TYPE initType);
void WINAPI RoUninitialize();
HRESULT WINAPI RoActivateInstance(HSTRING activatableClassId, IInspectable** instance);
HRESULT WINAPI RoGetActivationFactory(HSTRING activatableClassId, REFIID iid, void** factory);
}
