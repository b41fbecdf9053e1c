// Shared pieces of the reg subcommands.
#include "tools/pal/reg_support.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>

#include "common/unique_any.h"
#include "platform/posix/core/utf.h"

namespace pal::tool::reg {
namespace {

struct Root {
    const char* shortName;
    const char16_t* longName;
    HKEY key;
};

const Root kRoots[] = {
    {"HKLM", u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKCU", u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKCR", u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKU", u"HKEY_USERS", HKEY_USERS},
    {"HKCC", u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

bool SameSwitch(const std::string& argument, const char* name) {
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') &&
           lstrcmpiW(Utf16(argument.substr(1)).c_str(), Utf16(name).c_str()) == 0;
}

}  // namespace

std::string Utf8(const std::u16string& text) { return pal::ToUtf8(text); }
std::u16string Utf16(const std::string& text) { return pal::FromUtf8(text); }

std::optional<KeyName> ParseKeyName(const std::string& text) {
    std::u16string wide = Utf16(text);
    while (!wide.empty() && wide.back() == u'\\') wide.pop_back();
    const size_t slash = wide.find(u'\\');
    const std::u16string rootText = wide.substr(0, slash);
    for (const Root& root : kRoots) {
        if (lstrcmpiW(rootText.c_str(), Utf16(root.shortName).c_str()) != 0 && lstrcmpiW(rootText.c_str(), root.longName) != 0)
            continue;
        KeyName name{root.key, root.longName, slash == std::u16string::npos ? u"" : wide.substr(slash + 1)};
        return name;
    }
    return std::nullopt;
}

const std::string* Switches::Value(const char* name) const {
    for (const auto& [key, value] : valued) {
        if (key == name) return &value;
    }
    return nullptr;
}

bool Switches::Has(const char* name) const { return std::find(plain.begin(), plain.end(), name) != plain.end() || Value(name); }

std::optional<Switches> ParseSwitches(const Arguments& arguments, size_t first, const std::vector<const char*>& valued,
                                      const std::vector<const char*>& plain) {
    Switches switches;
    for (size_t i = first; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto matches = [&](const char* name) { return SameSwitch(argument, name); };
        if (auto found = std::find_if(valued.begin(), valued.end(), matches); found != valued.end()) {
            if (i + 1 >= arguments.size() || switches.Has(*found)) return std::nullopt;
            switches.valued.emplace_back(*found, arguments[++i]);
        } else if (auto flag = std::find_if(plain.begin(), plain.end(), matches); flag != plain.end()) {
            if (switches.Has(*flag)) return std::nullopt;
            switches.plain.emplace_back(*flag);
        } else {
            return std::nullopt;
        }
    }
    return switches;
}

LSTATUS ReadValues(HKEY key, std::vector<Value>& values) {
    // Room for the longest value name, left unfilled: it is read on every listing.
    constexpr DWORD kNameUnits = 16384;
    const std::unique_ptr<WCHAR[]> name = std::make_unique_for_overwrite<WCHAR[]>(kNameUnits);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kNameUnits;
        DWORD size = 0;
        Value value;
        LSTATUS status = RegEnumValueW(key, index, name.get(), &nameLength, nullptr, &value.type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS) return status;
        value.name.assign(name.get(), nameLength);
        value.data.resize(size);
        status = RegQueryValueExW(key, value.name.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (status != ERROR_SUCCESS) return status;
        value.data.resize(size);
        values.push_back(std::move(value));
    }
}

LSTATUS ReadSubkeys(HKEY key, std::vector<std::u16string>& names) {
    WCHAR name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        const LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        return lstrcmpiW(a.c_str(), b.c_str()) < 0;
    });
    return ERROR_SUCCESS;
}

std::u16string TextOf(const std::vector<BYTE>& data) {
    std::u16string text(data.size() / 2, u'\0');
    std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(text.size() * 2), reinterpret_cast<BYTE*>(text.data()));
    return text.substr(0, text.find(u'\0'));
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

int FailWithCode(LSTATUS status) {
    static const std::pair<LSTATUS, const char*> kMessages[] = {
        {ERROR_FILE_NOT_FOUND, "The system was unable to find the specified registry key or value."},
        {ERROR_ACCESS_DENIED, "Access is denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid."},
        {ERROR_REGISTRY_CORRUPT, "The configuration registry database is corrupt."},
        {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
        {ERROR_REGISTRY_IO_FAILED, "An I/O operation initiated by the registry failed unrecoverably."},
    };
    for (const auto& [code, message] : kMessages) {
        if (code == status) return Fail(std::string("ERROR: ") + message);
    }
    return Fail("ERROR: The registry operation failed with error " + std::to_string(status) + ".");
}

int InvalidSyntax(const char* subcommand) {
    return Fail(std::string("ERROR: Invalid syntax. Type \"REG ") + subcommand + " /?\" for usage.");
}

int Succeeded() {
    std::printf("The operation completed successfully.\n");
    return 0;
}

bool Confirm(const std::string& question) {
    std::printf("%s", question.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return lstrcmpiW(Utf16(answer).c_str(), u"y") == 0 || lstrcmpiW(Utf16(answer).c_str(), u"yes") == 0;
}

}  // namespace pal::tool::reg
