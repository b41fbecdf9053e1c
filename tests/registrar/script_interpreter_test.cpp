// The registry script interpreter over a scratch registry: token rules, the
// register and unregister passes, value types, and what survives a failure.
#include <gtest/gtest.h>

#include <string>

#include "common/hresult.h"
#include "common/unique_any.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/registry_testing.h"
#include "registrar/reg_script_parser.h"
#include "tests/support/prefix_fixture.h"
#include "tests/registrar/registry_tree.h"

namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// The number of keys on the path Test\K\K...: how deep a script reached.
unsigned KeyDepth(const char16_t* top) {
    unique_hkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, top, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    unsigned depth = 1;
    for (unique_hkey child; RegOpenKeyExW(key.get(), u"K", 0, KEY_READ, child.put()) == ERROR_SUCCESS; ++depth) {
        key = std::move(child);
    }
    return depth;
}

class ScriptInterpreter : public TemporaryPrefixTest {
protected:
    static HRESULT Register(const std::u16string& script) { return CRegScriptParser().RunScript(script.c_str(), true); }
    static HRESULT Unregister(const std::u16string& script) {
        return CRegScriptParser().RunScript(script.c_str(), false);
    }
    static std::string Tree(const char16_t* path = u"Test") { return RegistryTree(HKEY_CURRENT_USER, path); }
};

TEST_F(ScriptInterpreter, ReadsQuotedAndBareTokens) {
    EXPECT_EQ(Register(u"HKCU { Test { 'It''s' = s '' a=b = s 'x y' } }"), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\It's]\n@=S:\n[Test\\a=b]\n@=S:x y\n");
    EXPECT_EQ(Register(u"HKCU { Test { 'never closed } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKCU { Test { K { Val x=s 'y' } } }"), DISP_E_EXCEPTION) << "x=s is one token";
}

TEST_F(ScriptInterpreter, AcceptsTokensUpTo4094Units) {
    const std::u16string longest(4094, u'x');
    EXPECT_EQ(Register(u"HKCU { Test = s '" + longest + u"' }"), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n@=S:" + std::string(4094, 'x') + "\n");
    EXPECT_EQ(Register(u"HKCU { Test = s " + longest + u"y }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKCU { Test = s '" + longest + u"y' }"), DISP_E_EXCEPTION);
}

TEST_F(ScriptInterpreter, NeedsARootEntryUnlessTheTextIsEmpty) {
    EXPECT_EQ(Register(u""), S_OK);
    EXPECT_EQ(Unregister(u""), S_OK);
    EXPECT_EQ(Register(u" \t\r\n"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKXX { }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKCU Test"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKCU { Test"), DISP_E_EXCEPTION) << "an unclosed block";
    EXPECT_EQ(Register(u"hkcu {braced Test } hkey_current_user { Test { Lower } }"), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\Lower]\n");
    EXPECT_EQ(Register(u"hkcr { QuillTestClass }"), S_OK);
    EXPECT_EQ(RegistryTree(HKEY_CLASSES_ROOT, u"QuillTestClass"), "[QuillTestClass]\n");
}

TEST_F(ScriptInterpreter, ForceRemoveRebuildsTheSubtreeButSparesProtectedNames) {
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Obj\\Extra\\Deep");
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\clsid\\Other");
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Software\\Other");
    EXPECT_EQ(Register(u"HKCU { Test { ForceRemove Obj = s 'v' { Sub } ForceRemove CLSID { New } "
                       u"FORCEREMOVE sOFTWARE } }"),
              S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\Obj]\n@=S:v\n[Test\\Obj\\Sub]\n[Test\\Software]\n[Test\\Software\\Other]\n"
                      "[Test\\clsid]\n[Test\\clsid\\New]\n[Test\\clsid\\Other]\n");
}

TEST_F(ScriptInterpreter, DeleteRemovesInTheRegisterPassAndIsAPlainKeyWhenUnregistering) {
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Gone\\Child");
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Empty");
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Full\\Child");
    EXPECT_EQ(Register(u"HKCU { Test { Delete Gone = s 'ignored' Delete Never } }"), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\Empty]\n[Test\\Full]\n[Test\\Full\\Child]\n");
    EXPECT_EQ(Unregister(u"HKCU { NoRemove Test { Delete Empty Delete Full } }"), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\Full]\n[Test\\Full\\Child]\n");
}

TEST_F(ScriptInterpreter, UnregisterKeepsNoRemoveKeysAndKeysWithOtherSubkeys) {
    const std::u16string script = u"HKCU { NoRemove Test { Keep { Val v = d 1 } Mine = s 'm' { Sub } } }";
    EXPECT_EQ(Register(script), S_OK);
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Keep\\Foreign");
    EXPECT_EQ(Unregister(script), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\Keep]\n[Test\\Keep\\Foreign]\n");
    EXPECT_EQ(Unregister(u"HKCU { NoRemove Test { NoRemove Keep { Foreign } } }"), S_OK);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\Keep]\n") << "an empty NoRemove key stays";
    EXPECT_EQ(Unregister(script), S_OK);
    EXPECT_EQ(Unregister(script), S_OK) << "unregistering twice";
    EXPECT_EQ(Tree(), "[Test]\n");
    EXPECT_EQ(Unregister(u"HKCU { Missing { Val v = s x Deeper { } } }"), S_OK);
    EXPECT_EQ(Tree(u"Missing"), "(none)") << "unregistering creates nothing";
}

