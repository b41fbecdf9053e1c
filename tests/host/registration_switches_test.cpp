// Which registration switch an argument text names: any letter case, after
// "-" or "/", ended by the end of the text, a TAB or a SPACE; the first
// recognised switch wins.
#include <gtest/gtest.h>

#include <string>

#include "host/registration_switches.h"

namespace {

struct Spelling {
    const char16_t* arguments;
    RegistrationSwitch expected;
};

class SwitchSpelling : public ::testing::TestWithParam<Spelling> {};

TEST_P(SwitchSpelling, IsRecognisedAsWindowsDoes) {
    EXPECT_EQ(FindRegistrationSwitch(GetParam().arguments), GetParam().expected);
}

using enum RegistrationSwitch;
INSTANTIATE_TEST_SUITE_P(
    Arguments, SwitchSpelling,
    ::testing::Values(Spelling{u"", None}, Spelling{u"-", None}, Spelling{u"x /", None},
                      Spelling{u"RegServer", None}, Spelling{u"-Embedding", None},
                      Spelling{u"-RegServer", RegServer}, Spelling{u"/regserver", RegServer},
                      Spelling{u"-REGSERVER\tmore", RegServer}, Spelling{u"--RegServer", RegServer},
                      Spelling{u"-RegServerX", None}, Spelling{u"-RegServe", None},
                      Spelling{u"-UnregServer ", UnregServer}, Spelling{u"/UnregServerPerUser", UnregServerPerUser},
                      Spelling{u"-regserverperuser", RegServerPerUser},
                      Spelling{u"-RegServerPerUser -UnregServer", RegServerPerUser},
                      Spelling{u"/UnregServer /RegServer", UnregServer},
                      Spelling{u"C:/dir/RegServer", RegServer}, Spelling{u"a-b -RegServer2 /Unregserver", UnregServer}));

TEST(SwitchSpelling, NullTextHoldsNoSwitch) { EXPECT_EQ(FindRegistrationSwitch(nullptr), None); }

}  // namespace
