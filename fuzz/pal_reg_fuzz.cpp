// Fuzz target of pal's reg verb: argument parsing in reg.exe's syntax (key
// paths, switches, /d data of every type, REG_MULTI_SZ separators) and the
// calls it makes, against the registry kept in this process's memory. The
// input is a series of commands, one a line, their arguments separated by NUL.
// Invariants: the exit status is 0 or 1, and a value that "reg add" reports
// written is found by "reg query".
#include <windows.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/scratch_prefix.h"
#include "fuzz/sqlite_allocator.h"
#include "platform/posix/testing/registry_testing.h"
#include "tools/pal/reg.h"

namespace {

[[noreturn]] void Broken(const char* what, const pal::tool::Arguments& arguments) {
    std::fprintf(stderr, "invariant broken: %s; arguments:", what);
    for (const std::string& argument : arguments) std::fprintf(stderr, " [%s]", argument.c_str());
    std::fprintf(stderr, "\n");
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

// The value name an add command named with /v, when it did.
const std::string* AddedValueName(const pal::tool::Arguments& arguments) {
    if (arguments.size() < 2 || !IsWord(arguments[0], "add")) return nullptr;
    for (size_t i = 2; i + 1 < arguments.size(); ++i) {
        if (IsWord(arguments[i], "/v") || IsWord(arguments[i], "-v")) return &arguments[i + 1];
    }
    return nullptr;
}

void RunCommand(const pal::tool::Arguments& arguments) {
    const int status = pal::tool::RunReg(arguments);
    if (status != 0 && status != 1) Broken("an exit status other than 0 or 1", arguments);
    if (status != 0) return;
    if (const std::string* value = AddedValueName(arguments)) {
        const pal::tool::Arguments query{"query", arguments[1], "/v", *value};
        if (pal::tool::RunReg(query) != 0) Broken("an added value is not found", arguments);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseScratchPrefix();
    if (std::freopen("/dev/null", "r", stdin) == nullptr) std::abort();  // "reg delete" without /f asks
    fuzz::UsePlainAllocatorForSqlite();
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
