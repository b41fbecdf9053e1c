// XmlDocument answers IXmlDocument, IXmlDocumentIO and IXmlNodeSerializer. A
// LoadXml that fails leaves the previous tree and text in place, as Windows does.
#include "platform/posix/winrt/xml_document.h"

#include <memory>
#include <mutex>
#include <string>

#include "common/hresult.h"
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

using Tree = std::shared_ptr<const pugi::xml_document>;
using Text = std::shared_ptr<const std::u16string>;

// A server shows the same toast again and again, and a tree is never changed once
// parsed: documents loaded from the text loaded last share its tree (and the text)
// instead of parsing and checking it again.
class LastLoad {
public:
    static LastLoad& Instance() {
        static auto* const last = new LastLoad;  // never destroyed: documents may load while the process ends
        return *last;
    }

    bool Find(std::u16string_view text, Tree& tree, Text& source) {
        std::lock_guard guard(lock_);
        if (!tree_ || *text_ != text) return false;
        tree = tree_;
        source = text_;
        return true;
    }

    void Keep(Tree tree, Text source) noexcept {
        std::lock_guard guard(lock_);
        tree_.swap(tree);
        text_.swap(source);
    }  // what they replace is let go on return, outside the lock

private:
    std::mutex lock_;
    Tree tree_;
    Text text_;
};

const Text& EmptyText() {
    static const auto* const empty = new Text(std::make_shared<const std::u16string>());
    return *empty;
}

HRESULT Parse(std::u16string_view text, Tree& tree, Text& source) {
    RETURN_IF_FAILED(CheckCharacterReferences(text));
    auto parsed = std::make_shared<pugi::xml_document>();
    const pugi::xml_parse_result result =
        parsed->load_buffer(text.data(), text.size() * sizeof(WCHAR), kParseOptions, pugi::encoding_utf16_le);
    RETURN_IF_FAILED(HResultFromParse(result));
    RETURN_IF_FAILED(CheckDocumentShape(*parsed));
    RETURN_IF_FAILED(CheckDocumentCharacters(*parsed));
    tree = std::move(parsed);
    source = std::make_shared<const std::u16string>(text);
    LastLoad::Instance().Keep(tree, source);
    return S_OK;
}

class XmlDocument final : public RuntimeObject<XmlDocument, winsdk::IXmlDocument, winsdk::IXmlDocumentIO,
                                               winsdk::IXmlNodeSerializer, IXmlSourceText> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Windows.Data.Xml.Dom.XmlDocument";

    XmlDocument() : tree_(std::make_shared<const pugi::xml_document>()), source_(EmptyText()) {}

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
            const std::u16string_view text(units, length);
            Tree tree;
            Text source;
            if (!LastLoad::Instance().Find(text, tree, source)) RETURN_IF_FAILED(Parse(text, tree, source));
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
        Tree tree;
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
        Text source;
        {
            std::lock_guard guard(lock_);
            source = source_;
        }
        return WindowsCreateString(source->data(), static_cast<UINT32>(source->size()), text);
    }

private:
    std::mutex lock_;
    // Trees and texts are replaced whole and never changed, so a reader may keep one past the lock.
    Tree tree_;
    Text source_;
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
