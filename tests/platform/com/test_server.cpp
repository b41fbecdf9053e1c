// A local server for the COM runtime's tests, started by activation with
// "-Embedding". It serves one class whose Activate appends the call to
// $PAL_PREFIX/calls (unless its arguments are "quiet"), notes each start in
// $PAL_PREFIX/starts, and ends when its server count returns to zero (noted in
// $PAL_PREFIX/releases).
// "exit-now" and "never-register" misbehave on purpose.
#include <windows.h>
#include <objbase.h>
#include <notification_platform.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/platform/com/static_factory.h"
#include "tests/platform/com/test_class.h"

namespace {

HANDLE releaseEvent = nullptr;

void AppendToPrefixFile(const char* name, const std::string& line) {
    const std::string path = std::string(std::getenv("PAL_PREFIX")) + "/" + name;
    if (std::FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

void ReleaseServer() {
    if (CoReleaseServerProcess() != 0) return;
    AppendToPrefixFile("releases", std::to_string(getpid()));
    SetEvent(releaseEvent);
}

class Callback final : public winsdk::INotificationActivationCallback {
public:
    Callback() { CoAddRefServerProcess(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(winsdk::INotificationActivationCallback)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<winsdk::INotificationActivationCallback*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
            ReleaseServer();
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR appUserModelId, LPCWSTR invokedArgs,
                                       const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) override {
        const std::u16string_view args = invokedArgs != nullptr ? invokedArgs : u"";
        if (args != u"quiet") AppendToPrefixFile("calls", comtest::EncodeCall(appUserModelId, invokedArgs, data, count));
        return invokedArgs != nullptr && std::u16string_view(invokedArgs) == u"fail" ? E_ABORT : S_OK;
    }

private:
    ~Callback() = default;
    std::atomic<ULONG> references_{1};
};

void LockServer(BOOL lock) {
    if (lock) CoAddRefServerProcess(); else ReleaseServer();
}

comtest::StaticFactory<Callback, LockServer> factory;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    const std::u16string_view arguments(commandLine);
    AppendToPrefixFile("starts", std::to_string(getpid()));
    if (arguments.find(u"exit-now") != std::u16string_view::npos) return 3;
    if (arguments.find(u"never-register") != std::u16string_view::npos) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return 0;
    }
    if (arguments.find(u"-Embedding") == std::u16string_view::npos) return 2;

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    releaseEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD cookie = 0;
    HRESULT hr = CoRegisterClassObject(comtest::kTestClass, &factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie);
    if (SUCCEEDED(hr)) hr = CoResumeClassObjects();
    if (FAILED(hr)) return hr;
    WaitForSingleObject(releaseEvent, INFINITE);
    CoUninitialize();
    return 0;
}
