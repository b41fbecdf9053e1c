// Path trimming: the last element goes, a root keeps its separator.
#include <pathcch.h>
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/known_wine_differences.h"

namespace {

struct Case {
    const WCHAR* path;
    const WCHAR* trimmed;
    HRESULT result;
};

class PathTrimming : public ::testing::TestWithParam<Case> {};

TEST_P(PathTrimming, RemovesTheLastElement) {
    const Case& c = GetParam();
    if (std::basic_string<WCHAR>(c.path).find(TEXT('/')) != std::basic_string<WCHAR>::npos) {
        SKIP_WHERE_WINE_DIFFERS(WineDifference::kSlashSeparatesOnLinuxOnly);
    }
    WCHAR buffer[MAX_PATH + 1] = {};
    std::char_traits<WCHAR>::copy(buffer, c.path, std::char_traits<WCHAR>::length(c.path));
    EXPECT_EQ(PathCchRemoveFileSpec(buffer, MAX_PATH), c.result);
    EXPECT_EQ(std::basic_string<WCHAR>(buffer), std::basic_string<WCHAR>(c.trimmed));

    WCHAR legacy[MAX_PATH + 1] = {};
    std::char_traits<WCHAR>::copy(legacy, c.path, std::char_traits<WCHAR>::length(c.path));
    EXPECT_EQ(PathRemoveFileSpecW(legacy), c.result == S_OK ? TRUE : FALSE);
    EXPECT_EQ(std::basic_string<WCHAR>(legacy), std::basic_string<WCHAR>(c.trimmed));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTrimming,
    ::testing::Values(Case{TEXT("C:\\Program Files\\Corvane\\QuillNotification.exe"), TEXT("C:\\Program Files\\Corvane"), S_OK},
                      Case{TEXT("C:\\QuillNotification.exe"), TEXT("C:\\"), S_OK}, Case{TEXT("C:\\"), TEXT("C:\\"), S_FALSE},
                      Case{TEXT("/opt/quill/QuillNotification"), TEXT("/opt/quill"), S_OK},
                      Case{TEXT("/QuillNotification"), TEXT("/"), S_OK}, Case{TEXT("/"), TEXT("/"), S_FALSE},
                      Case{TEXT("\\\\server\\share\\app.exe"), TEXT("\\\\server\\share"), S_OK},
                      Case{TEXT("dir/mixed\\name.exe"), TEXT("dir/mixed"), S_OK}, Case{TEXT("name.exe"), TEXT(""), S_OK},
                      Case{TEXT(""), TEXT(""), S_FALSE}));

TEST(PathTrimming, RefusesAnUnterminatedBuffer) {
    WCHAR buffer[4] = {TEXT('a'), TEXT('b'), TEXT('c'), TEXT('d')};
    EXPECT_EQ(PathCchRemoveFileSpec(buffer, 4), E_INVALIDARG);
}

}  // namespace
