// Resource contract tests that set the user interface language through the
// environment, as our Linux platform takes it, and read the product's own
// registry script from the build tree (the Windows build runs the rest of the
// resource tests under Wine: resources_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
