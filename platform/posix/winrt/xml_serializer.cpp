// pugixml writes the node as UTF-16 straight into a buffer that becomes the
// result string; it escapes &, < and > in text, and quotes only in attributes.
#include "platform/posix/winrt/xml_serializer.h"

#include <winstring.h>

#include <string>

namespace pal::winrt {
namespace {

class ByteWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::string bytes;
};

}  // namespace

HRESULT SerializeNode(const pugi::xml_node& node, HSTRING* xml) noexcept {
    if (xml == nullptr) return E_POINTER;
    try {
        ByteWriter writer;
        node.print(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf16_le);
        const size_t units = writer.bytes.size() / sizeof(WCHAR);
        if (units > 0xFFFFFFFEu) return HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW);
        std::u16string text(units, u'\0');
        writer.bytes.copy(reinterpret_cast<char*>(text.data()), units * sizeof(WCHAR));
        return WindowsCreateString(text.data(), static_cast<UINT32>(units), xml);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace pal::winrt
