// The Wine lane's session helpers.
#include "tests/wine/scenarios/wine_session.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <cstdio>
#include <iterator>
#include <map>

#include "common/unique_any.h"
#include "tests/wine/wine_records.h"

// The native process API (ntdll), declared from its public documentation.
extern "C" {
struct NativeProcessInformation {
    ULONG Length;
    HANDLE Process;
    HANDLE Thread;
    HANDLE ClientId[2];
    BYTE ImageInformation[64];
};
NTSTATUS NTAPI RtlCreateProcessParameters(RTL_USER_PROCESS_PARAMETERS** parameters, UNICODE_STRING* imagePath,
                                          UNICODE_STRING* dllPath, UNICODE_STRING* currentDirectory,
                                          UNICODE_STRING* commandLine, PVOID environment, UNICODE_STRING* windowTitle,
                                          UNICODE_STRING* desktop, UNICODE_STRING* shellInfo, UNICODE_STRING* runtimeData);
NTSTATUS NTAPI RtlDestroyProcessParameters(RTL_USER_PROCESS_PARAMETERS* parameters);
NTSTATUS NTAPI RtlCreateUserProcess(UNICODE_STRING* imagePath, ULONG attributes, RTL_USER_PROCESS_PARAMETERS* parameters,
                                    PVOID processSecurity, PVOID threadSecurity, HANDLE parent, BOOLEAN inheritHandles,
                                    HANDLE debugPort, HANDLE exceptionPort, NativeProcessInformation* information);
}

namespace wine_session {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return length > 0 && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

namespace {

// This process's environment with the overrides, as a CreateProcess block.
std::wstring EnvironmentBlock(const Environment& variables) {
    struct CaseInsensitive {
        bool operator()(const std::wstring& a, const std::wstring& b) const { return _wcsicmp(a.c_str(), b.c_str()) < 0; }
    };
    std::map<std::wstring, std::wstring, CaseInsensitive> merged;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const size_t equals = text.find(L'=', 1);
        if (equals != std::wstring::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : variables) merged[name] = value;
    std::wstring block;
    for (const auto& [name, value] : merged) block += name + L"=" + value + L'\0';
    return block + L'\0';
}

}  // namespace

std::wstring ProductFolder() { return Variable(L"QUILL_WINE_PRODUCT"); }
std::wstring Product() { return ProductFolder() + L"\\QuillNotification.exe"; }

std::wstring LaneFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::optional<DWORD> RunProgram(const std::wstring& commandLine, const Environment& variables, DWORD timeoutMilliseconds) {
    std::wstring writable = commandLine;
    std::wstring block = EnvironmentBlock(variables);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                        nullptr, &startup, &process)) {
        return std::nullopt;
    }
    unique_handle thread(process.hThread);
    unique_handle handle(process.hProcess);
    if (WaitForSingleObject(handle.get(), timeoutMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(handle.get(), 1);
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(handle.get(), &code)) return std::nullopt;
    return code;
}

std::optional<DWORD> RunImage(const std::wstring& program, const std::wstring& arguments) {
    const std::wstring ntPath = L"\\??\\" + program;
    const std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    UNICODE_STRING image;
    UNICODE_STRING command;
    RtlInitUnicodeString(&image, ntPath.c_str());
    RtlInitUnicodeString(&command, commandLine.c_str());
    RTL_USER_PROCESS_PARAMETERS* parameters = nullptr;
    if (RtlCreateProcessParameters(&parameters, &image, nullptr, nullptr, &command, nullptr, nullptr, nullptr, nullptr,
                                   nullptr) != 0) {
        return std::nullopt;
    }
    NativeProcessInformation information = {};
    information.Length = sizeof(information);
    const NTSTATUS created = RtlCreateUserProcess(&image, OBJ_CASE_INSENSITIVE, parameters, nullptr, nullptr, nullptr,
                                                  FALSE, nullptr, nullptr, &information);
    RtlDestroyProcessParameters(parameters);
    if (created != 0) return std::nullopt;
    unique_handle thread(information.Thread);
    unique_handle process(information.Process);
    ResumeThread(thread.get());  // created suspended
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) return std::nullopt;
    return code;
}

void SetWindowsVersion(const wchar_t* version) {
    unique_hkey wine;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE, nullptr, wine.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(wine.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                             static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, &type, text.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::optional<std::pair<DWORD, DWORD>> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, &data, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::make_pair(type, data);
}

void DeleteTree(HKEY root, const std::wstring& path) { RegDeleteTreeW(root, path.c_str()); }

std::optional<std::string> ExportKey(const std::wstring& key) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"quill-export.reg";
    DeleteFileW(file.c_str());
    const std::optional<DWORD> exported = RunProgram(L"reg.exe export \"" + key + L"\" \"" + file + L"\" /y");
    if (exported != 0u) return std::nullopt;
    std::string bytes;
    if (FILE* in = _wfopen(file.c_str(), L"rb")) {
        char chunk[4096];
        while (const size_t read = fread(chunk, 1, sizeof chunk, in)) bytes.append(chunk, read);
        fclose(in);
    }
    DeleteFileW(file.c_str());
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE) {
        return "(not UTF-16 with a byte order mark)";
    }
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::copy(bytes.begin() + 2, bytes.begin() + 2 + text.size() * 2, reinterpret_cast<char*>(text.data()));
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return ToUtf8(text);
}

std::vector<ShownToast> ShownToasts() {
    std::vector<ShownToast> toasts;
    unique_hkey all;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wine_records::kToasts, 0, KEY_READ, all.put()) != ERROR_SUCCESS) return toasts;
    std::vector<std::wstring> ids;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(all.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ids.emplace_back(name, length);
    }
    std::sort(ids.begin(), ids.end());
    for (const std::wstring& id : ids) {
        const std::wstring path = std::wstring(wine_records::kToasts) + L"\\" + id;
        toasts.push_back({ReadString(HKEY_CURRENT_USER, path, L"AppUserModelID").value_or(L"(none)"),
                          ReadString(HKEY_CURRENT_USER, path, L"Xml").value_or(L"(none)")});
    }
    return toasts;
}

bool NoProcessLeft(const wchar_t* imageName, DWORD timeoutMilliseconds) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    for (;;) {
        bool found = false;
        unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
            if (_wcsicmp(entry.szExeFile, imageName) == 0) found = true;
        }
        if (!found) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace wine_session
