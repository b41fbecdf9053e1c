// Value entries of the registry script: reading a type letter and its data,
// converting the data to the registry's form (text, number, bytes, list of
// texts) and setting, deleting or skipping the value.
#include <windows.h>
#include <oleauto.h>

#include "common/hresult.h"
#include "registrar/inline_or_heap_buffer.h"
#include "registrar/reg_script_parser.h"
#include "registrar/script_names.h"

namespace {

// Data up to this many bytes is built in place.
constexpr size_t kInlineDataBytes = 256;

DWORD ValueTypeFromLetter(LPCWSTR letter) noexcept {
    if (IsScriptWord(letter, TEXT("S"))) return REG_SZ;
    if (IsScriptWord(letter, TEXT("M"))) return REG_MULTI_SZ;
    if (IsScriptWord(letter, TEXT("D"))) return REG_DWORD;
    if (IsScriptWord(letter, TEXT("B"))) return REG_BINARY;
    return REG_NONE;
}

BYTE HexDigitValue(WCHAR c) noexcept {
    if (c >= TEXT('0') && c <= TEXT('9')) return static_cast<BYTE>(c - TEXT('0'));
    if (c >= TEXT('A') && c <= TEXT('F')) return static_cast<BYTE>(c - TEXT('A') + 10);
    if (c >= TEXT('a') && c <= TEXT('f')) return static_cast<BYTE>(c - TEXT('a') + 10);
    return 0;  // not a hexadecimal digit: counts as 0
}

HRESULT SetValue(HKEY key, LPCWSTR name, DWORD type, const void* data, size_t bytes) noexcept {
    RETURN_IF_WIN32_ERROR(
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes)));
    return S_OK;
}

HRESULT SetNumberValue(HKEY key, LPCWSTR name, LPCWSTR data) noexcept {
    ULONG number = 0;
    // Some SDKs declare the text without const; the conversion only reads it.
    RETURN_IF_FAILED(VarUI4FromStr(const_cast<LPOLESTR>(data), 0, 0, &number));
    const BYTE littleEndian[4] = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                                  static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
    return SetValue(key, name, REG_DWORD, littleEndian, sizeof littleEndian);
}

HRESULT SetBinaryValue(HKEY key, LPCWSTR name, LPCWSTR data) noexcept {
    const size_t length = static_cast<size_t>(lstrlenW(data));
    if (length % 2 != 0) return E_FAIL;
    InlineOrHeapBuffer<BYTE, kInlineDataBytes> bytes;
    if (!bytes.Allocate(length / 2)) return E_FAIL;
    for (size_t i = 0; i < length; ++i) {
        bytes.Data()[i / 2] |= static_cast<BYTE>(HexDigitValue(data[i]) << (i % 2 == 0 ? 4 : 0));
    }
    return SetValue(key, name, REG_BINARY, bytes.Data(), length / 2);
}

// Backslash-0 separates the texts; the list ends at its first empty text.
HRESULT SetMultiTextValue(HKEY key, LPCWSTR name, LPCWSTR data) noexcept {
    const size_t length = static_cast<size_t>(lstrlenW(data));
    InlineOrHeapBuffer<WCHAR, kInlineDataBytes / sizeof(WCHAR)> texts;
    if (!texts.Allocate(length + 2)) return E_OUTOFMEMORY;
    WCHAR* out = texts.Data();
    for (size_t i = 0; i < length; ++i) {
        if (data[i] == TEXT('\\') && data[i + 1] == TEXT('0')) {
            *out++ = 0;
            ++i;
        } else {
            *out++ = data[i];
        }
    }
    out[0] = 0;
    out[1] = 0;
    size_t bytes = 0;
    for (LPCWSTR text = texts.Data();; ++text) {
        const size_t textLength = static_cast<size_t>(lstrlenW(text));
        bytes += (textLength + 1) * sizeof(WCHAR);
        if (textLength == 0) break;
        text += textLength;
    }
    return SetValue(key, name, REG_MULTI_SZ, texts.Data(), bytes);
}

HRESULT WriteScriptValue(HKEY key, LPCWSTR name, DWORD type, LPCWSTR data) noexcept {
    switch (type) {
    case REG_SZ:
        return SetValue(key, name, REG_SZ, data, (static_cast<size_t>(lstrlenW(data)) + 1) * sizeof(WCHAR));
    case REG_DWORD:
        return SetNumberValue(key, name, data);
    case REG_BINARY:
        return SetBinaryValue(key, name, data);
    default:
        return SetMultiTextValue(key, name, data);
    }
}

}  // namespace

HRESULT CRegScriptParser::SetScriptValue(HKEY key, LPCWSTR valueName, ScriptToken& token) noexcept {
    ScriptToken data;
    RETURN_IF_FAILED(ReadToken(data));
    const DWORD type = ValueTypeFromLetter(data);
    if (type == REG_NONE) return DISP_E_EXCEPTION;
    RETURN_IF_FAILED(ReadToken(data));
    RETURN_IF_FAILED(WriteScriptValue(key, valueName, type, data));
    return ReadToken(token);
}

HRESULT CRegScriptParser::SkipValueAssignment(ScriptToken& token) noexcept {
    if (token[0] != TEXT('=')) return S_OK;
    RETURN_IF_FAILED(ReadToken(token));
    ScriptToken skippedData;
    RETURN_IF_FAILED(ReadToken(skippedData));
    return ReadToken(token);
}

HRESULT CRegScriptParser::ApplyValueEntry(ScriptToken& token, HKEY parent, bool doRegister,
                                          bool removeValue) noexcept {
    ScriptToken valueName;
    RETURN_IF_FAILED(ReadToken(valueName));
    RETURN_IF_FAILED(ReadToken(token));
    if (token[0] != TEXT('=')) return DISP_E_EXCEPTION;
    if (doRegister) return SetScriptValue(parent, valueName, token);
    if (removeValue) {
        RegKeyHandle target;
        RETURN_IF_WIN32_ERROR(target.OpenKey(parent, nullptr, KEY_WRITE));
        const LONG deleted = RegDeleteValueW(target.Get(), valueName);
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return HResultFromWin32(deleted);
    }
    return SkipValueAssignment(token);
}
