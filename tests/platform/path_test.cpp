// Path trimming: the last element goes, a root keeps its separator.
#include <pathcch.h>
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char16_t* path;
    const char16_t* trimmed;
    HRESULT result;
};

class PathTrimming : public ::testing::TestWithParam<Case> {};

TEST_P(PathTrimming, RemovesTheLastElement) {
    const Case& c = GetParam();
    WCHAR buffer[MAX_PATH + 1] = {};
    std::char_traits<WCHAR>::copy(buffer, c.path, std::char_traits<WCHAR>::length(c.path));
    EXPECT_EQ(PathCchRemoveFileSpec(buffer, MAX_PATH), c.result);
    EXPECT_EQ(std::u16string(buffer), std::u16string(c.trimmed));

    WCHAR legacy[MAX_PATH + 1] = {};
    std::char_traits<WCHAR>::copy(legacy, c.path, std::char_traits<WCHAR>::length(c.path));
    EXPECT_EQ(PathRemoveFileSpecW(legacy), c.result == S_OK ? TRUE : FALSE);
    EXPECT_EQ(std::u16string(legacy), std::u16string(c.trimmed));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTrimming,
    ::testing::Values(Case{u"C:\\Program Files\\Corvane\\QuillNotification.exe", u"C:\\Program Files\\Corvane", S_OK},
                      Case{u"C:\\QuillNotification.exe", u"C:\\", S_OK}, Case{u"C:\\", u"C:\\", S_FALSE},
                      Case{u"/opt/quill/QuillNotification", u"/opt/quill", S_OK},
                      Case{u"/QuillNotification", u"/", S_OK}, Case{u"/", u"/", S_FALSE},
                      Case{u"\\\\server\\share\\app.exe", u"\\\\server\\share\\", S_OK},
                      Case{u"dir/mixed\\name.exe", u"dir/mixed", S_OK}, Case{u"name.exe", u"", S_OK},
                      Case{u"", u"", S_FALSE}));

TEST(PathTrimming, RefusesAnUnterminatedBuffer) {
    WCHAR buffer[4] = {u'a', u'b', u'c', u'd'};
    EXPECT_EQ(PathCchRemoveFileSpec(buffer, 4), E_INVALIDARG);
}

}  // namespace
