// Building the registrar of one registry update and its path replacements.
#include "registrar/apply_registry_script.h"

#include "host/atl_module.h"
#include "registrar/failure_from_last_error.h"
#include "registrar/script_expansion.h"

namespace {

constexpr size_t kEscapedPathCapacity = 2 * MAX_PATH;
constexpr size_t kQuotedPathCapacity = kEscapedPathCapacity + 4;

// The command line a local server is started with: the path in double quotes.
HRESULT QuotePath(WCHAR (&quoted)[kQuotedPathCapacity], LPCWSTR escaped) noexcept {
    size_t length = 0;
    quoted[length++] = TEXT('"');
    for (; *escaped != 0; ++escaped) {
        if (length + 2 >= kQuotedPathCapacity) return E_FAIL;
        quoted[length++] = *escaped;
    }
    quoted[length++] = TEXT('"');
    quoted[length] = 0;
    return S_OK;
}

}  // namespace

HRESULT AddModuleReplacements(CRegObject& registrar, WCHAR (&path)[MAX_PATH]) noexcept {
    const DWORD pathLength = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (pathLength == 0) return FailureFromLastError();
    if (pathLength >= MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);

    // The value is read back from a quoted token, which turns '' into ' again.
    WCHAR escaped[kEscapedPathCapacity];
    RETURN_IF_FAILED(EscapeApostrophes(escaped, kEscapedPathCapacity, path));
    // The module is always the executable, so "Module" is the quoted command line.
    WCHAR quoted[kQuotedPathCapacity];
    RETURN_IF_FAILED(QuotePath(quoted, escaped));
    if (FAILED(registrar.AddScriptReplacement(TEXT("Module"), quoted)) ||
        FAILED(registrar.AddScriptReplacement(TEXT("Module_Raw"), escaped))) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT ApplyRegistryScript(CAtlModule& module, bool doRegister) noexcept {
    CRegObject registrar;
    RETURN_IF_FAILED(registrar.Initialize());
    RETURN_IF_FAILED(module.AddCommonReplacements(&registrar));
    WCHAR path[MAX_PATH];
    RETURN_IF_FAILED(AddModuleReplacements(registrar, path));
    return LoadScriptResource(registrar, path, TEXT("REGISTRY"), doRegister);
}
