// The RAII holder closes exactly once and keeps the thread's last error.
#include "common/unique_any.h"

#include <gtest/gtest.h>

namespace {

int closed = 0;
void CountClose(int value) {
    closed += value;
    SetLastError(ERROR_INVALID_HANDLE);  // a release call that disturbs the last error
}
using counted = unique_any<int, &CountClose>;

TEST(UniqueAny, ClosesOnceAndKeepsTheLastError) {
    closed = 0;
    {
        counted first(5);
        counted second = std::move(first);
        EXPECT_FALSE(first);
        SetLastError(ERROR_FILE_NOT_FOUND);
        second.reset(7);
        EXPECT_EQ(closed, 5);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(second.release(), 7);
    }
    EXPECT_EQ(closed, 5) << "a released value is not closed";
    {
        counted third(3);
        *third.put() = 4;
        EXPECT_EQ(closed, 8);
    }
    EXPECT_EQ(closed, 12);
}

}  // namespace