TEST_F(ScriptInterpreter, UndoesOnlyTheFailingRootBlock) {
    CreateKeyPath(HKEY_CURRENT_USER, u"Test");
    EXPECT_EQ(Register(u"HKCU { NoRemove Test { First = s 'one' } } "
                       u"HKCU { NoRemove Test { Second { Val n = d 12 Val x = d 'nan' } } } HKCU { Third }"),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\First]\n@=S:one\n");
    EXPECT_EQ(Tree(u"Third"), "(none)");
}

TEST_F(ScriptInterpreter, StoresNumbersBytesAndTextLists) {
    EXPECT_EQ(Register(u"HKCU { Test { Val max = D 4294967295 Val zero = d ' 0 ' Val b = b 0aFf "
                       u"Val junk = B zz Val none = B '' Val one = m 'a\\0b' Val two = M 'a\\0\\0b' "
                       u"Val tail = m 'a\\0' Val back = m 'c:\\x' } }"),
              S_OK);
    EXPECT_EQ(Tree(), "[Test]\n"
                      "b=3:0a,ff\n"
                      "back=7:63,00,3a,00,5c,00,78,00,00,00,00,00\n"
                      "junk=3:00\n"
                      "max=4:ff,ff,ff,ff\n"
                      "none=3:\n"
                      "one=7:61,00,00,00,62,00,00,00,00,00\n"
                      "tail=7:61,00,00,00,00,00\n"
                      "two=7:61,00,00,00,00,00\n"
                      "zero=4:00,00,00,00\n");
}

