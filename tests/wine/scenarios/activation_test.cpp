// Activation of the real server from a client in a process of its own under
// Wine, through the lane's proxy/stub and notification runtime: the dismiss
// choice in the registry, the warning toast whole and exact in the Windows UI
// language Wine takes from LANG, nothing shown under 8.1, and the server gone
// after the last release.
#include <gtest/gtest.h>

#include "tests/notify/expected_toast.h"
#include "tests/wine/scenarios/wine_session.h"
#include "tests/wine/wine_records.h"

namespace {

using namespace wine_session;

const std::wstring kPreferenceKey = L"SOFTWARE\\Corvane\\Ardentis";
const wchar_t kPreference[] = L"RivaVavirezarShowWarning";
// Every character the escaping cares about, quotation marks included.
const std::wstring kPath = L"C:\\Users\\R&D <\"Q\"> it's";
const std::u16string kPathBySerializer = u"C:\\Users\\R&amp;D &lt;\"Q\"&gt; it's";

class Activation : public testing::Test {
protected:
    static void SetUpTestSuite() {
        SetWindowsVersion(L"win10");
        ASSERT_EQ(RunProgram(L"\"" + Product() + L"\" -RegServer"), 0u);
    }
    static void TearDownTestSuite() { RunProgram(L"\"" + Product() + L"\" -UnregServer"); }

    void SetUp() override {
        DeleteTree(HKEY_CURRENT_USER, wine_records::kToasts);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kPreferenceKey.c_str(), kPreference);
    }
    void TearDown() override { SetWindowsVersion(L"win10"); }

    // Runs the client with these arguments; its exit code, after which the
    // server must have ended.
    static std::optional<DWORD> Activate(const std::wstring& arguments, const Environment& variables = {}) {
        const std::optional<DWORD> code = RunProgram(L"\"" + LaneFolder() + L"\\quill_activation_client.exe\" " + arguments, variables);
        EXPECT_TRUE(NoProcessLeft(L"QuillNotification.exe", 10000)) << "the server still runs after the last release";
        return code;
    }

    static std::optional<std::pair<DWORD, DWORD>> Preference() {
        return ReadDword(HKEY_CURRENT_USER, kPreferenceKey, kPreference);
    }
};

TEST_F(Activation, DismissWithTheNeverAgainChoiceStoresZeroAndShowAgainStoresNothing) {
    EXPECT_EQ(Activate(L"RivaVavirezar.dismiss repeat=showagain"), 0u);
    EXPECT_EQ(Preference(), std::nullopt);
    EXPECT_EQ(Activate(L"RivaVavirezar.dismiss repeat=dismiss"), 0u);
    EXPECT_EQ(Preference(), std::make_pair(DWORD{REG_DWORD}, DWORD{0}));
    EXPECT_TRUE(ShownToasts().empty());
}

TEST_F(Activation, UnderWindows81TheWarningIsNotShown) {
    SetWindowsVersion(L"win81");
    EXPECT_EQ(Activate(L"RivaVavirezar.display \"Path=C:\\Data\" ShowAgainChoice=true"), 0u);
    EXPECT_TRUE(ShownToasts().empty());
}

struct Language {
    const char* column;
    const wchar_t* lang;
};

class WarningToast : public Activation, public testing::WithParamInterface<std::tuple<Language, bool>> {};

TEST_P(WarningToast, IsShownWholeAndExactInTheUsersLanguage) {
    const auto& [language, withSelection] = GetParam();
    // Wine fixes the UI language of the servers COM starts for the whole session
    // from its LANG: the lane runs one session per language.
    if (Variable(L"LANG") != language.lang) GTEST_SKIP() << "runs in the session with LANG=" << ToUtf8(language.lang);
    // One argument for the client: the path's quotation marks escaped as the C runtime reads them.
    std::wstring quoted = L"RivaVavirezar.display \"Path=";
    for (const wchar_t c : kPath) quoted += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
    quoted += std::wstring(L"\" ShowAgainChoice=") + (withSelection ? L"true" : L"false");
    EXPECT_EQ(Activate(quoted), 0u);
    const std::vector<ShownToast> shown = ShownToasts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].appUserModelId, L"Corvane.Tessaline");
    const std::wstring folder = ProductFolder();
    const std::u16string directory(folder.begin(), folder.end());
    EXPECT_EQ(ToUtf8(shown[0].xml),
              ToUtf8(FromUtf16(ExpectedToast(Column(language.column), directory, kPathBySerializer, withSelection))));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, WarningToast,
    testing::Combine(testing::Values(Language{"English_UK", L"en_GB.UTF-8"}, Language{"German", L"de_DE.UTF-8"},
                                     Language{"Japanese", L"ja_JP.UTF-8"}),
                     testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).column) + (std::get<1>(info.param) ? "_WithSelection" : "_Plain");
    });

}  // namespace
