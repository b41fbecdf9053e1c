// CLSIDFromString and StringFromGUID2: the braced registry form of a GUID,
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters.
#include <objbase.h>

namespace {

constexpr int kBracedLength = 38;
constexpr HRESULT kBadClassString = static_cast<HRESULT>(0x800401F3);  // CO_E_CLASSSTRING

int HexValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool ReadHex(const WCHAR*& text, int digits, uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i, ++text) {
        const int digit = HexValue(*text);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

bool Expect(const WCHAR*& text, WCHAR c) { return *text++ == c; }

}  // namespace

extern "C" HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
    if (clsid == nullptr) return E_INVALIDARG;
    if (text == nullptr) {  // as on Windows: no text is the null CLSID
        *clsid = CLSID{};
        return S_OK;
    }
    CLSID parsed{};
    uint64_t value = 0;
    const WCHAR* next = text;
    bool ok = Expect(next, u'{') && ReadHex(next, 8, value);
    parsed.Data1 = static_cast<uint32_t>(value);
    ok = ok && Expect(next, u'-') && ReadHex(next, 4, value);
    parsed.Data2 = static_cast<uint16_t>(value);
    ok = ok && Expect(next, u'-') && ReadHex(next, 4, value);
    parsed.Data3 = static_cast<uint16_t>(value);
    ok = ok && Expect(next, u'-');
    for (int i = 0; ok && i < 8; ++i) {
        if (i == 2) ok = Expect(next, u'-');
        ok = ok && ReadHex(next, 2, value);
        parsed.Data4[i] = static_cast<uint8_t>(value);
    }
    ok = ok && Expect(next, u'}') && *next == 0;
    if (!ok) return kBadClassString;  // program identifiers are not looked up here
    *clsid = parsed;
    return S_OK;
}

extern "C" int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR text, int capacity) {
    if (text == nullptr || capacity < kBracedLength + 1) return 0;
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    WCHAR* out = text;
    const auto put = [&out](uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) *out++ = kDigits[(value >> shift) & 0xF];
    };
    *out++ = u'{';
    put(guid.Data1, 8);
    *out++ = u'-';
    put(guid.Data2, 4);
    *out++ = u'-';
    put(guid.Data3, 4);
    *out++ = u'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) *out++ = u'-';
        put(guid.Data4[i], 2);
    }
    *out++ = u'}';
    *out = 0;
    return kBracedLength + 1;
}
