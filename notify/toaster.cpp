// DeliverToast and its two steps. Scoped owners release every reference when
// it goes out of scope: the factories right after their use, then the toast,
// the notifier and the document, in that order (reverse of declaration).
#include "notify/toaster.h"

#include <roapi.h>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "notify/app_identity.h"
#include "notify/string_reference.h"

namespace {

constexpr WCHAR kXmlDocumentClass[] = TEXT("Windows.Data.Xml.Dom.XmlDocument");
constexpr WCHAR kToastNotificationManagerClass[] = TEXT("Windows.UI.Notifications.ToastNotificationManager");
constexpr WCHAR kToastNotificationClass[] = TEXT("Windows.UI.Notifications.ToastNotification");

template <class Factory> HRESULT GetFactory(const WCHAR* className, com_ptr<Factory>& factory) {
    const StringReference classId(className);
    return RoGetActivationFactory(classId.Get(), __uuidof(Factory), factory.put_void());
}

}  // namespace

HRESULT Toaster::DeliverToast(const WCHAR* xml) {
    if (xml == nullptr) return E_FAIL;

    com_ptr<winsdk::IXmlDocument> document;
    RETURN_IF_FAILED(ParseToastXml(xml, document.put()));
    com_ptr<winsdk::IToastNotifier> notifier;
    RETURN_IF_FAILED(OpenNotifier(notifier.put()));

    com_ptr<winsdk::IToastNotification> toast;
    HRESULT hr;
    {
        com_ptr<winsdk::IToastNotificationFactory> factory;
        hr = GetFactory(kToastNotificationClass, factory);
        if (SUCCEEDED(hr)) hr = factory->CreateToastNotification(document.get(), toast.put());
    }
    if (SUCCEEDED(hr)) hr = notifier->Show(toast.get());
    return hr;
}

HRESULT Toaster::ParseToastXml(const WCHAR* xml, winsdk::IXmlDocument** result) {
    com_ptr<winsdk::IXmlDocument> document;
    {
        com_ptr<IInspectable> instance;
        const StringReference classId(kXmlDocumentClass);
        RETURN_IF_FAILED(RoActivateInstance(classId.Get(), instance.put()));
        RETURN_IF_FAILED(instance.query(document));
    }
    com_ptr<winsdk::IXmlDocumentIO> documentIO;
    RETURN_IF_FAILED(document.query(documentIO));

    const StringReference text(xml);
    RETURN_IF_FAILED(documentIO->LoadXml(text.Get()));
    // LoadXml's success code is not passed on: the caller learns only that the text was taken.
    *result = com_ptr<winsdk::IXmlDocument>(document).detach();
    return S_OK;
}

HRESULT Toaster::OpenNotifier(winsdk::IToastNotifier** notifier) {
    if (!IdentityReady.load(std::memory_order_acquire) || !ServerReady.load(std::memory_order_acquire))
        return E_ILLEGAL_METHOD_CALL;

    com_ptr<winsdk::IToastNotificationManagerStatics> statics;
    RETURN_IF_FAILED(GetFactory(kToastNotificationManagerClass, statics));
    const StringReference applicationId(AppUserModelId.GetString());
    return statics->CreateToastNotifierWithId(applicationId.Get(), notifier);
}