TEST_F(ScriptInterpreter, RefusesBadValuesAndWritesNothing) {
    EXPECT_EQ(Register(u"HKCU { Test { Val n = d twelve } }"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Register(u"HKCU { Test { Val n = d 4294967296 } }"), DISP_E_OVERFLOW);
    EXPECT_EQ(Register(u"HKCU { Test { Val b = b abc } }"), E_FAIL);
    EXPECT_EQ(Register(u"HKCU { Test { Val q = q 1 } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Tree(), "(none)");
    EXPECT_EQ(Register(u"HKCU { Test { Val v s 1 } }"), DISP_E_EXCEPTION);
}

TEST_F(ScriptInterpreter, RefusesBackslashesInKeyNamesInBothPasses) {
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\A\\B");
    EXPECT_EQ(Register(u"HKCU { Test { A\\B } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKCU { Test { ForceRemove A\\B } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Unregister(u"HKCU { Test { A { 'B\\' } } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Tree(), "[Test]\n[Test\\A]\n[Test\\A\\B]\n");
    EXPECT_EQ(Register(u"HKCU { Test { Val 'a\\b' = s v } }"), S_OK) << "value names may hold one";
    EXPECT_EQ(Tree(), "[Test]\na\\b=S:v\n[Test\\A]\n[Test\\A\\B]\n");
}

// The empty name opens the parent key itself: as a ForceRemove, Delete or key
// entry it would empty or remove the parent, protected names included.
TEST_F(ScriptInterpreter, RefusesEmptyKeyNamesInBothPasses) {
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\CLSID\\Other");
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Software\\Other");
    CreateKeyPath(HKEY_CURRENT_USER, u"Test\\Leaf");
    const std::string before = Tree();
    for (const char16_t* script : {u"HKCU { Test { NoRemove CLSID { ForceRemove '' } } }",
                                   u"HKCU { Test { NoRemove Software { Delete '' } } }",
                                   u"HKCU { Test { ForceRemove '' } }",
                                   u"HKCU { Test { Leaf { '' } } }",
                                   u"HKCU { Test { Leaf { '' = s 'x' } } }"}) {
        EXPECT_EQ(Register(script), DISP_E_EXCEPTION) << Narrow(script);
        EXPECT_EQ(Unregister(script), DISP_E_EXCEPTION) << Narrow(script);
        EXPECT_EQ(Tree(), before) << Narrow(script);
    }
    EXPECT_EQ(Unregister(u"HKCU { NoRemove Test { Leaf { '' } } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Tree(), before) << "the empty Leaf is still there";
}

TEST_F(ScriptInterpreter, RefusesBlocksAfterValuesAndDeletions) {
    EXPECT_EQ(Register(u"HKCU { Test { Val v = s x { Inner } } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(u"HKCU { Test { Delete Old { Inner } } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Tree(), "(none)");
}

TEST_F(ScriptInterpreter, RefusesNestingBeyondTheLimitWithoutExhaustingTheStack) {
    auto nested = [](unsigned levels) {
        std::u16string script = u"HKCU { Test ";
        for (unsigned i = 0; i < levels; ++i) script += u"{ K ";
        for (unsigned i = 0; i < levels; ++i) script += u"} ";
        return script + u"}";
    };
    // Test's block is depth 1, so 255 nested blocks reach the limit and 256 pass it.
    const unsigned deepest = CRegScriptParser::kMaxBlockDepth - 1;
    EXPECT_EQ(Register(nested(deepest)), S_OK);
    EXPECT_EQ(KeyDepth(u"Test"), deepest + 1);
    EXPECT_EQ(Unregister(nested(deepest)), S_OK);
    EXPECT_EQ(Tree(), "(none)");
    // Past the limit the block is refused before any key of its level is made;
    // the undo meets the same limit, so the levels above it stay.
    EXPECT_EQ(Register(nested(deepest + 1)), DISP_E_EXCEPTION);
    EXPECT_EQ(KeyDepth(u"Test"), deepest + 1);
    EXPECT_EQ(Unregister(nested(deepest + 1)), DISP_E_EXCEPTION);
    EXPECT_EQ(KeyDepth(u"Test"), deepest + 1) << "nothing removed by a refused pass";
    EXPECT_EQ(Register(nested(1000)), DISP_E_EXCEPTION);
}

// Every registry call the interpreter makes can fail: its code ends the pass as
// HRESULT_FROM_WIN32, a failed register pass is undone, and "not found" is no
// error where the unregister pass expects absent keys and values.
TEST_F(ScriptInterpreter, FailingCallsEndThePassWithTheirCodeAndRegisteringIsUndone) {
    using pal::testing::Fault;
    const std::u16string longName(256, u'k');
    const std::u16string longHex(600, u'a');
    const std::u16string longList(300, u'm');
    struct Row {
        const char* what;
        const char16_t* prepare;  // registered first, without faults
        Fault fault;
        unsigned passed;  // calls that go through before the faulted one
        DWORD code;
        bool doRegister;
        std::u16string script;
        HRESULT expected;
        const char* tree;  // below HKCU\Test afterwards
    };
    const Row rows[] = {
        {"create", u"", Fault::RegCreateKeyEx, 0, ERROR_ACCESS_DENIED, true, u"HKCU { Test { A } }",
         E_ACCESSDENIED, "(none)"},
        {"create, undone", u"", Fault::RegCreateKeyEx, 2, ERROR_KEY_DELETED, true,
         u"HKCU { Test { Val v = s x First Second } }", HResultFromWin32(ERROR_KEY_DELETED), "(none)"},
        {"set value, undone", u"", Fault::RegSetValueEx, 1, ERROR_WRITE_FAULT, true,
         u"HKCU { Test { Val a = s x Val b = d 1 } }", HResultFromWin32(ERROR_WRITE_FAULT), "(none)"},
        {"B without a buffer", u"", Fault::CoTaskMemAlloc, 0, 1, true, u"HKCU { Test { Val b = b " + longHex + u" } }",
         E_FAIL, "(none)"},
        {"M without a buffer", u"", Fault::CoTaskMemAlloc, 0, 1, true, u"HKCU { Test { Val m = m " + longList + u" } }",
         E_OUTOFMEMORY, "(none)"},
        {"open", u"HKCU { Test { A } }", Fault::RegOpenKeyEx, 0, ERROR_ACCESS_DENIED, false, u"HKCU { Test { A } }",
         E_ACCESSDENIED, "[Test]\n[Test\\A]\n"},
        {"open answering not found", u"HKCU { Test { A } }", Fault::RegOpenKeyEx, 0, ERROR_FILE_NOT_FOUND, false,
         u"HKCU { Test { A } }", S_OK, "[Test]\n[Test\\A]\n"},
        {"close", u"HKCU { Test { A } }", Fault::RegCloseKey, 0, ERROR_INVALID_HANDLE, false, u"HKCU { Test { A } }",
         HResultFromWin32(ERROR_INVALID_HANDLE), "[Test]\n[Test\\A]\n"},
        {"delete key", u"HKCU { Test { A } }", Fault::RegDeleteKey, 0, ERROR_ACCESS_DENIED, false,
         u"HKCU { Test { A } }", E_ACCESSDENIED, "[Test]\n[Test\\A]\n"},
        {"delete value", u"HKCU { Test { Val v = s x } }", Fault::RegDeleteValue, 0, ERROR_ACCESS_DENIED, false,
         u"HKCU { NoRemove Test { Val v = s x } }", E_ACCESSDENIED, "[Test]\nv=S:x\n"},
        {"delete value answering not found", u"HKCU { Test { Val v = s x } }", Fault::RegDeleteValue, 0,
         ERROR_FILE_NOT_FOUND, false, u"HKCU { NoRemove Test { Val v = s x } }", S_OK, "[Test]\nv=S:x\n"},
        {"NoRemove value kept", u"HKCU { Test { Val v = s x Val w = s y } }", Fault::Count, 0, 0, false,
         u"HKCU { NoRemove Test { NoRemove Val v = s x Val w = s y } }", S_OK, "[Test]\nv=S:x\n"},
        {"Delete with a backslash", u"HKCU { Test { A { B } } }", Fault::Count, 0, 0, true,
         u"HKCU { Test { Delete A\\B } }", DISP_E_EXCEPTION, "[Test]\n[Test\\A]\n[Test\\A\\B]\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(pal::testing::ClearRegistry(), ERROR_SUCCESS);
        ASSERT_EQ(Register(row.prepare), S_OK);
        if (row.fault != Fault::Count) pal::testing::InjectFailureAfter(row.fault, row.passed, row.code);
        EXPECT_EQ(row.doRegister ? Register(row.script) : Unregister(row.script), row.expected);
        if (row.fault != Fault::Count) pal::testing::InjectFailure(row.fault, 0);
        EXPECT_EQ(Tree(), row.tree);
    }

    // Key names are not checked by the interpreter: a 256-unit name reaches the
    // registry, whose refusal is the pass's result.
    ASSERT_EQ(pal::testing::ClearRegistry(), ERROR_SUCCESS);
    unique_hkey refused;
    const LSTATUS tooLong = RegCreateKeyExW(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                            refused.put(), nullptr);
    ASSERT_NE(tooLong, ERROR_SUCCESS);
    ASSERT_NE(tooLong, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Register(u"HKCU { Test { '" + longName + u"' } }"), HResultFromWin32(tooLong));
    EXPECT_EQ(Unregister(u"HKCU { Test { '" + longName + u"' } }"), HResultFromWin32(tooLong));
    EXPECT_EQ(Tree(), "[Test]\n") << "the undo stops at the same refusal, before Test";
}

}  // namespace
