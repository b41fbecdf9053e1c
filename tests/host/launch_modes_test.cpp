// The executable's launch modes and exit codes, run as a user would: a copy of
// the program in a scratch folder, with a stand-in console beside it that
// records that it was started and with how many arguments.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/prefix_fixture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kBin = std::string(QUILL_BINARY_DIR) + "/bin/";

class LaunchModes : public TemporaryPrefixTest {
protected:
    void SetUp() override {
        TemporaryPrefixTest::SetUp();
        folder_ = Prefix() / "install";
        fs::create_directories(folder_);
        program_ = folder_ / "QuillNotification";
        fs::copy_file(kBin + "QuillNotification", program_);
    }

    void InstallConsole() {
        const fs::path console = folder_ / "QuillConsole.exe";
        std::ofstream(console) << "#!/bin/sh\necho \"$#\" > \"$(dirname \"$0\")/console-started\"\n";
        chmod(console.c_str(), 0755);
    }

    // The console's argument count once it has run, or nothing.
    std::optional<std::string> ConsoleStarted(std::chrono::milliseconds limit = 5s) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            std::ifstream marker(folder_ / "console-started");
            std::string count;
            if (marker && std::getline(marker, count)) return count;
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }

    std::optional<int> Run(std::vector<std::string> arguments, std::chrono::milliseconds limit = 10s) {
        ChildProcess child(program_.string(), std::move(arguments));
        return child.WaitForExit(limit);
    }

    static std::string Pal(const std::string& arguments) {
        std::string text;
        FILE* output = popen((kBin + "pal " + arguments + " 2>&1").c_str(), "r");
        char chunk[4096];
        while (size_t read = fread(chunk, 1, sizeof chunk, output)) text.append(chunk, read);
        pclose(output);
        return text;
    }

    fs::path folder_;
    fs::path program_;
};

TEST_F(LaunchModes, APlainStartLaunchesTheConsoleWithoutArgumentsAndEndsWithZero) {
    InstallConsole();
    EXPECT_EQ(Run({}), 0);
    EXPECT_EQ(ConsoleStarted(), "0");
}

TEST_F(LaunchModes, TheMarkerInAnotherSpellingIsAPlainStart) {
    InstallConsole();
    EXPECT_EQ(Run({"-embedding"}), 0);
    EXPECT_EQ(ConsoleStarted(), "0");
    fs::remove(folder_ / "console-started");
    EXPECT_EQ(Run({"/Embedding"}), 0);
    EXPECT_EQ(ConsoleStarted(), "0");
}

TEST_F(LaunchModes, AMissingConsoleStillEndsWithZero) {
    EXPECT_EQ(Run({"some", "arguments"}), 0);
}

TEST_F(LaunchModes, OnWindows7TheMarkerEndsAtOnceAndServesNothing) {
    InstallConsole();
    setenv("PAL_WINDOWS_VERSION", "6.1", 1);
    const auto status = Run({"-Embedding"}, 5s);
    unsetenv("PAL_WINDOWS_VERSION");
    EXPECT_EQ(status, 0) << "a server would still be waiting";
    EXPECT_FALSE(ConsoleStarted(200ms));
}

TEST_F(LaunchModes, ASwitchWithTheMarkerOnlyRegistersInEitherOrder) {
    InstallConsole();
    EXPECT_EQ(Run({"-Embedding", "-RegServerPerUser"}), 0);
    EXPECT_NE(Pal("reg query \"HKCU\\Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}\\LocalServer32\"")
                  .find(program_.string()),
              std::string::npos);
    EXPECT_EQ(Run({"/UnregServerPerUser", "-Embedding"}), 0);
    EXPECT_NE(Pal("reg query \"HKCU\\Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}\"").find("ERROR"),
              std::string::npos);
    EXPECT_FALSE(ConsoleStarted(200ms));
}

TEST_F(LaunchModes, TheMarkerInsideALongerWordServesUntilTheLastObjectIsGone) {
    ChildProcess server(program_.string(), {"x-Embeddingx"});
    EXPECT_FALSE(server.WaitForExit(500ms)) << "a server waits for its first client";
    // The running server is reached through its endpoint; the call shows a toast.
    std::string answer;
    for (int attempt = 0; attempt < 50 && answer.find("0x00000000") == std::string::npos; ++attempt) {
        answer = Pal("com activate {6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12} --aumid Corvane.Tessaline "
                     "--args RivaVavirezar.display --input Path=/data/Case --input ShowAgainChoice=false");
        if (answer.find("0x00000000") == std::string::npos) std::this_thread::sleep_for(100ms);
    }
    EXPECT_NE(answer.find("0x00000000"), std::string::npos) << answer;
    EXPECT_EQ(server.WaitForExit(5s), 0) << "the last activator was released";
    EXPECT_NE(Pal("toast list").find("Corvane.Tessaline"), std::string::npos);
}

}  // namespace
