// What the reg subcommands share: key names as reg.exe takes them, switches,
// reading a key's values and subkeys, reg.exe's messages, and UTF-8 output.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/pal/verbs.h"

namespace pal::tool::reg {

struct KeyName {
    HKEY root = nullptr;
    std::u16string rootName;  // the long form, e.g. HKEY_CURRENT_USER
    std::u16string path;      // below the root, without outer backslashes
    std::u16string Full() const { return path.empty() ? rootName : rootName + u"\\" + path; }
};

// "HKCU\Software\X" and the long root names, in any case. Empty for remote or
// unknown roots.
std::optional<KeyName> ParseKeyName(const std::string& text);

// The switches after the key: valued ones ("/v NAME") and plain ones ("/f"),
// in any case and with "/" or "-". Empty when a switch is unknown or repeated.
struct Switches {
    std::vector<std::pair<std::string, std::string>> valued;
    std::vector<std::string> plain;
    const std::string* Value(const char* name) const;
    bool Has(const char* name) const;
};
std::optional<Switches> ParseSwitches(const Arguments& arguments, size_t first, const std::vector<const char*>& valued,
                                      const std::vector<const char*>& plain);

struct Value {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
LSTATUS ReadValues(HKEY key, std::vector<Value>& values);
LSTATUS ReadSubkeys(HKEY key, std::vector<std::u16string>& names);  // in case-insensitive order

std::string Utf8(const std::u16string& text);
std::u16string Utf16(const std::string& text);

// Text of a REG_SZ-like value up to its first NUL.
std::u16string TextOf(const std::vector<BYTE>& data);

// One line on stderr, exit status 1.
int Fail(const std::string& message);
int FailWithCode(LSTATUS status);  // reg.exe's wording for a failed registry call
int InvalidSyntax(const char* subcommand);
int Succeeded();  // "The operation completed successfully."

// Asks on standard output and reads the answer; true for yes.
bool Confirm(const std::string& question);

}  // namespace pal::tool::reg
