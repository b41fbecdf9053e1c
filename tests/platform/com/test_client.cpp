// A client of the test class that holds what it was told to and then waits to
// be killed: "object" holds an activated object, "lock" a server lock taken
// through the class object. It prints "ready" once it holds it.
// "churn N" instead activates, calls and lets go N times, with short pauses,
// and exits 0 when every call succeeded.
#include <objbase.h>
#include <notification_platform.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/com_ptr.h"
#include "tests/platform/com/test_class.h"

namespace {

int Churn(int times) {
    std::srand(static_cast<unsigned>(getpid()));
    for (int i = 0; i < times; ++i) {
        com_ptr<winsdk::INotificationActivationCallback> callback;
        HRESULT hr = CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
        if (SUCCEEDED(hr)) hr = callback->Activate(u"a", u"quiet", nullptr, 0);
        if (FAILED(hr)) {
            std::printf("failed 0x%08X\n", static_cast<unsigned>(hr));
            return 1;
        }
        callback.reset();
        usleep(static_cast<useconds_t>(std::rand() % 3000));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "churn") == 0) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        const int result = Churn(std::atoi(argv[2]));
        CoUninitialize();
        return result;
    }
    if (argc != 2) return 2;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    com_ptr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(comtest::kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(factory.put()));
    com_ptr<winsdk::INotificationActivationCallback> callback;
    if (SUCCEEDED(hr) && std::strcmp(argv[1], "object") == 0)
        hr = factory->CreateInstance(nullptr, IID_PPV_ARGS(callback.put()));
    else if (SUCCEEDED(hr))
        hr = factory->LockServer(TRUE);
    if (FAILED(hr)) {
        std::printf("failed 0x%08X\n", static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
