// The warning handler with a recording delivery policy: the exact toast text,
// the selection, escaping of the path and directory, which inputs and
// arguments lead where, the version gate, the user-input lookup, and the
// once-per-process strings.
#include "notify/riva_vavirezar_toast.h"

#include <gtest/gtest.h>

#include "notify/platform_queries.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/process_stand_ins.h"
#include "tests/notify/expected_toast.h"
#include "tests/notify/test_support.h"
#include "tests/notify/unavailable_xml_class.h"

#include <filesystem>
#include <memory>

namespace {

// Records every key the handler looks up, in order.
class ObservedHandler : public RivaVavirezarToast<RecordingToaster, UnusedIsolation> {
public:
    ObservedHandler()
        : RivaVavirezarToast(std::make_shared<RecordingToaster>(), std::make_shared<UnusedIsolation>()) {}
    explicit ObservedHandler(const std::shared_ptr<RecordingToaster>& toaster)
        : RivaVavirezarToast(toaster, std::make_shared<UnusedIsolation>()), toaster_(toaster) {}

    bool FindUserInput(const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count, LPCWSTR key,
                       CWideString& value) override {
        lookups.emplace_back(key);
        return RivaVavirezarToast::FindUserInput(data, count, key, value);
    }

    std::vector<std::u16string> lookups;
    std::shared_ptr<RecordingToaster> toaster_;
};

struct Display {
    std::shared_ptr<RecordingToaster> toaster = std::make_shared<RecordingToaster>();
    ObservedHandler handler{toaster};

    std::vector<std::u16string> Run(const char16_t* arguments, const UserInputs& inputs) {
        handler.HandleActivation(arguments, inputs.data(), inputs.count());
        return toaster->Delivered();
    }
};

std::u16string Directory() { return ToU16(GetModuleDirectory()); }

const auto* const environment = testing::AddGlobalTestEnvironment(new ActivationEnvironment);

TEST(WarningDisplay, BuildsTheWholeEnglishToastWithTheSelection) {
    for (const char16_t* choice : {u"true", u"TRUE", u"True"}) {
        Display display;
        const auto delivered = display.Run(u"RivaVavirezar.display", {{u"Path", u"C:\\Data\\Case"}, {u"ShowAgainChoice", choice}});
        ASSERT_EQ(delivered.size(), 1u) << pal::ToUtf8(choice);
        EXPECT_EQ(delivered[0], ExpectedEnglishToast(Directory(), u"C:\\Data\\Case", true)) << pal::ToUtf8(choice);
    }
}

TEST(WarningDisplay, LeavesTheSelectionOutForAnyOtherChoice) {
    for (const char16_t* choice : {u"false", u"", u"yes", u"true ", u"tru"}) {
        Display display;
        const auto delivered = display.Run(u"RivaVavirezar.display", {{u"ShowAgainChoice", choice}, {u"Path", u"D:\\x"}});
        ASSERT_EQ(delivered.size(), 1u) << pal::ToUtf8(choice);
        EXPECT_EQ(delivered[0], ExpectedEnglishToast(Directory(), u"D:\\x", false)) << pal::ToUtf8(choice);
    }
}

TEST(WarningDisplay, EscapesThePathByTheTableWhenTheXmlClassIsUnavailable) {
    XmlDocumentUnavailable unavailable;
    Display display;
    const auto delivered =
        display.Run(u"RivaVavirezar.display", {{u"Path", u"C:\\R&D <\"x\"> 'y'"}, {u"ShowAgainChoice", u"no"}});
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0], ExpectedEnglishToast(Directory(), u"C:\\R&amp;D &lt;&quot;x&quot;&gt; 'y'", false));
    EXPECT_GE(unavailable.Activations(), 2) << "the platform path is tried first, for the path and the directory";
}

