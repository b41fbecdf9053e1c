// Reads a registry subtree back as text through the Win32 calls, so a test can
// compare what a script left behind as one whole text. Keys appear in name
// order with their values: "[path]" then "name=type:data" lines, text data
// as text and everything else as hexadecimal bytes.
#pragma once

#include <windows.h>

#include <string>

// "(none)" when the key does not exist.
std::string RegistryTree(HKEY root, const char16_t* path);

// Creates each key of a backslash-separated path below root.
void CreateKeyPath(HKEY root, const char16_t* path);
