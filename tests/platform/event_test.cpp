// Contract tests of events, written only against the Win32 names: manual- and
// auto-reset events, waits with time-outs, and closed handles refused.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/unique_any.h"
#include "tests/support/known_wine_differences.h"

namespace {

TEST(Events, ManualResetStaysSignalledAndAutoResetReleasesOneWaiter) {
    unique_handle manual(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(manual);
    EXPECT_EQ(WaitForSingleObject(manual.get(), 10), static_cast<DWORD>(WAIT_TIMEOUT));
    std::thread setter([&] { SetEvent(manual.get()); });
    EXPECT_EQ(WaitForSingleObject(manual.get(), INFINITE), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(manual.get(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual.get()));
    EXPECT_EQ(WaitForSingleObject(manual.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    unique_handle automatic(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(automatic.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Events, AClosedHandleIsRefused) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(event));
}

TEST(Events, NamedEventsAreNotSupported) {
    SKIP_WHERE_WINE_DIFFERS(WineDifference::kNamedEventsOnWindowsOnly);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, TEXT("named")), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

}  // namespace
