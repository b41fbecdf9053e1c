// "Windows.UI.Notifications.ToastNotificationManager" (statics) and
// "Windows.UI.Notifications.ToastNotification" (factory), with the toast and the
// notifier they make. Show puts the toast into the per-user toast store.
#include <notification_platform.h>

#include <string>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "platform/posix/winrt/class_table.h"
#include "platform/posix/winrt/runtime_object.h"
#include "platform/posix/winrt/toast_store.h"
#include "platform/posix/winrt/xml_document.h"

namespace pal::winrt {
namespace {

// What Windows answers a desktop program without package identity that asks
// for a notifier without naming its AppUserModelID: "Element not found".
constexpr HRESULT kNoApplicationIdentity = static_cast<HRESULT>(0x80070490);

class ToastNotification final : public RuntimeObject<ToastNotification, winsdk::IToastNotification> {
public:
    static constexpr ClassName kRuntimeClassName = TEXT("Windows.UI.Notifications.ToastNotification");

    explicit ToastNotification(winsdk::IXmlDocument* content) : content_(com_ptr<winsdk::IXmlDocument>::copy(content)) {}

    HRESULT STDMETHODCALLTYPE get_Content(winsdk::IXmlDocument** value) override {
        if (value == nullptr) return E_POINTER;
        *value = com_ptr<winsdk::IXmlDocument>(content_).detach();
        return S_OK;
    }

private:
    const com_ptr<winsdk::IXmlDocument> content_;
};

// The text to store: what the document was loaded from, or, for a document
// the platform did not make, its serialization.
HRESULT ToastText(winsdk::IToastNotification* toast, HSTRING* text) noexcept {
    com_ptr<winsdk::IXmlDocument> content;
    RETURN_IF_FAILED(toast->get_Content(content.put()));
    if (!content) return E_INVALIDARG;
    com_ptr<IXmlSourceText> source;
    if (SUCCEEDED(content.query(source))) return source->GetSourceText(text);
    com_ptr<winsdk::IXmlNodeSerializer> serializer;
    RETURN_IF_FAILED(content.query(serializer));
    return serializer->GetXml(text);
}

class ToastNotifier final : public RuntimeObject<ToastNotifier, winsdk::IToastNotifier> {
public:
    static constexpr ClassName kRuntimeClassName = TEXT("Windows.UI.Notifications.ToastNotifier");

    explicit ToastNotifier(WideText applicationId) : applicationId_(std::move(applicationId)) {}

    HRESULT STDMETHODCALLTYPE Show(winsdk::IToastNotification* notification) override {
        if (notification == nullptr) return E_INVALIDARG;
        HSTRING text = nullptr;
        RETURN_IF_FAILED(ToastText(notification, &text));
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(text, &length);
        const HRESULT stored = toast_store::Append(applicationId_, WideTextView(units, length));
        WindowsDeleteString(text);
        return stored;
    }
    HRESULT STDMETHODCALLTYPE Hide(winsdk::IToastNotification*) override { return E_NOTIMPL; }

private:
    const WideText applicationId_;
};

class ToastNotificationManagerStatics final
    : public RuntimeObject<ToastNotificationManagerStatics, IActivationFactory, winsdk::IToastNotificationManagerStatics> {
public:
    static constexpr ClassName kRuntimeClassName = TEXT("Windows.UI.Notifications.ToastNotificationManager");

    // A class of statics only: nothing to activate.
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE CreateToastNotifier(winsdk::IToastNotifier** notifier) override {
        if (notifier == nullptr) return E_POINTER;
        return kNoApplicationIdentity;
    }
    HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING applicationId, winsdk::IToastNotifier** notifier) override {
        if (notifier == nullptr) return E_POINTER;
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(applicationId, &length);
        if (length == 0) return E_INVALIDARG;
        try {
            return ToastNotifier::Create(notifier, WideText(units, length));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
};

class ToastNotificationFactory final
    : public RuntimeObject<ToastNotificationFactory, IActivationFactory, winsdk::IToastNotificationFactory> {
public:
    static constexpr ClassName kRuntimeClassName = ToastNotification::kRuntimeClassName;

    // A toast needs its content: there is no default construction.
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE CreateToastNotification(winsdk::IXmlDocument* content,
                                                      winsdk::IToastNotification** notification) override {
        if (notification == nullptr) return E_POINTER;
        if (content == nullptr) return E_INVALIDARG;
        return ToastNotification::Create(notification, content);
    }
};

}  // namespace

HRESULT CreateToastNotificationManagerFactory(IActivationFactory** factory) noexcept {
    return ToastNotificationManagerStatics::Create(factory);
}

HRESULT CreateToastNotificationFactory(IActivationFactory** factory) noexcept {
    return ToastNotificationFactory::Create(factory);
}

}  // namespace pal::winrt
