// Gives each test case its own empty platform state directory (PAL_PREFIX),
// removed again when the case ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class TemporaryPrefixTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "pal-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        prefix_ = pattern;
        setenv("PAL_PREFIX", prefix_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("PAL_PREFIX");
        std::error_code ignored;
        std::filesystem::remove_all(prefix_, ignored);
    }
    const std::filesystem::path& Prefix() const { return prefix_; }

private:
    std::filesystem::path prefix_;
};
