// Registering the program's own script from its resource, as the switches do:
// every step that can fail ends the update with its code and writes nothing,
// and a per-user removal leaves a machine registration alone.
#include <gtest/gtest.h>

#include <string>

#include "common/hresult.h"
#include "host/atl_module.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/registry_testing.h"
#include "registrar/apply_registry_script.h"
#include "registrar/per_user_registration.h"
#include "registrar/reg_script_parser.h"
#include "registrar/script_expansion.h"
#include "platform/posix/testing/process_stand_ins.h"
#include "tests/registrar/registry_tree.h"
#include "tests/support/prefix_fixture.h"

namespace {

using pal::testing::Fault;

constexpr const char16_t* kClassKey = u"CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}";

class TestModule : public CAtlModule {
public:
    explicit TestModule(HRESULT replacementsResult) : replacementsResult_(replacementsResult) {}
    HRESULT AddCommonReplacements(IRegistrarBase* registrar) noexcept override {
        return FAILED(replacementsResult_) ? replacementsResult_ : registrar->AddScriptReplacement(u"APPID", u"");
    }

private:
    HRESULT replacementsResult_;
};

std::string OwnPath() {
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::string(path, path + length);
}

class ApplyScript : public TemporaryPrefixTest {
protected:
    void TearDown() override {
        PerUserRegistration = false;
        TemporaryPrefixTest::TearDown();
    }
    static std::string MachineClass() {
        return RegistryTree(HKEY_LOCAL_MACHINE, (std::u16string(u"Software\\Classes\\") + kClassKey).c_str());
    }
    static std::string UserClass() {
        return RegistryTree(HKEY_CURRENT_USER, (std::u16string(u"Software\\Classes\\") + kClassKey).c_str());
    }
};

TEST_F(ApplyScript, EachFailingStepEndsTheUpdateWithItsCodeAndWritesNothing) {
    struct Row {
        const char* what;
        Fault fault;
        DWORD code;
        unsigned times;
        HRESULT replacements;  // what the module's common replacements answer
        HRESULT expected;
    };
    const Row rows[] = {
        {"the registrar's lock", Fault::InitializeCriticalSection, ERROR_NOT_ENOUGH_MEMORY, 1, S_OK,
         HResultFromWin32(ERROR_NOT_ENOUGH_MEMORY)},
        {"the common replacements", Fault::Count, 0, 0, E_ACCESSDENIED, E_ACCESSDENIED},
        {"the program's path", Fault::GetModuleFileName, ERROR_ACCESS_DENIED, 1, S_OK, E_ACCESSDENIED},
        {"the file missing", Fault::LoadLibraryEx, ERROR_FILE_NOT_FOUND, 2, S_OK,
         HResultFromWin32(ERROR_FILE_NOT_FOUND)},
        {"the file opened the second way", Fault::LoadLibraryEx, ERROR_ACCESS_DENIED, 1, S_OK, S_OK},
        {"no resource 108", Fault::FindResource, ERROR_RESOURCE_TYPE_NOT_FOUND, 1, S_OK,
         HResultFromWin32(ERROR_RESOURCE_TYPE_NOT_FOUND)},
        {"the resource not loaded", Fault::LoadResource, ERROR_NOT_ENOUGH_MEMORY, 1, S_OK,
         HResultFromWin32(ERROR_NOT_ENOUGH_MEMORY)},
        {"the conversion to UTF-16", Fault::MultiByteToWideChar, ERROR_NO_UNICODE_TRANSLATION, 1, S_OK,
         HResultFromWin32(ERROR_NO_UNICODE_TRANSLATION)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(pal::testing::ClearRegistry(), ERROR_SUCCESS);
        TestModule module(row.replacements);
        if (row.fault != Fault::Count) pal::testing::InjectFailure(row.fault, row.code, row.times);
        EXPECT_EQ(ApplyRegistryScript(module, true), row.expected);
        if (row.fault != Fault::Count) pal::testing::InjectFailure(row.fault, 0);
        if (SUCCEEDED(row.expected)) {
            EXPECT_EQ(MachineClass(), "[Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}]\n"
                                      "@=S:QuillNotificationActivation Class\n"
                                      "[Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}\\LocalServer32]\n"
                                      "@=S:\"" + OwnPath() + "\"\n");
        } else {
            EXPECT_EQ(MachineClass(), "(none)");
        }
    }
}

// The replacements' copies ("APPID", "Module", "Module_Raw") and the expanded
// text come from the task allocator: whichever of them is refused ends the
// update with E_OUTOFMEMORY before anything is written.
TEST_F(ApplyScript, EachRefusedAllocationEndsTheUpdateWithOutOfMemory) {
    unsigned refusals = 0;
    for (unsigned passed = 0; passed < 32; ++passed) {
        SCOPED_TRACE(passed);
        ASSERT_EQ(pal::testing::ClearRegistry(), ERROR_SUCCESS);
        TestModule module(S_OK);
        pal::testing::InjectFailureAfter(Fault::CoTaskMemAlloc, passed, 1);
        const HRESULT result = ApplyRegistryScript(module, true);
        pal::testing::InjectFailure(Fault::CoTaskMemAlloc, 0);
        if (result == S_OK) break;
        EXPECT_EQ(result, E_OUTOFMEMORY);
        EXPECT_EQ(MachineClass(), "(none)");
        ++refusals;
    }
    EXPECT_GE(refusals, 7u) << "two copies for each of three replacements, and the expanded text";
    EXPECT_NE(MachineClass(), "(none)") << "with every allocation granted the update is made";
}

// The program's path reaches a script twice: quoted as "Module" and bare as
// "Module_Raw", apostrophes doubled in both, so that a quoted token reads the
// path back as it is. A path of 260 units or more offers neither.
TEST_F(ApplyScript, OffersTheProgramsPathQuotedAndRaw) {
    struct Row {
        const char* what;
        std::u16string path;
        HRESULT expected;
        std::u16string raw;  // as substituted
    };
    const std::u16string longest = u"C:\\" + std::u16string(252, u'q') + u".exe";  // 259 units
    const Row rows[] = {
        {"a plain path", u"C:\\Quill\\QuillNotification.exe", S_OK, u"C:\\Quill\\QuillNotification.exe"},
        {"an apostrophe", u"C:\\It's\\QuillNotification.exe", S_OK, u"C:\\It''s\\QuillNotification.exe"},
        {"a percent sign", u"C:\\100%\\QuillNotification.exe", S_OK, u"C:\\100%\\QuillNotification.exe"},
        {"259 units", longest, S_OK, longest},
        {"260 units", longest + u"x", HResultFromWin32(ERROR_INSUFFICIENT_BUFFER), u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(pal::testing::ClearRegistry(), ERROR_SUCCESS);
        CRegObject registrar;
        ASSERT_EQ(registrar.Initialize(), S_OK);
        TestModule module(S_OK);
        ASSERT_EQ(module.AddCommonReplacements(&registrar), S_OK);
        pal::testing::ReportModuleFileName(row.path);
        WCHAR path[MAX_PATH];
        const HRESULT added = AddModuleReplacements(registrar, path);
        pal::testing::ReportModuleFileName(u"");
        EXPECT_EQ(added, row.expected);
        if (FAILED(row.expected)) {
            EXPECT_EQ(registrar.LookupReplacement(u"Module"), nullptr);
            EXPECT_EQ(registrar.LookupReplacement(u"Module_Raw"), nullptr);
            continue;
        }
        EXPECT_EQ(std::u16string(path), row.path);
        unique_cotaskmem expanded;
        ASSERT_EQ(ExpandScript(u"[%Module_Raw%] [%MODULE%] [%APPID%]", registrar, expanded), S_OK);
        EXPECT_EQ(std::u16string(static_cast<const char16_t*>(expanded.get())),
                  u"[" + row.raw + u"] [\"" + row.raw + u"\"] []");
        ASSERT_EQ(ExpandScript(u"HKCU { QuillPaths { Raw = s '%Module_Raw%' Quoted = s '%Module%' } }", registrar,
                               expanded),
                  S_OK);
        ASSERT_EQ(CRegScriptParser().RunScript(static_cast<LPCWSTR>(expanded.get()), true), S_OK);
        const std::string stored = std::string(row.path.begin(), row.path.end());
        EXPECT_EQ(RegistryTree(HKEY_CURRENT_USER, u"QuillPaths"),
                  "[QuillPaths]\n[QuillPaths\\Quoted]\n@=S:\"" + stored + "\"\n[QuillPaths\\Raw]\n@=S:" + stored + "\n");
    }
}

TEST_F(ApplyScript, PerUserRemovalLeavesTheMachineRegistration) {
    TestModule module(S_OK);
    ASSERT_EQ(ApplyRegistryScript(module, true), S_OK);
    const std::string machine = MachineClass();
    ASSERT_NE(machine, "(none)");
    PerUserRegistration = true;
    ASSERT_EQ(ApplyRegistryScript(module, true), S_OK);
    ASSERT_NE(UserClass(), "(none)");
    EXPECT_EQ(ApplyRegistryScript(module, false), S_OK);
    EXPECT_EQ(UserClass(), "(none)");
    EXPECT_EQ(MachineClass(), machine);
}

}  // namespace
