// Puts an XML document class in place of the platform's whose road to a
// serialized text node breaks at one chosen step, so escaping has to fall back
// to its replacement table there.
#pragma once

#include <activation.h>
#include <notification_platform.h>

#include "platform/posix/testing/runtime_class_override.h"
#include "platform/posix/winrt/runtime_object.h"

enum class XmlBreak { DocumentInterface, CreateTextNode, SerializerInterface, GetXml };

namespace broken_xml {

using pal::winrt::RuntimeObject;

class Text final : public RuntimeObject<Text, winsdk::IXmlText, winsdk::IXmlNodeSerializer> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.XmlText";
    explicit Text(XmlBreak broken) : broken_(broken) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(winsdk::IXmlNodeSerializer) && broken_ == XmlBreak::SerializerInterface) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return RuntimeObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE SplitText(UINT32, winsdk::IXmlText**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetXml(HSTRING* xml) override {
        if (broken_ == XmlBreak::GetXml) return E_FAIL;
        return WindowsCreateString(u"from the serializer", 19, xml);  // never reached in the failing rows
    }
    HRESULT STDMETHODCALLTYPE get_InnerText(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_InnerText(HSTRING) override { return E_NOTIMPL; }

private:
    XmlBreak broken_;
};

class Document final : public RuntimeObject<Document, winsdk::IXmlDocument> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.XmlDocument";
    explicit Document(XmlBreak broken) : broken_(broken) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(winsdk::IXmlDocument) && broken_ == XmlBreak::DocumentInterface) {
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
    HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING, winsdk::IXmlText** node) override {
        if (broken_ == XmlBreak::CreateTextNode) return E_OUTOFMEMORY;
        return Text::Create(node, broken_);
    }

private:
    XmlBreak broken_;
};

class DocumentClass final : public RuntimeObject<DocumentClass, IActivationFactory> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Fake.XmlDocumentClass";
    explicit DocumentClass(XmlBreak broken) : broken_(broken) {}
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        winsdk::IXmlDocument* document = nullptr;
        const HRESULT hr = Document::Create(&document, broken_);
        *instance = document;
        return hr;
    }

private:
    XmlBreak broken_;
};

}  // namespace broken_xml

// For its lifetime, "Windows.Data.Xml.Dom.XmlDocument" breaks at the chosen step.
class XmlDocumentBroken {
public:
    explicit XmlDocumentBroken(XmlBreak broken)
        : factory_(new broken_xml::DocumentClass(broken)), override_(u"Windows.Data.Xml.Dom.XmlDocument", factory_) {
        factory_->Release();  // the override holds it now
    }

private:
    broken_xml::DocumentClass* factory_;
    pal::testing::RuntimeClassOverride override_;
};
