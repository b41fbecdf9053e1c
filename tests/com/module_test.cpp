// The class-object module in process: server references and the release
// notifier, the class factory's rules, object identities, and the rollback of
// a registration the COM runtime refuses.
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "com/class_factory.h"
#include "com/module.h"
#include "com/runtime_class.h"
#include "common/com_ptr.h"
#include "common/static_order.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/originated_errors.h"
#include "platform/posix/testing/call_log.h"
#include "tests/support/fresh_process.h"
#include "tests/support/temporary_prefix.h"

namespace {

using pal::testing::Fault;

std::atomic<int> liveObjects{0};

class CountedCallback final : public RuntimeClass<winsdk::INotificationActivationCallback> {
public:
    CountedCallback() { ++liveObjects; }
    ~CountedCallback() override { --liveObjects; }
    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR, LPCWSTR, const winsdk::NOTIFICATION_USER_INPUT_DATA*, ULONG) noexcept override {
        return S_OK;
    }
};

// A class whose construction fails before its COM base is built, the way a
// handler graph allocation can.
struct Refusal {
    Refusal() { throw std::bad_alloc(); }
};
class ThrowingCallback final : private Refusal, public RuntimeClass<winsdk::INotificationActivationCallback> {
public:
    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR, LPCWSTR, const winsdk::NOTIFICATION_USER_INPUT_DATA*, ULONG) noexcept override {
        return S_OK;
    }
};

constexpr CLSID kTestClass = {0x0b8a3c51, 0x1d2e, 0x4f60, {0x9a, 0x7b, 0x1c, 0x2d, 0x3e, 0x4f, 0x50, 0x61}};
constexpr CLSID kSecondClass = {0x0b8a3c52, 0x1d2e, 0x4f60, {0x9a, 0x7b, 0x1c, 0x2d, 0x3e, 0x4f, 0x50, 0x62}};
ClassRegistration testRegistration;
ClassRegistration secondRegistration;
const ClassEntry kTestEntry = {&MakeFactory<CountedCallback>, &kTestClass, nullptr, &testRegistration, nullptr};
const ClassEntry kSecondEntry = {&MakeFactory<CountedCallback>, &kSecondClass, nullptr, &secondRegistration, nullptr};
// Start marker, two classes around an empty slot, divider, end marker.
const ClassEntry* const kSlots[] = {nullptr, &kTestEntry, nullptr, &kSecondEntry, nullptr, nullptr};

// Counts Notify calls in place of the event the entry point waits on.
std::atomic<int> notifications{0};
struct CountNotification {
    void operator()() const noexcept { ++notifications; }
};
GenericReleaseNotifier<CountNotification> countingNotifier QUILL_STATIC_ORDER(QUILL_ORDER_RELEASE_NOTIFIER){
    CountNotification{}, false};

ULONG ServerCount() {
    CoAddRefServerProcess();
    return CoReleaseServerProcess();  // back to the count before the probe
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServerModule().InstallReleaseNotifier(&countingNotifier);
        notifications = 0;
    }

    com_ptr<IClassFactory> Factory() {
        com_ptr<IClassFactory> factory;
        EXPECT_EQ(MakeFactory<CountedCallback>(OutOfProcModule, kTestEntry, __uuidof(IClassFactory), factory.put_void()), S_OK);
        return factory;
    }
};

}  // namespace

const ObjectTable& ProgramObjectTable() noexcept {
    static const ObjectTable table = {&kSlots[0], &kSlots[4], &kSlots[5]};
    return table;
}

