// The registry names a case may fill: one key below HKCU\Software and
// HKLM\Software, and class names with one prefix, both of this process alone,
// so the cases work in a registry that other programs share.
#pragma once

#include <windows.h>

#include <string>

using RegistryText = std::basic_string<WCHAR>;

// "QuillScratch" and the process id: the key's name and the classes' prefix.
inline RegistryText ScratchName() {
    RegistryText name = TEXT("QuillScratch");
    for (char digit : std::to_string(GetCurrentProcessId())) name += static_cast<WCHAR>(digit);
    return name;
}

// Software\<scratch>\path, below either hive.
inline RegistryText ScratchKey(const RegistryText& path = RegistryText()) {
    RegistryText key = TEXT("Software\\") + ScratchName();
    return path.empty() ? key : key + TEXT("\\") + path;
}

// A class name of this process: <scratch>.name.
inline RegistryText ScratchClass(const RegistryText& name) { return ScratchName() + TEXT(".") + name; }
