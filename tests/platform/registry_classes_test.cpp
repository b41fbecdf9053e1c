// Contract tests of HKEY_CLASSES_ROOT as the merged view of the user's and the
// machine's Software\Classes: where reads come from and where writes go.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_any.h"
#include "tests/platform/temporary_prefix.h"

namespace {

class ClassesRoot : public TemporaryPrefixTest {};

unique_hkey Create(HKEY parent, const WCHAR* path) {
    unique_hkey key;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr), ERROR_SUCCESS);
    return key;
}

bool Exists(HKEY parent, const WCHAR* path) {
    unique_hkey key;
    return RegOpenKeyExW(parent, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void SetText(HKEY key, const WCHAR* name, const std::u16string& text) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
}

std::u16string Text(HKEY parent, const WCHAR* path, const WCHAR* name) {
    unique_hkey key;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return u"<no key>";
    WCHAR buffer[64] = {};
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return u"<no value>";
    return buffer;
}

TEST_F(ClassesRoot, NewKeysGoToTheMachine) {
    unique_hkey key = Create(HKEY_CLASSES_ROOT, u"CLSID\\{Quill}\\LocalServer32");
    SetText(key.get(), nullptr, u"server.exe");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u"Software\\Classes\\CLSID\\{Quill}\\LocalServer32", nullptr), u"server.exe");
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, u"Software\\Classes\\CLSID"));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"clsid\\{quill}\\localserver32", nullptr), u"server.exe");
}

TEST_F(ClassesRoot, ValuesGoToTheUsersKeyWhenItExists) {
    Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Both");
    Create(HKEY_CURRENT_USER, u"Software\\Classes\\Both");
    unique_hkey both = Create(HKEY_CLASSES_ROOT, u"Both");
    SetText(both.get(), u"v", u"user");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, u"Software\\Classes\\Both", u"v"), u"user");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Both", u"v"), u"<no value>");

    Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\MachineOnly");
    unique_hkey machineOnly = Create(HKEY_CLASSES_ROOT, u"MachineOnly");
    SetText(machineOnly.get(), u"v", u"machine");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u"Software\\Classes\\MachineOnly", u"v"), u"machine");
}

TEST_F(ClassesRoot, ReadsPreferTheUserAndMergeBothSides) {
    SetText(Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Shared").get(), u"v", u"machine");
    SetText(Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Shared").get(), u"machineOnly", u"m");
    SetText(Create(HKEY_CURRENT_USER, u"Software\\Classes\\shared").get(), u"V", u"user");
    Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Alpha");
    Create(HKEY_CURRENT_USER, u"Software\\Classes\\Zulu");

    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"Shared", u"v"), u"user");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"Shared", u"machineOnly"), u"m");

    std::vector<std::u16string> names;
    WCHAR name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Alpha", u"shared", u"Zulu"})) << "one entry per name, the user's spelling";

    DWORD subkeys = 0;
    unique_hkey shared;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Shared", 0, KEY_READ, shared.put()), ERROR_SUCCESS);
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyW(shared.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u);
}

TEST_F(ClassesRoot, DeletingTakesTheUsersKeyFirst) {
    SetText(Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Twice").get(), nullptr, u"machine");
    SetText(Create(HKEY_CURRENT_USER, u"Software\\Classes\\Twice").get(), nullptr, u"user");
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, u"Twice", 0, 0), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, u"Software\\Classes\\Twice"));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"Twice", nullptr), u"machine");
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, u"Twice", 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, u"Twice", 0, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u""), ERROR_ACCESS_DENIED);

    Create(HKEY_CLASSES_ROOT, u"Parent\\Child");
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, u"Parent", 0, 0), ERROR_ACCESS_DENIED);
}

}  // namespace
