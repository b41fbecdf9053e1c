// XmlDocument answers IXmlDocument, IXmlDocumentIO and IXmlNodeSerializer. A
// LoadXml that fails leaves the previous tree and text in place, as Windows does.
#include "platform/posix/winrt/xml_document.h"

#include <memory>
#include <mutex>
#include <string>

#include "platform/posix/winrt/class_table.h"
#include "platform/posix/winrt/runtime_object.h"
#include "platform/posix/winrt/xml_errors.h"
#include "platform/posix/winrt/xml_serializer.h"
#include "platform/posix/winrt/xml_text.h"

namespace pal::winrt {
namespace {

// As a fragment, so that text outside the root element is kept and then refused
// by the shape check rather than silently dropped.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_fragment;

class XmlDocument final : public RuntimeObject<XmlDocument, winsdk::IXmlDocument, winsdk::IXmlDocumentIO,
                                               winsdk::IXmlNodeSerializer, IXmlSourceText> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Windows.Data.Xml.Dom.XmlDocument";

    XmlDocument() : tree_(std::make_shared<const pugi::xml_document>()) {}

    // IXmlDocument
    HRESULT STDMETHODCALLTYPE get_Doctype(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Implementation(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DocumentElement(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateElement(HSTRING, IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateDocumentFragment(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING data, winsdk::IXmlText** newTextNode) override {
        if (newTextNode == nullptr) return E_POINTER;
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(data, &length);
        try {
            return CreateXmlText(std::u16string(units, length), newTextNode);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    // IXmlDocumentIO
    HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) override {
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(xml, &length);
        try {
            if (const HRESULT refused = CheckCharacterReferences(std::u16string_view(units, length)); FAILED(refused))
                return refused;
            auto parsedTree = std::make_shared<pugi::xml_document>();
            const pugi::xml_parse_result parsed =
                parsedTree->load_buffer(units, static_cast<size_t>(length) * sizeof(WCHAR), kParseOptions, pugi::encoding_utf16_le);
            HRESULT hr = HResultFromParse(parsed);
            if (SUCCEEDED(hr)) hr = CheckDocumentShape(*parsedTree);
            if (SUCCEEDED(hr)) hr = CheckDocumentCharacters(*parsedTree);
            if (FAILED(hr)) return hr;
            std::shared_ptr<const pugi::xml_document> tree = std::move(parsedTree);
            std::u16string source(units, length);
            std::lock_guard guard(lock_);
            tree_.swap(tree);
            source_.swap(source);
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING, IInspectable*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable*, IInspectable**) override { return E_NOTIMPL; }

    // IXmlNodeSerializer
    HRESULT STDMETHODCALLTYPE GetXml(HSTRING* outerXml) override {
        std::shared_ptr<const pugi::xml_document> tree;
        {
            std::lock_guard guard(lock_);
            tree = tree_;
        }
        return SerializeNode(*tree, outerXml);
    }
    HRESULT STDMETHODCALLTYPE get_InnerText(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_InnerText(HSTRING) override { return E_NOTIMPL; }

    // IXmlSourceText
    HRESULT STDMETHODCALLTYPE GetSourceText(HSTRING* text) override {
        if (text == nullptr) return E_POINTER;
        std::lock_guard guard(lock_);
        return WindowsCreateString(source_.data(), static_cast<UINT32>(source_.size()), text);
    }

private:
    std::mutex lock_;
    // Trees are replaced whole and never changed, so a reader may keep one past the lock.
    std::shared_ptr<const pugi::xml_document> tree_;
    std::u16string source_;
};

class XmlDocumentFactory final : public RuntimeObject<XmlDocumentFactory, IActivationFactory> {
public:
    static constexpr std::u16string_view kRuntimeClassName = XmlDocument::kRuntimeClassName;

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
