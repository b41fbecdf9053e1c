// The server start in process, each way it can fail: the Windows Runtime's
// start (no RoUninitialize for a start that failed), the release event, and a
// class registration the COM runtime refuses (RoUninitialize, ServerReady
// cleared). Each ends the start with the failure's code.
#include <objbase.h>
#include <roapi.h>

#include <gtest/gtest.h>

#include "common/com_ptr.h"
#include "host/notification_server.h"
#include "notify/app_identity.h"
#include "platform/posix/testing/fault_injection.h"
#include "tests/support/prefix_fixture.h"

namespace {

using pal::testing::Fault;

// True while this thread is in a COM apartment: an unregistered class is then
// "not registered" rather than "not initialised".
bool InApartment() {
    com_ptr<IClassFactory> factory;
    const CLSID nowhere = {0x1e4b2d90, 0x7c3a, 0x4f15, {0x8d, 0x26, 0x0b, 0x9e, 0x51, 0x37, 0xc4, 0xa8}};
    return CoGetClassObject(nowhere, CLSCTX_LOCAL_SERVER, nullptr, __uuidof(IClassFactory), factory.put_void()) !=
           CO_E_NOTINITIALIZED;
}

class ServerStart : public TemporaryPrefixTest {};

TEST_F(ServerStart, EachFailingStepEndsTheStartWithItsCode) {
    struct Row {
        const char* what;
        Fault fault;
        DWORD code;
        HRESULT expected;
    };
    const Row rows[] = {
        {"the Windows Runtime", Fault::RoInitialize, static_cast<DWORD>(E_OUTOFMEMORY), E_OUTOFMEMORY},
        {"the release event", Fault::CreateEvent, ERROR_NOT_ENOUGH_MEMORY, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
        {"the class registration", Fault::CoRegisterClassObject, static_cast<DWORD>(E_ACCESSDENIED), E_ACCESSDENIED},
        {"resuming the classes", Fault::CoResumeClassObjects, static_cast<DWORD>(CO_E_OBJISREG), CO_E_OBJISREG},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // The test's own apartment: a start that uninitialises what it did not
        // initialise would end it, and one that leaves its own would keep it.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        pal::testing::InjectFailure(row.fault, row.code);
        EXPECT_EQ(ServeNotificationActivator(), row.expected);
        pal::testing::InjectFailure(row.fault, 0);
        EXPECT_FALSE(ServerReady.load());
        EXPECT_TRUE(InApartment()) << "the start gave back only what it took";
        CoUninitialize();
        EXPECT_FALSE(InApartment()) << "the start left nothing of its own";
    }
}

}  // namespace
