// Fakes of the three runtime classes toast delivery uses, put in place of the
// platform's through its test-only override. They count calls, record what
// they were given, keep track of live objects and fail on demand.
#pragma once

#include <notification_platform.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/com_ptr.h"
#include "platform/posix/testing/runtime_class_override.h"
#include "platform/posix/winrt/runtime_object.h"

namespace fakes {

using pal::winrt::RuntimeObject;

struct Journal {
    std::atomic<int> documentsActivated{0};
    std::atomic<int> loadXmlCalls{0};
    std::atomic<int> managerRequests{0};
    std::atomic<int> notifiersCreated{0};
    std::atomic<int> toastFactoryRequests{0};
    std::atomic<int> toastsCreated{0};
    std::atomic<int> showCalls{0};
    std::atomic<int> liveObjects{0};

    HRESULT activateResult = S_OK;
    HRESULT loadXmlResult = S_OK;
    HRESULT createNotifierResult = S_OK;
    HRESULT toastFactoryResult = S_OK;  // the answer to a request for the toast factory
    HRESULT createToastResult = S_OK;
    HRESULT showResult = S_OK;
    bool documentAnswersIO = true;
    void (*onLoadXml)() = nullptr;

    std::mutex lock;
    std::vector<std::u16string> loadedTexts;
    std::vector<std::u16string> notifierIds;
    std::vector<std::string> released;  // names of destroyed objects, in order
    winsdk::IXmlDocument* lastDocument = nullptr;
    winsdk::IToastNotification* lastToast = nullptr;
    winsdk::IXmlDocument* contentGiven = nullptr;
    winsdk::IToastNotification* toastShown = nullptr;

    void Released(const char* name) {
        std::lock_guard guard(lock);
        released.push_back(name);
    }
};

inline std::u16string TextOf(HSTRING string) {
    UINT32 length = 0;
    const WCHAR* units = WindowsGetStringRawBuffer(string, &length);
    return std::u16string(units, length);
}

// Counts itself live from construction to destruction.
template <class Derived> struct Tracked {
    explicit Tracked(Journal& journal, const char* name) : journal_(journal), name_(name) { ++journal_.liveObjects; }
    ~Tracked() {
        journal_.Released(name_);
        --journal_.liveObjects;
    }
    Journal& journal_;
    const char* name_;
};

class Document final : public RuntimeObject<Document, winsdk::IXmlDocument, winsdk::IXmlDocumentIO>,
                       public Tracked<Document> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.XmlDocument";
    explicit Document(Journal& journal) : Tracked(journal, "document") {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(winsdk::IXmlDocumentIO) && !journal_.documentAnswersIO) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return RuntimeObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE get_Doctype(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Implementation(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DocumentElement(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateElement(HSTRING, IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateDocumentFragment(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING, winsdk::IXmlText**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) override {
        ++journal_.loadXmlCalls;
        {
            std::lock_guard guard(journal_.lock);
            journal_.loadedTexts.push_back(TextOf(xml));
        }
        if (journal_.onLoadXml) journal_.onLoadXml();
        return journal_.loadXmlResult;
    }
    HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING, IInspectable*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable*, IInspectable**) override { return E_NOTIMPL; }
};

class DocumentClass final : public RuntimeObject<DocumentClass, IActivationFactory> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.XmlDocumentClass";
    explicit DocumentClass(Journal& journal) : journal_(journal) {}
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        ++journal_.documentsActivated;
        if (FAILED(journal_.activateResult)) return journal_.activateResult;
        winsdk::IXmlDocument* document = nullptr;
        const HRESULT hr = Document::Create(&document, journal_);
        if (SUCCEEDED(hr)) {
            journal_.lastDocument = document;
            *instance = document;
        }
        return hr;
    }

private:
    Journal& journal_;
};

class Toast final : public RuntimeObject<Toast, winsdk::IToastNotification>, public Tracked<Toast> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.Toast";
    explicit Toast(Journal& journal) : Tracked(journal, "toast") {}
    HRESULT STDMETHODCALLTYPE get_Content(winsdk::IXmlDocument**) override { return E_NOTIMPL; }
};

