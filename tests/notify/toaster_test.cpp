// DeliverToast against fakes of the platform's runtime classes: the order of
// the steps, which failure wins, what is passed along and that every reference
// is released, in the right order, whatever the outcome.
#include "notify/toaster.h"

#include <roapi.h>

#include <gtest/gtest.h>

#include <raised_exception.h>

#include "notify/app_identity.h"
#include "notify/string_reference.h"
#include "platform/posix/testing/fault_injection.h"
#include "tests/notify/delivery_fixture.h"
#include "tests/notify/fake_runtime.h"

namespace {

constexpr WCHAR kToastXml[] = u"<toast><visual><binding template=\"ToastGeneric\"><text>Hi</text></binding></visual></toast>";
constexpr HRESULT kXmlMissingRoot = static_cast<HRESULT>(0xC00CE558);

class DeliverToast : public StartedUp {
protected:
    void TearDown() override {
        pal::testing::InjectFailure(pal::testing::Fault::WindowsCreateStringReference, 0);
        StartedUp::TearDown();
    }

    // Nothing the delivery obtained is still held.
    void ExpectEverythingReleased() {
        EXPECT_EQ(fake.journal.liveObjects.load(), 0);
        EXPECT_EQ(fake.ExtraReferences(fake.DocumentFactory()), 0u);
        EXPECT_EQ(fake.ExtraReferences(fake.ManagerFactory()), 0u);
        EXPECT_EQ(fake.ExtraReferences(fake.ToastFactory()), 0u);
    }

    fakes::Runtime fake;
};

TEST_F(DeliverToast, ShowsTheParsedDocumentUnderTheAppUserModelId) {
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), S_OK);

    fakes::Journal& journal = fake.journal;
    ASSERT_EQ(journal.loadedTexts.size(), 1u);
    EXPECT_EQ(journal.loadedTexts[0], kToastXml);
    EXPECT_EQ(journal.notifierIds, std::vector<std::u16string>{u"Corvane.Tessaline"});
    EXPECT_EQ(journal.contentGiven, journal.lastDocument) << "the toast wraps the parsed document";
    EXPECT_EQ(journal.toastShown, journal.lastToast);
    EXPECT_EQ(journal.showCalls.load(), 1);
    EXPECT_EQ(journal.released, (std::vector<std::string>{"toast", "notifier", "document"}));
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, NullTextFailsWithoutAnyPlatformCall) {
    // An armed string-reference fault would raise if any reference were made.
    pal::testing::InjectFailure(pal::testing::Fault::WindowsCreateStringReference, static_cast<DWORD>(E_OUTOFMEMORY));
    EXPECT_EQ(Toaster::DeliverToast(nullptr), E_FAIL);
    EXPECT_NE(pal::testing::TakeInjectedFailure(pal::testing::Fault::WindowsCreateStringReference), 0u);
    EXPECT_EQ(fake.journal.documentsActivated.load(), 0);
    EXPECT_EQ(fake.journal.managerRequests.load(), 0);
    EXPECT_EQ(fake.journal.toastFactoryRequests.load(), 0);
}

TEST_F(DeliverToast, ARefusedTextReturnsTheParserCodeAndOpensNoNotifier) {
    fake.journal.loadXmlResult = kXmlMissingRoot;
    EXPECT_EQ(Toaster::DeliverToast(u""), kXmlMissingRoot);
    EXPECT_EQ(fake.journal.loadedTexts, std::vector<std::u16string>{u""}) << "the empty text still reaches LoadXml";
    EXPECT_EQ(fake.journal.managerRequests.load(), 0);
    EXPECT_TRUE(fake.journal.notifierIds.empty());
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, ARefusedTextWinsOverNotReady) {
    ServerReady.store(false, std::memory_order_release);
    fake.journal.loadXmlResult = kXmlMissingRoot;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), kXmlMissingRoot);
}

