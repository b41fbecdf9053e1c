// Process-level tests of "pal reg": the real pal program against a temporary
// prefix, checking reg.exe's output, messages and exit codes, and the export
// as a whole text.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/prefix_fixture.h"

namespace {

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class PalReg : public TemporaryPrefixTest {
protected:
    Outcome Run(const std::vector<std::string>& arguments, const std::string& input = "") {
        const std::string out = (Prefix() / "out").string(), err = (Prefix() / "err").string(), in = (Prefix() / "in").string();
        std::ofstream(in) << input;
        std::string command = ShellQuoted(QUILL_BINARY_DIR "/bin/pal") + " reg";
        for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
        command += " <" + ShellQuoted(in) + " >" + ShellQuoted(out) + " 2>" + ShellQuoted(err);
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(out), Read(err)};
    }

private:
    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
};

const char kDone[] = "The operation completed successfully.\n";
const char kAddSyntax[] = "ERROR: Invalid syntax. Type \"REG ADD /?\" for usage.\n";
const char kNotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";

TEST_F(PalReg, AddQueryExportDelete) {
    EXPECT_EQ(Run({"add", "HKCU\\Software\\Quill", "/v", "Path", "/d", "C:\\dir \"x\""}).out, kDone);
    EXPECT_EQ(Run({"add", "HKEY_CURRENT_USER\\Software\\Quill", "/v", "Show", "/t", "REG_DWORD", "/d", "0x1F", "/f"}).out, kDone);
    EXPECT_EQ(Run({"add", "hkcu\\Software\\Quill\\Sub", "/ve", "/d", "default"}).out, kDone);
    EXPECT_EQ(Run({"add", "HKCU\\Software\\Quill\\Sub", "/v", "List", "/t", "REG_MULTI_SZ", "/d", "Line1\\0Line2\\0Line3"}).out,
              kDone);
    EXPECT_EQ(Run({"add", "HKCU\\Software\\Quill\\Sub", "/v", "Raw", "/t", "REG_BINARY", "/d", "0A0b"}).out, kDone);
    EXPECT_EQ(Run({"add", "HKLM\\Software\\Classes\\Alpha"}).out, kDone);

    Outcome query = Run({"query", "HKCU\\Software\\Quill"});
    EXPECT_EQ(query.exitCode, 0);
    EXPECT_EQ(query.out,
              "\nHKEY_CURRENT_USER\\Software\\Quill\n"
              "    Path    REG_SZ    C:\\dir \"x\"\n"
              "    Show    REG_DWORD    0x1f\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Quill\\Sub\n");
    EXPECT_EQ(Run({"query", "HKCU\\Software\\Quill\\Sub", "/v", "raw"}).out,
              "\nHKEY_CURRENT_USER\\Software\\Quill\\Sub\n    Raw    REG_BINARY    0A0B\n\n");
    EXPECT_EQ(Run({"query", "HKCU\\Software\\Quill\\Sub", "/ve"}).out,
              "\nHKEY_CURRENT_USER\\Software\\Quill\\Sub\n    (Default)    REG_SZ    default\n\n");
    EXPECT_EQ(Run({"query", "HKCR\\Alpha"}).out, "\nHKEY_CLASSES_ROOT\\Alpha\n") << "the machine's classes seen through HKCR";

    Outcome exported = Run({"export"});
    EXPECT_EQ(exported.exitCode, 0);
    EXPECT_EQ(exported.out,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Classes]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Alpha]\n\n"
              "[HKEY_CURRENT_USER]\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Quill]\n"
              "\"Path\"=\"C:\\\\dir \\\"x\\\"\"\n"
              "\"Show\"=dword:0000001f\n\n"
              "[HKEY_CURRENT_USER\\Software\\Quill\\Sub]\n"
              "@=\"default\"\n"
              "\"List\"=hex(7):4c,00,69,00,6e,00,65,00,31,00,00,00,4c,00,69,00,6e,00,65,00,32,\\\n"
              "  00,00,00,4c,00,69,00,6e,00,65,00,33,00,00,00,00,00\n"
              "\"Raw\"=hex:0a,0b\n\n");

    EXPECT_EQ(Run({"delete", "HKCU\\Software\\Quill\\Sub", "/v", "List", "/f"}).out, kDone);
    Outcome declined = Run({"delete", "HKCU\\Software\\Quill"}, "n\n");
    EXPECT_EQ(declined.exitCode, 0);
    EXPECT_EQ(declined.out, "Permanently delete the registry key HKEY_CURRENT_USER\\Software\\Quill (Yes/No)? "
                            "The operation was cancelled by the user.\n");
    EXPECT_EQ(Run({"delete", "HKCU\\Software\\Quill"}, "yes\n").exitCode, 0);
    EXPECT_EQ(Run({"export", "HKCU\\Software"}).out, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n");
}

