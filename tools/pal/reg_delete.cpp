// "pal reg delete KEY [/v NAME | /ve | /va] [/f]": removes one value, all
// values, or the key with everything below it, asking first unless /f.
#include <cstdio>

#include "common/unique_any.h"
#include "tools/pal/reg_parts.h"

namespace pal::tool::reg {
namespace {

// Depth first: the registry removes only keys without subkeys.
LSTATUS DeleteTree(HKEY parent, const std::u16string& path) {
    unique_hkey key;
    if (LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, key.put()); status != ERROR_SUCCESS)
        return status;
    std::vector<std::u16string> subkeys;
    if (LSTATUS status = ReadSubkeys(key.get(), subkeys); status != ERROR_SUCCESS) return status;
    for (const std::u16string& subkey : subkeys) {
        if (LSTATUS status = DeleteTree(key.get(), subkey); status != ERROR_SUCCESS) return status;
    }
    return RegDeleteKeyExW(parent, path.c_str(), 0, 0);
}

}  // namespace

int Delete(const KeyName& name, const Arguments& arguments) {
    const std::optional<Switches> switches = ParseSwitches(arguments, 2, {"v"}, {"ve", "va", "f"});
    if (!switches || (switches->Has("v") + switches->Has("ve") + switches->Has("va")) > 1) return InvalidSyntax("DELETE");
    if (name.path.empty()) return Fail("ERROR: Invalid key name.");
    unique_hkey key;
    if (LSTATUS status = RegOpenKeyExW(name.root, name.path.c_str(), 0, KEY_READ | KEY_WRITE, key.put()); status != ERROR_SUCCESS)
        return FailWithCode(status);
    const bool force = switches->Has("f");
    auto cancelled = [] {
        std::printf("The operation was cancelled by the user.\n");
        return 0;
    };

    if (switches->Has("va")) {
        if (!force && !Confirm("Delete all values under the registry key " + Utf8(name.Full()) + " (Yes/No)? ")) return cancelled();
        std::vector<Value> values;
        if (LSTATUS status = ReadValues(key.get(), values); status != ERROR_SUCCESS) return FailWithCode(status);
        for (const Value& value : values) {
            if (LSTATUS status = RegDeleteValueW(key.get(), value.name.c_str()); status != ERROR_SUCCESS) return FailWithCode(status);
        }
        return Succeeded();
    }
    if (switches->Has("v") || switches->Has("ve")) {
        const std::u16string valueName = switches->Has("v") ? Utf16(*switches->Value("v")) : u"";
        if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND)
            return FailWithCode(ERROR_FILE_NOT_FOUND);
        const std::string shown = valueName.empty() ? "(Default)" : Utf8(valueName);
        if (!force && !Confirm("Delete the registry value " + shown + " (Yes/No)? ")) return cancelled();
        const LSTATUS status = RegDeleteValueW(key.get(), valueName.c_str());
        return status == ERROR_SUCCESS ? Succeeded() : FailWithCode(status);
    }
    key.reset();
    if (!force && !Confirm("Permanently delete the registry key " + Utf8(name.Full()) + " (Yes/No)? ")) return cancelled();
    const LSTATUS status = DeleteTree(name.root, name.path);
    return status == ERROR_SUCCESS ? Succeeded() : FailWithCode(status);
}

}  // namespace pal::tool::reg
