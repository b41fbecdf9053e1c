// The class registration as a REGEDIT5 export shows it: the class key and its
// LocalServer32 below a classes root. The Linux suites compare whole exports of
// the platform's registry with it, the Wine lane the export of the class key.
#pragma once

#include <string>
#include <vector>

namespace expected_registration {

inline const std::string kClassPath = "\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}";
inline const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";
inline const std::string kMachine = "HKEY_LOCAL_MACHINE";
inline const std::string kUser = "HKEY_CURRENT_USER";

inline std::string Key(const std::string& path, const std::string& values = "") {
    return "[" + path + "]\n" + values + "\n";
}

inline std::string Keys(const std::string& root, const std::vector<std::string>& below) {
    std::string text = Key(root);
    std::string path = root;
    for (const std::string& name : below) text += Key(path += "\\" + name);
    return text;
}

// The class key and its LocalServer32 below a classes root; program is the
// executable's full path (UTF-8).
inline std::string ClassKeys(const std::string& classesRoot, const std::string& program) {
    std::string escaped;
    for (char c : program) {
        if (c == '"' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return Key(classesRoot + kClassPath, "@=\"QuillNotificationActivation Class\"\n") +
           Key(classesRoot + kClassPath + "\\LocalServer32", "@=\"\\\"" + escaped + "\\\"\"\n");
}

}  // namespace expected_registration
