// The registered command line of a local server, read from the class's
// LocalServer32 key: the user's registration first, then the machine's.
#include "platform/posix/com/local_server_command.h"

#include <objbase.h>

#include "common/unique_any.h"

namespace pal::com {
namespace {

bool ReadLocalServer(HKEY root, const std::u16string& subKey, std::u16string& commandLine) {
    unique_hkey key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::u16string text(size / sizeof(WCHAR) + 1, u'\0');
    size = static_cast<DWORD>(text.size() * sizeof(WCHAR));
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    commandLine = std::move(text);
    return !commandLine.empty();
}

}  // namespace

HRESULT RegisteredCommandLine(REFCLSID clsid, std::u16string& commandLine) {
    WCHAR braced[39];
    StringFromGUID2(clsid, braced, 39);
    const std::u16string subKey = u"Software\\Classes\\CLSID\\" + std::u16string(braced) + u"\\LocalServer32";
    if (ReadLocalServer(HKEY_CURRENT_USER, subKey, commandLine) || ReadLocalServer(HKEY_LOCAL_MACHINE, subKey, commandLine))
        return S_OK;
    return REGDB_E_CLASSNOTREG;
}

}  // namespace pal::com
