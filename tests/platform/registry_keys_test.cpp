// Contract tests of the registry's key calls, written only against the Win32
// names: creation and opening, case, enumeration, deletion, rights and flags.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_any.h"
#include "tests/support/known_wine_differences.h"
#include "tests/support/prefix_fixture.h"
#include "tests/support/scratch_keys.h"

namespace {

class RegistryKeys : public TemporaryPrefixTest {};

unique_hkey Create(HKEY parent, const WCHAR* path, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
    unique_hkey key;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, key.put(), disposition), ERROR_SUCCESS) << "creating";
    return key;
}

LSTATUS Open(HKEY parent, const WCHAR* path, REGSAM access, unique_hkey& key) {
    return RegOpenKeyExW(parent, path, 0, access, key.put());
}

std::vector<RegistryText> SubkeysOf(HKEY key) {
    std::vector<RegistryText> names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD length = 256;
        const LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(status, ERROR_SUCCESS);
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

TEST_F(RegistryKeys, CreateReportsNewOrExistingAndOpenFindsOnlyWhatExists) {
    DWORD disposition = 0;
    unique_hkey created = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Quill\\Test")).c_str(), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    unique_hkey again = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Quill\\Test\\")).c_str(), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    unique_hkey opened;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("Quill\\Test")).c_str(), KEY_READ, opened), ERROR_SUCCESS);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("Quill\\Missing")).c_str(), KEY_READ, opened), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, ScratchKey(TEXT("Quill\\Test")).c_str(), KEY_READ, opened), ERROR_FILE_NOT_FOUND) << "hives are apart";
    EXPECT_EQ(Open(created.get(), TEXT(""), KEY_READ, opened), ERROR_SUCCESS);
    EXPECT_NE(opened.get(), created.get()) << "a second handle to the same key";
    EXPECT_EQ(Open(HKEY_CURRENT_USER, TEXT("\\Software"), KEY_READ, opened), ERROR_BAD_PATHNAME);
}

TEST_F(RegistryKeys, PredefinedKeysOpenToThemselves) {
    HKEY same = nullptr;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT}) {
        EXPECT_EQ(RegOpenKeyExW(root, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
        EXPECT_EQ(same, root);
        EXPECT_EQ(RegOpenKeyExW(root, TEXT(""), 0, KEY_READ, &same), ERROR_SUCCESS);
        EXPECT_EQ(same, root);
        EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
    }
}

TEST_F(RegistryKeys, UnbackedPredefinedKeysAreInvalid) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kUnbackedRootsOnLinuxOnly);
    for (HKEY root : {HKEY_USERS, HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA}) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(root, TEXT("Software"), 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCreateKeyExW(root, TEXT("Software"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_INVALID_HANDLE);
    }
}

TEST_F(RegistryKeys, BadHandlesAreAnsweredNotFollowed) {
    HKEY made_up = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234560));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(made_up, TEXT("x"), 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(made_up), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    unique_hkey created = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Closed")).c_str());
    HKEY closed = created.release();
    EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(closed, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKeys, NamesMatchWhateverTheCaseAndKeepTheirOwn) {
    Create(HKEY_CURRENT_USER, ScratchKey(TEXT("MixedCase\\\u00c4rger")).c_str());
    unique_hkey opened;
    const RegistryText scratch = ScratchName();
    EXPECT_EQ(Open(HKEY_CURRENT_USER, (TEXT("SOFTWARE\\") + scratch + TEXT("\\mixedcase\\\u00e4RGER")).c_str(), KEY_READ, opened),
              ERROR_SUCCESS);
    DWORD disposition = 0;
    Create(HKEY_CURRENT_USER, (TEXT("software\\") + scratch + TEXT("\\MIXEDCASE")).c_str(), KEY_READ, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    unique_hkey parent;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, ScratchKey().c_str(), KEY_READ, parent), ERROR_SUCCESS);
    EXPECT_EQ(SubkeysOf(parent.get()), std::vector<RegistryText>{TEXT("MixedCase")});
}