namespace {

// Registration first: once a process's server count has returned to zero the
// runtime takes no new registrations, which the tests after these bring about.
class ModuleRegistration : public ModuleTest {};

HRESULT ClassObject(const CLSID& clsid) {
    com_ptr<IClassFactory> factory;
    return CoGetClassObject(clsid, CLSCTX_LOCAL_SERVER, nullptr, __uuidof(IClassFactory), factory.put_void());
}

// Each case runs in a process of its own (CTest), so the server count of other
// cases never stops this one's registrations. The runtime is asked for each
// class suspended, as a multiple-use local server, and to resume only once every
// class is registered; whatever step it refuses, the registrations made are
// withdrawn and the cookies stay 0.
TEST_F(ModuleRegistration, EveryClassIsRegisteredSuspendedThenResumedOrNoneIsLeft) {
    TemporaryPrefix prefix;  // no class registered in the registry either
    // In an apartment, an unregistered class is "not registered", not "not initialised".
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    const std::string first = "CoRegisterClassObject {0B8A3C51-1D2E-4F60-9A7B-1C2D3E4F5061} context 4 flags 5";
    const std::string second = "CoRegisterClassObject {0B8A3C52-1D2E-4F60-9A7B-1C2D3E4F5062} context 4 flags 5";
    const std::string resume = "CoResumeClassObjects", revoke = "CoRevokeClassObject";
    struct Row {
        const char* what;
        Fault fault;
        unsigned passed;
        HRESULT code;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"the first registration refused", Fault::CoRegisterClassObject, 0, E_ACCESSDENIED, {first}},
        {"the second registration refused", Fault::CoRegisterClassObject, 1, E_ACCESSDENIED, {first, second, revoke}},
        {"resuming refused", Fault::CoResumeClassObjects, 0, E_UNEXPECTED, {first, second, resume, revoke, revoke}},
        {"every step granted", Fault::Count, 0, S_OK, {first, second, resume}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(ClassObject(kTestClass), REGDB_E_CLASSNOTREG);
        if (row.fault != Fault::Count)
            pal::testing::InjectFailureAfter(row.fault, row.passed, static_cast<DWORD>(row.code));
        pal::testing::RecordCalls(true);
        EXPECT_EQ(RegisterObjectTable(), row.code);
        pal::testing::RecordCalls(false);
        if (row.fault != Fault::Count) pal::testing::InjectFailure(row.fault, 0);
        EXPECT_EQ(pal::testing::RecordedCalls(), row.calls);
        const HRESULT expectedLookUp = SUCCEEDED(row.code) ? S_OK : REGDB_E_CLASSNOTREG;
        EXPECT_EQ(ClassObject(kTestClass), expectedLookUp);
        EXPECT_EQ(ClassObject(kSecondClass), expectedLookUp);
        EXPECT_EQ(testRegistration.cookie.load() != 0, SUCCEEDED(row.code));
        EXPECT_EQ(secondRegistration.cookie.load() != 0, SUCCEEDED(row.code));
    }
    DWORD cookies[] = {testRegistration.cookie.load(), secondRegistration.cookie.load()};
    EXPECT_EQ(ServerModule().RevokeClassObjects(nullptr, cookies, 2), S_OK);
    CoUninitialize();
}

TEST_F(ModuleRegistration, ASuccessfulRegistrationKeepsItsCookies) {
    ASSERT_EQ(RegisterObjectTable(), S_OK);
    DWORD cookies[] = {testRegistration.cookie.load(), secondRegistration.cookie.load()};
    EXPECT_NE(cookies[0], 0u);
    EXPECT_NE(cookies[1], 0u);
    EXPECT_EQ(ServerModule().RevokeClassObjects(nullptr, cookies, 2), S_OK);
    EXPECT_EQ(cookies[0], 0u);
    EXPECT_EQ(cookies[1], 0u);
}

TEST_F(ModuleTest, EachLiveObjectHoldsOneServerReference) {
    auto factory = Factory();
    com_ptr<winsdk::INotificationActivationCallback> first, second;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(winsdk::INotificationActivationCallback), first.put_void()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(winsdk::INotificationActivationCallback), second.put_void()), S_OK);
    EXPECT_EQ(ServerCount(), 2u);

    first.reset();
    EXPECT_EQ(notifications, 0) << "one object is still alive";
    second.reset();
    EXPECT_EQ(notifications, 1) << "the count returned to zero";
    EXPECT_EQ(liveObjects, 0);
}

