// A second process for the registry tests: writes COUNT DWORD values named
// NAME0..NAME<COUNT-1> under HKCU\Software\Concurrent, one call each, and exits
// with 0 or the first failing code.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) return 100;
    const DWORD count = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    const std::string prefix = argv[2];
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Concurrent", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    for (DWORD i = 0; i < count && status == ERROR_SUCCESS; ++i) {
        const std::string name = prefix + std::to_string(i);
        const std::u16string wide(name.begin(), name.end());
        status = RegSetValueExW(key, wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof(i));
    }
    RegCloseKey(key);
    return status;
}
