// "pal com activate" as a user runs it: the call reaches the registered
// server with its inputs split at the first "=", and the HRESULT is printed.
#include <notification_platform.h>

#include <sys/wait.h>

#include <cstdio>

#include "tests/platform/com/local_server_fixture.h"

namespace {

struct ToolRun {
    std::string output;
    int status = -1;
};

ToolRun RunPal(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string(QUILL_BINARY_DIR) + "/bin/pal " + arguments;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const char* const kClass = "{9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31}";

}  // namespace

using PalComTest = LocalServerTest;

TEST_F(PalComTest, ActivatePassesItsTextsAndPrintsTheResult) {
    RegisterServer();
    const ToolRun run = RunPal(std::string("com activate ") + kClass +
                               " --aumid Corvane.Tessaline --args RivaVavirezar.display --input 'Path=C:\\a=b' "
                               "--input ShowAgainChoice=");
    EXPECT_EQ(run.output, "0x00000000\n");
    EXPECT_EQ(run.status, 0);
    const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"Path", u"C:\\a=b"}, {u"ShowAgainChoice", u""}};
    ASSERT_EQ(Lines("calls").size(), 1u);
    EXPECT_EQ(Lines("calls")[0], comtest::EncodeCall(u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 2));

    const ToolRun failing = RunPal(std::string("com activate ") + kClass + " --aumid A --args fail");
    EXPECT_EQ(failing.output, "0x80004004\n");
    EXPECT_EQ(failing.status, 1);
}

TEST_F(PalComTest, ActivateReportsAnUnregisteredClassAndBadUsage) {
    const ToolRun run = RunPal(std::string("com activate ") + kClass + " --aumid A --args B");
    EXPECT_EQ(run.output, "0x80040154\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(RunPal("com activate not-a-clsid 2>/dev/null").status, 1);
    EXPECT_EQ(RunPal(std::string("com activate ") + kClass + " --input novalue 2>/dev/null").status, 1);
}