TEST(WarningDisplay, EscapesThePathThroughThePlatformSerializerOtherwise) {
    Display display;
    const auto delivered = display.Run(u"RivaVavirezar.display", {{u"Path", u"C:\\a&b<c>d \"q\" 'a'"}, {u"ShowAgainChoice", u"no"}});
    ASSERT_EQ(delivered.size(), 1u);
    // A text node keeps its quotation marks as they are.
    EXPECT_EQ(delivered[0], ExpectedEnglishToast(Directory(), u"C:\\a&amp;b&lt;c&gt;d \"q\" 'a'", false));
}

TEST(WarningDisplay, NeedsBothInputsAndLooksUpTheChoiceOnlyAfterThePath) {
    struct Case {
        const char* name;
        UserInputs inputs;
        std::vector<std::u16string> lookups;
    } cases[] = {
        {"path only", {{u"Path", u"C:\\x"}}, {u"Path", u"ShowAgainChoice"}},
        {"choice only", {{u"ShowAgainChoice", u"true"}}, {u"Path"}},
        {"neither", {}, {u"Path"}},
        {"a key that only starts like Path", {{u"Paths", u"C:\\x"}, {u"ShowAgainChoice", u"true"}}, {u"Path"}},
    };
    for (const Case& test : cases) {
        Display display;
        EXPECT_TRUE(display.Run(u"RivaVavirezar.display", test.inputs).empty()) << test.name;
        EXPECT_EQ(display.handler.lookups, test.lookups) << test.name;
    }
    Display nullArray;
    nullArray.handler.HandleActivation(u"RivaVavirezar.display", nullptr, 3);
    EXPECT_TRUE(nullArray.toaster->Delivered().empty());
}

TEST(WarningActivation, ChoosesThePathByTheStartOfTheArguments) {
    const UserInputs inputs{{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}, {u"repeat", u"showagain"}};
    struct Case {
        const char16_t* arguments;
        size_t toasts;
        std::vector<std::u16string> lookups;
    } cases[] = {
        {u"RivaVavirezar.display", 1, {u"Path", u"ShowAgainChoice"}},
        {u"RivaVavirezar.displayX", 1, {u"Path", u"ShowAgainChoice"}},
        {u"RivaVavirezar.dismiss", 0, {u"repeat"}},
        {u"RivaVavirezar.dismissed", 0, {u"repeat"}},
        {u"rivavavirezar.display", 0, {}},
        {u"RivaVavirezar.Dismiss", 0, {}},
        {u" RivaVavirezar.display", 0, {}},
        {u"RivaVavirezar.", 0, {}},
        {u"", 0, {}},
        {nullptr, 0, {}},
    };
    for (const Case& test : cases) {
        Display display;
        const std::string name = test.arguments ? pal::ToUtf8(test.arguments) : "(null)";
        EXPECT_EQ(display.Run(test.arguments, inputs).size(), test.toasts) << name;
        EXPECT_EQ(display.handler.lookups, test.lookups) << name;
    }
}

TEST(WarningActivation, DoesNothingBeforeWindows10) {
    for (const char* version : {"6.3", "6.1"}) {
        setenv("PAL_WINDOWS_VERSION", version, 1);
        ExpectInFreshProcess([] {
            Display display;
            const UserInputs inputs{{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}, {u"repeat", u"dismiss"}};
            for (const char16_t* arguments : {u"RivaVavirezar.display", u"RivaVavirezar.dismiss"}) {
                display.Run(arguments, inputs);
            }
            if (!display.toaster->Delivered().empty()) return std::string("a toast was delivered");
            if (!display.handler.lookups.empty()) return std::string("an input was looked up");
            return std::string();
        });
        unsetenv("PAL_WINDOWS_VERSION");
    }
}

TEST(FindUserInput, TakesTheFirstWholeKeyMatchFoldingOnlyAsciiLetters) {
    ObservedHandler handler;
    const UserInputs inputs{{u"pATH", u"first"}, {u"Path", u"second"}, {u"Pfad", u"other"}};
    CWideString value;
    EXPECT_TRUE(handler.FindUserInput(inputs.data(), inputs.count(), u"Path", value));
    EXPECT_EQ(ToU16(value), u"first");

    const UserInputs longer{{u"PathX", u"v"}, {u"Pat", u"w"}};
    CWideString untouched(u"kept");
    EXPECT_FALSE(handler.FindUserInput(longer.data(), longer.count(), u"Path", untouched));
    EXPECT_EQ(ToU16(untouched), u"kept");

    // Only A-Z fold: a Latin capital with a diacritic is another key.
    const UserInputs accented{{u"\u00c9t\u00e9", u"v"}};
    CWideString accentedValue;
    EXPECT_FALSE(handler.FindUserInput(accented.data(), accented.count(), u"\u00e9t\u00e9", accentedValue));
}

