// The registry's cost per call: a value write (one durable transaction) and a
// value read, against a fresh database in a temporary prefix.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TemporaryRegistry {
public:
    TemporaryRegistry() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pal-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        prefix_ = pattern;
        setenv("PAL_PREFIX", prefix_.c_str(), 1);
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~TemporaryRegistry() {
        RegCloseKey(key_);
        std::error_code ignored;
        std::filesystem::remove_all(prefix_, ignored);
    }
    HKEY Key() const { return key_; }

private:
    std::filesystem::path prefix_;
    HKEY key_ = nullptr;
};

void ValueWrite(benchmark::State& state) {
    TemporaryRegistry registry;
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        if (RegSetValueExW(registry.Key(), u"Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) !=
            ERROR_SUCCESS)
            state.SkipWithError("RegSetValueExW failed");
    }
}
BENCHMARK(ValueWrite)->UseRealTime();

void ValueRead(benchmark::State& state) {
    TemporaryRegistry registry;
    const DWORD stored = 42;
    RegSetValueExW(registry.Key(), u"Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof(stored));
    for (auto _ : state) {
        DWORD value = 0, size = sizeof(value);
        if (RegQueryValueExW(registry.Key(), u"Counter", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
            state.SkipWithError("RegQueryValueExW failed");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(ValueRead)->UseRealTime();

}  // namespace
