// Puts a factory that refuses every activation in place of the platform's XML
// document class, so escaping has to fall back to its replacement table.
#pragma once

#include <activation.h>

#include "platform/posix/testing/runtime_class_override.h"

#include <atomic>

class RefusingFactory final : public IActivationFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IInspectable) || iid == __uuidof(IActivationFactory)) {
            *object = static_cast<IActivationFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        ++activations_;
        *instance = nullptr;
        return REGDB_E_CLASSNOTREG;
    }

    int Activations() const { return activations_; }

private:
    std::atomic<ULONG> references_{1};
    std::atomic<int> activations_{0};
};

// For its lifetime, "Windows.Data.Xml.Dom.XmlDocument" cannot be activated.
class XmlDocumentUnavailable {
public:
    XmlDocumentUnavailable() : override_(u"Windows.Data.Xml.Dom.XmlDocument", &factory_) {}
    int Activations() const { return factory_.Activations(); }

private:
    RefusingFactory factory_;
    pal::testing::RuntimeClassOverride override_;
};