TEST(FindUserInput, HandlesNullValuesKeysAndArraysAndRespectsTheCount) {
    ObservedHandler handler;
    const UserInputs inputs{{nullptr, u"no key"}, {u"Path", nullptr}, {u"repeat", u"dismiss"}};
    CWideString value(u"stale");
    EXPECT_TRUE(handler.FindUserInput(inputs.data(), inputs.count(), u"Path", value));
    EXPECT_EQ(ToU16(value), u"") << "a null value is the empty text";
    CWideString beyond;
    EXPECT_FALSE(handler.FindUserInput(inputs.data(), 2, u"repeat", beyond)) << "entries past count are not read";
    EXPECT_FALSE(handler.FindUserInput(inputs.data(), 0, u"Path", beyond));
    EXPECT_FALSE(handler.FindUserInput(nullptr, 5, u"Path", beyond));
}

TEST(WarningStrings, AreLoadedOncePerProcess) {
    Display first;
    const UserInputs inputs{{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}};
    const auto english = first.Run(u"RivaVavirezar.display", inputs);
    UseLanguage("de_DE.UTF-8");
    Display second;
    const auto later = second.Run(u"RivaVavirezar.display", inputs);
    UseLanguage("en_GB.UTF-8");
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later, english) << "a later change of language does not change later toasts";
}

TEST(WarningStrings, FollowTheLanguageOfTheFirstDisplay) {
    ExpectInFreshProcess([] {
        UseLanguage("de_AT.UTF-8");
        Display display;
        const auto delivered = display.Run(u"RivaVavirezar.display", {{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}});
        if (delivered.size() != 1) return std::string("no toast");
        std::u16string german = ExpectedEnglishToast(Directory(), u"C:\\x", true);
        german = ReplaceMarker(german, u"Encryption is not supported in case sensitive folders",
                               u"Verschl\u00fcsselung ist in auf Gro\u00df-/Kleinschreibung basierenden Ordnern nicht unterst\u00fctzt");
        german = ReplaceMarker(german, u"Refer to KB31415 for more details", u"Weitere Informationen finden Sie in KB31415.");
        german = ReplaceMarker(german, u">Path: ", u">Pfad: ");
        german = ReplaceMarker(german, u"Never show this warning again", u"Diese Warnung nicht mehr anzeigen");
        german = ReplaceMarker(german, u"Show this warning again", u"Diese Warnung erneut anzeigen");
        german = ReplaceMarker(german, u"content=\"Dismiss\"", u"content=\"Schlie\u00dfen\"");
        return Mismatch(german, delivered[0]);
    });
}

TEST(WarningStrings, AreLoadedAgainAfterAFailedFirstLoad) {
    ExpectInFreshProcess([] {
        Display display;
        const UserInputs inputs{{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}};
        // The first string's escaping cannot make its platform string reference.
        pal::testing::InjectFailure(pal::testing::Fault::WindowsCreateStringReference,
                                    static_cast<DWORD>(E_OUTOFMEMORY));
        try {
            display.Run(u"RivaVavirezar.display", inputs);
            return std::string("the failed load did not end the display");
        } catch (const winsdk::RaisedException& raised) {
            if (raised.code != static_cast<DWORD>(E_OUTOFMEMORY)) return std::string("raised another code");
        }
        const auto delivered = display.Run(u"RivaVavirezar.display", inputs);
        if (delivered.size() != 1) return std::string("the next display delivered nothing");
        return Mismatch(ExpectedEnglishToast(Directory(), u"C:\\x", true), delivered[0]);
    });
}

