// Loading the registry script resource from the program's file on disk and
// handing it, widened and expanded, to the interpreter.
#include <climits>

#include "registrar/apply_registry_script.h"
#include "registrar/failure_from_last_error.h"
#include "registrar/inline_or_heap_buffer.h"
#include "registrar/reg_script_parser.h"
#include "registrar/script_expansion.h"

namespace {

// Script texts up to this size are converted in place.
constexpr size_t kInlineScriptUnits = 512;

}  // namespace

HRESULT LoadScriptResource(CRegObject& registrar, LPCWSTR path, LPCWSTR type, bool doRegister) noexcept {
    unique_hmodule file(
        LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!file) file.reset(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!file) return FailureFromLastError();

    const HRSRC resource = FindResourceW(file.get(), MAKEINTRESOURCEW(kRegistryScriptId), type);
    if (resource == nullptr) return FailureFromLastError();
    const HGLOBAL loaded = LoadResource(file.get(), resource);
    if (loaded == nullptr) return FailureFromLastError();
    const DWORD bytes = SizeofResource(file.get(), resource);
    const auto* data = static_cast<LPCSTR>(LockResource(loaded));
    if (data == nullptr) return FailureFromLastError();

    // One unit per byte at most, and the NUL.
    if (bytes > static_cast<DWORD>(INT_MAX)) return E_OUTOFMEMORY;
    InlineOrHeapBuffer<WCHAR, kInlineScriptUnits> script;
    if (!script.Allocate(static_cast<size_t>(bytes) + 1)) return E_OUTOFMEMORY;
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, data, static_cast<int>(bytes), script.Data(),
                                          static_cast<int>(bytes));
    if (units == 0) return FailureFromLastError();
    script.Data()[units] = 0;

    unique_cotaskmem expanded;
    RETURN_IF_FAILED(ExpandScript(script.Data(), registrar, expanded));
    return CRegScriptParser().RunScript(static_cast<LPCWSTR>(expanded.get()), doRegister);
}
