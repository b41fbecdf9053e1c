// A client of the test class that holds what it was told to and then waits to
// be killed: "object" holds an activated object, "lock" a server lock taken
// through the class object. It prints "ready" once it holds it.
#include <objbase.h>
#include <notification_platform.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "common/com_ptr.h"
#include "tests/platform/com/test_class.h"

int main(int argc, char** argv) {
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
