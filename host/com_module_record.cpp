// The process's one COM module record, made at static initialisation and
// cleaned up by the module's teardown and again at process exit.
#include "host/com_module_record.h"

#include "common/static_order.h"

CAtlComModule::CAtlComModule() noexcept : typeLibraryModule_(GetModuleHandleW(nullptr)) {
    if (InitializeCriticalSectionEx(&objectMapLock_, 0, 0)) cbSize_ = kInitializedSize;
}

void CAtlComModule::Term() noexcept {
    if (cbSize_ == 0) return;
    DeleteCriticalSection(&objectMapLock_);
    cbSize_ = 0;
}

namespace {
CAtlComModule comModuleRecord QUILL_STATIC_ORDER(QUILL_ORDER_COM_MODULE_RECORD);
}

CAtlComModule& ComModuleRecord() noexcept { return comModuleRecord; }
