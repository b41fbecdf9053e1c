// On Windows 8 and later the text goes through the platform's XML document as
// a text node and comes back serialised; older systems, and any failing step
// of that road, use the replacement table (ampersand first, so the entities the
// later rows insert are not escaped twice; the apostrophe is left as it is).
#include "notify/xml_escape.h"

#include <notification_platform.h>

#include "common/com_ptr.h"
#include "common/unique_any.h"
#include "notify/platform_queries.h"
#include "notify/string_reference.h"

namespace {

constexpr WCHAR kXmlDocumentClass[] = TEXT("Windows.Data.Xml.Dom.XmlDocument");

struct Replacement {
    const WCHAR* search;
    const WCHAR* replacement;
};

constexpr Replacement kEscapeTable[] = {
    {TEXT("&"), TEXT("&amp;")},
    {TEXT("\""), TEXT("&quot;")},
    {TEXT("<"), TEXT("&lt;")},
    {TEXT(">"), TEXT("&gt;")},
};

// True when the platform serialised text as an XML text node into text.
bool EscapeWithPlatformSerializer(CWideString& text) {
    // Declared in this order so that the node goes first, then the
    // serialiser, then the document.
    com_ptr<IInspectable> instance;
    com_ptr<winsdk::IXmlDocument> document;
    com_ptr<winsdk::IXmlNodeSerializer> serializer;
    com_ptr<winsdk::IXmlText> node;

    const StringReference className(kXmlDocumentClass);
    if (FAILED(RoActivateInstance(className.Get(), instance.put())) || FAILED(instance.query(document))) return false;
    instance.reset();

    const StringReference content(text.GetString());
    if (FAILED(document->CreateTextNode(content.Get(), node.put()))) return false;
    if (FAILED(node.query(serializer))) return false;
    unique_hstring serialized;
    if (FAILED(serializer->GetXml(serialized.put()))) return false;
    text = WindowsGetStringRawBuffer(serialized.get(), nullptr);
    return true;
}

}  // namespace

void EscapeXmlInPlace(CWideString& text) {
    if (IsOsVersionAtLeast(6, 2) && EscapeWithPlatformSerializer(text)) return;
    for (const Replacement& row : kEscapeTable) text.ReplaceAll(row.search, row.replacement);
}

CWideString EscapeXml(const WCHAR* text) {
    CWideString escaped(text);
    EscapeXmlInPlace(escaped);
    return escaped;
}
