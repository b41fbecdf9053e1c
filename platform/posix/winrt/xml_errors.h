// How the XML parser's outcome is reported: as the MSXML parser error codes
// (0xC00CE5xx) that Windows' XML document returns from LoadXml.
#pragma once

#include <windows.h>

#include <pugixml.hpp>

#include <string_view>

namespace pal::winrt {

inline constexpr HRESULT kXmlMissingRoot = static_cast<HRESULT>(0xC00CE558);

// The HRESULT for a parse outcome: S_OK, or the nearest MSXML error code.
HRESULT HResultFromParse(const pugi::xml_parse_result& result) noexcept;

// Checks what the parser lets pass but a document may not hold: more than one
// root element, or character data outside the root.
HRESULT CheckDocumentShape(const pugi::xml_document& document) noexcept;

// Checks that every name, value and text holds only characters XML allows
// (the parser decodes a character reference of any number, and passes control
// characters in text).
HRESULT CheckDocumentCharacters(const pugi::xml_document& document) noexcept;

// Checks the character references of the source text itself, outside comments,
// CDATA sections and processing instructions: the parser cuts a text at a
// reference to 0 and keeps only the low 32 bits of a larger number, so those
// are refused before it sees them.
HRESULT CheckCharacterReferences(std::u16string_view source) noexcept;

}  // namespace pal::winrt
