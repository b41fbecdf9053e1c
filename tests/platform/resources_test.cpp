// Resource contract tests against the test program's own resources and
// against other executables opened as data files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class LanguageScope {
public:
    explicit LanguageScope(const char* language) {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
        if (language) setenv("LANG", language, 1);
    }
    ~LanguageScope() { unsetenv("LANG"); }
};

// Entry id & 15 of the block holding id, as counted strings.
std::u16string StringFromBlock(HRSRC resource, UINT id) {
    const auto* data = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, resource)));
    const DWORD units = SizeofResource(nullptr, resource) / sizeof(WCHAR);
    DWORD at = 0;
    for (UINT skip = id & 15; skip > 0 && at < units; --skip) at += 1 + data[at];
    if (at >= units) return {};
    return std::u16string(data + at + 1, data[at]);
}

std::u16string LoadString(UINT id) {
    HRSRC block = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    return block ? StringFromBlock(block, id) : u"<none>";
}

TEST(Resources, StringBlocksFollowTheUserInterfaceLanguage) {
    { LanguageScope scope("de_DE.UTF-8"); EXPECT_EQ(LoadString(17), u"Farbe"); EXPECT_EQ(LoadString(18), u"Schließen"); }
    { LanguageScope scope("de_AT.UTF-8"); EXPECT_EQ(LoadString(17), u"Farbe"); }
    { LanguageScope scope("ja_JP.UTF-8"); EXPECT_EQ(LoadString(17), u"色"); EXPECT_EQ(LoadString(18), u"") << "absent in that block"; }
    { LanguageScope scope("en_US.UTF-8"); EXPECT_EQ(LoadString(17), u"Colour") << "any language ends at English (UK)"; }
    { LanguageScope scope("pt_BR.UTF-8"); EXPECT_EQ(LoadString(18), u"Dismiss"); }
    { LanguageScope scope(nullptr); EXPECT_EQ(LoadString(17), u"Colour"); }
}

TEST(Resources, LanguagePrecedenceIsLanguageThenLcAllThenLcMessagesThenLang) {
    LanguageScope scope("en_GB.UTF-8");
    setenv("LC_MESSAGES", "ja_JP.UTF-8", 1);
    EXPECT_EQ(LoadString(17), u"色");
    setenv("LC_ALL", "de_CH.UTF-8", 1);
    EXPECT_EQ(LoadString(17), u"Farbe");
    setenv("LANGUAGE", "ja:de", 1);
    EXPECT_EQ(LoadString(17), u"色");
    unsetenv("LANGUAGE");
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
}

TEST(Resources, AnExplicitLanguageMustExist) {
    EXPECT_NE(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(2), MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL)), nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(2), MAKELANGID(LANG_FRENCH, SUBLANG_NEUTRAL)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST(Resources, MissingTypesAndNamesFailWithWindowsCodes) {
    SetLastError(0);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(42), u"NOSUCHTYPE"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(43), u"PAYLOAD"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(Resources, NamedTypesMatchIgnoringCaseAndKeepTheirBytes) {
    HRSRC payload = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(42), u"payload");
    ASSERT_NE(payload, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, payload)));
    ASSERT_EQ(SizeofResource(nullptr, payload), 15u);
    EXPECT_EQ(std::string(bytes, 15), std::string("payload\r\n\0bytes", 15));
    EXPECT_NE(FindResourceW(nullptr, u"#42", u"PAYLOAD"), nullptr) << "#n names the number n";
}

TEST(Resources, ADataFileModuleReadsTheFileOnDisk) {
    WCHAR self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    HMODULE module = LoadLibraryExW(self, nullptr, LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    HRSRC payload = FindResourceW(module, MAKEINTRESOURCEW(42), u"PAYLOAD");
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(SizeofResource(module, payload), 15u);
    EXPECT_EQ(std::string(static_cast<const char*>(LockResource(LoadResource(module, payload))), 7), "payload");
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Resources, DataFilesThatCannotServeFailWithWindowsCodes) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(u"/no/such/file.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    const std::string text = std::string(::testing::TempDir()) + "not_an_executable.txt";
    std::ofstream(text) << "plain text, no sections";
    const std::u16string wide(text.begin(), text.end());
    EXPECT_EQ(LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));

    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(LoadLibraryExW(self, nullptr, 0), nullptr) << "code is never loaded";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(Resources, TheProductCarriesItsRegistryScript) {
    const std::string exe = std::string(QUILL_BINARY_DIR) + "/bin/QuillNotification";
    const std::u16string wide(exe.begin(), exe.end());
    HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC script = FindResourceW(module, MAKEINTRESOURCEW(108), u"REGISTRY");
    ASSERT_NE(script, nullptr);
    ASSERT_EQ(SizeofResource(module, script), 174u);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, script))), 174);
    EXPECT_EQ(text, "HKCR\r\n"
                    "{\r\n"
                    "\tNoRemove CLSID\r\n"
                    "\t{\r\n"
                    "\t\tForceRemove {6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12} = s 'QuillNotificationActivation Class'\r\n"
                    "\t\t{\r\n"
                    "\t\t\tLocalServer32 = s '%MODULE%'\r\n"
                    "\t\t}\r\n"
                    "\t}\r\n"
                    "}\r\n");
    FreeLibrary(module);
}

}  // namespace
