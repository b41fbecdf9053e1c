// The expansion pass: replacement lookup and its limits, values inserted as
// they are, the per-user redirection of classes-root blocks, and the
// registrar's replacement map itself.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/testing/fault_injection.h"
#include "registrar/per_user_registration.h"
#include "registrar/reg_object.h"
#include "registrar/script_expansion.h"

namespace {

using pal::testing::Fault;

class ScriptExpansion : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(registrar_.Initialize(), S_OK);
        ASSERT_EQ(registrar_.AddScriptReplacement(u"APPID", u""), S_OK);
        ASSERT_EQ(registrar_.AddScriptReplacement(u"Module", u"\"C:\\Quill\\QuillNotification.exe\""), S_OK);
        PerUserRegistration = false;
    }
    void TearDown() override { PerUserRegistration = false; }

    // The expanded text, or the failure code as a marker text.
    std::u16string Expand(const char16_t* source) {
        unique_cotaskmem expanded;
        const HRESULT result = ExpandScript(source, registrar_, expanded);
        if (FAILED(result)) {
            EXPECT_FALSE(expanded) << "no text on failure";
            return u"failed " + std::u16string(1, static_cast<char16_t>(result & 0xFFFF));
        }
        EXPECT_EQ(result, S_OK);
        return static_cast<const char16_t*>(expanded.get());
    }
    static std::u16string Failure(HRESULT code) { return u"failed " + std::u16string(1, static_cast<char16_t>(code & 0xFFFF)); }

    CRegObject registrar_;
};

TEST_F(ScriptExpansion, SubstitutesNamesIgnoringCaseAndDoublePercent) {
    EXPECT_EQ(Expand(u""), u"");
    EXPECT_EQ(Expand(u"100%% sure"), u"100% sure");
    EXPECT_EQ(Expand(u"s '%MODULE%'"), u"s '\"C:\\Quill\\QuillNotification.exe\"'");
    EXPECT_EQ(Expand(u"%Module%|%module%"),
              u"\"C:\\Quill\\QuillNotification.exe\"|\"C:\\Quill\\QuillNotification.exe\"");
    EXPECT_EQ(Expand(u"[%APPID%]"), u"[]");
}

TEST_F(ScriptExpansion, RefusesUnknownUnclosedAndOverlongNames) {
    EXPECT_EQ(Expand(u"%Nobody%"), Failure(DISP_E_EXCEPTION));
    EXPECT_EQ(Expand(u"HKCR { %"), Failure(DISP_E_EXCEPTION)) << "a trailing percent sign";
    EXPECT_EQ(Expand(u"%MODULE"), Failure(DISP_E_EXCEPTION));

    const std::u16string name31(31, u'N');
    const std::u16string name32(32, u'N');
    ASSERT_EQ(registrar_.AddScriptReplacement(name31.c_str(), u"thirty-one"), S_OK);
    ASSERT_EQ(registrar_.AddScriptReplacement(name32.c_str(), u"thirty-two"), S_OK);
    EXPECT_EQ(Expand((u"<%" + name31 + u"%>").c_str()), u"<thirty-one>");
    EXPECT_EQ(Expand((u"<%" + name32 + u"%>").c_str()), Failure(E_FAIL));
}

TEST_F(ScriptExpansion, InsertsValuesWithoutExpandingThemAgain) {
    ASSERT_EQ(registrar_.AddScriptReplacement(u"Odd", u"%MODULE% it''s {HKCR} 100%"), S_OK);
    EXPECT_EQ(Expand(u"'%Odd%'"), u"'%MODULE% it''s {HKCR} 100%'");
    PerUserRegistration = true;
    // Braces of a value do not count towards the nesting of the redirected block.
    EXPECT_EQ(Expand(u"HKCR { X = s '%Odd%' }"),
              u"HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses { X = s '%MODULE% it''s {HKCR} 100%' \r\n\t}\r\n}\r\n}");
}

