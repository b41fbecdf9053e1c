// The COM runtime's costs: a warm Activate round trip to a running local
// server, and a cold activation that starts the server and waits for it.
#include <benchmark/benchmark.h>
#include <notification_platform.h>

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/com_ptr.h"
#include "common/unique_any.h"
#include "tests/com/test_class.h"

namespace {

// A prefix of its own with the test server registered under HKCU.
class BenchPrefix {
public:
    BenchPrefix() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pal-bench-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        setenv("PAL_PREFIX", path_.c_str(), 1);
        WCHAR braced[39];
        StringFromGUID2(comtest::kTestClass, braced, 39);
        const std::u16string subKey = u"Software\\Classes\\CLSID\\" + std::u16string(braced) + u"\\LocalServer32";
        unique_hkey key;
        RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
        std::u16string commandLine = u"\"";
        for (const char c : std::string(QUILL_BINARY_DIR) + "/bin/com_test_server\"") commandLine += char16_t(c);
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine.c_str()),
                       static_cast<DWORD>((commandLine.size() + 1) * sizeof(WCHAR)));
    }
    ~BenchPrefix() {
        std::ifstream starts(path_ + "/starts");
        for (std::string pid; std::getline(starts, pid);) kill(std::stoi(pid), SIGKILL);
        std::filesystem::remove_all(path_);
        unsetenv("PAL_PREFIX");
    }

private:
    std::string path_;
};

com_ptr<abi::INotificationActivationCallback> Create() {
    com_ptr<abi::INotificationActivationCallback> callback;
    CoCreateInstance(comtest::kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put()));
    return callback;
}

void WarmActivateRoundTrip(benchmark::State& state) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        BenchPrefix prefix;
        const auto callback = Create();
        if (!callback) state.SkipWithError("activation failed");
        const abi::NOTIFICATION_USER_INPUT_DATA input{u"Path", u"C:\\Users\\someone\\folder"};
        for (auto _ : state) {
            // "quiet" keeps the server from recording the call: this times the transport, not the disk.
            benchmark::DoNotOptimize(callback->Activate(u"Corvane.Tessaline", u"quiet", &input, 1));
        }
    }
    CoUninitialize();
}
BENCHMARK(WarmActivateRoundTrip);

void ColdActivation(benchmark::State& state) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (auto _ : state) {
        state.PauseTiming();
        auto* prefix = new BenchPrefix;
        state.ResumeTiming();
        auto callback = Create();  // the server is not running until this returns
        if (!callback) state.SkipWithError("activation failed");
        benchmark::DoNotOptimize(callback->Activate(u"a", u"quiet", nullptr, 0));
        state.PauseTiming();
        callback.reset();
        delete prefix;
        state.ResumeTiming();
    }
    CoUninitialize();
}
BENCHMARK(ColdActivation)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
