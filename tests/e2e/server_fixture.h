// Each case gets a fresh prefix with the server registered per user and
// recorded as the activator of "Corvane.Tessaline", English strings, and no
// server left running (or prefix left behind) when it ends. Servers that end
// on their own must leave no endpoint directory either.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/testing/com_testing.h"
#include "platform/posix/winrt/toast_store.h"
#include "tests/e2e/server_process.h"
#include "tests/support/prefix_fixture.h"

class RegisteredServer : public TemporaryPrefixTest {
protected:
    void SetUp() override {
        TemporaryPrefixTest::SetUp();
        for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(variable);
        setenv("LANG", "en_GB.UTF-8", 1);
        unsetenv("PAL_WINDOWS_VERSION");
        ASSERT_TRUE(e2e::RegisterServerAndActivator());
    }
    void TearDown() override {
        const bool ended = e2e::ServersEndWithin(std::chrono::seconds(5));
        e2e::KillServers();
        const std::string endpoints = pal::testing::ComEndpointDirectory();
        if (ended) {
            EXPECT_EQ(endpoints, "") << "the server left its endpoint directory behind";
        }
        if (!endpoints.empty()) std::filesystem::remove_all(endpoints);
        TemporaryPrefixTest::TearDown();
    }

    static std::vector<pal::toast_store::Toast> Toasts() {
        std::vector<pal::toast_store::Toast> toasts;
        EXPECT_EQ(pal::toast_store::List(toasts), S_OK);
        return toasts;
    }

    static e2e::Finished Pal(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), e2e::kPal);
        return e2e::Run(arguments);
    }

    // "pal com activate" of the warning display for one path.
    static e2e::Finished Display(const std::string& path, const char* showAgainChoice) {
        return Pal({"com", "activate", "{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}", "--aumid", "Corvane.Tessaline",
                    "--args", "RivaVavirezar.display", "--input", "Path=" + path, "--input",
                    std::string("ShowAgainChoice=") + showAgainChoice});
    }
};
