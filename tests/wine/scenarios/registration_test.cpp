// The registration switches of the real executable under Wine: exit codes read
// in full, and the class keys exported by Wine's reg compared with the same
// expected text the Linux suites use.
#include <gtest/gtest.h>

#include "tests/host/expected_registration.h"
#include "tests/wine/scenarios/wine_session.h"

namespace {

using namespace wine_session;
namespace expected = expected_registration;

const std::wstring kMachineClass = L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}";
const std::wstring kUserClass = L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}";

std::optional<DWORD> RunProduct(const std::wstring& program, const wchar_t* switches) {
    return RunProgram(L"\"" + program + L"\" " + switches);
}

std::string Registered(const std::string& classesRoot, const std::wstring& program) {
    return expected::kHeader + expected::ClassKeys(classesRoot, ToUtf8(program));
}

TEST(Registration, MachineSwitchesWriteTheWholeClassAndLeaveNothingBehind) {
    EXPECT_EQ(RunProduct(Product(), L"-UnregServer"), 0u) << "never registered";
    EXPECT_EQ(ExportKey(kMachineClass), std::nullopt);
    EXPECT_EQ(RunProduct(Product(), L"-RegServer"), 0u);
    EXPECT_EQ(ExportKey(kMachineClass), Registered(expected::kMachine + "\\Software\\Classes", Product()));
    EXPECT_EQ(ExportKey(kUserClass), std::nullopt) << "nothing for the user";
    EXPECT_EQ(RunProduct(Product(), L"/UnregServer"), 0u);
    EXPECT_EQ(ExportKey(kMachineClass), std::nullopt);
}

TEST(Registration, PerUserSwitchesWriteBelowTheUsersClassesOnly) {
    EXPECT_EQ(RunProduct(Product(), L"-RegServerPerUser"), 0u);
    EXPECT_EQ(ExportKey(kUserClass), Registered(expected::kUser + "\\Software\\Classes", Product()));
    EXPECT_EQ(ExportKey(kMachineClass), std::nullopt) << "nothing for the machine";
    EXPECT_EQ(RunProduct(Product(), L"-UnregServerPerUser"), 0u);
    EXPECT_EQ(ExportKey(kUserClass), std::nullopt);
}

// The product copied to a folder whose full program path has exactly this many characters.
std::wstring CopyWithPathLength(size_t length) {
    const std::wstring base = ProductFolder() + L"-long-";
    const std::wstring name = L"\\QuillNotification.exe";
    std::wstring folder = base + std::wstring(length - base.size() - name.size(), L'p');
    // Folder names of at most 200 characters: the path is split into two levels.
    folder[base.size() + 100] = L'\\';
    CreateDirectoryW(folder.substr(0, base.size() + 100).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + name;
    EXPECT_TRUE(CopyFileW(Product().c_str(), program.c_str(), FALSE)) << GetLastError();
    return program;
}

TEST(Registration, AProgramPathOf260CharactersEndsWith8007007AAndWritesNothing) {
    const std::wstring fits = CopyWithPathLength(259);
    const std::wstring tooLong = CopyWithPathLength(260);
    ASSERT_EQ(fits.size(), 259u);
    ASSERT_EQ(tooLong.size(), 260u);
    EXPECT_EQ(RunImage(tooLong, L"-RegServerPerUser"), 0x8007007Au);
    EXPECT_EQ(ExportKey(kUserClass), std::nullopt);
    EXPECT_EQ(RunImage(fits, L"-RegServerPerUser"), 0u);
    EXPECT_EQ(ExportKey(kUserClass), Registered(expected::kUser + "\\Software\\Classes", fits));
    EXPECT_EQ(RunImage(fits, L"-UnregServerPerUser"), 0u);
    EXPECT_EQ(ExportKey(kUserClass), std::nullopt);
}

}  // namespace
