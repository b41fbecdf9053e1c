// Fuzz target of self-registration: arbitrary text goes through the script
// expansion and, when that succeeds, through both passes of the interpreter,
// against a scratch registry that this process alone uses.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "registrar/per_user_registration.h"
#include "registrar/reg_object.h"
#include "registrar/reg_script_parser.h"
#include "registrar/script_expansion.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A fresh registry in memory-backed storage when there is one: the fuzzer writes a lot.
    const char* base = std::getenv("QUILL_FUZZ_DIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/quill-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    setenv("PAL_PREFIX", pattern.c_str(), 1);
    return 0;
}

// First byte: bit 0 selects per-user redirection. The rest: one unit per byte,
// which keeps the script's ASCII grammar within easy reach of mutations.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    PerUserRegistration = (data[0] & 1) != 0;
    std::u16string text(data + 1, data + size);

    CRegObject registrar;
    if (FAILED(registrar.Initialize())) std::abort();
    registrar.AddScriptReplacement(u"APPID", u"");
    registrar.AddScriptReplacement(u"Module", u"\"/opt/quill/it''s 100% {x}/QuillNotification\"");
    registrar.AddScriptReplacement(u"Module_Raw", u"/opt/quill/it''s 100% {x}/QuillNotification");

    unique_cotaskmem expanded;
    if (FAILED(ExpandScript(text.c_str(), registrar, expanded))) return 0;
    const auto* script = static_cast<LPCWSTR>(expanded.get());
    CRegScriptParser().RunScript(script, true);
    CRegScriptParser().RunScript(script, false);
    return 0;
}
