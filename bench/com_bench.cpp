// The COM runtime's costs: a warm Activate round trip to a running local
// server, and a cold activation that starts the server and waits for it.
#include <benchmark/benchmark.h>
#include <notification_platform.h>

#include <signal.h>

#include <fstream>
#include <optional>
#include <string>

#include "bench/local_activator.h"
#include "tests/platform/com/test_server_registration.h"
#include "tests/support/temporary_prefix.h"

namespace {

// A prefix of its own with the test server registered; servers it started are killed with it.
class BenchPrefix {
public:
    BenchPrefix() { comtest::RegisterTestServer(); }
    ~BenchPrefix() {
        std::ifstream starts(prefix_.Path() + "/starts");
        for (std::string pid; std::getline(starts, pid);) kill(std::stoi(pid), SIGKILL);
    }

private:
    TemporaryPrefix prefix_;
};

void WarmActivateRoundTrip(benchmark::State& state) {
    const ClientApartment apartment;
    {
        BenchPrefix prefix;
        const auto callback = CreateLocalActivator(comtest::kTestClass);
        if (!callback) state.SkipWithError("activation failed");
        const winsdk::NOTIFICATION_USER_INPUT_DATA input{u"Path", u"C:\\Users\\someone\\folder"};
        for (auto _ : state) {
            // "quiet" keeps the server from recording the call: this times the transport, not the disk.
            benchmark::DoNotOptimize(callback->Activate(u"Corvane.Tessaline", u"quiet", &input, 1));
        }
    }
}
BENCHMARK(WarmActivateRoundTrip);

void ColdActivation(benchmark::State& state) {
    const ClientApartment apartment;
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<BenchPrefix> prefix;
        prefix.emplace();
        state.ResumeTiming();
        auto callback = CreateLocalActivator(comtest::kTestClass);  // the server is not running until this returns
        if (!callback) state.SkipWithError("activation failed");
        benchmark::DoNotOptimize(callback->Activate(u"a", u"quiet", nullptr, 0));
        state.PauseTiming();
        callback.reset();
        prefix.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(ColdActivation)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
