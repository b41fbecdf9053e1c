// Starting a program as a Windows process starts one: nothing of the parent's
// open files passes over, and the result is a process handle that can be waited
// on. Shared by CreateProcessW and the COM runtime's start of a local server.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pal {

struct SpawnRequest {
    std::string program;                  // absolute path, '/'-separated
    std::string name;                     // the program's own name (argv[0]); empty: the path
    std::vector<std::string> arguments;   // after the program name
    const std::vector<std::string>* environment = nullptr;  // null: the parent's
    std::string currentDirectory;         // empty: the parent's
    bool detached = false;                // own session, standard streams on /dev/null
    std::vector<int> keptDescriptors;     // more descriptors the program keeps, numbered from kFirstKeptDescriptor
};

// The number under which the started program finds the request's first kept
// descriptor; the next ones follow it in order.
constexpr int kFirstKeptDescriptor = 3;

// Starts the program. On success fills the process and thread handles and ids
// and returns ERROR_SUCCESS; otherwise returns the Win32 error.
DWORD SpawnProcess(const SpawnRequest& request, PROCESS_INFORMATION& started);

// This process's environment for a program it starts, with each "NAME=VALUE"
// of settings in place of any variable of that name.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings);

// The setting ("NAME=NUMBER") that tells a started program where a kept descriptor is.
std::string KeptDescriptorSetting(const char* variable, int number);

// The started program's side: the number of a kept descriptor that the
// variable names, or -1. The variable is removed either way, so that no
// program this one starts is told of a descriptor it does not have.
int TakeKeptDescriptor(const char* variable) noexcept;

// A descriptor of a started process that polls readable once it has ended; -1 for another handle.
int ProcessDescriptor(HANDLE process) noexcept;

// Windows' path spelling to ours: '\' separates path elements too; relative
// paths are taken from the current directory.
std::string AbsoluteFilePath(std::u16string_view windowsPath);

// The Win32 error for an errno of a file or process call.
DWORD Win32ErrorFromErrno(int error) noexcept;

}  // namespace pal
