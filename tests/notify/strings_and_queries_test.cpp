// Localized strings, XML escaping (platform serializer and table), the version
// test and the program-directory cache.
#include "notify/platform_queries.h"
#include "notify/string_resources.h"
#include "notify/xml_escape.h"

#include <gtest/gtest.h>

#include "platform/posix/testing/fault_injection.h"
#include "tests/notify/expected_strings.h"
#include "tests/notify/test_support.h"
#include "tests/notify/broken_xml_class.h"
#include "tests/notify/unavailable_xml_class.h"

#include <cctype>
#include <filesystem>

namespace {

std::u16string Text(const CWideString& text) { return std::u16string(text.GetString(), text.GetLength()); }

const auto* const environment = testing::AddGlobalTestEnvironment(new ActivationEnvironment);

struct LanguageCase {
    const char* lang;
    const char* column;
};

void PrintTo(const LanguageCase& c, std::ostream* out) { *out << c.lang; }

class LocalizedStrings : public testing::TestWithParam<LanguageCase> {
protected:
    void TearDown() override { UseLanguage("en_GB.UTF-8"); }
};

TEST_P(LocalizedStrings, GiveTheColumnOfTheUserInterfaceLanguage) {
    UseLanguage(GetParam().lang);
    const LanguageColumn& column = Column(GetParam().column);
    for (UINT id = 101; id <= 107; ++id) {
        CWideString loaded;
        ASSERT_TRUE(LoadStringResource(id, loaded)) << id;
        EXPECT_EQ(Text(loaded), column.texts[id - 101]) << id;
        EXPECT_EQ(Text(LoadEscapedString(id)), column.texts[id - 101]) << "nothing to escape in id " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LocalizedStrings,
                         testing::Values(LanguageCase{"en_GB.UTF-8", "English_UK"}, LanguageCase{"de_DE.UTF-8", "German"},
                                         LanguageCase{"es_ES.UTF-8", "Spanish"}, LanguageCase{"fr_FR.UTF-8", "French"},
                                         LanguageCase{"ja_JP.UTF-8", "Japanese"}, LanguageCase{"pl_PL.UTF-8", "Polish"},
                                         LanguageCase{"zh_CN.UTF-8", "Chinese_PRC"},
                                         // Regional variants and languages the table does not hold.
                                         LanguageCase{"de_AT.UTF-8", "German"}, LanguageCase{"fr_CA.UTF-8", "French"},
                                         LanguageCase{"zh_SG.UTF-8", "Chinese_PRC"},
                                         LanguageCase{"en_US.UTF-8", "English_UK"},
                                         LanguageCase{"pt_BR.UTF-8", "English_UK"}, LanguageCase{"C", "English_UK"}),
                         [](const auto& info) {
                             std::string name = info.param.lang;
                             for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(StringResources, AnAbsentIdLoadsNothingAndGivesTheMissingText) {
    for (UINT id : {100u, 108u, 111u, 7u, 65535u}) {
        CWideString untouched(u"kept");
        EXPECT_FALSE(LoadStringResource(id, untouched)) << id;
        EXPECT_EQ(Text(untouched), u"kept");
    }
    EXPECT_EQ(Text(LoadEscapedString(108)), u"String resource 108 missing");
    EXPECT_EQ(Text(LoadEscapedString(0)), u"String resource 0 missing");
}

// Both escaping roads over the same inputs; they differ only in the quotation mark.
struct EscapeCase {
    const char16_t* input;
    const char16_t* bySerializer;
    const char16_t* byTable;
};

void PrintTo(const EscapeCase& c, std::ostream* out) { *out << (c.input ? pal::ToUtf8(c.input) : "(null)"); }

class Escaping : public testing::TestWithParam<EscapeCase> {};

TEST_P(Escaping, ThroughThePlatformSerializer) {
    EXPECT_EQ(Text(EscapeXml(GetParam().input)), GetParam().bySerializer);
}

TEST_P(Escaping, ByTheTableWhenTheXmlClassIsUnavailable) {
    XmlDocumentUnavailable unavailable;
    CWideString text(GetParam().input);
    EscapeXmlInPlace(text);
    EXPECT_EQ(Text(text), GetParam().byTable);
    EXPECT_EQ(unavailable.Activations(), 1) << "the platform road is tried first";
}

INSTANTIATE_TEST_SUITE_P(Texts, Escaping,
                         testing::Values(EscapeCase{u"", u"", u""}, EscapeCase{nullptr, u"", u""},
                                         EscapeCase{u"C:\\Plain folder", u"C:\\Plain folder", u"C:\\Plain folder"},
                                         EscapeCase{u"a&amp;b", u"a&amp;amp;b", u"a&amp;amp;b"},
                                         EscapeCase{u"<>", u"&lt;&gt;", u"&lt;&gt;"},
                                         EscapeCase{u"say \"hi\"", u"say \"hi\"", u"say &quot;hi&quot;"},
                                         EscapeCase{u"l'article", u"l'article", u"l'article"},
                                         EscapeCase{u"R&D <\"x\"> 'y' \u00e9\u3001", u"R&amp;D &lt;\"x\"&gt; 'y' \u00e9\u3001",
                                                    u"R&amp;D &lt;&quot;x&quot;&gt; 'y' \u00e9\u3001"}));

// Any step of the platform's road that fails sends the text through the table.
TEST(Escaping, FallsBackToTheTableAtEachFailingStep) {
    for (XmlBreak broken : {XmlBreak::DocumentInterface, XmlBreak::CreateTextNode, XmlBreak::SerializerInterface,
                            XmlBreak::GetXml}) {
        SCOPED_TRACE(static_cast<int>(broken));
        XmlDocumentBroken override(broken);
        EXPECT_EQ(Text(EscapeXml(u"R&D <\"x\">")), u"R&amp;D &lt;&quot;x&quot;&gt;");
    }
}

TEST(Escaping, UsesTheTableBeforeWindows8) {
    setenv("PAL_WINDOWS_VERSION", "6.1", 1);
    ExpectInFreshProcess([] {
        return Mismatch(u"a&amp;b &lt;&quot;c&quot;&gt; 'd'", Text(EscapeXml(u"a&b <\"c\"> 'd'")));
    });
    unsetenv("PAL_WINDOWS_VERSION");
}

TEST(Escaping, RaisesWhenAStringReferenceCannotBeMade) {
    pal::testing::InjectFailure(pal::testing::Fault::WindowsCreateStringReference, static_cast<DWORD>(E_OUTOFMEMORY));
    try {
        EscapeXml(u"a&b");
        ADD_FAILURE() << "nothing raised";
    } catch (const winsdk::RaisedException& raised) {
        EXPECT_EQ(raised.code, static_cast<DWORD>(E_OUTOFMEMORY));
        EXPECT_EQ(raised.flags, static_cast<DWORD>(EXCEPTION_NONCONTINUABLE));
    }
    EXPECT_EQ(Text(EscapeXml(u"a&b")), u"a&amp;b") << "the next escaping works again";
}

TEST(VersionTest, ComparesMajorThenMinorAgainstTheReportedVersion) {
    struct Case {
        const char* reported;
        std::vector<std::pair<std::pair<WORD, WORD>, bool>> answers;
    } cases[] = {
        {"10.0", {{{10, 0}, true}, {{6, 2}, true}, {{6, 3}, true}, {{10, 1}, false}, {{11, 0}, false}}},
        {"6.3", {{{10, 0}, false}, {{6, 2}, true}, {{6, 3}, true}, {{6, 4}, false}}},
        {"6.1", {{{6, 2}, false}, {{6, 1}, true}, {{5, 9}, true}}},
    };
    for (const Case& test : cases) {
        setenv("PAL_WINDOWS_VERSION", test.reported, 1);
        ExpectInFreshProcess([&test] {
            std::string failure;
            for (const auto& [version, expected] : test.answers) {
                if (IsOsVersionAtLeast(version.first, version.second) != expected) {
                    failure += std::string(test.reported) + " >= " + std::to_string(version.first) + "." +
                               std::to_string(version.second) + " gave the wrong answer\n";
                }
            }
            return failure;
        });
    }
    unsetenv("PAL_WINDOWS_VERSION");
}

TEST(ModuleDirectory, IsTheExecutablesDirectoryAndStaysPut) {
    const std::string own = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    const WCHAR* first = GetModuleDirectory();
    EXPECT_EQ(pal::ToUtf8(first), own);
    EXPECT_EQ(GetModuleDirectory(), first) << "the cached text is handed out again";
}

TEST(ModuleDirectory, IsDeterminedAgainWhileEmpty) {
    for (const char* version : {"10.0", "6.1"}) {  // PathCchRemoveFileSpec, then PathRemoveFileSpecW
        setenv("PAL_WINDOWS_VERSION", version, 1);
        ExpectInFreshProcess([] {
            pal::testing::InjectFailure(pal::testing::Fault::GetModuleFileName, ERROR_NOT_ENOUGH_MEMORY);
            if (*GetModuleDirectory() != 0) return std::string("the failed call gave a directory");
            const std::string own = std::filesystem::canonical("/proc/self/exe").parent_path().string();
            return pal::ToUtf8(GetModuleDirectory()) == own ? std::string() : std::string("not determined again");
        });
    }
    unsetenv("PAL_WINDOWS_VERSION");
}

}  // namespace
