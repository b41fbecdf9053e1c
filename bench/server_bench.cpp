// The real QuillNotification server between processes: a warm Activate round
// trip (client to server, the toast built and committed to the store, and
// back) with the server held up by a live activator, and a cold activation
// timed from no server running until the toast is stored.
#include <benchmark/benchmark.h>
#include <notification_platform.h>

#include <chrono>
#include <cstdlib>

#include "common/com_ptr.h"
#include "tests/e2e/server_process.h"
#include "tests/support/temporary_prefix.h"

namespace {

using namespace std::chrono_literals;

// A prefix with the server registered, in English, and no server left behind.
class ServerPrefix {
public:
    ServerPrefix() {
        for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(variable);
        setenv("LANG", "en_GB.UTF-8", 1);
        registered_ = e2e::RegisterServerAndActivator();
    }
    ~ServerPrefix() { e2e::KillServers(); }
    bool Registered() const { return registered_; }

private:
    TemporaryPrefix prefix_;
    bool registered_ = false;
};

const winsdk::NOTIFICATION_USER_INPUT_DATA kInputs[] = {{u"Path", u"C:\\Users\\Ana\\R&D <archive>"},
                                                     {u"ShowAgainChoice", u"true"}};

com_ptr<winsdk::INotificationActivationCallback> Create() {
    com_ptr<winsdk::INotificationActivationCallback> callback;
    CoCreateInstance(e2e::kActivator, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
    return callback;
}

void WarmActivateRoundTrip(benchmark::State& state) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ServerPrefix prefix;
        const auto callback = Create();  // held: the server stays up between iterations
        if (!prefix.Registered() || !callback) state.SkipWithError("the server could not be started");
        for (auto _ : state) {
            if (callback->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", kInputs, 2) != S_OK)
                state.SkipWithError("Activate failed");
        }
    }
    CoUninitialize();
}
BENCHMARK(WarmActivateRoundTrip)->Unit(benchmark::kMicrosecond);

void ColdActivation(benchmark::State& state) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ServerPrefix prefix;
        if (!prefix.Registered()) state.SkipWithError("registration failed");
        for (auto _ : state) {
            auto callback = Create();  // starts the server and waits for its class object
            if (!callback || callback->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", kInputs, 2) != S_OK)
                state.SkipWithError("activation failed");
            state.PauseTiming();
            callback.reset();
            if (!e2e::ServersEndWithin(2s)) state.SkipWithError("the server did not end");
            state.ResumeTiming();
        }
    }
    CoUninitialize();
}
BENCHMARK(ColdActivation)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
