// What the Wine lane's scenarios share: the product's folder in the prefix,
// starting programs and reading their exit codes in full, the Windows version
// Wine reports, the registry and the records the fixtures leave.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wine_session {

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

// The folder the lane copied the product into (QUILL_WINE_PRODUCT), with
// QuillNotification.exe, its resources and the test console.
std::wstring ProductFolder();
std::wstring Product();
// The folder of the lane's own programs (beside this test program).
std::wstring LaneFolder();

// Starts the command line with these variables set on top of this process's
// environment and waits; the exit code as GetExitCodeProcess gives it, or
// nullopt when it could not start or did not end in time.
std::optional<DWORD> RunProgram(const std::wstring& commandLine, const Environment& variables = {},
                         DWORD timeoutMilliseconds = 60000);

// Starts the program by its NT path with the native process API, which takes
// paths of any length (CreateProcessW under Wine refuses an image path of 260
// characters or more), and waits; its exit code in full, or nullopt.
std::optional<DWORD> RunImage(const std::wstring& program, const std::wstring& arguments);

// "win7", "win81" or "win10": the version Wine reports to processes started afterwards.
void SetWindowsVersion(const wchar_t* version);

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const wchar_t* name);
// The value's type and 32-bit data, when it exists.
std::optional<std::pair<DWORD, DWORD>> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name);
void DeleteTree(HKEY root, const std::wstring& path);

// "reg export KEY" as UTF-8 with LF line ends; nullopt when reg refuses (no such key).
std::optional<std::string> ExportKey(const std::wstring& key);

struct ShownToast {
    std::wstring appUserModelId;
    std::wstring xml;
};
// The toasts the notification runtime recorded, in id order.
std::vector<ShownToast> ShownToasts();

// Whether no process of that image name is left within the time.
bool NoProcessLeft(const wchar_t* imageName, DWORD timeoutMilliseconds);

std::wstring Variable(const wchar_t* name);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf16(const std::u16string& text);

}  // namespace wine_session
