// Tables of the registry script's root key names and protected key names.
#include "registrar/script_names.h"

namespace {

struct RootKeyName {
    LPCWSTR name;
    HKEY key;
};

// Searched in order; the first match decides.
const RootKeyName kRootKeys[] = {
    {TEXT("HKCR"), HKEY_CLASSES_ROOT},
    {TEXT("HKCU"), HKEY_CURRENT_USER},
    {TEXT("HKLM"), HKEY_LOCAL_MACHINE},
    {TEXT("HKU"), HKEY_USERS},
    {TEXT("HKPD"), HKEY_PERFORMANCE_DATA},
    {TEXT("HKDD"), HKEY_DYN_DATA},
    {TEXT("HKCC"), HKEY_CURRENT_CONFIG},
    {TEXT("HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT},
    {TEXT("HKEY_CURRENT_USER"), HKEY_CURRENT_USER},
    {TEXT("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE},
    {TEXT("HKEY_USERS"), HKEY_USERS},
    {TEXT("HKEY_PERFORMANCE_DATA"), HKEY_PERFORMANCE_DATA},
    {TEXT("HKEY_DYN_DATA"), HKEY_DYN_DATA},
    {TEXT("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG},
};

const LPCWSTR ProtectedKeyNames[] = {
    TEXT("AppID"),    TEXT("CLSID"), TEXT("Component Categories"), TEXT("FileType"), TEXT("Interface"),
    TEXT("Hardware"), TEXT("Mime"),  TEXT("SAM"),                  TEXT("SECURITY"), TEXT("SYSTEM"),
    TEXT("Software"), TEXT("TypeLib"),
};

}  // namespace

bool IsScriptWord(LPCWSTR token, LPCWSTR word) noexcept { return lstrcmpiW(token, word) == 0; }

HKEY FindRootKey(LPCWSTR name) noexcept {
    for (const RootKeyName& root : kRootKeys) {
        if (IsScriptWord(name, root.name)) return root.key;
    }
    return nullptr;
}

bool IsProtectedKeyName(LPCWSTR name) noexcept {
    for (const LPCWSTR protectedName : ProtectedKeyNames) {
        if (IsScriptWord(name, protectedName)) return true;
    }
    return false;
}
