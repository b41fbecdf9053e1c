// Contract tests of HKEY_CLASSES_ROOT as the merged view of the user's and the
// machine's Software\Classes: where reads come from and where writes go.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_any.h"
#include "tests/support/known_wine_differences.h"
#include "tests/support/prefix_fixture.h"
#include "tests/support/scratch_keys.h"

namespace {

class ClassesRoot : public TemporaryPrefixTest {};

// A class of this process's own in the merged view, and the same below a hive.
RegistryText Class(const WCHAR* path) { return ScratchClass(path); }
RegistryText Classes(const WCHAR* path) { return TEXT("Software\\Classes\\") + ScratchClass(path); }

unique_hkey Create(HKEY parent, const WCHAR* path) {
    unique_hkey key;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr), ERROR_SUCCESS);
    return key;
}

bool Exists(HKEY parent, const WCHAR* path) {
    unique_hkey key;
    return RegOpenKeyExW(parent, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void SetText(HKEY key, const WCHAR* name, const RegistryText& text) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
}

RegistryText Text(HKEY parent, const WCHAR* path, const WCHAR* name) {
    unique_hkey key;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return TEXT("<no key>");
    WCHAR buffer[64] = {};
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return TEXT("<no value>");
    return buffer;
}

TEST_F(ClassesRoot, NewKeysGoToTheMachine) {
    unique_hkey key = Create(HKEY_CLASSES_ROOT, Class(TEXT("Server\\{Quill}\\LocalServer32")).c_str());
    SetText(key.get(), nullptr, TEXT("server.exe"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Classes(TEXT("Server\\{Quill}\\LocalServer32")).c_str(), nullptr), TEXT("server.exe"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, Classes(TEXT("Server")).c_str()));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, Class(TEXT("server\\{quill}\\localserver32")).c_str(), nullptr), TEXT("server.exe"));
}

TEST_F(ClassesRoot, ValuesGoToTheUsersKeyWhenItExists) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kClassesRootShowsTheMachineOnly);
    Create(HKEY_LOCAL_MACHINE, Classes(TEXT("Both")).c_str());
    Create(HKEY_CURRENT_USER, Classes(TEXT("Both")).c_str());
    unique_hkey both = Create(HKEY_CLASSES_ROOT, Class(TEXT("Both")).c_str());
    SetText(both.get(), TEXT("v"), TEXT("user"));
    EXPECT_EQ(Text(HKEY_CURRENT_USER, Classes(TEXT("Both")).c_str(), TEXT("v")), TEXT("user"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Classes(TEXT("Both")).c_str(), TEXT("v")), TEXT("<no value>"));

    Create(HKEY_LOCAL_MACHINE, Classes(TEXT("MachineOnly")).c_str());
    unique_hkey machineOnly = Create(HKEY_CLASSES_ROOT, Class(TEXT("MachineOnly")).c_str());
    SetText(machineOnly.get(), TEXT("v"), TEXT("machine"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Classes(TEXT("MachineOnly")).c_str(), TEXT("v")), TEXT("machine"));
}

TEST_F(ClassesRoot, ReadsPreferTheUserAndMergeBothSides) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kClassesRootShowsTheMachineOnly);
    SetText(Create(HKEY_LOCAL_MACHINE, Classes(TEXT("Shared")).c_str()).get(), TEXT("v"), TEXT("machine"));
    SetText(Create(HKEY_LOCAL_MACHINE, Classes(TEXT("Shared")).c_str()).get(), TEXT("machineOnly"), TEXT("m"));
    SetText(Create(HKEY_CURRENT_USER, Classes(TEXT("shared")).c_str()).get(), TEXT("V"), TEXT("user"));
    Create(HKEY_LOCAL_MACHINE, Classes(TEXT("Alpha")).c_str());
    Create(HKEY_CURRENT_USER, Classes(TEXT("Zulu")).c_str());

    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, Class(TEXT("Shared")).c_str(), TEXT("v")), TEXT("user"));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, Class(TEXT("Shared")).c_str(), TEXT("machineOnly")), TEXT("m"));

    // The classes of this process, as the merged view enumerates them among all others.
    const RegistryText prefix = Class(TEXT(""));
    std::vector<RegistryText> names;
    WCHAR name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegistryText(name, length).compare(0, prefix.size(), prefix) == 0) names.emplace_back(name + prefix.size(), length - prefix.size());
    }
    EXPECT_EQ(names, (std::vector<RegistryText>{TEXT("Alpha"), TEXT("shared"), TEXT("Zulu")})) << "one entry per name, the user's spelling";

    DWORD subkeys = 0;
    unique_hkey shared;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, Class(TEXT("Shared")).c_str(), 0, KEY_READ, shared.put()), ERROR_SUCCESS);
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyW(shared.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u);
}

TEST_F(ClassesRoot, DeletingTakesTheUsersKeyFirst) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kClassesRootShowsTheMachineOnly);
    SetText(Create(HKEY_LOCAL_MACHINE, Classes(TEXT("Twice")).c_str()).get(), nullptr, TEXT("machine"));
    SetText(Create(HKEY_CURRENT_USER, Classes(TEXT("Twice")).c_str()).get(), nullptr, TEXT("user"));
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, Class(TEXT("Twice")).c_str(), 0, 0), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, Classes(TEXT("Twice")).c_str()));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, Class(TEXT("Twice")).c_str(), nullptr), TEXT("machine"));
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, Class(TEXT("Twice")).c_str(), 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, Class(TEXT("Twice")).c_str(), 0, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, TEXT("")), ERROR_ACCESS_DENIED);

    Create(HKEY_CLASSES_ROOT, Class(TEXT("Parent\\Child")).c_str());
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, Class(TEXT("Parent")).c_str(), 0, 0), ERROR_ACCESS_DENIED);

    // A handle whose keys are deleted below it, on either side, is a deleted key.
    unique_hkey gone = Create(HKEY_CLASSES_ROOT, Class(TEXT("Gone")).c_str());
    Create(gone.get(), TEXT("Kept"));
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, Classes(TEXT("Gone\\Kept")).c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, Classes(TEXT("Gone")).c_str()), ERROR_SUCCESS);
    unique_hkey below;
    EXPECT_EQ(RegOpenKeyExW(gone.get(), TEXT("Kept"), 0, KEY_READ, below.put()), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExW(gone.get(), TEXT("v"), 0, REG_SZ, nullptr, 0), ERROR_KEY_DELETED);
}

}  // namespace
