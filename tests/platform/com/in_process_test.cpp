// The COM runtime within one process: registration rules, activation that
// finds a class registered here, the GUID text form, and a class served to
// eight clients at once through its endpoint (run under ThreadSanitizer too).
#include <notification_platform.h>

#include <atomic>
#include <barrier>
#include <functional>
#include <thread>

#include "common/com_ptr.h"
#include "platform/posix/testing/com_testing.h"
#include "platform/posix/testing/fault_injection.h"
#include "tests/platform/com/static_factory.h"
#include "tests/platform/com/test_class.h"
#include "tests/support/prefix_fixture.h"

using winsdk::INotificationActivationCallback;
using winsdk::NOTIFICATION_USER_INPUT_DATA;

namespace {

// {4F1D2B3C-5A6E-4B7C-9D8E-0F1A2B3C4D5E}
constexpr CLSID kInProcessClass = {0x4F1D2B3C, 0x5A6E, 0x4B7C, {0x9D, 0x8E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};

std::atomic<int> liveObjects{0};
std::atomic<int> locks{0};
std::atomic<int> calls{0};

class Callback final : public INotificationActivationCallback {
public:
    Callback() { ++liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(INotificationActivationCallback)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<INotificationActivationCallback*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR, LPCWSTR args, const NOTIFICATION_USER_INPUT_DATA* data,
                                       ULONG count) override {
        ++calls;
        // The texts must be whole and the worker's own: check them against what every client sends.
        if (args == nullptr || std::u16string_view(args) != u"concurrent" || count != 1 || data == nullptr ||
            std::u16string_view(data[0].Value).size() != 1000)
            return E_INVALIDARG;
        return S_OK;
    }

private:
    ~Callback() { --liveObjects; }
    std::atomic<ULONG> references_{1};
};

void CountLocks(BOOL lock) { locks += lock ? 1 : -1; }

comtest::StaticFactory<Callback, CountLocks> factory;

bool WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

class InProcessComTest : public TemporaryPrefixTest {
protected:
    void SetUp() override {
        TemporaryPrefixTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    void TearDown() override {
        if (cookie_ != 0) {
            EXPECT_EQ(CoRevokeClassObject(cookie_), S_OK);
        }
        CoUninitialize();
        TemporaryPrefixTest::TearDown();
    }
    void Register(DWORD flags = REGCLS_MULTIPLEUSE) {
        ASSERT_EQ(CoRegisterClassObject(kInProcessClass, &factory, CLSCTX_LOCAL_SERVER, flags, &cookie_), S_OK);
    }
    DWORD cookie_ = 0;
};

}  // namespace

TEST_F(InProcessComTest, OnlyMultipleUseLocalServersRegister) {
    DWORD cookie = 0;
    EXPECT_EQ(CoRegisterClassObject(kInProcessClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              E_NOTIMPL);
    EXPECT_EQ(CoRegisterClassObject(kInProcessClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie),
              E_NOTIMPL);
    EXPECT_EQ(CoRegisterClassObject(kInProcessClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE | REGCLS_AGILE,
                                    &cookie),
              E_NOTIMPL);
    EXPECT_EQ(CoRegisterClassObject(kInProcessClass, nullptr, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              E_INVALIDARG);
    EXPECT_EQ(cookie, 0u);
    Register(REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED);
    EXPECT_EQ(CoRegisterClassObject(kInProcessClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              CO_E_OBJISREG);
    EXPECT_EQ(CoRevokeClassObject(cookie_ + 1000), CO_E_OBJNOTREG);

    pal::testing::InjectFailure(pal::testing::Fault::CoRegisterClassObject, static_cast<DWORD>(E_OUTOFMEMORY));
    EXPECT_EQ(CoRegisterClassObject(kInProcessClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              E_OUTOFMEMORY);
    pal::testing::InjectFailure(pal::testing::Fault::CoResumeClassObjects, static_cast<DWORD>(E_ACCESSDENIED));
    EXPECT_EQ(CoResumeClassObjects(), E_ACCESSDENIED);
}

TEST_F(InProcessComTest, SuspendedClassesServeOtherProcessesOnlyOnceResumed) {
    Register(REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED);
    com_ptr<IClassFactory> remote;
    EXPECT_EQ(pal::testing::GetClassObjectThroughEndpoint(kInProcessClass, IID_PPV_ARGS(remote.put())),
              REGDB_E_CLASSNOTREG);  // nothing listens, and nothing is registered to start
    ASSERT_EQ(CoResumeClassObjects(), S_OK);
    EXPECT_EQ(pal::testing::GetClassObjectThroughEndpoint(kInProcessClass, IID_PPV_ARGS(remote.put())), S_OK);
    ASSERT_EQ(CoSuspendClassObjects(), S_OK);
    com_ptr<IClassFactory> afterSuspension;
    EXPECT_EQ(pal::testing::GetClassObjectThroughEndpoint(kInProcessClass, IID_PPV_ARGS(afterSuspension.put())),
              REGDB_E_CLASSNOTREG);
    com_ptr<INotificationActivationCallback> callback;  // a connection made before goes on
    EXPECT_EQ(remote->CreateInstance(nullptr, IID_PPV_ARGS(callback.put())), S_OK);
}

TEST_F(InProcessComTest, ActivationInTheRegisteringProcessGetsTheObjectItself) {
    Register();
    com_ptr<IClassFactory> found;
    ASSERT_EQ(CoGetClassObject(kInProcessClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(found.put())), S_OK);
    EXPECT_EQ(found.get(), static_cast<IClassFactory*>(&factory));
    com_ptr<INotificationActivationCallback> callback;
    EXPECT_EQ(CoCreateInstance(kInProcessClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put())), S_OK);
    EXPECT_EQ(liveObjects.load(), 1);
    callback.reset();
    EXPECT_EQ(liveObjects.load(), 0);
}

TEST_F(InProcessComTest, ActivationNeedsAnApartment) {
    std::thread([] {
        com_ptr<IClassFactory> factoryProxy;
        // No thread of this process is in the multithreaded apartment while the test's own is out of it.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
    }).join();
    CoUninitialize();
    com_ptr<IClassFactory> none;
    EXPECT_EQ(CoGetClassObject(kInProcessClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(none.put())),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
}

TEST(GuidText, RoundTripsTheBracedFormAndRefusesOthers) {
    WCHAR text[39];
    ASSERT_EQ(StringFromGUID2(comtest::kTestClass, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31}");
    EXPECT_EQ(StringFromGUID2(comtest::kTestClass, text, 38), 0);
    CLSID parsed{};
    ASSERT_EQ(CLSIDFromString(u"{9d3c1a52-6e4b-4f07-8a19-2b5c7d0e6f31}", &parsed), S_OK);
    EXPECT_EQ(parsed, comtest::kTestClass);
    for (const WCHAR* bad : {u"9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31", u"{9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F3}",
                             u"{9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31}x", u"{9D3C1A52+6E4B-4F07-8A19-2B5C7D0E6F31}",
                             u"{9D3C1A52-6E4B-4F07-8A192B5C7D0E6F31}", u""})
        EXPECT_EQ(CLSIDFromString(bad, &parsed), static_cast<HRESULT>(0x800401F3));
    EXPECT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
    EXPECT_EQ(parsed, CLSID{});
}

TEST_F(InProcessComTest, EightClientsCallAtOnceAndADroppedClientLetsGo) {
    Register();
    constexpr int kClients = 8;
    constexpr int kCallsEach = 50;
    const std::u16string value(1000, u'v');
    const NOTIFICATION_USER_INPUT_DATA input{u"k", value.c_str()};
    std::barrier start(kClients);
    std::atomic<int> failures{0};
    calls = 0;
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&] {
            com_ptr<IClassFactory> remote;
            com_ptr<INotificationActivationCallback> callback;
            if (FAILED(pal::testing::GetClassObjectThroughEndpoint(kInProcessClass, IID_PPV_ARGS(remote.put()))) ||
                FAILED(remote->LockServer(TRUE)) ||
                FAILED(remote->CreateInstance(nullptr, IID_PPV_ARGS(callback.put())))) {
                ++failures;
                start.arrive_and_drop();
                return;
            }
            start.arrive_and_wait();
            for (int call = 0; call < kCallsEach; ++call) {
                if (callback->Activate(u"a", u"concurrent", &input, 1) != S_OK) ++failures;
            }
            // Dropped without giving back the lock: the connection's end must do it.
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(calls.load(), kClients * kCallsEach);
    EXPECT_TRUE(WaitUntil([] { return liveObjects.load() == 0; }));
    EXPECT_TRUE(WaitUntil([] { return locks.load() == 0; }));
}