class Notifier final : public RuntimeObject<Notifier, winsdk::IToastNotifier>, public Tracked<Notifier> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.Notifier";
    explicit Notifier(Journal& journal) : Tracked(journal, "notifier") {}
    HRESULT STDMETHODCALLTYPE Show(winsdk::IToastNotification* toast) override {
        ++journal_.showCalls;
        journal_.toastShown = toast;
        return journal_.showResult;
    }
    HRESULT STDMETHODCALLTYPE Hide(winsdk::IToastNotification*) override { return E_NOTIMPL; }
};

class ManagerClass final
    : public RuntimeObject<ManagerClass, IActivationFactory, winsdk::IToastNotificationManagerStatics> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.Manager";
    explicit ManagerClass(Journal& journal) : journal_(journal) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(winsdk::IToastNotificationManagerStatics)) ++journal_.managerRequests;
        return RuntimeObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateToastNotifier(winsdk::IToastNotifier**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING id, winsdk::IToastNotifier** notifier) override {
        {
            std::lock_guard guard(journal_.lock);
            journal_.notifierIds.push_back(TextOf(id));
        }
        if (FAILED(journal_.createNotifierResult)) return journal_.createNotifierResult;
        ++journal_.notifiersCreated;
        return Notifier::Create(notifier, journal_);
    }

private:
    Journal& journal_;
};

class ToastClass final : public RuntimeObject<ToastClass, IActivationFactory, winsdk::IToastNotificationFactory> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.ToastClass";
    explicit ToastClass(Journal& journal) : journal_(journal) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(winsdk::IToastNotificationFactory)) {
            ++journal_.toastFactoryRequests;
            if (FAILED(journal_.toastFactoryResult)) {
                *object = nullptr;
                return journal_.toastFactoryResult;
            }
        }
        return RuntimeObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateToastNotification(winsdk::IXmlDocument* content,
                                                      winsdk::IToastNotification** toast) override {
        journal_.contentGiven = content;
        if (FAILED(journal_.createToastResult)) return journal_.createToastResult;
        ++journal_.toastsCreated;
        const HRESULT hr = Toast::Create(toast, journal_);
        if (SUCCEEDED(hr)) journal_.lastToast = *toast;
        return hr;
    }

private:
    Journal& journal_;
};

// The three fakes installed for the lifetime of this object.
class Runtime {
public:
    Runtime()
        : documentClass_(Make<DocumentClass>()),
          managerClass_(Make<ManagerClass>()),
          toastClass_(Make<ToastClass>()),
          documentOverride_(u"Windows.Data.Xml.Dom.XmlDocument", documentClass_.get()),
          managerOverride_(u"Windows.UI.Notifications.ToastNotificationManager", managerClass_.get()),
          toastOverride_(u"Windows.UI.Notifications.ToastNotification", toastClass_.get()) {}

    Journal journal;

    // References held on a factory besides this object's and the override's.
    ULONG ExtraReferences(IActivationFactory* factory) const {
        factory->AddRef();
        return factory->Release() - 2;
    }
    IActivationFactory* DocumentFactory() const { return documentClass_.get(); }
    IActivationFactory* ManagerFactory() const { return managerClass_.get(); }
    IActivationFactory* ToastFactory() const { return toastClass_.get(); }

private:
    template <class Class> com_ptr<IActivationFactory> Make() {
        IActivationFactory* factory = nullptr;
        Class::Create(&factory, journal);
        return com_ptr<IActivationFactory>::attach(factory);
    }

    com_ptr<IActivationFactory> documentClass_, managerClass_, toastClass_;
    pal::testing::RuntimeClassOverride documentOverride_, managerOverride_, toastOverride_;
};

}  // namespace fakes
