// Building the warning toast's XML with its texts already loaded: the
// composition alone, with the path escaped by the platform's serializer or by
// the table, and the whole display activation with a policy that keeps the text.
#include <benchmark/benchmark.h>

#include <roapi.h>

#include <memory>

#include "notify/riva_vavirezar_toast.h"
#include "notify/warning_toast.h"
#include "tests/notify/unavailable_xml_class.h"

namespace {

constexpr WCHAR kPath[] = u"C:\\Users\\someone\\Projects\\R&D <\"draft\"> it's\\Case Sensitive";

// The apartment for the platform's XML document, and the seven texts loaded.
class LoadedTexts {
public:
    LoadedTexts() {
        RoInitialize(RO_INIT_MULTITHREADED);
        EnsureWarningStringsLoaded();
    }
    ~LoadedTexts() { RoUninitialize(); }
};

void ComposeWithSerializer(benchmark::State& state) {
    LoadedTexts texts;
    for (auto _ : state) benchmark::DoNotOptimize(ComposeWarningToast(kPath, TEXT("true")));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ComposeWithSerializer)->Unit(benchmark::kMicrosecond);

// The fallback: the class refuses activation, so both texts go through the table.
void ComposeWithTable(benchmark::State& state) {
    LoadedTexts texts;
    XmlDocumentUnavailable unavailable;
    for (auto _ : state) benchmark::DoNotOptimize(ComposeWarningToast(kPath, TEXT("true")));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ComposeWithTable)->Unit(benchmark::kMicrosecond);

// Keeps the last text it was handed, so nothing is delivered anywhere.
struct KeepingToaster {
    HRESULT DeliverToast(const WCHAR* xml) {
        kept = xml;
        return S_OK;
    }
    CWideString kept;
};
struct NoIsolation {};

void HandleDisplayActivation(benchmark::State& state) {
    LoadedTexts texts;
    const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{TEXT("Path"), kPath}, {TEXT("ShowAgainChoice"), TEXT("true")}};
    auto toaster = std::make_shared<KeepingToaster>();
    RivaVavirezarToast<KeepingToaster, NoIsolation> handler(toaster, std::make_shared<NoIsolation>());
    for (auto _ : state) {
        handler.HandleActivation(TEXT("RivaVavirezar.display"), inputs, 2);
        benchmark::DoNotOptimize(toaster->kept.GetString());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(HandleDisplayActivation)->Unit(benchmark::kMicrosecond);

}  // namespace
