// Contract tests for Windows Runtime initialisation, activation, error
// origination and the toast classes, against the Windows names and interfaces.
#include <notification_platform.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "common/com_ptr.h"

namespace {

class ClassName {
public:
    explicit ClassName(const WCHAR* name) {
        EXPECT_EQ(WindowsCreateStringReference(name, static_cast<UINT32>(std::char_traits<WCHAR>::length(name)), &header_,
                                               &string_),
                  S_OK);
    }
    HSTRING get() const { return string_; }

private:
    HSTRING_HEADER header_;
    HSTRING string_ = nullptr;
};

const ClassName& Manager() {
    static const ClassName name(u"Windows.UI.Notifications.ToastNotificationManager");
    return name;
}

TEST(RoInitialize, GivesOneMultithreadedApartmentThatEveryThreadMayUse) {
    const ClassName xml(u"Windows.Data.Xml.Dom.XmlDocument");
    int marker = 0;
    IInspectable* untouched = reinterpret_cast<IInspectable*>(&marker);  // anything but null
    EXPECT_EQ(RoActivateInstance(xml.get(), &untouched), CO_E_NOTINITIALIZED) << "no apartment yet";
    EXPECT_EQ(untouched, nullptr) << "a failed activation leaves no pointer to release";
    EXPECT_EQ(RoInitialize(RO_INIT_SINGLETHREADED), E_NOTIMPL) << "no single-threaded apartments here";
    com_ptr<IInspectable> instance;
    EXPECT_EQ(RoActivateInstance(xml.get(), instance.put()), CO_E_NOTINITIALIZED) << "and the refusal opened none";

    ASSERT_EQ(RoInitialize(RO_INIT_MULTITHREADED), S_OK);
    EXPECT_EQ(RoInitialize(RO_INIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(RoInitialize(RO_INIT_SINGLETHREADED), RPC_E_CHANGED_MODE);
    HRESULT fromOtherThread = E_FAIL;
    std::thread([&] {
        com_ptr<IInspectable> other;
        fromOtherThread = RoActivateInstance(xml.get(), other.put());
    }).join();
    EXPECT_EQ(fromOtherThread, S_OK) << "the implicit MTA serves threads that did not initialise";
    RoUninitialize();
    EXPECT_EQ(RoActivateInstance(xml.get(), instance.put()), S_OK) << "one initialisation is still open";
    RoUninitialize();
    EXPECT_EQ(RoActivateInstance(xml.get(), instance.put()), CO_E_NOTINITIALIZED);
}

class Runtime : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RoInitialize(RO_INIT_MULTITHREADED), S_OK); }
    void TearDown() override { RoUninitialize(); }
};

TEST_F(Runtime, ResolvesOnlyKnownClassesAndTheirInterfaces) {
    const ClassName unknown(u"Windows.Data.Xml.Dom.XmlDocumentX");
    com_ptr<IInspectable> instance;
    EXPECT_EQ(RoActivateInstance(unknown.get(), instance.put()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(RoActivateInstance(nullptr, instance.put()), E_INVALIDARG);

    com_ptr<winsdk::IToastNotificationManagerStatics> statics;
    EXPECT_EQ(RoGetActivationFactory(Manager().get(), __uuidof(winsdk::IToastNotificationManagerStatics), statics.put_void()),
              S_OK);
    com_ptr<winsdk::IToastNotificationFactory> wrong;
    EXPECT_EQ(RoGetActivationFactory(Manager().get(), __uuidof(winsdk::IToastNotificationFactory), wrong.put_void()),
              E_NOINTERFACE);
    EXPECT_EQ(wrong.get(), nullptr);
}

TEST_F(Runtime, TheManagerWantsAnApplicationId) {
    com_ptr<winsdk::IToastNotificationManagerStatics> statics;
    ASSERT_EQ(RoGetActivationFactory(Manager().get(), __uuidof(winsdk::IToastNotificationManagerStatics), statics.put_void()),
              S_OK);
    com_ptr<winsdk::IToastNotifier> notifier;
    EXPECT_EQ(statics->CreateToastNotifierWithId(nullptr, notifier.put()), E_INVALIDARG);
    EXPECT_EQ(statics->CreateToastNotifier(notifier.put()), static_cast<HRESULT>(0x80070490))
        << "a desktop program without package identity must name its AppUserModelID";
    const ClassName id(u"Corvane.Tessaline");
    EXPECT_EQ(statics->CreateToastNotifierWithId(id.get(), notifier.put()), S_OK);
    EXPECT_EQ(notifier->Show(nullptr), E_INVALIDARG);

    const ClassName toastClass(u"Windows.UI.Notifications.ToastNotification");
    com_ptr<winsdk::IToastNotificationFactory> factory;
    ASSERT_EQ(RoGetActivationFactory(toastClass.get(), __uuidof(winsdk::IToastNotificationFactory), factory.put_void()), S_OK);
    com_ptr<winsdk::IToastNotification> toast;
    EXPECT_EQ(factory->CreateToastNotification(nullptr, toast.put()), E_INVALIDARG);
}

TEST(RoOriginateError, ReportsFailuresOnly) {
    EXPECT_FALSE(RoOriginateError(S_OK, nullptr));
    EXPECT_FALSE(RoOriginateError(S_FALSE, nullptr));
    EXPECT_TRUE(RoOriginateError(CLASS_E_NOAGGREGATION, nullptr));
    const std::u16string longMessage(600, u'x');
    HSTRING message = nullptr;
    ASSERT_EQ(WindowsCreateString(longMessage.data(), static_cast<UINT32>(longMessage.size()), &message), S_OK);
    EXPECT_TRUE(RoOriginateError(E_FAIL, message));
    WindowsDeleteString(message);
}

}  // namespace