TEST_F(RegistryKeys, EnumerationRunsToNoMoreItemsAndAsksForRoomWhenShort) {
    unique_hkey parent = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Enum")).c_str());
    for (const WCHAR* name : {TEXT("beta"), TEXT("Alpha"), TEXT("gamma-long-name")}) Create(parent.get(), name);
    EXPECT_EQ(SubkeysOf(parent.get()), (std::vector<RegistryText>{TEXT("Alpha"), TEXT("beta"), TEXT("gamma-long-name")}));

    WCHAR name[256] = TEXT("untouched");
    DWORD length = 5;  // room for "beta" and its terminator only
    EXPECT_EQ(RegEnumKeyExW(parent.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegistryText(name), TEXT("beta"));
    EXPECT_EQ(length, 4u);
    length = 4;
    EXPECT_EQ(RegEnumKeyExW(parent.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 256;
    EXPECT_EQ(RegEnumKeyExW(parent.get(), 3, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD subkeys = 0, longest = 0, values = 7;
    EXPECT_EQ(RegQueryInfoKeyW(parent.get(), nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(longest, 15u);
    EXPECT_EQ(values, 0u);
}

TEST_F(RegistryKeys, EnumerationRefusesANullNameBuffer) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kNullEnumerationNameWritten);
    unique_hkey parent = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Enum")).c_str());
    Create(parent.get(), TEXT("child"));
    DWORD length = 256;
    EXPECT_EQ(RegEnumKeyExW(parent.get(), 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExW(parent.get(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(parent.get(), TEXT("child")), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(parent.get(), TEXT("")), ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyExW(parent.get(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER)
        << "the arguments are checked before the key";
}

TEST_F(RegistryKeys, DeletionTakesOnlyEmptyKeysAndLeavesStaleHandlesDeleted) {
    unique_hkey parent = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Doomed")).c_str());
    unique_hkey child = Create(parent.get(), TEXT("Child"));
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CURRENT_USER, ScratchKey(TEXT("Doomed")).c_str(), 0, 0), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyExW(parent.get(), TEXT("Nothing"), 0, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyExW(parent.get(), nullptr, 0, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyExW(parent.get(), TEXT("child"), KEY_WOW64_64KEY, 0), ERROR_SUCCESS);

    EXPECT_EQ(RegSetValueExW(child.get(), TEXT("v"), 0, REG_SZ, nullptr, 0), ERROR_KEY_DELETED);
    unique_hkey below;
    EXPECT_EQ(Open(child.get(), TEXT("x"), KEY_READ, below), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExW(child.get(), TEXT("x"), 0, nullptr, 0, KEY_READ, nullptr, below.put(), nullptr), ERROR_KEY_DELETED);

    Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Doomed\\Child")).c_str());  // a new key of the same name is not the old one
    EXPECT_EQ(RegQueryValueExW(child.get(), TEXT("v"), nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);

    EXPECT_EQ(RegDeleteKeyW(parent.get(), TEXT("Child")), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(parent.get(), TEXT("")), ERROR_SUCCESS) << "an empty name deletes the key itself";
    EXPECT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("Doomed")).c_str(), KEY_READ, below), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, TEXT("")), ERROR_ACCESS_DENIED) << "a hive stays";
}

TEST_F(RegistryKeys, DeleteKeyExIsFoundInAdvapi32ByName) {
    HMODULE advapi = GetModuleHandleW(TEXT("Advapi32.dll"));
    ASSERT_NE(advapi, nullptr);
    using DeleteKeyEx = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    auto deleteKeyEx = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegDeleteKeyExW")));
    ASSERT_NE(deleteKeyEx, nullptr);
    EXPECT_NE(GetProcAddress(advapi, "RegDeleteKeyW"), nullptr);
    Create(HKEY_CURRENT_USER, ScratchKey(TEXT("ByName")).c_str());
    EXPECT_EQ(deleteKeyEx(HKEY_CURRENT_USER, ScratchKey(TEXT("ByName")).c_str(), 0, 0), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, HandlesKeepTheirRights) {
    Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Rights")).c_str());
    const DWORD one = 1;
    constexpr REGSAM kGenericRead = 0x80000000;  // GENERIC_READ, which a key maps to KEY_READ
    for (const REGSAM reading : {static_cast<REGSAM>(KEY_READ), kGenericRead}) {
        unique_hkey readOnly;
        ASSERT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("Rights")).c_str(), reading, readOnly), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(readOnly.get(), TEXT("v"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
                  ERROR_ACCESS_DENIED)
            << std::hex << reading;
        EXPECT_EQ(RegDeleteValueW(readOnly.get(), TEXT("v")), ERROR_ACCESS_DENIED) << std::hex << reading;
    }

    unique_hkey writeOnly;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("Rights")).c_str(), KEY_WRITE, writeOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(writeOnly.get(), TEXT("v"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(writeOnly.get(), TEXT("v"), nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    WCHAR name[16];
    DWORD length = 16;
    EXPECT_EQ(RegEnumKeyExW(writeOnly.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
}

// A key's name may be 255 characters long and a value's 16,383: one more is refused.
TEST_F(RegistryKeys, KeyNamesUpToTheLimitAreTakenAndLongerOnesRefused) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kLongKeyNamesAccepted);
    unique_hkey parent = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Limits")).c_str());
    for (const size_t length : {size_t{255}, size_t{256}}) {
        const RegistryText name(length, TEXT('k'));
        unique_hkey key;
        EXPECT_EQ(RegCreateKeyExW(parent.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  length <= 255 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER)
            << length;
    }
}

TEST_F(RegistryKeys, ValueNamesUpToTheLimitAreTakenAndLongerOnesRefused) {
    unique_hkey parent = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Limits")).c_str());
    const DWORD one = 1;
    for (const size_t length : {size_t{16383}, size_t{16384}}) {
        const RegistryText name(length, TEXT('v'));
        EXPECT_EQ(RegSetValueExW(parent.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
                  length <= 16383 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER)
            << length;
    }
}

TEST_F(RegistryKeys, CreatingBelowAKeyNeedsTheRightToCreate) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kCreateBelowReadOnlyKey);
    Create(HKEY_CURRENT_USER, ScratchKey(TEXT("Rights")).c_str());
    unique_hkey readOnly;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("Rights")).c_str(), KEY_READ, readOnly), ERROR_SUCCESS);
    unique_hkey child;
    EXPECT_EQ(RegCreateKeyExW(readOnly.get(), TEXT("New"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.put(), nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(RegistryKeys, VolatileKeysAndLinksAreNotSupported) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kVolatileKeysAndLinksOnWindowsOnly);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_NOT_SUPPORTED);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software"), REG_OPTION_OPEN_LINK, KEY_READ, &key), ERROR_NOT_SUPPORTED);
}

TEST_F(RegistryKeys, UnknownOptionsAndBothViewsAtOnceAreRefused) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kInvalidKeyOptionsAccepted);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), 0, nullptr, 0x100, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), 1, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software"), 0, KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, &key),
              ERROR_INVALID_PARAMETER);
    Create(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str());
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), KEY_WOW64_32KEY | KEY_WOW64_64KEY, 0),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyExW(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), 0, 1), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryKeys, TheTwoViewsAreOneKey) {
    unique_hkey viewed = Create(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), KEY_READ | KEY_WRITE | KEY_WOW64_64KEY);
    unique_hkey other;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, ScratchKey(TEXT("V")).c_str(), KEY_READ | KEY_WOW64_32KEY, other), ERROR_SUCCESS);
}

}  // namespace
