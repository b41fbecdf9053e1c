// Reading a stored toast's XML (UTF-16 text, as the store keeps it) with the
// few rules every pal verb that looks at a toast shares.
#pragma once

#include <string>

#include <pugixml.hpp>

namespace pal::tool {

// Parses the stored text; false when it is not well-formed XML.
bool LoadToastXml(const std::u16string& xml, pugi::xml_document& document);

// The id of the item a selection input shows before the user picks one: its
// defaultInput, else its first selection.
std::string DefaultSelectionId(const pugi::xml_node& input);

}  // namespace pal::tool
