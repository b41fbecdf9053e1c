// The registered command line of a local server, read from the class's
// LocalServer32 key: the user's registration first, then the machine's. Only a
// key or value that is not there means "not registered"; any other registry
// failure is the activation's answer. REG_EXPAND_SZ is expanded as Windows does.
#include "platform/posix/com/local_server_command.h"

#include <objbase.h>

#include "common/hresult.h"
#include "common/unique_any.h"

namespace pal::com {
namespace {

LSTATUS ExpandVariables(std::u16string& text) {
    std::u16string expanded(text.size() + 1, u'\0');
    for (;;) {
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0) return static_cast<LSTATUS>(GetLastError());
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1);
            text = std::move(expanded);
            return ERROR_SUCCESS;
        }
        expanded.resize(needed);
    }
}

// ERROR_FILE_NOT_FOUND when this root has no command line for the class.
LSTATUS ReadLocalServer(HKEY root, const std::u16string& subKey, std::u16string& commandLine) {
    unique_hkey key;
    if (const LSTATUS opened = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()); opened != ERROR_SUCCESS)
        return opened;
    DWORD type = 0, size = 0;
    if (const LSTATUS sized = RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size);
        sized != ERROR_SUCCESS)
        return sized;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_FILE_NOT_FOUND;
    std::u16string text(size / sizeof(WCHAR) + 1, u'\0');
    size = static_cast<DWORD>(text.size() * sizeof(WCHAR));
    if (const LSTATUS read = RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                              &size);
        read != ERROR_SUCCESS)
        return read;
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    if (type == REG_EXPAND_SZ) {
        if (const LSTATUS expanded = ExpandVariables(text); expanded != ERROR_SUCCESS) return expanded;
    }
    if (text.empty()) return ERROR_FILE_NOT_FOUND;
    commandLine = std::move(text);
    return ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisteredCommandLine(REFCLSID clsid, std::u16string& commandLine) {
    WCHAR braced[39];
    StringFromGUID2(clsid, braced, 39);
    const std::u16string subKey = u"Software\\Classes\\CLSID\\" + std::u16string(braced) + u"\\LocalServer32";
    LSTATUS status = ReadLocalServer(HKEY_CURRENT_USER, subKey, commandLine);
    if (status == ERROR_FILE_NOT_FOUND) status = ReadLocalServer(HKEY_LOCAL_MACHINE, subKey, commandLine);
    return status == ERROR_FILE_NOT_FOUND ? REGDB_E_CLASSNOTREG : HResultFromWin32(status);
}

}  // namespace pal::com