TEST_F(PalReg, MissingKeysAndValuesFailAsRegDoes) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"query", "HKCU\\Software\\Missing"},
             {"query", "HKCU\\Software", "/v", "Missing"},
             {"delete", "HKCU\\Software\\Missing", "/f"},
             {"delete", "HKCU\\Software", "/v", "Missing", "/f"},
             {"export", "HKLM\\Software\\Missing"}}) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.exitCode, 1) << arguments[1];
        EXPECT_EQ(outcome.err, kNotFound) << arguments[1];
        EXPECT_EQ(outcome.out, "");
    }
    Run({"add", "HKCU\\Software\\Empty"});
    EXPECT_EQ(Run({"query", "HKCU\\Software\\Empty", "/ve"}).out,
              "\nHKEY_CURRENT_USER\\Software\\Empty\n    (Default)    REG_SZ    (value not set)\n\n");
}

TEST_F(PalReg, BadArgumentsFailWithOneLine) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"query", "HKXX\\Software"}, "ERROR: Invalid key name.\n"},
        {{"query", "HKCU\\Software", "/bogus"}, "ERROR: Invalid syntax. Type \"REG QUERY /?\" for usage.\n"},
        {{"query", "HKCU\\Software", "/v", "a", "/ve"}, "ERROR: Invalid syntax. Type \"REG QUERY /?\" for usage.\n"},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "12abc"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_BINARY", "/d", "ABC"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/t", "REG_WHAT"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_QWORD", "/d", "-1"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "+1"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_MULTI_SZ", "/d", "a\\0\\0b"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_SZ", "/s", ",", "/d", "a,b"}, kAddSyntax},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/ve", "/d", "a"}, kAddSyntax},
        {{"delete", "HKCU", "/f"}, "ERROR: Invalid key name.\n"},
        {{"frobnicate"}, "ERROR: Invalid syntax. Type \"REG /?\" for usage.\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.exitCode, 1) << arguments.back();
        EXPECT_EQ(outcome.err, message) << arguments.back();
    }
    EXPECT_EQ(Run({"query", "HKCU\\Software\\X"}).exitCode, 1) << "nothing was created by the refused adds";
}

// Types are named in any case; numbers are decimal or hexadecimal after "0x" or "0X".
TEST_F(PalReg, TypesAndNumbersAreReadAsRegReadsThem) {
    const struct {
        const char* type;
        const char* data;
        const char* shown;
    } rows[] = {
        {"reg_dword", "16", "REG_DWORD    0x10"},
        {"REG_DWORD", "0X10", "REG_DWORD    0x10"},
        {"Reg_Qword", "0xFFFFFFFFFFFFFFFF", "REG_QWORD    0xffffffffffffffff"},
    };
    for (const auto& row : rows) {
        const Outcome added = Run({"add", "HKCU\\Software\\N", "/v", "n", "/t", row.type, "/d", row.data, "/f"});
        EXPECT_EQ(added.exitCode, 0) << row.type << " " << row.data << ": " << added.err;
        EXPECT_EQ(Run({"query", "HKCU\\Software\\N", "/v", "n"}).out,
                  std::string("\nHKEY_CURRENT_USER\\Software\\N\n    n    ") + row.shown + "\n\n")
            << row.type << " " << row.data;
    }
}

TEST_F(PalReg, AnExistingValueIsOverwrittenOnlyWhenConfirmed) {
    Run({"add", "HKCU\\Software\\X", "/v", "n", "/d", "first"});
    const Outcome declined = Run({"add", "HKCU\\Software\\X", "/v", "N", "/d", "second"}, "no\n");
    EXPECT_EQ(declined.out, "Value N exists, overwrite(Yes/No)? The operation was cancelled by the user.\n");
    EXPECT_EQ(Run({"query", "HKCU\\Software\\X", "/v", "n"}).out, "\nHKEY_CURRENT_USER\\Software\\X\n    n    REG_SZ    first\n\n");
    Run({"add", "HKCU\\Software\\X", "/v", "N", "/d", "second"}, "y\n");
    EXPECT_EQ(Run({"query", "HKCU\\Software\\X", "/v", "n"}).out, "\nHKEY_CURRENT_USER\\Software\\X\n    n    REG_SZ    second\n\n");
}

TEST_F(PalReg, ADamagedDatabaseIsReportedNotCrashedOn) {
    std::ofstream(Prefix() / "registry.db") << std::string(8192, 'x');
    const Outcome outcome = Run({"query", "HKCU\\Software"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, "ERROR: The configuration registry database is corrupt.\n");
}

}  // namespace
