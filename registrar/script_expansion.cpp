// One pass over the script text: substitution of replacements and the
// per-user redirection, which tracks quotes and brace nesting to find where a
// classes-root block ends.
#include "registrar/script_expansion.h"

#include "common/hresult.h"
#include "registrar/expanded_text.h"
#include "registrar/per_user_registration.h"

namespace {

constexpr size_t kMaxReplacementNameUnits = 31;

// Wraps a classes-root block as HKCU { Software { Classes <block> } }.
constexpr WCHAR kRedirectOpening[] = TEXT("HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses");
constexpr WCHAR kRedirectClosing[] = TEXT("\r\n\t}\r\n}\r\n");
constexpr size_t kRedirectOpeningUnits = sizeof kRedirectOpening / sizeof(WCHAR) - 1;
constexpr size_t kRedirectClosingUnits = sizeof kRedirectClosing / sizeof(WCHAR) - 1;
static_assert(kRedirectOpeningUnits == 31 && kRedirectClosingUnits == 9);

size_t TextLength(LPCWSTR text) noexcept {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

// Only the upper-case short name is redirected; other spellings of the classes root stay.
bool StartsWithClassesRootShortName(LPCWSTR at) noexcept {
    return at[0] == TEXT('H') && at[1] == TEXT('K') && at[2] == TEXT('C') && at[3] == TEXT('R');
}

HRESULT AppendCharacter(ExpandedText& text, LPCWSTR at) noexcept {
    return text.Append(at, static_cast<size_t>(CharNextW(at) - at));
}

// The cursor stands on the first character of the name; on success it stands
// on the closing "%".
HRESULT AppendReplacement(ExpandedText& text, LPCWSTR& at, CRegObject& registrar) noexcept {
    LPCWSTR nameEnd = at;
    while (*nameEnd != 0 && *nameEnd != TEXT('%')) nameEnd = CharNextW(nameEnd);
    if (*nameEnd == 0) return DISP_E_EXCEPTION;
    const size_t nameLength = static_cast<size_t>(nameEnd - at);
    if (nameLength > kMaxReplacementNameUnits) return E_FAIL;
    WCHAR name[kMaxReplacementNameUnits + 1];
    for (size_t i = 0; i < nameLength; ++i) name[i] = at[i];
    name[nameLength] = 0;
    const LPCWSTR value = registrar.LookupReplacement(name);
    if (value == nullptr) return DISP_E_EXCEPTION;
    // Inserted as it is: a value is never scanned for percent signs, quotes or braces.
    RETURN_IF_FAILED(text.Append(value, TextLength(value)));
    at = nameEnd;
    return S_OK;
}

// Follows quotes and braces of the source; brackets a classes-root block with
// the redirection texts. The cursor may move onto a doubled apostrophe.
class PerUserRedirection {
public:
    HRESULT Track(ExpandedText& text, LPCWSTR& at) noexcept {
        if (nesting_ == 0 && StartsWithClassesRootShortName(at)) {
            for (int i = 0; i < 4; ++i) at = CharNextW(at);
            RETURN_IF_FAILED(text.Append(kRedirectOpening, kRedirectOpeningUnits));
            redirected_ = true;
        }
        if (*at == TEXT('\'')) {
            if (!inQuotes_) {
                inQuotes_ = true;
            } else if (*CharNextW(at) != TEXT('\'')) {
                inQuotes_ = false;
            } else {
                at = CharNextW(at);  // a doubled apostrophe passes through whole, still quoted
                RETURN_IF_FAILED(text.Append(at, 1));
            }
        }
        if (inQuotes_) return S_OK;
        if (*at == TEXT('{')) {
            ++nesting_;
        } else if (*at == TEXT('}')) {
            if (--nesting_ == 0 && redirected_) {
                RETURN_IF_FAILED(text.Append(kRedirectClosing, kRedirectClosingUnits));
                redirected_ = false;
            }
        }
        return S_OK;
    }

private:
    long long nesting_ = 0;  // a plain counter: unbalanced text may take it below 0
    bool inQuotes_ = false;
    bool redirected_ = false;
};

}  // namespace

HRESULT ExpandScript(LPCWSTR source, CRegObject& registrar, unique_cotaskmem& expanded) noexcept {
    if (source == nullptr) return E_INVALIDARG;
    const size_t sourceLength = TextLength(source);
    if (sourceLength > static_cast<size_t>(-1) / 4) return E_OUTOFMEMORY;
    ExpandedText text;
    RETURN_IF_FAILED(text.Allocate(sourceLength * 2 < 100 ? 1000 : sourceLength * 2));

    const bool redirect = PerUserRegistration;
    PerUserRedirection redirection;
    for (LPCWSTR at = source; *at != 0; at = CharNextW(at)) {
        if (redirect) {
            RETURN_IF_FAILED(redirection.Track(text, at));
            if (*at == 0) break;  // the text ended right after "HKCR"
        }
        if (*at == TEXT('%')) {
            at = CharNextW(at);
            if (*at == TEXT('%')) {
                RETURN_IF_FAILED(text.Append(at, 1));
            } else {
                RETURN_IF_FAILED(AppendReplacement(text, at, registrar));
            }
        } else {
            RETURN_IF_FAILED(AppendCharacter(text, at));
        }
    }
    expanded = text.Release();
    return S_OK;
}

HRESULT EscapeApostrophes(LPWSTR destination, size_t capacity, LPCWSTR source) noexcept {
    if (capacity == 0) return E_FAIL;
    size_t written = 0;
    for (; *source != 0; ++source) {
        const size_t units = *source == TEXT('\'') ? 2 : 1;
        if (written + units >= capacity) {
            destination[written] = 0;
            return E_FAIL;
        }
        for (size_t i = 0; i < units; ++i) destination[written++] = *source;
    }
    destination[written] = 0;
    return S_OK;
}
