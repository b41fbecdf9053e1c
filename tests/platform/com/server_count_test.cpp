// The server count: when CoReleaseServerProcess brings it back to zero the
// process stops taking activations for good, and registrations are refused.
// (Its own executable: the stop is for the rest of the process's life.)
#include <objbase.h>

#include <gtest/gtest.h>

#include "platform/posix/testing/com_testing.h"
#include "tests/support/prefix_fixture.h"

namespace {

struct Factory final : IClassFactory {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

constexpr CLSID kClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr CLSID kLateClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x56}};

class ServerCountTest : public TemporaryPrefixTest {};

}  // namespace

TEST_F(ServerCountTest, ReturningToZeroStopsActivationsForGood) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    Factory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_EQ(CoAddRefServerProcess(), 1u);
    EXPECT_EQ(CoAddRefServerProcess(), 2u);
    EXPECT_EQ(CoReleaseServerProcess(), 1u);
    IClassFactory* remote = nullptr;
    ASSERT_EQ(pal::testing::GetClassObjectThroughEndpoint(kClass, IID_PPV_ARGS(&remote)), S_OK);
    remote->Release();

    EXPECT_EQ(CoReleaseServerProcess(), 0u);
    EXPECT_EQ(pal::testing::GetClassObjectThroughEndpoint(kClass, IID_PPV_ARGS(&remote)), REGDB_E_CLASSNOTREG)
        << "the endpoint is withdrawn";
    EXPECT_EQ(CoAddRefServerProcess(), 1u);
    DWORD late = 0;
    EXPECT_EQ(CoRegisterClassObject(kLateClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &late),
              CO_E_SERVER_STOPPING);
    EXPECT_EQ(CoResumeClassObjects(), CO_E_SERVER_STOPPING);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    CoUninitialize();
}
