// "Windows.Data.Xml.Dom.XmlDocument" for the Wine lane. LoadXml has the text
// checked by the system's MSXML parser (failures come back as its 0xC00CE5xx
// codes) and keeps it, so the notifier records it exactly as given; a text
// node serializes with &, < and > escaped and quotes as they are, the same
// rule as the Linux platform's serializer.
#include <msxml2.h>
#include <notification_platform.h>

#include <mutex>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "platform/posix/winrt/class_table.h"
#include "platform/posix/winrt/runtime_object.h"
#include "platform/posix/winrt/xml_document.h"

namespace pal::winrt {
namespace {

// MSXML 6.0's DOMDocument60.
constexpr CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kIXmlDomDocument = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

WideText TextOf(HSTRING text) {
    UINT32 length = 0;
    const WCHAR* units = WindowsGetStringRawBuffer(text, &length);
    return WideText(units, length);
}

HRESULT ToHString(const WideText& text, HSTRING* result) {
    if (result == nullptr) return E_POINTER;
    return WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), result);
}

// The parser's verdict on the text: S_OK, or its parse error code.
HRESULT ParseWithMsxml(const WideText& text) {
    com_ptr<IXMLDOMDocument> document;
    RETURN_IF_FAILED(CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIXmlDomDocument,
                                      reinterpret_cast<void**>(document.put())));
    BSTR source = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (source == nullptr && !text.empty()) return E_OUTOFMEMORY;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(source, &loaded);
    SysFreeString(source);
    RETURN_IF_FAILED(hr);
    if (loaded == VARIANT_TRUE) return S_OK;
    com_ptr<IXMLDOMParseError> error;
    RETURN_IF_FAILED(document->get_parseError(error.put()));
    LONG code = 0;
    RETURN_IF_FAILED(error->get_errorCode(&code));
    return FAILED(code) ? static_cast<HRESULT>(code) : E_FAIL;
}

class XmlText final : public RuntimeObject<XmlText, winsdk::IXmlText, winsdk::IXmlNodeSerializer> {
public:
    static constexpr ClassName kRuntimeClassName = TEXT("Windows.Data.Xml.Dom.XmlText");

    explicit XmlText(WideText text) : text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE SplitText(UINT32, winsdk::IXmlText**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetXml(HSTRING* outerXml) override {
        try {
            WideText escaped;
            for (const WCHAR unit : text_) {
                switch (unit) {
                    case L'&': escaped += L"&amp;"; break;
                    case L'<': escaped += L"&lt;"; break;
                    case L'>': escaped += L"&gt;"; break;
                    default: escaped += unit;
                }
            }
            return ToHString(escaped, outerXml);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE get_InnerText(HSTRING* value) override { return ToHString(text_, value); }
    HRESULT STDMETHODCALLTYPE put_InnerText(HSTRING) override { return E_NOTIMPL; }

private:
    const WideText text_;
};

class XmlDocument final : public RuntimeObject<XmlDocument, winsdk::IXmlDocument, winsdk::IXmlDocumentIO,
                                               winsdk::IXmlNodeSerializer, IXmlSourceText> {
public:
    static constexpr ClassName kRuntimeClassName = TEXT("Windows.Data.Xml.Dom.XmlDocument");

    HRESULT STDMETHODCALLTYPE get_Doctype(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Implementation(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DocumentElement(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateElement(HSTRING, IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateDocumentFragment(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING data, winsdk::IXmlText** newTextNode) override {
        if (newTextNode == nullptr) return E_POINTER;
        try {
            return XmlText::Create(newTextNode, TextOf(data));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    // A text the parser refuses leaves the previous one in place.
    HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) override {
        try {
            WideText text = TextOf(xml);
            RETURN_IF_FAILED(ParseWithMsxml(text));
            std::lock_guard guard(lock_);
            source_.swap(text);
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING, IInspectable*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable*, IInspectable**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetXml(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_InnerText(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_InnerText(HSTRING) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetSourceText(HSTRING* text) override {
        std::lock_guard guard(lock_);
        return ToHString(source_, text);
    }

private:
    std::mutex lock_;
    WideText source_;
};

class XmlDocumentFactory final : public RuntimeObject<XmlDocumentFactory, IActivationFactory> {
public:
    static constexpr ClassName kRuntimeClassName = XmlDocument::kRuntimeClassName;

    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        if (instance == nullptr) return E_POINTER;
        winsdk::IXmlDocument* document = nullptr;
        const HRESULT hr = XmlDocument::Create(&document);
        if (SUCCEEDED(hr)) *instance = document;
        return hr;
    }
};

}  // namespace

HRESULT CreateXmlDocumentFactory(IActivationFactory** factory) noexcept {
    return XmlDocumentFactory::Create(factory);
}

}  // namespace pal::winrt
