// Contract of VarUI4FromStr, written against the Win32 name: decimal numbers
// with blanks around them, and Windows' codes for no number and out of range.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

namespace {

struct Conversion {
    const WCHAR* text;
    HRESULT expected;
    ULONG value;
};

class NumberFromText : public ::testing::TestWithParam<Conversion> {};

TEST_P(NumberFromText, ConvertsAsWindows) {
    ULONG value = 7;
    EXPECT_EQ(VarUI4FromStr(const_cast<LPOLESTR>(GetParam().text), 0, 0, &value), GetParam().expected);
    EXPECT_EQ(value, SUCCEEDED(GetParam().expected) ? GetParam().value : 7u) << "untouched on failure";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberFromText,
    ::testing::Values(Conversion{TEXT("0"), S_OK, 0}, Conversion{TEXT("4294967295"), S_OK, 4294967295u},
                      Conversion{TEXT(" \t0100 "), S_OK, 100}, Conversion{TEXT("+12"), S_OK, 12}, Conversion{TEXT("-0"), S_OK, 0},
                      Conversion{TEXT("4294967296"), DISP_E_OVERFLOW, 0},
                      Conversion{TEXT("99999999999999999999999"), DISP_E_OVERFLOW, 0},
                      Conversion{TEXT("-1"), DISP_E_OVERFLOW, 0}, Conversion{TEXT(""), DISP_E_TYPEMISMATCH, 0},
                      Conversion{TEXT("  "), DISP_E_TYPEMISMATCH, 0}, Conversion{TEXT("abc"), DISP_E_TYPEMISMATCH, 0},
                      Conversion{TEXT("12abc"), DISP_E_TYPEMISMATCH, 0}, Conversion{TEXT("0x10"), DISP_E_TYPEMISMATCH, 0}));

TEST(NumberFromTextNull, IsATypeMismatch) {
    ULONG value = 0;
    EXPECT_EQ(VarUI4FromStr(nullptr, 0, 0, &value), DISP_E_TYPEMISMATCH);
}

}  // namespace
