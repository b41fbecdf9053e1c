// What the platform keeps of RoOriginateError calls: failures only, messages cut
// at the first NUL and to 511 units (512 with the terminator).
#include <notification_platform.h>

#include <gtest/gtest.h>

#include "platform/posix/testing/originated_errors.h"

namespace {

TEST(OriginatedErrors, KeepFailuresWithTheirMessagesCut) {
    pal::testing::ForgetOriginatedErrors();
    RoOriginateError(S_OK, nullptr);
    RoOriginateError(E_FAIL, nullptr);
    const std::u16string longMessage(600, u'x');
    HSTRING message = nullptr;
    ASSERT_EQ(WindowsCreateString(longMessage.data(), 600, &message), S_OK);
    RoOriginateError(CLASS_E_NOAGGREGATION, message);
    WindowsDeleteString(message);
    ASSERT_EQ(WindowsCreateString(u"before\0after", 12, &message), S_OK);
    RoOriginateError(E_INVALIDARG, message);
    WindowsDeleteString(message);

    const auto errors = pal::testing::OriginatedErrors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].code, E_FAIL);
    EXPECT_EQ(errors[0].message, u"");
    EXPECT_EQ(errors[1].code, CLASS_E_NOAGGREGATION);
    EXPECT_EQ(errors[1].message, std::u16string(511, u'x'));
    EXPECT_EQ(errors[2].message, u"before");
}

}  // namespace
