// Registry subtree dump for the interpreter tests.
#include "tests/registrar/registry_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/unique_any.h"

namespace {

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::string Hex(const BYTE* data, DWORD size) {
    std::string out;
    char digits[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        out += (i ? "," : "") + std::string(digits);
    }
    return out;
}

void Dump(HKEY key, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    std::vector<std::string> values;
    for (DWORD index = 0;; ++index) {
        WCHAR name[16384];
        DWORD nameLength = 16384, type = 0, size = 65536;
        std::vector<BYTE> data(size);
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        std::string line = nameLength ? Narrow(std::u16string_view(name, nameLength)) : "@";
        if (type == REG_SZ) {
            std::u16string_view text(reinterpret_cast<const char16_t*>(data.data()), size / 2);
            while (!text.empty() && text.back() == 0) text.remove_suffix(1);
            line += "=S:" + Narrow(text);
        } else {
            line += "=" + std::to_string(type) + ":" + Hex(data.data(), size);
        }
        values.push_back(line);
    }
    std::sort(values.begin(), values.end());
    for (const std::string& line : values) out += line + "\n";

    std::vector<std::u16string> subKeys;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.emplace_back(name, nameLength);
    }
    std::sort(subKeys.begin(), subKeys.end());
    for (const std::u16string& name : subKeys) {
        unique_hkey child;
        ASSERT_EQ(RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, child.put()), ERROR_SUCCESS);
        Dump(child.get(), path + "\\" + Narrow(name), out);
    }
}

}  // namespace

std::string RegistryTree(HKEY root, const char16_t* path) {
    unique_hkey key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "(none)";
    std::string out;
    Dump(key.get(), Narrow(path), out);
    return out;
}

void CreateKeyPath(HKEY root, const char16_t* path) {
    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
}
