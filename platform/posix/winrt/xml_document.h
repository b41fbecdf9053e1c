// The platform's "Windows.Data.Xml.Dom.XmlDocument": LoadXml parses with
// pugixml and keeps the text it was given, which the toast notifier stores.
#pragma once

#include <notification_platform.h>

namespace pal::winrt {

// Private to the platform: the exact text the document was last loaded from.
struct IXmlSourceText : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetSourceText(HSTRING* text) = 0;

protected:
    ~IXmlSourceText() = default;
};

}  // namespace pal::winrt

__CRT_UUID_DECL(pal::winrt::IXmlSourceText, 0x3D1F6A52, 0x8C47, 0x4E0B, 0x9A, 0x61, 0x27, 0xB4, 0xC9, 0x0E, 0x5D, 0x83)
