// A client process of the real activator, for the cross-process tests.
// "hold": creates an activator, prints "ready" and waits to be killed.
// "burst N": after one byte on standard input, N threads each create an
// activator, show one warning toast (its path names this process and the
// thread) and release it, all at once.
// "together N": after one byte, N threads create an activator each; then
// "created" is printed, and after a second byte all N show their toast.
// The exit status is 0 when every call returned S_OK.
#include <objbase.h>
#include <notification_platform.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/com_ptr.h"
#include "tests/e2e/activator_clsid.h"

namespace {

using Activator = com_ptr<winsdk::INotificationActivationCallback>;

std::atomic<int> failures{0};

void Check(const char* what, int index, HRESULT hr) {
    if (hr == S_OK) return;
    std::printf("%s %d: 0x%08X\n", what, index, static_cast<unsigned>(hr));
    ++failures;
}

bool WaitForByte() {
    char go = 0;
    return read(STDIN_FILENO, &go, 1) == 1;
}

// Runs body(i) for i in [0, count) on count threads of the multithreaded apartment at once.
void OnThreads(int count, const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&body, i] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            body(i);
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads) thread.join();
}

Activator Create(int index) {
    Activator callback;
    Check("create", index, CoCreateInstance(e2e::kActivator, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put())));
    return callback;
}

void ShowToast(const Activator& callback, int index) {
    if (!callback) return;
    const std::string path = "C:\\client " + std::to_string(getpid()) + "\\" + std::to_string(index);
    const std::u16string wide(path.begin(), path.end());
    const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"Path", wide.c_str()}, {u"ShowAgainChoice", u"false"}};
    Check("activate", index, callback->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 2));
}

int Burst(int count) {
    if (!WaitForByte()) return 2;
    OnThreads(count, [](int i) { ShowToast(Create(i), i); });
    return failures == 0 ? 0 : 1;
}

int Together(int count) {
    if (!WaitForByte()) return 2;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // keeps the objects usable across the phases
    std::vector<Activator> activators(count);
    OnThreads(count, [&](int i) { activators[i] = Create(i); });
    std::printf("created\n");
    std::fflush(stdout);
    if (!WaitForByte()) return 2;
    OnThreads(count, [&](int i) { ShowToast(activators[i], i); });
    activators.clear();
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}

int Hold() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const Activator callback = Create(0);
    if (!callback) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "hold") == 0) return Hold();
    if (argc == 3 && std::strcmp(argv[1], "burst") == 0) return Burst(std::atoi(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "together") == 0) return Together(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: e2e_activator_client hold | burst N | together N\n");
    return 2;
}
