// A local server for the COM runtime's tests, started by activation with
// "-Embedding". It serves one class whose Activate appends the call to
// $PAL_PREFIX/calls (unless its arguments are "quiet"; "sleep" makes it take a
// second), notes each start in $PAL_PREFIX/starts, and ends when its server
// count returns to zero (noted in $PAL_PREFIX/releases). Its objects read a
// static string, so a call still running after main returns reads a
// destroyed one (which the sanitizers report). COMTEST_MESSAGE_DEADLINE_MS
// shortens the runtime's message deadline.
// "exit-now", "never-register", "never-serve" (it and a child of its own wait
// for ever) and "exit-in-first-call" misbehave on purpose. "hidden-endpoint"
// removes its class's socket once it serves, so only the client that started
// it reaches it; "other-class-first" serves another class for a while before
// its own; "child-looks" starts a program of its own that notes in
// $PAL_PREFIX/child which of the descriptors 3 and 4 and which PAL_COM_
// variables it inherited.
#include <windows.h>
#include <objbase.h>
#include <notification_platform.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/posix/testing/com_testing.h"
#include "tests/platform/com/static_factory.h"
#include "tests/platform/com/test_class.h"

namespace {

// {5E7A0C13-2B9D-4C61-9F48-0A3D6E1B7C25}
constexpr CLSID kOtherClass = {0x5E7A0C13, 0x2B9D, 0x4C61, {0x9F, 0x48, 0x0A, 0x3D, 0x6E, 0x1B, 0x7C, 0x25}};

HANDLE releaseEvent = nullptr;
bool exitInFirstCall = false;
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
    Callback() : callsPath_(prefixDirectory + "/calls") {
        if (exitInFirstCall) _exit(4);
        CoAddRefServerProcess();
    }

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

// What a program this server starts finds open and set.
void StartChildThatLooks() {
    const std::string notes = prefixDirectory + "/child";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, notes.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"),
                    const_cast<char*>("for fd in 3 4; do test -e /proc/self/fd/$fd && echo fd $fd; done; "
                                      "env | grep ^PAL_COM_; echo looked"),
                    nullptr};
    pid_t child;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv, environ) == 0) waitpid(child, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
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

    exitInFirstCall = arguments.find(u"exit-in-first-call") != std::u16string_view::npos;

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    releaseEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD cookie = 0;
    HRESULT hr = S_OK;
    if (arguments.find(u"other-class-first") != std::u16string_view::npos) {
        DWORD otherCookie = 0;
        hr = CoRegisterClassObject(kOtherClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &otherCookie);
        // Long enough for the first request to be answered before the class it wants is served.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (SUCCEEDED(hr))
        hr = CoRegisterClassObject(comtest::kTestClass, &factory, CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie);
    if (SUCCEEDED(hr)) hr = CoResumeClassObjects();
    if (FAILED(hr)) return hr;
    if (arguments.find(u"hidden-endpoint") != std::u16string_view::npos)
        unlink(pal::testing::ComEndpointPath(comtest::kTestClass).c_str());
    if (arguments.find(u"child-looks") != std::u16string_view::npos) StartChildThatLooks();
    WaitForSingleObject(releaseEvent, INFINITE);
    CoUninitialize();
    return 0;
}
