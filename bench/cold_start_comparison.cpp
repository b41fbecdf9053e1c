// Compares the cold activation of two or more builds of the server. Each round
// starts every build once (the class's LocalServer32 pointed at it), in an
// order shuffled each round, so that the machine's drift over the minutes and
// the speed of starting the same program again fall on every build alike; the
// differences are taken start by start against the first build's start of the
// same round. How a program's pages came into the page cache changes how fast
// it starts (here by up to 0.2 ms: a file as the linker wrote it, a copy, a
// file read through and one faulted in by its runs each differ), so every
// build's file is first dropped from the cache and read through, alike. A
// whole benchmark run compared with another tells apart only differences of
// about 5% here; this tells tens of microseconds.
//
//   build/bin/cold_start_comparison [--starts N] SERVER SERVER [SERVER...]
#include <notification_platform.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/local_activator.h"
#include "bench/server_prefix.h"
#include "common/unique_any.h"
#include "platform/posix/core/utf.h"
#include "tests/e2e/server_process.h"

namespace {

using namespace std::chrono_literals;

// Drops the file's cached pages and reads it through, so that every build compared starts from pages cached alike.
bool CacheAlike(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    fsync(file);  // only clean pages can be dropped
    posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED);
    std::vector<char> buffer(1 << 20);
    while (read(file, buffer.data(), buffer.size()) > 0) {
    }
    close(file);
    return true;
}

bool UseServer(const std::string& path) {
    unique_hkey key;
    const std::u16string name = std::u16string(u"Software\\Classes\\CLSID\\") + e2e::kActivatorClsid + u"\\LocalServer32";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    const std::u16string command = u"\"" + pal::FromUtf8(path) + u"\"";
    return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>((command.size() + 1) * sizeof(char16_t))) == ERROR_SUCCESS;
}

// Microseconds from CoCreateInstance, with no server running, to the toast stored; negative on failure.
double ColdActivation(const std::string& server) {
    const auto start = std::chrono::steady_clock::now();
    auto callback = CreateLocalActivator(e2e::kActivator);
    if (!callback || ShowWarning(callback.get()) != S_OK) return -1;
    const auto stored = std::chrono::steady_clock::now();
    callback.reset();
    if (!e2e::ServersEndWithin(2s, server)) return -1;
    return std::chrono::duration<double, std::micro>(stored - start).count();
}

// The value a quarter (1), half (2) or three quarters (3) of the way up.
double Quartile(std::vector<double> values, int which) {
    std::sort(values.begin(), values.end());
    return values[values.size() * static_cast<size_t>(which) / 4];
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 200;
    std::vector<std::string> servers;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--starts") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            servers.emplace_back(argv[i]);
        }
    }
    if (servers.size() < 2) {
        std::fprintf(stderr, "usage: cold_start_comparison [--starts N] SERVER SERVER [SERVER...]\n");
        return 2;
    }
    for (const std::string& server : servers) {
        if (!CacheAlike(server)) {
            std::fprintf(stderr, "cold_start_comparison: cannot read %s\n", server.c_str());
            return 1;
        }
    }
    const ServerPrefix prefix;
    const ClientApartment apartment;
    if (!prefix.Registered()) {
        std::fprintf(stderr, "cold_start_comparison: the server could not be registered\n");
        return 1;
    }
    std::vector<std::vector<double>> times(servers.size());
    std::vector<size_t> order(servers.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::mt19937 shuffler(1);
    for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), shuffler);
        for (const size_t which : order) {
            const double time = UseServer(servers[which]) ? ColdActivation(servers[which]) : -1;
            if (time < 0) {
                std::fprintf(stderr, "cold_start_comparison: %s failed to start or to store the toast\n",
                             servers[which].c_str());
                return 1;
            }
            times[which].push_back(time);
        }
    }
    for (size_t which = 0; which < servers.size(); ++which) {
        std::vector<double> differences;
        for (int round = 0; round < rounds; ++round) differences.push_back(times[which][round] - times[0][round]);
        std::printf("%-40s median %6.0f µs, against the first %+5.0f µs (quartiles %+5.0f, %+5.0f)\n",
                    servers[which].c_str(), Quartile(times[which], 2), Quartile(differences, 2), Quartile(differences, 1),
                    Quartile(differences, 3));
    }
    return 0;
}
