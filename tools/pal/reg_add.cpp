// "pal reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]":
// creates the key, and sets the value from DATA read as reg.exe reads it.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/unique_any.h"
#include "tools/pal/reg_parts.h"

namespace pal::tool::reg {
namespace {

struct TypeEntry {
    const char* name;
    DWORD type;
};

const TypeEntry kTypes[] = {{"REG_SZ", REG_SZ},         {"REG_EXPAND_SZ", REG_EXPAND_SZ}, {"REG_MULTI_SZ", REG_MULTI_SZ},
                            {"REG_DWORD", REG_DWORD},   {"REG_QWORD", REG_QWORD},         {"REG_BINARY", REG_BINARY},
                            {"REG_NONE", REG_NONE}};

template <class T> std::vector<BYTE> RawBytes(const T* units, size_t count) {
    const BYTE* first = reinterpret_cast<const BYTE*>(units);
    return std::vector<BYTE>(first, first + count * sizeof(T));
}

// Decimal or 0x-prefixed hexadecimal, fitting in limit.
std::optional<uint64_t> Number(const std::string& text, uint64_t limit) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || *end != 0 || end == text.c_str() + (hex ? 2 : 0) || number > limit) return std::nullopt;
    return number;
}

std::optional<std::vector<BYTE>> Encode(DWORD type, const std::string& data, const std::string& separator) {
    switch (type) {
        case REG_DWORD: {
            const std::optional<uint64_t> number = Number(data, 0xFFFFFFFFull);
            if (!number) return std::nullopt;
            const uint32_t dword = static_cast<uint32_t>(*number);
            return RawBytes(&dword, 1);
        }
        case REG_QWORD: {
            const std::optional<uint64_t> number = Number(data, UINT64_MAX);
            if (!number) return std::nullopt;
            return RawBytes(&*number, 1);
        }
        case REG_BINARY: {
            if (data.size() % 2 != 0) return std::nullopt;
            std::vector<BYTE> bytes;
            for (size_t i = 0; i < data.size(); i += 2) {
                const std::string pair = data.substr(i, 2);
                if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !std::isxdigit(static_cast<unsigned char>(pair[1])))
                    return std::nullopt;
                bytes.push_back(static_cast<BYTE>(std::strtoul(pair.c_str(), nullptr, 16)));
            }
            return bytes;
        }
        case REG_MULTI_SZ: {
            std::u16string list;
            for (size_t start = 0; start < data.size();) {
                const size_t end = std::min(data.find(separator, start), data.size());
                if (end == start) return std::nullopt;  // reg.exe refuses empty strings inside a list
                list += Utf16(data.substr(start, end - start)) + u'\0';
                start = end == data.size() ? end : end + separator.size();
            }
            list += u'\0';
            return RawBytes(list.data(), list.size());
        }
        default: {
            const std::u16string text = Utf16(data);
            return RawBytes(text.c_str(), text.size() + 1);
        }
    }
}

}  // namespace

int Add(const KeyName& name, const Arguments& arguments) {
    const std::optional<Switches> switches = ParseSwitches(arguments, 2, {"v", "t", "s", "d"}, {"ve", "f"});
    if (!switches || (switches->Has("v") && switches->Has("ve")) || name.path.empty()) return InvalidSyntax("ADD");
    DWORD type = REG_SZ;
    if (const std::string* typeName = switches->Value("t")) {
        const TypeEntry* found = nullptr;
        for (const TypeEntry& entry : kTypes) {
            if (lstrcmpiW(Utf16(*typeName).c_str(), Utf16(entry.name).c_str()) == 0) found = &entry;
        }
        if (found == nullptr) return Fail("ERROR: Invalid syntax. Type \"REG ADD /?\" for usage.");
        type = found->type;
    }
    const std::string* separator = switches->Value("s");
    if (separator != nullptr && (type != REG_MULTI_SZ || separator->size() != 1)) return InvalidSyntax("ADD");
    const std::optional<std::vector<BYTE>> data =
        Encode(type, switches->Value("d") ? *switches->Value("d") : std::string(), separator ? *separator : "\\0");
    if (!data) return InvalidSyntax("ADD");

    unique_hkey key;
    LSTATUS status = RegCreateKeyExW(name.root, name.path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return FailWithCode(status);
    if (!switches->Has("v") && !switches->Has("ve")) return Succeeded();

    const std::u16string valueName = switches->Has("v") ? Utf16(*switches->Value("v")) : u"";
    const bool exists = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (exists && !switches->Has("f") &&
        !Confirm("Value " + (valueName.empty() ? std::string("(Default)") : Utf8(valueName)) + " exists, overwrite(Yes/No)? ")) {
        std::printf("The operation was cancelled by the user.\n");
        return 0;
    }
    status = RegSetValueExW(key.get(), valueName.c_str(), 0, type, data->data(), static_cast<DWORD>(data->size()));
    return status == ERROR_SUCCESS ? Succeeded() : FailWithCode(status);
}

}  // namespace pal::tool::reg
