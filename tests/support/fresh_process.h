// Checks that must start from a fresh process: state the program keeps once per
// process (loaded strings, the program-directory cache, the current module)
// begins anew in a copy of the test program where only this check runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Runs check in a fresh copy of the test program (only this test runs there).
// check returns what went wrong, or "".
template <class Check> void ExpectInFreshProcess(Check check) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string failure = check();
            std::fputs(failure.c_str(), stderr);
            std::fflush(stderr);
            std::_Exit(failure.empty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
