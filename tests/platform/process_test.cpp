// Processes as Windows gives them: CreateProcessW's program and command line,
// waits with time-outs, exit codes, no inherited files, and a process handle
// that is no event (the events themselves: event_test.cpp).
#include <windows.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/unique_any.h"

namespace {

struct Started {
    BOOL created = FALSE;
    DWORD error = 0;
    unique_handle process, thread;
};

Started Start(LPCWSTR application, std::u16string commandLine, LPCWSTR directory = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    Started started;
    started.created = CreateProcessW(application, commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr,
                                     FALSE, 0, nullptr, directory, &startup, &information);
    started.error = started.created ? 0 : GetLastError();
    started.process.reset(information.hProcess);
    started.thread.reset(information.hThread);
    return started;
}

DWORD ExitCodeAfterWait(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    return code;
}

}  // namespace

TEST(CreateProcess, RunsTheProgramWithItsArgumentsAndReportsItsExitCode) {
    auto started = Start(nullptr, u"/bin/sh -c \"exit 7\"");
    ASSERT_TRUE(started.created) << started.error;
    EXPECT_EQ(ExitCodeAfterWait(started.process.get()), 7u);
    EXPECT_EQ(WaitForSingleObject(started.thread.get(), 0), WAIT_OBJECT_0);

    // The application name is the program; the command line's first word is only its name.
    started = Start(u"\\bin\\sh", u"ignored -c \"test \\\"$0\\\" = ignored\"");
    ASSERT_TRUE(started.created) << started.error;
    EXPECT_EQ(ExitCodeAfterWait(started.process.get()), 0u);

    started = Start(nullptr, u"\"/bin/sh\" -c \"test \\\"$(pwd)\\\" = /tmp\"", u"\\tmp");
    ASSERT_TRUE(started.created) << started.error;
    EXPECT_EQ(ExitCodeAfterWait(started.process.get()), 0u);
}

TEST(CreateProcess, WaitsTimeOutWhileTheProcessRuns) {
    auto started = Start(nullptr, u"/bin/sleep 5");
    ASSERT_TRUE(started.created);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(started.process.get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(started.process.get(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
}

TEST(CreateProcess, MissingProgramsFailWithFileNotFound) {
    auto started = Start(u"/no/such/program", u"");
    EXPECT_FALSE(started.created);
    EXPECT_EQ(started.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(started.process);
    started = Start(nullptr, u"\"/no/such program\" -x");
    EXPECT_EQ(started.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(CreateProcess, TheChildInheritsNoOpenFiles) {
    const int open_file = open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
    ASSERT_GE(open_file, 3);
    const std::string check = "/bin/sh -c \"test ! -e /proc/self/fd/" + std::to_string(open_file) + "\"";
    auto started = Start(nullptr, std::u16string(check.begin(), check.end()));
    ASSERT_TRUE(started.created);
    EXPECT_EQ(ExitCodeAfterWait(started.process.get()), 0u);
    close(open_file);
}

TEST(Handles, AProcessIsNoEvent) {
    auto started = Start(nullptr, u"/bin/true");
    ASSERT_TRUE(started.created);
    EXPECT_FALSE(SetEvent(started.process.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
