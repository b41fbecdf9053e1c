// Delivering a toast into the store through the real platform: the whole of
// DeliverToast (parse, notifier, toast, Show), its parts that do not write, and
// the folding of the store's inbox that each toast shown leaves for later.
// Building the XML that is delivered is measured in toast_xml_bench.cpp.
#include <benchmark/benchmark.h>

#include <roapi.h>

#include <chrono>

#include "notify/app_identity.h"
#include "notify/toaster.h"
#include "platform/posix/winrt/toast_store.h"
#include "tests/support/temporary_prefix.h"

namespace {

constexpr WCHAR kToastXml[] =
    u"<toast launch=\"RivaVavirezar.display\"><visual><binding template=\"ToastGeneric\">"
    u"<text>Corvane Tessaline</text><text>Encryption is not supported in case sensitive folders</text>"
    u"<text>Path: C:\\Users\\someone\\Case&amp;Sensitive</text></binding></visual>"
    u"<actions><input id=\"ShowAgainChoice\" type=\"selection\" defaultInput=\"show\">"
    u"<selection id=\"show\" content=\"Show this warning again\"/><selection id=\"dismiss\" "
    u"content=\"Never show this warning again\"/></input><action content=\"Dismiss\" "
    u"arguments=\"RivaVavirezar.dismiss\" activationType=\"background\"/></actions></toast>";

class StartedProcess {
public:
    StartedProcess() {
        RoInitialize(RO_INIT_MULTITHREADED);
        AppUserModelId = kCorvaneAppUserModelId;
        IdentityReady.store(true, std::memory_order_release);
        ServerReady.store(true, std::memory_order_release);
    }
    ~StartedProcess() { RoUninitialize(); }

private:
    TemporaryPrefix prefix_;
};

void DeliverIntoStore(benchmark::State& state) {
    StartedProcess process;
    for (auto _ : state) {
        if (Toaster::DeliverToast(kToastXml) != S_OK) state.SkipWithError("delivery failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DeliverIntoStore)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(DeliverIntoStore)->Unit(benchmark::kMicrosecond)->UseRealTime()->Threads(4);

// Everything but the store: parse, then refused as "not ready" before the notifier.
void ParseOnly(benchmark::State& state) {
    StartedProcess process;
    ServerReady.store(false, std::memory_order_release);
    for (auto _ : state) {
        if (Toaster::DeliverToast(kToastXml) != E_ILLEGAL_METHOD_CALL) state.SkipWithError("unexpected result");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ParseOnly)->Unit(benchmark::kMicrosecond);

// The work a shown toast leaves for later, per toast: folding the inbox into the
// database (done by a thread of the showing process's own, or by whoever lists
// the store next).
void FoldIntoStore(benchmark::State& state) {
    TemporaryPrefix prefix;
    constexpr int kToasts = 100;  // fewer than start a fold of their own
    int64_t id = 0;
    for (auto _ : state) {
        for (int toast = 0; toast < kToasts; ++toast) pal::toast_store::Append(kCorvaneAppUserModelId, kToastXml);
        const auto start = std::chrono::steady_clock::now();
        // A toast that wants its id: the inbox is folded first, then it is stored.
        if (pal::toast_store::Append(kCorvaneAppUserModelId, kToastXml, &id) != S_OK)
            state.SkipWithError("the fold failed");
        const std::chrono::duration<double> folded = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(folded.count() / (kToasts + 1));
    }
}
// A fixed count: each iteration also shows its hundred toasts, untimed.
BENCHMARK(FoldIntoStore)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(200);

}  // namespace

