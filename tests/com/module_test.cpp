// The class-object module in process: server references and the release
// notifier, the class factory's rules, object identities, and the rollback of
// a registration the COM runtime refuses.
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "com/class_factory.h"
#include "com/module.h"
#include "com/runtime_class.h"
#include "common/com_ptr.h"
#include "common/static_order.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/originated_errors.h"
#include "tests/support/temporary_prefix.h"

namespace {

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
ClassRegistration testRegistration;
const ClassEntry kTestEntry = {&MakeFactory<CountedCallback>, &kTestClass, nullptr, &testRegistration, nullptr};
const ClassEntry* const kSlots[] = {nullptr, &kTestEntry, nullptr, nullptr};

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
    static const ObjectTable table = {&kSlots[0], &kSlots[2], &kSlots[3]};
    return table;
}

namespace {

// Registration first: once a process's server count has returned to zero the
// runtime takes no new registrations, which the tests after these bring about.
class ModuleRegistration : public ModuleTest {};

// Each case runs in a process of its own (CTest), so the server count of other
// cases never stops this one's registrations.
TEST_F(ModuleRegistration, ARefusedRegistrationLeavesNothingRegistered) {
    TemporaryPrefix prefix;  // no class registered in the registry either
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    const auto classObject = [] {
        com_ptr<IClassFactory> factory;
        return CoGetClassObject(kTestClass, CLSCTX_LOCAL_SERVER, nullptr, __uuidof(IClassFactory), factory.put_void());
    };
    ASSERT_EQ(classObject(), REGDB_E_CLASSNOTREG);

    pal::testing::InjectFailure(pal::testing::Fault::CoRegisterClassObject, static_cast<DWORD>(E_ACCESSDENIED));
    EXPECT_EQ(RegisterObjectTable(), E_ACCESSDENIED);
    EXPECT_EQ(testRegistration.cookie.load(), 0u);
    EXPECT_EQ(classObject(), REGDB_E_CLASSNOTREG);

    pal::testing::InjectFailure(pal::testing::Fault::CoResumeClassObjects, static_cast<DWORD>(E_UNEXPECTED));
    EXPECT_EQ(RegisterObjectTable(), E_UNEXPECTED);
    EXPECT_EQ(testRegistration.cookie.load(), 0u) << "the registration that succeeded was revoked";
    EXPECT_EQ(classObject(), REGDB_E_CLASSNOTREG) << "and the runtime no longer has it";

    // The same look-up finds the class while it is registered.
    ASSERT_EQ(RegisterObjectTable(), S_OK);
    EXPECT_EQ(classObject(), S_OK);
    DWORD cookies[] = {testRegistration.cookie.load()};
    EXPECT_EQ(ServerModule().RevokeClassObjects(nullptr, cookies, 1), S_OK);
    CoUninitialize();
}

TEST_F(ModuleRegistration, ASuccessfulRegistrationKeepsItsCookie) {
    ASSERT_EQ(RegisterObjectTable(), S_OK);
    const DWORD cookie = testRegistration.cookie.load();
    EXPECT_NE(cookie, 0u);
    DWORD cookies[] = {cookie};
    EXPECT_EQ(ServerModule().RevokeClassObjects(nullptr, cookies, 1), S_OK);
    EXPECT_EQ(cookies[0], 0u);
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

TEST_F(ModuleTest, AggregationIsRefusedAndTakesNoServerReference) {
    auto factory = Factory();
    com_ptr<IUnknown> outer;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IUnknown), outer.put_void()), S_OK);
    void* object = reinterpret_cast<void*>(1);
    pal::testing::ForgetOriginatedErrors();
    EXPECT_EQ(factory->CreateInstance(outer.get(), __uuidof(IUnknown), &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(ServerCount(), 1u) << "only the outer object counts";
    const auto originated = pal::testing::OriginatedErrors();
    ASSERT_EQ(originated.size(), 1u) << "the refusal is reported to the error tools";
    EXPECT_EQ(originated[0].code, CLASS_E_NOAGGREGATION);
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
