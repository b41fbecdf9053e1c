// Which registration switch an argument text names: any letter case, after
// "-" or "/", ended by the end of the text, a TAB or a SPACE; the first
// recognised switch wins.
#include <gtest/gtest.h>

#include <string>

#include "common/base_module.h"
#include "host/atl_module.h"
#include "platform/posix/testing/fault_injection.h"
#include "host/registration_switches.h"
#include "registrar/per_user_registration.h"

namespace {

// Stands in for the registry update the switches start: records the request
// and answers with a chosen code.
struct {
    int calls = 0;
    bool doRegister = false;
    HRESULT answer = S_OK;
} update;

}  // namespace

HRESULT ApplyRegistryScript(CAtlModule&, bool doRegister) noexcept {
    ++update.calls;
    update.doRegister = doRegister;
    return update.answer;
}

namespace {

struct Spelling {
    const char16_t* arguments;
    RegistrationSwitch expected;
};

class SwitchSpelling : public ::testing::TestWithParam<Spelling> {};

TEST_P(SwitchSpelling, IsRecognisedAsWindowsDoes) {
    EXPECT_EQ(FindRegistrationSwitch(GetParam().arguments), GetParam().expected);
}

using enum RegistrationSwitch;
INSTANTIATE_TEST_SUITE_P(
    Arguments, SwitchSpelling,
    ::testing::Values(Spelling{u"", None}, Spelling{u"-", None}, Spelling{u"x /", None},
                      Spelling{u"RegServer", None}, Spelling{u"-Embedding", None},
                      Spelling{u"-RegServer", RegServer}, Spelling{u"/regserver", RegServer},
                      Spelling{u"-REGSERVER\tmore", RegServer}, Spelling{u"--RegServer", RegServer},
                      Spelling{u"-RegServerX", None}, Spelling{u"-RegServe", None},
                      Spelling{u"-UnregServer ", UnregServer}, Spelling{u"/UnregServerPerUser", UnregServerPerUser},
                      Spelling{u"-regserverperuser", RegServerPerUser},
                      Spelling{u"-RegServerPerUser -UnregServer", RegServerPerUser},
                      Spelling{u"/UnregServer /RegServer", UnregServer},
                      Spelling{u"C:/dir/RegServer", RegServer}, Spelling{u"a-b -RegServer2 /Unregserver", UnregServer}));

TEST(SwitchSpelling, NullTextHoldsNoSwitch) { EXPECT_EQ(FindRegistrationSwitch(nullptr), None); }

class NoReplacements : public CAtlModule {
public:
    HRESULT AddCommonReplacements(IRegistrarBase*) noexcept override { return S_OK; }
};

// A removal ends with S_OK for every success code; a registration ends with
// its code as it is, success or failure; per-user switches turn redirection on.
TEST(SwitchResult, RemovalSuccessBecomesSOkAndRegistrationPassesThrough) {
    struct Row {
        const char16_t* arguments;
        HRESULT answer;
        bool doRegister;
        bool perUser;
        HRESULT expected;
    };
    const HRESULT otherSuccess = static_cast<HRESULT>(0x00040200);
    const Row rows[] = {
        {u"-UnregServer", S_FALSE, false, false, S_OK},
        {u"-UnregServerPerUser", otherSuccess, false, true, S_OK},
        {u"-UnregServer", E_ACCESSDENIED, false, false, E_ACCESSDENIED},
        {u"-RegServer", S_FALSE, true, false, S_FALSE},
        {u"-RegServerPerUser", otherSuccess, true, true, otherSuccess},
        {u"-RegServer", DISP_E_EXCEPTION, true, false, DISP_E_EXCEPTION},
    };
    NoReplacements module;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.arguments, row.arguments + std::char_traits<char16_t>::length(row.arguments)));
        update = {};
        update.answer = row.answer;
        PerUserRegistration = false;
        HRESULT result = E_UNEXPECTED;
        EXPECT_FALSE(HandleRegistrationSwitches(module, row.arguments, &result)) << "the process ends";
        EXPECT_EQ(result, row.expected);
        EXPECT_EQ(update.calls, 1);
        EXPECT_EQ(update.doRegister, row.doRegister);
        EXPECT_EQ(PerUserRegistration, row.perUser);
    }
    update = {};
    HRESULT result = E_UNEXPECTED;
    EXPECT_TRUE(HandleRegistrationSwitches(module, u"-Embedding", &result)) << "no switch: the start goes on";
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(update.calls, 0);
}

// Both module records start without their lock when it cannot be made: the
// server module's size marker stays 0, so its teardown does nothing, and the
// base module still answers its resource list.
TEST(ModuleRecords, StartWithoutALockThatCannotBeMade) {
    pal::testing::InjectFailure(pal::testing::Fault::InitializeCriticalSection, ERROR_NOT_ENOUGH_MEMORY, 2);
    NoReplacements module;
    CAtlBaseModule base;
    pal::testing::InjectFailure(pal::testing::Fault::InitializeCriticalSection, 0);
    EXPECT_EQ(module.cbSize, 0u);
    module.Term();
    EXPECT_EQ(module.cbSize, 0u);
    EXPECT_FALSE(base.HasLock());
    EXPECT_EQ(base.GetHInstanceAt(0), GetModuleHandleW(nullptr));
    EXPECT_EQ(base.GetHInstanceAt(1), nullptr);

    NoReplacements healthy;
    EXPECT_EQ(healthy.cbSize, CAtlModule::kInitializedSize);
    healthy.Term();
    EXPECT_EQ(healthy.cbSize, 0u) << "the lock is deleted once";
}

}  // namespace
