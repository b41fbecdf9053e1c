// Registers a local server for the test class under HKCU's LocalServer32 in
// the current prefix: the quoted program path, then its arguments.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

#include "common/unique_any.h"
#include "tests/platform/com/test_class.h"

namespace comtest {

inline std::string ProgramPath(const char* name) { return std::string(QUILL_BINARY_DIR) + "/bin/" + name; }

inline LSTATUS RegisterTestServer(const std::string& arguments = "", const char* program = "com_test_server") {
    WCHAR braced[39];
    StringFromGUID2(kTestClass, braced, 39);
    const std::u16string subKey = u"Software\\Classes\\CLSID\\" + std::u16string(braced) + u"\\LocalServer32";
    unique_hkey key;
    const LSTATUS created = RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                            key.put(), nullptr);
    if (created != ERROR_SUCCESS) return created;
    std::u16string commandLine = u"\"";
    for (const char c : ProgramPath(program) + "\" " + arguments) commandLine += static_cast<char16_t>(c);
    return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine.c_str()),
                          static_cast<DWORD>((commandLine.size() + 1) * sizeof(WCHAR)));
}

}  // namespace comtest
