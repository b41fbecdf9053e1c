// AddressSanitizer's defaults for every fuzz target: a small quarantine keeps
// memory flat over a long campaign (the 512 MB limit), and short allocation
// stacks and no fill of new blocks keep the inputs per second up.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=2:max_malloc_fill_size=0:quarantine_size_mb=16";
}
