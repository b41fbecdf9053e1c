// A local server for the COM runtime's tests, started by activation with
// "-Embedding". It serves one class whose Activate appends the call to
// $PAL_PREFIX/calls (unless its arguments are "quiet"; "sleep" makes it take a
// second), notes each start in $PAL_PREFIX/starts, and ends when its server
// count returns to zero (noted in $PAL_PREFIX/releases). Its objects read a
// static string, so a call still running after main returns reads a
// destroyed one (which the sanitizers report). COMTEST_MESSAGE_DEADLINE_MS
// shortens the runtime's message deadline.
// "exit-now", "never-register" and "never-serve" (it and a child of its
// own wait for ever) misbehave on purpose. With COMTEST_WORK_WHILE_CONNECTING
// set, it gives the runtime work to do while its starter connects: the work
// notes "began" in $PAL_PREFIX/work and holds until $PAL_PREFIX/let-go exists.
#include <windows.h>
#include <objbase.h>
#include <notification_platform.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/posix/com/starter_readiness.h"
#include "platform/posix/testing/com_testing.h"
#include "tests/platform/com/static_factory.h"
#include "tests/platform/com/test_class.h"

namespace {

HANDLE releaseEvent = nullptr;
const std::string prefixDirectory = std::getenv("PAL_PREFIX") != nullptr ? std::getenv("PAL_PREFIX") : "";

void AppendToPrefixFile(const char* name, const std::string& line) {
    const std::string path = prefixDirectory + "/" + name;
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
    Callback() : callsPath_(prefixDirectory + "/calls") { CoAddRefServerProcess(); }

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
        if (callsPath_ != prefixDirectory + "/calls") return E_UNEXPECTED;
        if (args == u"sleep") std::this_thread::sleep_for(std::chrono::seconds(1));
        if (args != u"quiet") AppendToPrefixFile("calls", comtest::EncodeCall(appUserModelId, invokedArgs, data, count));
        return invokedArgs != nullptr && std::u16string_view(invokedArgs) == u"fail" ? E_ABORT : S_OK;
    }

private:
    ~Callback() = default;
    const std::string callsPath_;
    std::atomic<ULONG> references_{1};
};

void HoldUntilLetGo() {
    AppendToPrefixFile("work", "began");
    const std::string letGo = prefixDirectory + "/let-go";
    for (int waited = 0; waited < 2000 && access(letGo.c_str(), F_OK) != 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    AppendToPrefixFile("work", "ended");
}

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
    if (arguments.find(u"never-serve") != std::u16string_view::npos) {
        if (fork() == 0) AppendToPrefixFile("starts", std::to_string(getpid()));
        for (;;) pause();
    }
    if (arguments.find(u"-Embedding") == std::u16string_view::npos) return 2;
    if (const char* deadline = std::getenv("COMTEST_MESSAGE_DEADLINE_MS"))
        pal::testing::SetMessageDeadline(static_cast<DWORD>(std::atoi(deadline)));

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (std::getenv("COMTEST_WORK_WHILE_CONNECTING") != nullptr) pal::com::DoWhileStarterConnects(&HoldUntilLetGo);
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
