// VarUI4FromStr: text to an unsigned 32-bit number with Windows' result codes.
// Decimal integers with surrounding blanks and one leading sign are read here;
// the rest of Automation's number syntax (decimal point, exponent, "&H",
// parentheses, trailing signs) is not supported and answers E_NOTIMPL.
#include <oleauto.h>

namespace {

bool IsBlank(WCHAR c) noexcept { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsDigit(WCHAR c) noexcept { return c >= u'0' && c <= u'9'; }
bool IsUnsupportedNumberSyntax(WCHAR c) noexcept {
    return c == u'.' || c == u',' || c == u'e' || c == u'E' || c == u'&' || c == u'(' || c == u'+' || c == u'-';
}

}  // namespace

extern "C" HRESULT WINAPI VarUI4FromStr(LPCOLESTR text, LCID, ULONG, ULONG* result) {
    if (text == nullptr) return DISP_E_TYPEMISMATCH;
    if (result == nullptr) return E_INVALIDARG;
    const WCHAR* at = text;
    while (IsBlank(*at)) ++at;
    bool negative = false;
    if (*at == u'+' || *at == u'-') negative = *at++ == u'-';
    if (!IsDigit(*at)) return IsUnsupportedNumberSyntax(*at) ? E_NOTIMPL : DISP_E_TYPEMISMATCH;
    unsigned long long value = 0;
    for (; IsDigit(*at); ++at) {
        value = value * 10 + static_cast<unsigned>(*at - u'0');
        if (value > 0xFFFFFFFFull) value = 0x100000000ull;  // saturate: out of range either way
    }
    if (IsUnsupportedNumberSyntax(*at)) return E_NOTIMPL;
    while (IsBlank(*at)) ++at;
    if (*at != 0) return DISP_E_TYPEMISMATCH;
    if (value > 0xFFFFFFFFull || (negative && value != 0)) return DISP_E_OVERFLOW;
    *result = static_cast<ULONG>(value);
    return S_OK;
}
