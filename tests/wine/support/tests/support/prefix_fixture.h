// The Windows build's stand-in for the Linux suites' scratch prefix, found
// before tests/support/ when the platform contract tests are cross-built for
// the Wine lane: the registry is the Wine prefix's own, so each case removes
// again every key it added directly below HKCU\Software and HKLM\Software and
// every class of its own (tests/support/scratch_keys.h) in either hive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "tests/support/scratch_keys.h"

class TemporaryPrefixTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A process id comes again in a later run (Wine's are small), so what a
        // run that died left behind goes first.
        RemoveScratch();
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) existing_[Index(root)] = Subkeys(root, L"Software");
    }
    void TearDown() override {
        RemoveScratch();
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            for (const std::wstring& name : Subkeys(root, L"Software")) {
                if (existing_[Index(root)].count(name) == 0) RegDeleteTreeW(root, (L"Software\\" + name).c_str());
            }
        }
    }

private:
    static void RemoveScratch() {
        const std::wstring classPrefix = ScratchClass(L"");
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            RegDeleteTreeW(root, ScratchKey().c_str());
            for (const std::wstring& name : Subkeys(root, L"Software\\Classes")) {
                if (CompareStringOrdinal(name.c_str(), static_cast<int>(std::min(name.size(), classPrefix.size())),
                                         classPrefix.c_str(), static_cast<int>(classPrefix.size()), TRUE) == CSTR_EQUAL)
                    RegDeleteTreeW(root, (L"Software\\Classes\\" + name).c_str());
            }
        }
    }

    static int Index(HKEY root) { return root == HKEY_CURRENT_USER ? 0 : 1; }

    static std::set<std::wstring> Subkeys(HKEY root, const wchar_t* path) {
        std::set<std::wstring> names;
        HKEY parent = nullptr;
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &parent) != ERROR_SUCCESS) return names;
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace(name, length);
        }
        RegCloseKey(parent);
        return names;
    }

    std::set<std::wstring> existing_[2];
};
