// Fuzz target of the toast store's inbox: the input is taken as the inbox file
// (a crash, a disk that filled, a person's editing may leave anything there)
// and the store is listed, which folds it. Invariants: listing succeeds
// whatever the inbox holds; the fold empties the inbox, so listing again adds
// nothing; and every toast it stored is one of whole records the input holds
// (each listed XML appears in the input, as the code units' bytes).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/scratch_prefix.h"
#include "platform/posix/winrt/toast_store.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void WriteInbox(const uint8_t* data, size_t size) {
    const std::string path = std::string(std::getenv("PAL_PREFIX")) + "/toasts.inbox";
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0 || write(file, data, size) != static_cast<ssize_t>(size)) std::abort();
    close(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseScratchPrefix();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (pal::toast_store::Clear() != S_OK) Broken("the store could not be cleared");
    WriteInbox(data, size);
    std::vector<pal::toast_store::Toast> toasts;
    if (pal::toast_store::List(toasts) != S_OK) Broken("an inbox made the store unlistable");
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const auto& toast : toasts) {
        const std::string_view bytes(reinterpret_cast<const char*>(toast.xml.data()), toast.xml.size() * 2);
        if (input.find(bytes) == std::string_view::npos) Broken("a toast that no record of the inbox holds");
    }
    std::vector<pal::toast_store::Toast> again;
    if (pal::toast_store::List(again) != S_OK || again.size() != toasts.size()) Broken("an inbox folded twice");
    return 0;
}
