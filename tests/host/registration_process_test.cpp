// The registration switches as a user runs them: the real executable against a
// scratch registry, its exit status, and the whole registry exported by the
// platform's reg tool afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/unique_any.h"
#include "tests/host/expected_registration.h"
#include "tests/support/child_process.h"
#include "tests/support/prefix_fixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path kExecutable = QUILL_BINARY_DIR "/bin/QuillNotification";
const std::string kPal = QUILL_BINARY_DIR "/bin/pal";
using namespace expected_registration;

// The class keys below a classes root for this copy of the program.
std::string ClassKeys(const std::string& classesRoot, const fs::path& program) {
    return expected_registration::ClassKeys(classesRoot, program.string());
}

const std::string kEmptyRegistry = kHeader + Key(kMachine) + Key(kUser);
const std::string kUserClsidOnly = kHeader + Key(kMachine) + Keys(kUser, {"Software", "Classes", "CLSID"});
const std::string kMachineClsidOnly = kHeader + Keys(kMachine, {"Software", "Classes", "CLSID"}) + Key(kUser);

std::string RegisteredForUser(const fs::path& program) {
    return kUserClsidOnly + ClassKeys(kUser + "\\Software\\Classes", program);
}
std::string RegisteredForMachine(const fs::path& program) {
    return kHeader + Keys(kMachine, {"Software", "Classes", "CLSID"}) +
           ClassKeys(kMachine + "\\Software\\Classes", program) + Key(kUser);
}

class RegistrationProcess : public TemporaryPrefixTest {
protected:
    void TearDown() override {
        std::error_code ignored;
        if (!copies_.empty()) fs::remove_all(copies_, ignored);
        TemporaryPrefixTest::TearDown();
    }

    // The exit status of the program run with these arguments.
    static int Run(const fs::path& program, std::vector<std::string> arguments) {
        return RunProgram(program.string(), std::move(arguments));
    }

    static std::string Export() {
        std::string text;
        FILE* output = popen((kPal + " reg export").c_str(), "r");
        if (output == nullptr) return "(no export)";
        char chunk[4096];
        while (size_t read = fread(chunk, 1, sizeof chunk, output)) text.append(chunk, read);
        pclose(output);
        return text;
    }

    // A copy of the executable in a new folder below a scratch directory.
    fs::path CopyInto(const std::string& folder) {
        if (copies_.empty()) {
            std::string pattern = (fs::temp_directory_path() / "quill-copy-XXXXXX").string();
            if (mkdtemp(pattern.data()) == nullptr) return {};
            copies_ = pattern;
        }
        const fs::path copy = copies_ / folder / "QuillNotification";
        fs::create_directories(copy.parent_path());
        fs::copy_file(kExecutable, copy);
        return copy;
    }

private:
    fs::path copies_;
};

TEST_F(RegistrationProcess, PerUserSwitchesWriteAndRemoveOnlyTheUsersClassKeys) {
    ASSERT_EQ(Export(), kEmptyRegistry);
    EXPECT_EQ(Run(kExecutable, {"-RegServerPerUser"}), 0);
    EXPECT_EQ(Export(), RegisteredForUser(kExecutable));
    EXPECT_EQ(Run(kExecutable, {"-UnregServerPerUser"}), 0);
    EXPECT_EQ(Export(), kUserClsidOnly);
    EXPECT_EQ(Run(kExecutable, {"-UnregServerPerUser"}), 0) << "removing twice";
    EXPECT_EQ(Export(), kUserClsidOnly);
}

TEST_F(RegistrationProcess, MachineSwitchesWriteAndRemoveBelowTheMachinesClasses) {
    EXPECT_EQ(Run(kExecutable, {"/UnregServer"}), 0) << "never registered";
    EXPECT_EQ(Export(), kEmptyRegistry);
    EXPECT_EQ(Run(kExecutable, {"/RegServer"}), 0);
    EXPECT_EQ(Export(), RegisteredForMachine(kExecutable));
    EXPECT_EQ(Run(kExecutable, {"/UnregServer"}), 0);
    EXPECT_EQ(Export(), kMachineClsidOnly);
}

TEST_F(RegistrationProcess, RecognisesSwitchSpellingsAndActsOnTheFirstOnly) {
    EXPECT_EQ(Run(kExecutable, {"RegServer", "-Embed", "-RegServerX", "-RegServerPerUserX"}), 0);
    EXPECT_EQ(Export(), kEmptyRegistry) << "no switch: nothing written";
    EXPECT_EQ(Run(kExecutable, {"--regserverperuser\t", "/UnregServerPerUser"}), 0);
    EXPECT_EQ(Export(), RegisteredForUser(kExecutable));
    EXPECT_EQ(Run(kExecutable, {"/UNREGSERVERPERUSER", "-RegServerPerUser"}), 0);
    EXPECT_EQ(Export(), kUserClsidOnly);
    EXPECT_EQ(Run(kExecutable, {"-UnregServerPerUser -RegServer"}), 0) << "one argument holding both";
    EXPECT_EQ(Export(), kUserClsidOnly);
}

TEST_F(RegistrationProcess, RegisteringAgainRebuildsTheClassKey) {
    EXPECT_EQ(Run(kExecutable, {"-RegServerPerUser"}), 0);
    const std::string once = Export();
    unique_hkey extra;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                              u"Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}\\Extra", 0, nullptr,
                              0, KEY_WRITE, nullptr, extra.put(), nullptr),
              ERROR_SUCCESS);
    extra.reset();
    EXPECT_EQ(Run(kExecutable, {"-RegServerPerUser"}), 0);
    EXPECT_EQ(Export(), once);
}

TEST_F(RegistrationProcess, StoresPathsWithApostrophesAndPercentSignsUnchanged) {
    const fs::path quoted = CopyInto("it's 100%MODULE% ''done''");
    ASSERT_FALSE(quoted.empty());
    EXPECT_EQ(Run(quoted, {"-RegServerPerUser"}), 0);
    EXPECT_EQ(Export(), RegisteredForUser(quoted));
    EXPECT_EQ(Run(quoted, {"-UnregServerPerUser"}), 0);
    EXPECT_EQ(Export(), kUserClsidOnly);
}

TEST_F(RegistrationProcess, RefusesAPathThatDoesNotFitAndWritesNothing) {
    const fs::path probe = CopyInto("probe");
    const size_t base = probe.parent_path().parent_path().string().size() + 1;
    // Folder and file name sized so the whole path is exactly 259, then 260 units.
    const size_t fileName = std::string("QuillNotification").size();
    const fs::path fits = CopyInto(std::string(259 - base - 1 - fileName, 'f'));
    const fs::path tooLong = CopyInto(std::string(260 - base - 1 - fileName, 'l'));
    ASSERT_EQ(fits.string().size(), 259u);
    ASSERT_EQ(tooLong.string().size(), 260u);
    EXPECT_EQ(Run(tooLong, {"-RegServerPerUser"}), 0x7A) << "the low byte of 0x8007007A";
    EXPECT_EQ(Export(), kEmptyRegistry);
    EXPECT_EQ(Run(fits, {"-RegServerPerUser"}), 0);
    EXPECT_EQ(Export(), RegisteredForUser(fits));
}

}  // namespace
