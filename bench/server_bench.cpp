// The real QuillNotification server between processes: a warm Activate round
// trip (client to server, the toast built and committed to the store, and
// back) with the server held up by a live activator (and the server's resident
// memory once warm), and a cold activation
// timed from no server running until the toast is stored.
#include <benchmark/benchmark.h>
#include <notification_platform.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/local_activator.h"
#include "bench/server_prefix.h"
#include "tests/e2e/server_process.h"

namespace {

using namespace std::chrono_literals;

// The resident memory of the running server after its warm calls, from /proc.
double ServerResidentKib() {
    const std::vector<pid_t> servers = e2e::ServerProcesses();
    if (servers.size() != 1) return 0;
    std::ifstream status("/proc/" + std::to_string(servers[0]) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6));
    }
    return 0;
}

void WarmActivateRoundTrip(benchmark::State& state) {
    const ClientApartment apartment;
    {
        ServerPrefix prefix;
        const auto callback = CreateLocalActivator(e2e::kActivator);  // held: the server stays up between iterations
        if (!prefix.Registered() || !callback) state.SkipWithError("the server could not be started");
        for (auto _ : state) {
            if (ShowWarning(callback.get()) != S_OK)
                state.SkipWithError("Activate failed");
        }
        state.counters["server_rss_kib"] = ServerResidentKib();
    }
}
BENCHMARK(WarmActivateRoundTrip)->Unit(benchmark::kMicrosecond);

void ColdActivation(benchmark::State& state) {
    const ClientApartment apartment;
    {
        ServerPrefix prefix;
        if (!prefix.Registered()) state.SkipWithError("registration failed");
        for (auto _ : state) {
            auto callback = CreateLocalActivator(e2e::kActivator);  // starts the server and waits for its class object
            if (!callback || ShowWarning(callback.get()) != S_OK)
                state.SkipWithError("activation failed");
            state.PauseTiming();
            callback.reset();
            if (!e2e::ServersEndWithin(2s)) state.SkipWithError("the server did not end");
            state.ResumeTiming();
        }
    }
}
BENCHMARK(ColdActivation)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
