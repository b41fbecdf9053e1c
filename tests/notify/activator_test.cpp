// The activator: which invoked arguments reach the handler (and unchanged),
// what Activate answers, how raised failures come back, and the order in
// which an activator's handler graph is freed.
#include <notification_platform.h>
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "com/class_entry.h"
#include "common/com_ptr.h"
#include "notify/notification_activator.h"
#include "tests/support/failing_allocations.h"

const ObjectTable& ProgramObjectTable() noexcept {
    static const ClassEntry* const slots[] = {nullptr, nullptr, nullptr};
    static const ObjectTable table = {&slots[0], &slots[1], &slots[2]};
    return table;
}

namespace {

struct Call {
    LPCWSTR invokedArgs;
    const winsdk::NOTIFICATION_USER_INPUT_DATA* data;
    ULONG count;
};

struct RecordingHandler {
    std::vector<Call> calls;
    HRESULT raise = S_OK;
    bool raiseFromPlatform = false;
    void HandleActivation(LPCWSTR invokedArgs, const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) {
        calls.push_back({invokedArgs, data, count});
        if (raiseFromPlatform) RaiseException(static_cast<DWORD>(raise), EXCEPTION_NONCONTINUABLE, 0, nullptr);
        if (FAILED(raise)) RaiseWideStringError(raise);
    }
};

class TestActivator final : public _NotificationActivator<RecordingHandler> {
public:
    explicit TestActivator(const std::shared_ptr<RecordingHandler>& handler) : _NotificationActivator(handler) {}
};

com_ptr<winsdk::INotificationActivationCallback> MakeActivator(const std::shared_ptr<RecordingHandler>& handler) {
    return com_ptr<winsdk::INotificationActivationCallback>::attach(new TestActivator(handler));
}

struct PrefixCase {
    const char16_t* invokedArgs;
    bool reachesHandler;
};

class ActivatorPrefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(ActivatorPrefix, OnlyArgumentsBeginningWithThePrefixReachTheHandler) {
    auto handler = std::make_shared<RecordingHandler>();
    auto activator = MakeActivator(handler);
    const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"Path", u"C:\\data"}, {u"ShowAgainChoice", u"true"}};
    EXPECT_EQ(activator->Activate(u"Corvane.Tessaline", GetParam().invokedArgs, inputs, 2), S_OK);
    ASSERT_EQ(handler->calls.size(), GetParam().reachesHandler ? 1u : 0u);
    if (GetParam().reachesHandler) {
        EXPECT_EQ(handler->calls[0].invokedArgs, GetParam().invokedArgs) << "the text itself, not a copy";
        EXPECT_EQ(handler->calls[0].data, inputs);
        EXPECT_EQ(handler->calls[0].count, 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    InvokedArguments, ActivatorPrefix,
    ::testing::Values(PrefixCase{u"RivaVavirezar.display", true}, PrefixCase{u"RivaVavirezar.dismiss", true},
                      PrefixCase{u"RivaVavirezar.", true}, PrefixCase{u"RivaVavirezar.anything else", true},
                      PrefixCase{u"rivavavirezar.display", false}, PrefixCase{u" RivaVavirezar.display", false},
                      PrefixCase{u"RivaVavirezar", false}, PrefixCase{u"xRivaVavirezar.display", false},
                      PrefixCase{u"", false}, PrefixCase{nullptr, false}));

TEST(Activator, RaisedFailuresComeBackAsTheirCodes) {
    auto handler = std::make_shared<RecordingHandler>();
    auto activator = MakeActivator(handler);
    handler->raise = E_OUTOFMEMORY;
    EXPECT_EQ(activator->Activate(nullptr, u"RivaVavirezar.display", nullptr, 0), E_OUTOFMEMORY);
    handler->raise = E_STRING_NOT_NULL_TERMINATED;
    handler->raiseFromPlatform = true;
    EXPECT_EQ(activator->Activate(nullptr, u"RivaVavirezar.display", nullptr, 0), E_STRING_NOT_NULL_TERMINATED);
    EXPECT_EQ(handler->calls.size(), 2u);
}

std::vector<std::string> freed;
struct OrderToaster {
    ~OrderToaster() { freed.push_back("toaster"); }
    HRESULT DeliverToast(const WCHAR*) { return S_OK; }
};
struct OrderIsolation {
    ~OrderIsolation() { freed.push_back("isolation"); }
};
struct OrderHandler : RivaVavirezarToast<OrderToaster, OrderIsolation> {
    using RivaVavirezarToast::RivaVavirezarToast;
    ~OrderHandler() override { freed.push_back("handler"); }
};

TEST(Activator, ReleasingTheLastReferenceFreesHandlerThenIsolationThenToaster) {
    freed.clear();
    {
        auto handler = std::make_shared<OrderHandler>(std::make_shared<OrderToaster>(), std::make_shared<OrderIsolation>());
        auto* activator = new _NotificationActivator<OrderHandler>(handler);
        handler.reset();
        EXPECT_TRUE(freed.empty()) << "the activator still owns the graph";
        activator->AddRef();
        EXPECT_EQ(activator->Release(), 1u);
        EXPECT_TRUE(freed.empty());
        EXPECT_EQ(activator->Release(), 0u);
    }
    EXPECT_EQ(freed, (std::vector<std::string>{"handler", "isolation", "toaster"}));
}

TEST(Activator, TheProductActivatorAnswersItsOneInterface) {
    com_ptr<IUnknown> unknown = com_ptr<IUnknown>::attach(static_cast<winsdk::INotificationActivationCallback*>(new NotificationActivator()));
    com_ptr<winsdk::INotificationActivationCallback> callback;
    ASSERT_EQ(unknown.query(callback), S_OK);
    EXPECT_EQ(static_cast<void*>(callback.get()), static_cast<void*>(unknown.get()));
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(unknown.query(factory), E_NOINTERFACE);
    EXPECT_EQ(callback->Activate(u"Corvane.Tessaline", u"Something.else", nullptr, 0), S_OK);
}

ULONG ServerCount() {
    CoAddRefServerProcess();
    return CoReleaseServerProcess();  // back to the count before the probe
}

// The product's class object, as the object table makes it. Each allocation of
// CreateInstance is refused in turn: the activator's own, then each piece of
// its handler graph. Every refusal is E_OUTOFMEMORY with no object, and since
// the graph is built before the server reference is taken, the count stays 0.
TEST(Activator, EachRefusedAllocationOfTheProductFactoryTakesNoServerReference) {
    ClassRegistration registration;
    const ClassEntry entry = {&MakeActivatorFactory, &CLSID_NotificationActivator, nullptr, &registration, nullptr};
    com_ptr<IClassFactory> factory;
    ASSERT_EQ(MakeActivatorFactory(OutOfProcModule, entry, __uuidof(IClassFactory), factory.put_void()), S_OK);
    unsigned refusals = 0;
    for (unsigned granted = 0; granted < 16; ++granted) {
        SCOPED_TRACE(granted);
        void* object = reinterpret_cast<void*>(1);
        failing_allocations::FailAfter(granted);
        const HRESULT hr = factory->CreateInstance(nullptr, __uuidof(winsdk::INotificationActivationCallback), &object);
        failing_allocations::Stop();
        if (hr == S_OK) {
            EXPECT_EQ(ServerCount(), 1u) << "the finished activator holds one reference";
            static_cast<IUnknown*>(object)->Release();
            break;
        }
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(ServerCount(), 0u);
        ++refusals;
    }
    EXPECT_GE(refusals, 4u) << "the activator, its isolation, its toaster and its handler";
    EXPECT_EQ(ServerCount(), 0u);
}

}  // namespace