TEST_F(ModuleTest, LockServerKeepsTheServerAliveUntilUnlocked) {
    auto factory = Factory();
    com_ptr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IUnknown), object.put_void()), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    object.reset();
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(notifications, 1);
}

TEST_F(ModuleTest, TheFactorysOwnReferencesNeverTouchTheServerCount) {
    auto factory = Factory();
    factory->AddRef();
    factory->AddRef();
    EXPECT_EQ(ServerCount(), 0u);
    factory->Release();
    factory->Release();
    EXPECT_EQ(notifications, 0);
}

// The factory's refusals are reported to the error tools, and none takes a
// server reference. A server lock can only be refused once the module is gone
// (after exit-time destruction), so every row runs in a process of its own.
TEST_F(ModuleTest, EachRefusalIsOriginatedAndTakesNoServerReference) {
    struct Row {
        const char* what;
        HRESULT (*refuse)(IClassFactory& factory);
        HRESULT expected;
    };
    const Row rows[] = {
        {"aggregation",
         [](IClassFactory& factory) {
             com_ptr<IUnknown> outer;
             if (factory.CreateInstance(nullptr, __uuidof(IUnknown), outer.put_void()) != S_OK) return E_UNEXPECTED;
             void* object = reinterpret_cast<void*>(1);
             const HRESULT hr = factory.CreateInstance(outer.get(), __uuidof(IUnknown), &object);
             return object == nullptr ? hr : E_UNEXPECTED;
         },
         CLASS_E_NOAGGREGATION},
        {"a server lock without a module",
         [](IClassFactory& factory) {
             { DefaultModule gone; }  // leaves the process without a current module, as exit does
             return CurrentModule() == nullptr ? factory.LockServer(TRUE) : E_UNEXPECTED;
         },
         E_FAIL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ExpectInFreshProcess([&]() -> std::string {
            com_ptr<IClassFactory> factory;
            const HRESULT made =
                MakeFactory<CountedCallback>(OutOfProcModule, kTestEntry, __uuidof(IClassFactory), factory.put_void());
            if (made != S_OK) return "no factory";
            pal::testing::ForgetOriginatedErrors();
            const HRESULT hr = row.refuse(*factory.get());
            if (hr != row.expected) return "answered " + std::to_string(hr);
            if (ServerCount() != 0) return "a server reference was kept";
            const auto originated = pal::testing::OriginatedErrors();
            if (originated.size() != 1 || originated[0].code != row.expected) return "not originated once with its code";
            return "";
        });
    }
}

TEST_F(ModuleTest, AnUnsupportedInterfaceDestroysTheObjectAndSignals) {
    auto factory = Factory();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(IClassFactory), &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(liveObjects, 0);
    EXPECT_EQ(notifications, 1) << "its only object came and went";
}

TEST_F(ModuleTest, ObjectsAnswerIUnknownAndTheirInterfaceWithOnePointer) {
    auto factory = Factory();
    com_ptr<IUnknown> unknown;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IUnknown), unknown.put_void()), S_OK);
    com_ptr<winsdk::INotificationActivationCallback> callback;
    ASSERT_EQ(unknown.query(callback), S_OK);
    EXPECT_EQ(static_cast<void*>(callback.get()), static_cast<void*>(unknown.get()));
    EXPECT_EQ(callback->AddRef(), 3u) << "each answer added one reference";
    callback->Release();
    com_ptr<IClassFactory> notAFactory;
    EXPECT_EQ(unknown.query(notAFactory), E_NOINTERFACE);
    EXPECT_FALSE(notAFactory);
}

TEST_F(ModuleTest, AConstructionThatRaisesGivesOutOfMemoryAndFreesTheObject) {
    com_ptr<IClassFactory> factory;
    ASSERT_EQ(MakeFactory<ThrowingCallback>(OutOfProcModule, kTestEntry, __uuidof(IClassFactory), factory.put_void()), S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(IUnknown), &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(ServerCount(), 0u);
}

}  // namespace
