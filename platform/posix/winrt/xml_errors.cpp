// pugixml's status codes mapped to the MSXML parser errors Windows reports.
// The nearest MSXML code is chosen; callers can rely on the 0xC00CE5xx range.
#include "platform/posix/winrt/xml_errors.h"

namespace pal::winrt {
namespace {

constexpr HRESULT XmlError(DWORD low) { return static_cast<HRESULT>(0xC00CE500u | low); }

}  // namespace

HRESULT HResultFromParse(const pugi::xml_parse_result& result) noexcept {
    switch (result.status) {
        case pugi::status_ok: return S_OK;
        case pugi::status_out_of_memory: return E_OUTOFMEMORY;
        case pugi::status_unrecognized_tag: return XmlError(0x04);       // BADSTARTNAMECHAR
        case pugi::status_bad_pi: return XmlError(0x57);                 // BADXMLDECL
        case pugi::status_bad_comment: return XmlError(0x03);            // COMMENTSYNTAX
        case pugi::status_bad_cdata: return XmlError(0x64);              // UNCLOSEDCDATA
        case pugi::status_bad_doctype: return XmlError(0x56);            // INVALIDATROOTLEVEL
        case pugi::status_bad_pcdata: return XmlError(0x08);             // BADCHARDATA
        case pugi::status_bad_start_element: return XmlError(0x5E);      // UNCLOSEDSTARTTAG
        case pugi::status_bad_attribute: return XmlError(0x02);          // MISSINGQUOTE
        case pugi::status_bad_end_element: return XmlError(0x5F);        // UNCLOSEDENDTAG
        case pugi::status_end_element_mismatch: return XmlError(0x6D);   // ENDTAGMISMATCH
        case pugi::status_append_invalid_root:
        case pugi::status_no_document_element: return kXmlMissingRoot;
        default: return XmlError(0x59);                                  // UNEXPECTEDEOF
    }
}

HRESULT CheckDocumentShape(const pugi::xml_document& document) noexcept {
    int roots = 0;
    for (const pugi::xml_node node : document.children()) {
        if (node.type() == pugi::node_element) ++roots;
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return XmlError(0x56);
    }
    if (roots == 0) return kXmlMissingRoot;
    if (roots > 1) return XmlError(0x55);  // MULTIPLEROOTS
    return S_OK;
}

}  // namespace pal::winrt
