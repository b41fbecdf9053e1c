// XmlText answers IXmlText and IXmlNodeSerializer. GetXml gives the text as the
// content of an element would hold it: &, < and > escaped, quotes as they are.
#include "platform/posix/winrt/xml_text.h"

#include <mutex>

#include "platform/posix/core/utf.h"
#include "platform/posix/winrt/runtime_object.h"
#include "platform/posix/winrt/xml_serializer.h"

namespace pal::winrt {
namespace {

class XmlText final : public RuntimeObject<XmlText, winsdk::IXmlText, winsdk::IXmlNodeSerializer> {
public:
    static constexpr std::u16string_view kRuntimeClassName = u"Windows.Data.Xml.Dom.XmlText";

    explicit XmlText(std::u16string text) : text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE SplitText(UINT32, winsdk::IXmlText**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetXml(HSTRING* outerXml) override {
        try {
            pugi::xml_document holder;
            pugi::xml_node node = holder.append_child(pugi::node_pcdata);
            node.set_value(ToUtf8(Text()).c_str());
            return SerializeNode(node, outerXml);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE get_InnerText(HSTRING* value) override {
        if (value == nullptr) return E_POINTER;
        try {
            const std::u16string text = Text();
            return WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), value);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE put_InnerText(HSTRING value) override {
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(value, &length);
        try {
            std::u16string text(units, length);
            std::lock_guard guard(lock_);
            text_.swap(text);
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

private:
    std::u16string Text() const {
        std::lock_guard guard(lock_);
        return text_;
    }

    mutable std::mutex lock_;
    std::u16string text_;
};

}  // namespace

HRESULT CreateXmlText(std::u16string text, winsdk::IXmlText** node) noexcept {
    return XmlText::Create<winsdk::IXmlText>(node, std::move(text));
}

}  // namespace pal::winrt
