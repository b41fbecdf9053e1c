// Fuzz target of self-registration: arbitrary text goes through the script
// expansion, machine-wide and per user, and each expansion through both passes
// of the interpreter, against the registry kept in this process's memory.
// Every input starts from the same registry. Invariant: when the register pass
// succeeds on a script that neither keeps (NoRemove) nor deletes (ForceRemove,
// Delete) nor reaches the classes two ways, the unregister pass succeeds and
// leaves the registry as it was, but for default values set on the keys that
// were there before.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/unique_any.h"
#include "fuzz/scratch_prefix.h"
#include "platform/posix/testing/registry_testing.h"
#include "registrar/per_user_registration.h"
#include "registrar/reg_object.h"
#include "registrar/reg_script_parser.h"
#include "registrar/script_expansion.h"

namespace {

// The contents of the registry every input starts from, as RegistryContents reads them.
std::string baselineContents;

// Keys the scripts never name, so that Software and Classes are never empty and
// an unregister pass never removes them.
void MakeBaseline() {
    if (pal::testing::ClearRegistry() != ERROR_SUCCESS) std::abort();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        unique_hkey key;
        if (RegCreateKeyExW(root, u"Software\\Classes\\QuillFuzzBaseline", 0, nullptr, 0, KEY_WRITE, nullptr,
                            key.put(), nullptr) != ERROR_SUCCESS)
            std::abort();
    }
    if (pal::testing::MarkRegistry() != ERROR_SUCCESS) std::abort();
    baselineContents = pal::testing::RegistryContents();
}

bool ContainsWordIgnoringCase(std::u16string_view text, std::u16string_view word) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (size_t start = 0; start + word.size() <= text.size(); ++start) {
        size_t i = 0;
        while (i < word.size() && lower(text[start + i]) == lower(word[i])) ++i;
        if (i == word.size()) return true;
    }
    return false;
}

// The classes view merges HKCU\Software\Classes over HKLM\Software\Classes. A
// script that reaches a key both through the view and through a hive's
// Software\Classes (say "HKCR { A }" beside "HKCU { Software { Classes { A } } }")
// can have its unregister pass delete, through the view, the user's copy where
// the register pass made the machine's, as on Windows.
bool ReachesClassesTwoWays(std::u16string_view script) {
    return ContainsWordIgnoringCase(script, u"classes") &&
           (ContainsWordIgnoringCase(script, u"hkcr") || ContainsWordIgnoringCase(script, u"hkey_classes_root"));
}

bool UndoableByUnregistering(std::u16string_view script) {
    return !ContainsWordIgnoringCase(script, u"noremove") && !ContainsWordIgnoringCase(script, u"forceremove") &&
           !ContainsWordIgnoringCase(script, u"delete") && !ReachesClassesTwoWays(script);
}

// The contents without default values: an entry "Key = s text" on a key that
// was there before (Software, Classes) sets its default value, and the
// unregister pass rightly keeps a key with subkeys together with its values.
std::string WithoutDefaultValues(const std::string& contents) {
    std::string kept;
    for (size_t start = 0; start < contents.size();) {
        const size_t end = contents.find('\n', start) + 1;
        const std::string_view line(contents.data() + start, end - start);
        const size_t afterKey = line.find(' ', 2);
        const bool defaultValue = line.starts_with("v ") && afterKey + 1 < line.size() && line[afterKey + 1] == ' ';
        if (!defaultValue) kept += line;
        start = end;
    }
    return kept;
}

[[noreturn]] void Broken(const char* what, HRESULT result) {
    std::fprintf(stderr, "invariant broken: %s (0x%08X)\n", what, static_cast<unsigned>(result));
    std::abort();
}

void RunBothPasses(const std::u16string& text, bool perUser) {
    PerUserRegistration = perUser;
    CRegObject registrar;
    if (FAILED(registrar.Initialize())) std::abort();
    registrar.AddScriptReplacement(u"APPID", u"");
    registrar.AddScriptReplacement(u"Module", u"\"/opt/quill/it''s 100% {x}/QuillNotification\"");
    registrar.AddScriptReplacement(u"Module_Raw", u"/opt/quill/it''s 100% {x}/QuillNotification");

    unique_cotaskmem expanded;
    if (FAILED(ExpandScript(text.c_str(), registrar, expanded))) return;
    const auto* script = static_cast<LPCWSTR>(expanded.get());

    const HRESULT registered = CRegScriptParser().RunScript(script, true);
    const HRESULT unregistered = CRegScriptParser().RunScript(script, false);
    if (SUCCEEDED(registered) && UndoableByUnregistering(script)) {
        if (FAILED(unregistered)) Broken("the unregister pass refused what the register pass took", unregistered);
        if (WithoutDefaultValues(pal::testing::RegistryContents()) != baselineContents)
            Broken("the unregister pass left keys or values behind", S_OK);
    }
    if (pal::testing::ReturnRegistryToMark() != ERROR_SUCCESS) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseScratchPrefix();
    pal::testing::KeepRegistryInMemory(true);
    MakeBaseline();
    return 0;
}

// One unit per byte, which keeps the script's ASCII grammar within easy reach of
// mutations; the input is the script whole, so real scripts seed the corpus as they are.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text(data, data + size);
    RunBothPasses(text, false);
    // Redirection changes only "HKCR": without it both expansions are the same.
    if (text.find(u"HKCR") != std::u16string::npos) RunBothPasses(text, true);
    return 0;
}
