// The Windows build's stand-in for the Linux suites' scratch prefix, found
// before tests/support/ when the platform contract tests are cross-built for
// the Wine lane: the registry is the Wine prefix's own, so each case removes
// again every key it added directly below HKCU\Software and HKLM\Software.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

class TemporaryPrefixTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) existing_[Index(root)] = Subkeys(root);
    }
    void TearDown() override {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            for (const std::wstring& name : Subkeys(root)) {
                if (existing_[Index(root)].count(name) == 0) RegDeleteTreeW(root, (L"Software\\" + name).c_str());
            }
        }
    }

private:
    static int Index(HKEY root) { return root == HKEY_CURRENT_USER ? 0 : 1; }

    static std::set<std::wstring> Subkeys(HKEY root) {
        std::set<std::wstring> names;
        HKEY software = nullptr;
        if (RegOpenKeyExW(root, L"Software", 0, KEY_READ, &software) != ERROR_SUCCESS) return names;
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(software, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace(name, length);
        }
        RegCloseKey(software);
        return names;
    }

    std::set<std::wstring> existing_[2];
};
