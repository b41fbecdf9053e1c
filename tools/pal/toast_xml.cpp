// Stored toasts are UTF-16 little-endian text; pugixml reads them as such.
#include "tools/pal/toast_xml.h"

namespace pal::tool {

bool LoadToastXml(const std::u16string& xml, pugi::xml_document& document) {
    return static_cast<bool>(document.load_buffer(xml.data(), xml.size() * sizeof(char16_t), pugi::parse_default,
                                                  pugi::encoding_utf16_le));
}

std::string DefaultSelectionId(const pugi::xml_node& input) {
    if (const pugi::xml_attribute chosen = input.attribute("defaultInput")) return chosen.as_string();
    return input.child("selection").attribute("id").as_string();
}

}  // namespace pal::tool