TEST_F(DeliverToast, BeforeStartUpIsCompleteItParsesThenRefusesWithoutAskingForTheManager) {
    for (const auto& [identity, server] : {std::pair{false, false}, {true, false}, {false, true}}) {
        IdentityReady.store(identity, std::memory_order_release);
        ServerReady.store(server, std::memory_order_release);
        const int parsedBefore = fake.journal.loadXmlCalls.load();
        EXPECT_EQ(Toaster::DeliverToast(kToastXml), E_ILLEGAL_METHOD_CALL);
        EXPECT_EQ(fake.journal.loadXmlCalls.load(), parsedBefore + 1) << "the parse comes first";
    }
    EXPECT_EQ(fake.journal.managerRequests.load(), 0);
    EXPECT_EQ(fake.journal.toastFactoryRequests.load(), 0);
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, AFailedToastCreationSkipsShowAndIsReturned) {
    fake.journal.createToastResult = E_OUTOFMEMORY;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), E_OUTOFMEMORY);
    EXPECT_EQ(fake.journal.showCalls.load(), 0);
    EXPECT_EQ(fake.journal.released, (std::vector<std::string>{"notifier", "document"}));
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, PlatformFailuresOfEachStepArePassedOnUnchanged) {
    const HRESULT kFailure = static_cast<HRESULT>(0x80070490);
    fakes::Journal& journal = fake.journal;

    journal.activateResult = kFailure;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), kFailure);
    journal.activateResult = S_OK;

    journal.documentAnswersIO = false;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), E_NOINTERFACE);
    journal.documentAnswersIO = true;

    journal.createNotifierResult = kFailure;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), kFailure);
    EXPECT_EQ(journal.toastFactoryRequests.load(), 0) << "no toast is made without a notifier";
    journal.createNotifierResult = S_OK;

    journal.toastFactoryResult = kFailure;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), kFailure);
    EXPECT_EQ(journal.toastFactoryRequests.load(), 1);
    EXPECT_EQ(journal.toastsCreated.load(), 0);
    EXPECT_EQ(journal.showCalls.load(), 0) << "nothing is shown without a toast";
    journal.toastFactoryResult = S_OK;

    journal.showResult = kFailure;
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), kFailure);
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, AFactoryWithoutTheInterfaceIsANoInterfaceFailure) {
    {
        // A class that only answers IActivationFactory stands in for the manager.
        pal::testing::RuntimeClassOverride bare(u"Windows.UI.Notifications.ToastNotificationManager",
                                                fake.DocumentFactory());
        EXPECT_EQ(Toaster::DeliverToast(kToastXml), E_NOINTERFACE);
    }
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, TwoDeliveriesOpenTwoNotifiersUnderTheSameId) {
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), S_OK);
    EXPECT_EQ(Toaster::DeliverToast(kToastXml), S_OK);
    EXPECT_EQ(fake.journal.notifiersCreated.load(), 2);
    EXPECT_EQ(fake.journal.notifierIds, (std::vector<std::u16string>{u"Corvane.Tessaline", u"Corvane.Tessaline"}));
    EXPECT_EQ(fake.journal.documentsActivated.load(), 2) << "nothing is cached between toasts";
    ExpectEverythingReleased();
}

TEST_F(DeliverToast, AStringReferenceThatCannotBeMadeIsRaisedAndReleasesWhatWasHeld) {
    // Fail the first reference made after the parse: the manager's class name.
    fake.journal.onLoadXml = [] {
        pal::testing::InjectFailure(pal::testing::Fault::WindowsCreateStringReference,
                                    static_cast<DWORD>(E_STRING_NOT_NULL_TERMINATED));
    };
    try {
        Toaster::DeliverToast(kToastXml);
        ADD_FAILURE() << "expected a raised exception";
    } catch (const winsdk::RaisedException& raised) {
        EXPECT_EQ(raised.code, static_cast<DWORD>(E_STRING_NOT_NULL_TERMINATED));
        EXPECT_EQ(raised.flags, static_cast<DWORD>(EXCEPTION_NONCONTINUABLE));
    }
    EXPECT_EQ(fake.journal.managerRequests.load(), 0);
    ExpectEverythingReleased();

    // At the COM boundary the raised code becomes the HRESULT.
    pal::testing::InjectFailure(pal::testing::Fault::WindowsCreateStringReference, static_cast<DWORD>(E_OUTOFMEMORY));
    fake.journal.onLoadXml = nullptr;
    EXPECT_EQ(winsdk::GuardRaisedExceptions([] { return Toaster::DeliverToast(kToastXml); }), E_OUTOFMEMORY);
}

TEST(StringLength, FitsUpTo0xFFFFFFFEUnitsAndRaisesBeyond) {
    EXPECT_EQ(CheckedStringLength(0), 0u);
    EXPECT_EQ(CheckedStringLength(0xFFFFFFFEu), 0xFFFFFFFEu);
    for (const size_t tooLong : {size_t{0xFFFFFFFFu}, size_t{1} << 33}) {
        try {
            CheckedStringLength(tooLong);
            ADD_FAILURE() << "expected 0x80070216 for " << tooLong;
        } catch (const winsdk::RaisedException& raised) {
            EXPECT_EQ(raised.code, 0x80070216u);
            EXPECT_EQ(raised.flags, static_cast<DWORD>(EXCEPTION_NONCONTINUABLE));
        }
    }
}

}  // namespace