TEST(WarningDisplay, IgnoresAFailedDelivery) {
    Display display;
    display.toaster->FailDeliveriesWith(E_FAIL);
    EXPECT_NO_THROW(display.Run(u"RivaVavirezar.display", {{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}}));
    EXPECT_EQ(display.toaster->Delivered().size(), 1u);
}

// The program's directory is escaped too: the test program, copied into a
// directory whose name holds the special characters, checks its own toast.
TEST(WarningDisplay, EscapesTheProgramDirectory) {
    const char* expected = std::getenv("QUILL_EXPECTED_DIRECTORY");
    if (expected == nullptr) {
        namespace fs = std::filesystem;
        const fs::path scratch = fs::temp_directory_path() / ("quill-dir-" + std::to_string(getpid()));
        const fs::path directory = scratch / "R&D <team>";
        fs::create_directories(directory);
        const fs::path copy = directory / "notify_handler_tests";
        fs::copy_file("/proc/self/exe", copy);
        const std::string escaped = (scratch / "R&amp;D &lt;team&gt;").string();
        const std::string command = "QUILL_EXPECTED_DIRECTORY='" + escaped + "' '" + copy.string() +
                                    "' --gtest_filter=WarningDisplay.EscapesTheProgramDirectory >/dev/null";
        const int status = std::system(command.c_str());
        fs::remove_all(scratch);
        EXPECT_EQ(status, 0) << "the copy at " << copy << " found another directory in its toast";
        return;
    }
    for (const bool tableOnly : {false, true}) {
        std::unique_ptr<XmlDocumentUnavailable> unavailable;
        if (tableOnly) unavailable = std::make_unique<XmlDocumentUnavailable>();
        Display display;
        const auto delivered = display.Run(u"RivaVavirezar.display", {{u"Path", u"x"}, {u"ShowAgainChoice", u"true"}});
        ASSERT_EQ(delivered.size(), 1u);
        EXPECT_EQ(delivered[0], ExpectedEnglishToast(pal::FromUtf8(expected), u"x", true));
    }
}

// Each piece is placed as it is given: a string the table does not give stands
// in as its missing-string text, and the program's directory as the platform
// reports it (a drive root keeps its backslash; no file name, no directory).
// Each row runs in a process of its own: strings and directory are kept once known.
TEST(WarningDisplay, PlacesEachPieceAsItIsGiven) {
    struct Row {
        const char* what;
        void (*arrange)();
        std::u16string (*expected)();
    };
    const Row rows[] = {
        {"the title missing from the table",
         [] {
             // Each string is looked up twice (which module holds it, then its block):
             // the first look-up of string 102 fails.
             pal::testing::InjectFailureAfter(pal::testing::Fault::FindResource, 2, ERROR_RESOURCE_NAME_NOT_FOUND);
         },
         [] {
             return ReplaceMarker(ExpectedEnglishToast(Directory(), u"C:\\x", true),
                                  u"Encryption is not supported in case sensitive folders",
                                  u"String resource 102 missing");
         }},
        {"a program in a drive root", [] { pal::testing::ReportModuleFileName(u"C:\\QuillNotification.exe"); },
         [] { return ExpectedEnglishToast(u"C:\\", u"C:\\x", true); }},
        {"the program's file name unavailable",
         [] { pal::testing::InjectFailure(pal::testing::Fault::GetModuleFileName, ERROR_NOT_ENOUGH_MEMORY, 100); },
         [] { return ExpectedEnglishToast(u"", u"C:\\x", true); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ExpectInFreshProcess([&] {
            row.arrange();
            Display display;
            const auto delivered =
                display.Run(u"RivaVavirezar.display", {{u"Path", u"C:\\x"}, {u"ShowAgainChoice", u"true"}});
            pal::testing::InjectFailure(pal::testing::Fault::FindResource, 0);
            pal::testing::InjectFailure(pal::testing::Fault::GetModuleFileName, 0);
            if (delivered.size() != 1) return std::string("no toast");
            return Mismatch(row.expected(), delivered[0]);
        });
    }
}

}  // namespace
