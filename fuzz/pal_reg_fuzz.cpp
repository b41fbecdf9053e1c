// Fuzz target of pal's reg verb: argument parsing in reg.exe's syntax (key
// paths, switches, /d data of every type, REG_MULTI_SZ separators) and the
// calls it makes, against the registry kept in this process's memory. The
// input is a series of commands, one a line, their arguments separated by NUL.
// Invariants: the exit status is 0 or 1, and a value that "reg add" reports
// written is found by "reg query". The messages of pal go to the closed
// standard streams (-close_fd_mask=3); a broken invariant is told on the
// sanitizer's report stream.
#include <windows.h>

#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/scratch_prefix.h"
#include "platform/posix/testing/registry_testing.h"
#include "tools/pal/reg.h"

namespace {

[[noreturn]] void Broken(const char* what, const pal::tool::Arguments& arguments) {
    std::string line = std::string("invariant broken: ") + what + "; arguments:";
    for (const std::string& argument : arguments) line += " [" + argument + "]";
    __sanitizer_report_error_summary(line.c_str());
    std::abort();
}

pal::tool::Arguments Split(std::string_view line) {
    pal::tool::Arguments arguments;
    for (size_t start = 0;;) {
        const size_t end = line.find('\0', start);
        arguments.emplace_back(line.substr(start, end == std::string_view::npos ? line.size() - start : end - start));
        if (end == std::string_view::npos) return arguments;
        start = end + 1;
    }
}

bool IsWord(const std::string& text, const char* word) { return strcasecmp(text.c_str(), word) == 0; }

// How "reg query" names the value an add command wrote: /v NAME or /ve; empty
// when the command named none. Valued switches are stepped over with their
// values, so data that reads like a switch is taken as data.
pal::tool::Arguments AddedValue(const pal::tool::Arguments& arguments) {
    if (arguments.size() < 2 || !IsWord(arguments[0], "add")) return {};
    for (size_t i = 2; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name.size() >= 2 && name[0] == '-') name[0] = '/';
        if (IsWord(name, "/ve")) return {"/ve"};
        if (IsWord(name, "/v") && i + 1 < arguments.size()) return {"/v", arguments[i + 1]};
        if (IsWord(name, "/d") || IsWord(name, "/t") || IsWord(name, "/s")) ++i;
    }
    return {};
}

void RunCommand(const pal::tool::Arguments& arguments) {
    const int status = pal::tool::RunReg(arguments);
    if (status != 0 && status != 1) Broken("an exit status other than 0 or 1", arguments);
    if (status != 0) return;
    const pal::tool::Arguments value = AddedValue(arguments);
    if (value.empty()) return;
    pal::tool::Arguments query{"query", arguments[1]};
    query.insert(query.end(), value.begin(), value.end());
    if (pal::tool::RunReg(query) != 0) Broken("an added value is not found", arguments);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseScratchPrefix();
    if (std::freopen("/dev/null", "r", stdin) == nullptr) std::abort();  // "reg delete" without /f asks
    pal::testing::KeepRegistryInMemory(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (pal::testing::ClearRegistry() != ERROR_SUCCESS) std::abort();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start < input.size();) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        RunCommand(Split(input.substr(start, end - start)));
        start = end + 1;
    }
    return 0;
}
