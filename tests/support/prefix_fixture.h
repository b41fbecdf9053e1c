// Gives every case of a suite its own empty platform prefix (PAL_PREFIX),
// removed again when the case ends.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/support/temporary_prefix.h"

class TemporaryPrefixTest : public ::testing::Test {
protected:
    void SetUp() override { prefix_.emplace(); }
    void TearDown() override { prefix_.reset(); }
    std::filesystem::path Prefix() const { return prefix_->Path(); }

private:
    std::optional<TemporaryPrefix> prefix_;
};
