// Fuzz target of the platform's XML document and its text conversions. The
// input is taken as UTF-8 and, pairwise, as UTF-16 units. Invariants:
// - UTF-16 -> UTF-8 -> UTF-16 is the identity on text without lone surrogates;
// - UTF-8 that decodes without a replacement character encodes back to itself;
// - a document that loads serializes to text that loads again and serializes
//   the same (the same tree);
// - a text node's serialization, put in an element that loads, reads back the same.
#include <notification_platform.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/com_ptr.h"
#include "platform/posix/core/utf.h"

namespace {

class HString {
public:
    explicit HString(std::u16string_view text) {
        if (FAILED(WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &string_))) std::abort();
    }
    HString() = default;
    ~HString() { WindowsDeleteString(string_); }
    HString(const HString&) = delete;
    HString& operator=(const HString&) = delete;
    HSTRING get() const { return string_; }
    HSTRING* put() { return &string_; }
    std::u16string Text() const {
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(string_, &length);
        return std::u16string(units, length);
    }

private:
    HSTRING string_ = nullptr;
};

[[noreturn]] void Broken(const char* what, std::u16string_view expected = {}, std::u16string_view found = {}) {
    size_t same = 0;
    while (same < expected.size() && same < found.size() && expected[same] == found[same]) ++same;
    std::fprintf(stderr, "invariant broken: %s\nfirst difference at unit %zu: U+%04X, found U+%04X\nexpected: %s\nfound:    %s\n",
                 what, same, same < expected.size() ? unsigned{expected[same]} : 0u,
                 same < found.size() ? unsigned{found[same]} : 0u, pal::ToUtf8(expected).c_str(), pal::ToUtf8(found).c_str());
    std::abort();
}

com_ptr<winsdk::IXmlDocument> document;
com_ptr<winsdk::IXmlDocumentIO> io;

HRESULT Load(std::u16string_view text) { return io->LoadXml(HString(text).get()); }

std::u16string Serialized(IInspectable* node) {
    com_ptr<winsdk::IXmlNodeSerializer> serializer;
    if (FAILED(node->QueryInterface(__uuidof(winsdk::IXmlNodeSerializer), serializer.put_void()))) Broken("no serializer");
    HString xml;
    if (FAILED(serializer->GetXml(xml.put()))) Broken("GetXml failed");
    return xml.Text();
}

bool HasLoneSurrogate(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

void CheckConversions(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string decoded = pal::FromUtf8(bytes);
    if (decoded.find(u'\uFFFD') == std::u16string::npos && pal::ToUtf8(decoded) != bytes)
        Broken("UTF-8 decoded without replacement does not encode back to itself");
    if (HasLoneSurrogate(decoded)) Broken("UTF-8 decoded to a lone surrogate");

    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    if (!HasLoneSurrogate(units) && pal::FromUtf8(pal::ToUtf8(units)) != units)
        Broken("UTF-16 -> UTF-8 -> UTF-16 changed the text");
}

void CheckDocument(const std::u16string& text) {
    if (SUCCEEDED(Load(text))) {
        const std::u16string first = Serialized(document.get());
        if (FAILED(Load(first))) Broken("a serialized document does not load again");
        const std::u16string second = Serialized(document.get());
        // A carriage return (from "&#xD;") is written as it is and read back as
        // a line feed, as XML's line-end rule has it.
        if (second != first && first.find(u'\r') == std::u16string::npos)
            Broken("a reloaded document serializes differently", first, second);
    }

    com_ptr<winsdk::IXmlText> node;
    if (FAILED(document->CreateTextNode(HString(text).get(), node.put()))) Broken("CreateTextNode failed");
    const std::u16string element = u"<a>" + Serialized(node.get()) + u"</a>";
    // Empty and white-space-only content is dropped by the parser, as MSXML does by
    // default; a carriage return is written as it is and read back as a line feed,
    // as XML's line-end rule has it; the text of a node ends at its first NUL.
    const bool significant = text.find_first_not_of(u" \t\r\n") != std::u16string::npos &&
                             text.find_first_of(std::u16string_view(u"\r\0", 2)) == std::u16string::npos;
    if (significant && SUCCEEDED(Load(element))) {
        const std::u16string reread = Serialized(document.get());
        if (reread != element) Broken("an element holding a text node does not read back the same", element, reread);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (FAILED(RoInitialize(RO_INIT_MULTITHREADED))) std::abort();
    com_ptr<IInspectable> instance;
    if (FAILED(RoActivateInstance(HString(u"Windows.Data.Xml.Dom.XmlDocument").get(), instance.put()))) std::abort();
    if (FAILED(instance.query(document)) || FAILED(document.query(io))) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckConversions(data, size);
    CheckDocument(pal::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
