// "pal reg export [KEY]": the key and everything below it (or the whole
// registry, machine then user) as REGEDIT5 text on standard output, in UTF-8
// with LF line ends. Hex data wraps as reg.exe wraps it: a line ends after a
// comma with "\" once it reaches 77 columns; continuation lines start with two spaces.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/unique_any.h"
#include "tools/pal/reg_parts.h"

namespace pal::tool::reg {
namespace {

constexpr size_t kWrapColumn = 77;

std::string Quoted(const std::u16string& text) {
    std::string quoted = "\"";
    for (char c : Utf8(text)) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string HexData(const std::string& start, const std::vector<BYTE>& data) {
    std::string text = start;
    size_t column = start.size();
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        std::snprintf(byte, sizeof(byte), last ? "%02x" : "%02x,", data[i]);
        text += byte;
        column += std::strlen(byte);
        if (!last && column >= kWrapColumn) {
            text += "\\\n  ";
            column = 2;
        }
    }
    return text;
}

std::string ValueLine(const Value& value) {
    const std::string name = value.name.empty() ? "@" : Quoted(value.name);
    if (value.type == REG_SZ) return name + "=" + Quoted(TextOf(value.data));
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t dword;
        std::memcpy(&dword, value.data.data(), 4);
        char text[16];
        std::snprintf(text, sizeof(text), "dword:%08" PRIx32, dword);
        return name + "=" + text;
    }
    char prefix[24];
    if (value.type == REG_BINARY) {
        std::snprintf(prefix, sizeof(prefix), "=hex:");
    } else {
        std::snprintf(prefix, sizeof(prefix), "=hex(%" PRIx32 "):", value.type);
    }
    return HexData(name + prefix, value.data);
}

LSTATUS ExportTree(HKEY key, const std::u16string& fullName, std::string& out) {
    std::vector<Value> values;
    std::vector<std::u16string> subkeys;
    if (LSTATUS status = ReadValues(key, values); status != ERROR_SUCCESS) return status;
    if (LSTATUS status = ReadSubkeys(key, subkeys); status != ERROR_SUCCESS) return status;
    out += "[" + Utf8(fullName) + "]\n";
    for (const Value& value : values) {
        if (value.name.empty()) out += ValueLine(value) + "\n";
    }
    for (const Value& value : values) {
        if (!value.name.empty()) out += ValueLine(value) + "\n";
    }
    out += "\n";
    for (const std::u16string& subkey : subkeys) {
        unique_hkey child;
        if (LSTATUS status = RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ, child.put()); status != ERROR_SUCCESS) return status;
        if (LSTATUS status = ExportTree(child.get(), fullName + u"\\" + subkey, out); status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

}  // namespace

int Export(const std::optional<KeyName>& name) {
    std::vector<KeyName> roots;
    if (name) {
        roots.push_back(*name);
    } else {
        roots.push_back(*ParseKeyName("HKEY_LOCAL_MACHINE"));
        roots.push_back(*ParseKeyName("HKEY_CURRENT_USER"));
    }
    // Built whole before writing, so a failure leaves no partial export behind.
    std::string out = "Windows Registry Editor Version 5.00\n\n";
    for (const KeyName& root : roots) {
        unique_hkey key;
        LSTATUS status = RegOpenKeyExW(root.root, root.path.c_str(), 0, KEY_READ, key.put());
        if (status == ERROR_SUCCESS) status = ExportTree(key.get(), root.Full(), out);
        if (status != ERROR_SUCCESS) return FailWithCode(status);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : Fail("ERROR: The export could not be written.");
}

}  // namespace pal::tool::reg
