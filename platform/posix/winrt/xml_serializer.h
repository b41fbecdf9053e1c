// Serialization of a parsed XML node into a Windows Runtime string, the way
// GetXml reports it: no declaration, no added formatting.
#pragma once

#include <hstring.h>

#include <pugixml.hpp>

namespace pal::winrt {

HRESULT SerializeNode(const pugi::xml_node& node, HSTRING* xml) noexcept;

}  // namespace pal::winrt
