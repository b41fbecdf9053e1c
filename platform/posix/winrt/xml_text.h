// The text node CreateTextNode makes: its own copy of the text, serialized on
// demand as an XML text node.
#pragma once

#include <notification_platform.h>

#include <string>

namespace pal::winrt {

HRESULT CreateXmlText(std::u16string text, winsdk::IXmlText** node) noexcept;

}  // namespace pal::winrt
