// "pal reg query KEY [/v NAME | /ve] [/s]": reg.exe's listing of a key's
// values (four-space indents and separators) and its subkeys, or of one value.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/unique_any.h"
#include "tools/pal/reg_parts.h"
#include "tools/pal/reg_support.h"

namespace pal::tool::reg {
namespace {

std::string TypeName(DWORD type) {
    static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                         "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD"};
    if (type < sizeof(kNames) / sizeof(kNames[0])) return kNames[type];
    char text[16];
    std::snprintf(text, sizeof(text), "0x%" PRIx32, type);
    return text;
}

// reg.exe shows numbers as 0x and lowercase hex digits without padding.
template <class T> std::string HexNumber(const std::vector<BYTE>& data) {
    T number;
    std::memcpy(&number, data.data(), sizeof(T));
    char text[24];
    std::snprintf(text, sizeof(text), "0x%" PRIx64, static_cast<uint64_t>(number));
    return text;
}

std::string DataText(const Value& value) {
    char number[24];
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return Utf8(TextOf(value.data));
        case REG_DWORD:
            if (value.data.size() == sizeof(uint32_t)) return HexNumber<uint32_t>(value.data);
            break;
        case REG_QWORD:
            if (value.data.size() == sizeof(uint64_t)) return HexNumber<uint64_t>(value.data);
            break;
        case REG_MULTI_SZ: {
            std::u16string joined;
            std::u16string all(value.data.size() / 2, u'\0');
            std::memcpy(all.data(), value.data.data(), all.size() * 2);
            for (size_t start = 0; start < all.size() && all[start] != 0;) {
                const size_t end = std::min(all.find(u'\0', start), all.size());
                if (!joined.empty()) joined += u"\\0";
                joined += all.substr(start, end - start);
                start = end + 1;
            }
            return Utf8(joined);
        }
    }
    std::string hex;
    for (BYTE byte : value.data) {
        std::snprintf(number, sizeof(number), "%02X", byte);
        hex += number;
    }
    return hex;
}

void PrintValue(const Value& value) {
    const std::string name = value.name.empty() ? "(Default)" : Utf8(value.name);
    std::printf("    %s    %s    %s\n", name.c_str(), TypeName(value.type).c_str(), DataText(value).c_str());
}

LSTATUS PrintTree(HKEY key, const std::u16string& fullName) {
    std::vector<Value> values;
    std::vector<std::u16string> subkeys;
    if (LSTATUS status = ReadValues(key, values); status != ERROR_SUCCESS) return status;
    if (LSTATUS status = ReadSubkeys(key, subkeys); status != ERROR_SUCCESS) return status;
    std::printf("%s\n", Utf8(fullName).c_str());
    for (const Value& value : values) PrintValue(value);
    std::printf("\n");
    for (const std::u16string& subkey : subkeys) {
        unique_hkey child;
        if (LSTATUS status = RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ, child.put()); status != ERROR_SUCCESS) return status;
        if (LSTATUS status = PrintTree(child.get(), fullName + u"\\" + subkey); status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

}  // namespace

int Query(const KeyName& name, const Arguments& arguments) {
    const std::optional<Switches> switches = ParseSwitches(arguments, 2, {"v"}, {"ve", "s"});
    if (!switches || (switches->Has("v") && switches->Has("ve"))) return InvalidSyntax("QUERY");
    unique_hkey key;
    if (LSTATUS status = RegOpenKeyExW(name.root, name.path.c_str(), 0, KEY_READ, key.put()); status != ERROR_SUCCESS)
        return FailWithCode(status);

    if (switches->Has("v") || switches->Has("ve")) {
        // Listed under its stored name, whatever case it was asked for in.
        const std::u16string valueName = switches->Has("v") ? Utf16(*switches->Value("v")) : u"";
        std::vector<Value> values;
        if (LSTATUS status = ReadValues(key.get(), values); status != ERROR_SUCCESS) return FailWithCode(status);
        const auto found = std::find_if(values.begin(), values.end(), [&](const Value& value) {
            return lstrcmpiW(value.name.c_str(), valueName.c_str()) == 0;
        });
        if (found == values.end() && !valueName.empty()) return FailWithCode(ERROR_FILE_NOT_FOUND);
        std::printf("\n%s\n", Utf8(name.Full()).c_str());
        if (found != values.end()) {
            PrintValue(*found);
        } else {
            std::printf("    (Default)    REG_SZ    (value not set)\n");
        }
        std::printf("\n");
        return 0;
    }
    if (switches->Has("s")) {
        std::printf("\n");
        const LSTATUS status = PrintTree(key.get(), name.Full());
        return status == ERROR_SUCCESS ? 0 : FailWithCode(status);
    }
    std::vector<Value> values;
    std::vector<std::u16string> subkeys;
    if (LSTATUS status = ReadValues(key.get(), values); status != ERROR_SUCCESS) return FailWithCode(status);
    if (LSTATUS status = ReadSubkeys(key.get(), subkeys); status != ERROR_SUCCESS) return FailWithCode(status);
    std::printf("\n%s\n", Utf8(name.Full()).c_str());
    for (const Value& value : values) PrintValue(value);
    if (!values.empty()) std::printf("\n");
    for (const std::u16string& subkey : subkeys) std::printf("%s\\%s\n", Utf8(name.Full()).c_str(), Utf8(subkey).c_str());
    return 0;
}

}  // namespace pal::tool::reg
