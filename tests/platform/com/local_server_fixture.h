// A fresh prefix per case with the test server registered (or not) under
// HKCU's LocalServer32, and helpers to read what the server recorded and to
// see it end. Every case ends by waiting for its servers to end on their own
// and checking that they left no endpoint directory behind; servers still
// running by then are killed, and what they left is removed.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/testing/com_testing.h"
#include "tests/platform/com/test_server_registration.h"
#include "tests/support/prefix_fixture.h"

class LocalServerTest : public TemporaryPrefixTest {
protected:
    void SetUp() override {
        TemporaryPrefixTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        pal::testing::SetServerStartTimeout(30000);
    }

    void TearDown() override {
        bool killed = false;
        for (const std::string& pid : Lines("starts")) {
            if (WaitForEnd(std::stoi(pid), std::chrono::seconds(5))) continue;
            kill(std::stoi(pid), SIGKILL);
            killed = true;
        }
        const std::string endpoints = pal::testing::ComEndpointDirectory();
        if (!killed && expectTidyEnd_) {
            EXPECT_EQ(endpoints, "") << "the servers left their endpoint directory behind";
        }
        if (!endpoints.empty()) std::filesystem::remove_all(endpoints);
        CoUninitialize();
        TemporaryPrefixTest::TearDown();
    }

    static std::string ProgramPath(const char* name) { return comtest::ProgramPath(name); }

    // Set by cases that kill a process of their own, which leaves its files behind.
    bool expectTidyEnd_ = true;

    static void RegisterServer(const std::string& arguments = "", const char* program = "com_test_server") {
        ASSERT_EQ(comtest::RegisterTestServer(arguments, program), ERROR_SUCCESS);
    }

    std::vector<std::string> Lines(const char* name) const {
        std::vector<std::string> lines;
        std::ifstream file(Prefix() / name);
        for (std::string line; std::getline(file, line);) lines.push_back(line);
        return lines;
    }

    static bool ProcessEnded(int pid) {
        if (kill(pid, 0) != 0) return true;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string field;
        for (int i = 0; i < 3 && stat >> field; ++i) {
        }
        return field == "Z";  // ended, not yet collected
    }

    // Waits up to the limit for the process to end; true when it did.
    static bool WaitForEnd(int pid, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!ProcessEnded(pid)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    int ServerPid() const {
        const auto starts = Lines("starts");
        return starts.empty() ? -1 : std::stoi(starts.back());
    }
};
