// Runs the registry's contract suites against the registry kept in this
// process's memory, which the fuzz targets use: it must answer every call with
// the same results and codes as the prefix's database. Each case starts from
// an empty registry, as it does with a prefix of its own.
#include <gtest/gtest.h>

#include "platform/posix/testing/registry_testing.h"

namespace {

class EmptyRegistryInMemory : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        pal::testing::KeepRegistryInMemory(true);
        ASSERT_EQ(pal::testing::ClearRegistry(), ERROR_SUCCESS);
    }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new EmptyRegistryInMemory);
    return true;
}();

}  // namespace
