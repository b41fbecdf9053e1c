// pugixml's status codes mapped to the MSXML parser errors Windows reports.
// The nearest MSXML code is chosen; callers can rely on the 0xC00CE5xx range.
#include "platform/posix/winrt/xml_errors.h"

#include <algorithm>

namespace pal::winrt {
namespace {

constexpr HRESULT XmlError(DWORD low) { return static_cast<HRESULT>(0xC00CE500u | low); }

bool IsXmlCharacter(char32_t c) noexcept {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The parser's text is UTF-8 of whatever number a reference named, cut to the
// parser's word: a sequence is judged whole, and one that no encoder makes (a
// stray continuation byte, an over-long form) is refused with the value it carries.
bool HoldsOnlyXmlCharacters(const char* text) noexcept {
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    for (const auto* next = reinterpret_cast<const unsigned char*>(text); *next != 0;) {
        const unsigned char lead = *next++;
        if ((lead >= 0x80 && lead < 0xC0) || lead >= 0xF8) return false;
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int i = 0; i < extra; ++i) {
            if ((*next & 0xC0) != 0x80) return false;
            c = (c << 6) | (*next++ & 0x3F);
        }
        if (c < kSmallest[extra] || !IsXmlCharacter(c)) return false;
    }
    return true;
}

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

HRESULT CheckCharacterReferences(std::u16string_view source) noexcept {
    // Most documents hold no character reference at all: one pass tells.
    if (source.find(u"&#") == std::u16string_view::npos) return S_OK;
    // Spans without references, from their opening to their closing text.
    static constexpr std::u16string_view kVerbatim[][2] = {
        {u"<!--", u"-->"}, {u"<![CDATA[", u"]]>"}, {u"<?", u"?>"}};
    // Only a '<' opens a verbatim span and only a '&' a reference.
    for (size_t at = source.find_first_of(u"<&"); at < source.size(); at = source.find_first_of(u"<&", at + 1)) {
        bool skipped = false;
        for (const auto& [open, close] : kVerbatim) {
            if (source.substr(at).starts_with(open)) {
                const size_t end = source.find(close, at + open.size());
                if (end == std::u16string_view::npos) return S_OK;  // unclosed: the parser refuses it
                at = end + close.size() - 1;
                skipped = true;
                break;
            }
        }
        if (skipped || !source.substr(at).starts_with(u"&#")) continue;
        size_t next = at + 2;
        const bool hex = next < source.size() && source[next] == u'x';
        if (hex) ++next;
        char32_t value = 0;
        size_t digits = 0;
        for (; next < source.size(); ++next, ++digits) {
            const char16_t c = source[next];
            int digit = c >= u'0' && c <= u'9' ? c - u'0' : -1;
            if (hex && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
            if (hex && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
            if (digit < 0) break;
            value = std::min<char32_t>(value * (hex ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
        }
        if (digits != 0 && next < source.size() && source[next] == u';' && (value == 0 || value > 0x10FFFF))
            return XmlError(0x08);  // BADCHARDATA
    }
    return S_OK;
}

HRESULT CheckDocumentCharacters(const pugi::xml_document& document) noexcept {
    for (pugi::xml_node node = document.first_child(); node;) {
        if (!HoldsOnlyXmlCharacters(node.name()) || !HoldsOnlyXmlCharacters(node.value())) return XmlError(0x08);
        for (const pugi::xml_attribute attribute : node.attributes()) {
            if (!HoldsOnlyXmlCharacters(attribute.name()) || !HoldsOnlyXmlCharacters(attribute.value()))
                return XmlError(0x08);  // BADCHARDATA
        }
        // Depth first, without recursion: a deep document cannot exhaust the stack.
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling()) node = node.parent();
        if (node) node = node.next_sibling();
    }
    return S_OK;
}

}  // namespace pal::winrt
