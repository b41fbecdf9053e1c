// The version test against each reported Windows version. The platform reads
// PAL_WINDOWS_VERSION once per process, so each case runs in a child process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool AtLeast(WORD major, WORD minor) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = 0;
    ULONGLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

// Exits with a bit per question, so one child answers them all.
[[noreturn]] void AnswerInChild(const char* version) {
    if (version) setenv("PAL_WINDOWS_VERSION", version, 1); else unsetenv("PAL_WINDOWS_VERSION");
    int bits = 0;
    bits |= AtLeast(6, 1) ? 1 : 0;
    bits |= AtLeast(6, 2) ? 2 : 0;
    bits |= AtLeast(6, 3) ? 4 : 0;
    bits |= AtLeast(10, 0) ? 8 : 0;
    bits |= AtLeast(5, 9) ? 16 : 0;
    bits |= AtLeast(10, 1) ? 32 : 0;
    std::_Exit(bits);
}

struct Expectation {
    const char* version;
    int bits;
};

class VersionTest : public ::testing::TestWithParam<Expectation> {};

TEST_P(VersionTest, ComparesMajorThenMinor) {
    const Expectation& e = GetParam();
    EXPECT_EXIT(AnswerInChild(e.version), ::testing::ExitedWithCode(e.bits), "");
}

INSTANTIATE_TEST_SUITE_P(ReportedVersions, VersionTest,
                         ::testing::Values(Expectation{"6.1", 1 | 16}, Expectation{"6.2", 1 | 2 | 16},
                                           Expectation{"6.3", 1 | 2 | 4 | 16},
                                           Expectation{"10.0", 1 | 2 | 4 | 8 | 16},
                                           Expectation{nullptr, 1 | 2 | 4 | 8 | 16}));

TEST(VersionTest, AnUnknownVersionIsRefusedWithAMessage) {
    EXPECT_EXIT(AnswerInChild("11.0"), ::testing::ExitedWithCode(1), "PAL_WINDOWS_VERSION must be");
}

TEST(VersionTest, ServicePackCountsAfterMajorAndMinor) {
    EXPECT_EXIT(
        {
            setenv("PAL_WINDOWS_VERSION", "6.2", 1);
            OSVERSIONINFOEXW info = {};
            info.dwOSVersionInfoSize = sizeof(info);
            info.dwMajorVersion = 6;
            info.dwMinorVersion = 2;
            info.wServicePackMajor = 1;
            ULONGLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
            mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
            mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
            const BOOL holds = VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask);
            std::_Exit(holds == FALSE && GetLastError() == ERROR_OLD_WIN_VERSION ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