TEST_F(ScriptExpansion, MovesOnlyUpperCaseShortClassesRootBlocksForPerUser) {
    const char16_t* script = u"HKCR { A { B } } hkcr { C } HKEY_CLASSES_ROOT { D } HKLM { E } HKCR { F }";
    EXPECT_EQ(Expand(script), script) << "machine-wide registration keeps the text";
    PerUserRegistration = true;
    EXPECT_EQ(Expand(script),
              u"HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses { A { B } \r\n\t}\r\n}\r\n} hkcr { C } HKEY_CLASSES_ROOT { D } "
              u"HKLM { E } HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses { F \r\n\t}\r\n}\r\n}");
}

TEST_F(ScriptExpansion, IgnoresBracesInsideQuotesWhenRedirecting) {
    PerUserRegistration = true;
    EXPECT_EQ(Expand(u"HKCR { V = s '{ it''s }' } HKLM { }"),
              u"HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses { V = s '{ it''s }' \r\n\t}\r\n}\r\n} HKLM { }");
    EXPECT_EQ(Expand(u"HKCR"), u"HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses") << "text ending right after the name";
}

// The text starts with room for 1000 units here and grows as values are
// appended; a text that cannot be made or grown fails the expansion whole.
TEST_F(ScriptExpansion, GrowsBeyondTheInitialCapacityOrFailsWhole) {
    std::u16string value(3000, u'v');
    ASSERT_EQ(registrar_.AddScriptReplacement(u"Long", value.c_str()), S_OK);
    struct Row {
        const char* what;
        Fault fault;
        std::u16string expected;
    };
    const Row rows[] = {
        {"room granted", Fault::Count, value + value + u"%"},
        {"no room for the text", Fault::CoTaskMemAlloc, Failure(E_OUTOFMEMORY)},
        {"the text cannot grow", Fault::CoTaskMemRealloc, Failure(E_OUTOFMEMORY)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.fault != Fault::Count) pal::testing::InjectFailure(row.fault, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(Expand(u"%Long%%Long%%%"), row.expected);
        if (row.fault != Fault::Count) {
            EXPECT_EQ(pal::testing::TakeInjectedFailure(row.fault), 0u) << "the failing call was made";
            pal::testing::InjectFailure(row.fault, 0);
        }
    }
}

TEST(EscapeApostrophes, DoublesEachApostropheAndRefusesWhatDoesNotFit) {
    WCHAR out[8];
    EXPECT_EQ(EscapeApostrophes(out, 8, u"it's"), S_OK);
    EXPECT_EQ(std::u16string(out), u"it''s");
    EXPECT_EQ(EscapeApostrophes(out, 8, u"''''"), E_FAIL) << "eight units and the NUL";
    EXPECT_EQ(EscapeApostrophes(out, 8, u"'''"), S_OK);
    EXPECT_EQ(std::u16string(out), u"''''''");
}

TEST(RegObject, KeepsTheFirstOfDuplicateNamesAndAnswersItsSlots) {
    CRegObject registrar;
    ASSERT_EQ(registrar.Initialize(), S_OK);
    EXPECT_EQ(registrar.AddScriptReplacement(nullptr, u"x"), E_INVALIDARG);
    EXPECT_EQ(registrar.AddScriptReplacement(u"x", nullptr), E_INVALIDARG);
    EXPECT_EQ(registrar.AddScriptReplacement(u"Name", u"first"), S_OK);
    EXPECT_EQ(registrar.AddScriptReplacement(u"NAME", u"second"), S_OK);
    EXPECT_EQ(std::u16string(registrar.LookupReplacement(u"name")), u"first");
    EXPECT_EQ(registrar.ClearScriptReplacements(), S_OK);
    EXPECT_EQ(registrar.LookupReplacement(u"name"), nullptr);

    IRegistrarBase* base = &registrar;
    void* untouched = &registrar;
    EXPECT_EQ(base->QueryInterface(IID_IUnknown, &untouched), E_NOTIMPL);
    EXPECT_EQ(untouched, &registrar);
    EXPECT_EQ(base->AddRef(), 1u);
    EXPECT_EQ(base->Release(), 0u);
}

}  // namespace
