// CreateProcessW: the program from the application name, or else from the head
// of the command line; the parent's environment and directory unless given.
// Nothing but the standard streams is inherited; no window exists to show.
#include <windows.h>

#include <stdlib.h>

#include "platform/posix/core/utf.h"
#include "platform/posix/process/command_line.h"
#include "platform/posix/process/spawn.h"
#include "platform/posix/testing/call_log.h"

namespace pal {
namespace {

constexpr DWORD kCreateUnicodeEnvironment = 0x00000400;
constexpr DWORD kStartfUseStdHandles = 0x00000100;
constexpr DWORD kSupportedCreationFlags = CREATE_NO_WINDOW | kCreateUnicodeEnvironment;

// A Windows environment block: texts, each ended by a NUL, and one more NUL at the end.
template <class Unit> std::vector<std::string> EnvironmentFromBlock(const Unit* block) {
    std::vector<std::string> environment;
    for (const Unit* entry = block; *entry != 0;) {
        const Unit* end = entry;
        while (*end != 0) ++end;
        if constexpr (sizeof(Unit) == 1)
            environment.emplace_back(reinterpret_cast<const char*>(entry), end - entry);
        else
            environment.push_back(ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(entry), end - entry)));
        entry = end + 1;
    }
    return environment;
}

DWORD StartProcess(LPCWSTR applicationName, LPCWSTR commandLine, DWORD creationFlags, LPVOID environment,
                   LPCWSTR currentDirectory, const STARTUPINFOW* startupInfo, PROCESS_INFORMATION& started) {
    if (startupInfo == nullptr || (applicationName == nullptr && commandLine == nullptr)) return ERROR_INVALID_PARAMETER;
    if ((creationFlags & ~kSupportedCreationFlags) != 0 || (startupInfo->dwFlags & kStartfUseStdHandles) != 0)
        return ERROR_NOT_SUPPORTED;

    SpawnRequest request;
    std::u16string_view rest = commandLine ? std::u16string_view(commandLine) : std::u16string_view();
    std::u16string program = applicationName ? std::u16string(applicationName) : std::u16string();
    if (commandLine != nullptr) {
        // The head of the command line is the name the child sees itself called by, not an argument.
        std::u16string firstToken = TakeProgramName(rest);
        request.name = ToUtf8(firstToken);
        if (program.empty()) program = std::move(firstToken);
    }
    if (program.empty()) return ERROR_FILE_NOT_FOUND;
    request.program = AbsoluteFilePath(program);
    request.arguments = SplitArguments(rest);

    std::vector<std::string> environmentTexts;
    if (environment != nullptr) {
        environmentTexts = (creationFlags & kCreateUnicodeEnvironment)
                               ? EnvironmentFromBlock(static_cast<const WCHAR*>(environment))
                               : EnvironmentFromBlock(static_cast<const char*>(environment));
        request.environment = &environmentTexts;
    }
    if (currentDirectory != nullptr) request.currentDirectory = AbsoluteFilePath(currentDirectory);
    return SpawnProcess(request, started);
}

}  // namespace
}  // namespace pal

extern "C" BOOL WINAPI CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                                      LPSECURITY_ATTRIBUTES, BOOL, DWORD creationFlags, LPVOID environment,
                                      LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                                      LPPROCESS_INFORMATION processInformation) {
    if (pal::testing::RecordingCalls()) {
        const std::string application = applicationName != nullptr ? pal::ToUtf8(applicationName) : "(none)";
        pal::testing::RecordCall("CreateProcessW " + application);
    }
    if (processInformation == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PROCESS_INFORMATION started{};
    DWORD error;
    try {
        error = pal::StartProcess(applicationName, commandLine, creationFlags, environment, currentDirectory,
                                  startupInfo, started);
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    *processInformation = started;
    return TRUE;
}
