// Resource contract tests against the test program's own resources and
// against other executables opened as data files, written only against the
// Win32 names (the language-bound cases: resources_language_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/known_wine_differences.h"

namespace {

using WideText = std::basic_string<WCHAR>;

WideText WideOf(const std::string& text) { return WideText(text.begin(), text.end()); }

TEST(Resources, AnExplicitLanguageMustExist) {
    EXPECT_NE(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(2), MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL)), nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(2), MAKELANGID(LANG_FRENCH, SUBLANG_NEUTRAL)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST(Resources, MissingTypesAndNamesFailWithWindowsCodes) {
    SetLastError(0);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(42), TEXT("NOSUCHTYPE")), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(43), TEXT("PAYLOAD")), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(Resources, NamedTypesMatchIgnoringCaseAndKeepTheirBytes) {
    HRSRC payload = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(42), TEXT("payload"));
    ASSERT_NE(payload, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, payload)));
    ASSERT_EQ(SizeofResource(nullptr, payload), 15u);
    EXPECT_EQ(std::string(bytes, 15), std::string("payload\r\n\0bytes", 15));
    EXPECT_NE(FindResourceW(nullptr, TEXT("#42"), TEXT("PAYLOAD")), nullptr) << "#n names the number n";
}

TEST(Resources, ADataFileModuleReadsTheFileOnDisk) {
    WCHAR self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    HMODULE module = LoadLibraryExW(self, nullptr, LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    HRSRC payload = FindResourceW(module, MAKEINTRESOURCEW(42), TEXT("PAYLOAD"));
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(SizeofResource(module, payload), 15u);
    EXPECT_EQ(std::string(static_cast<const char*>(LockResource(LoadResource(module, payload))), 7), "payload");
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Resources, DataFilesThatCannotServeFailWithWindowsCodes) {
    SetLastError(0);
    const WideText missing = WideOf(std::string(::testing::TempDir()) + "no_such_file.exe");
    EXPECT_EQ(LoadLibraryExW(missing.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    const std::string text = std::string(::testing::TempDir()) + "not_an_executable.txt";
    std::ofstream(text) << "plain text, no sections";
    EXPECT_EQ(LoadLibraryExW(WideOf(text).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
}

TEST(Resources, CodeIsNeverLoaded) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kCodeModulesOnWindowsOnly);
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(LoadLibraryExW(self, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

}  // namespace
