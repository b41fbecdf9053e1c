// The tokenizer and the block walk of the registry script interpreter, with
// the undo of a root block whose register pass failed.
#include "registrar/reg_script_parser.h"

#include "common/hresult.h"
#include "registrar/script_names.h"

namespace {

constexpr size_t kMaxTokenUnits = kScriptTokenCapacity - 2;
constexpr size_t kRememberedKeyNameCapacity = MAX_PATH;

bool IsWhiteSpace(WCHAR c) noexcept { return c == 9 || c == 10 || c == 13 || c == 32; }
bool IsAssignment(LPCWSTR token) noexcept { return token[0] == TEXT('='); }
bool ClosesBlock(LPCWSTR token) noexcept { return token[0] == TEXT('}'); }
bool OpensBlock(LPCWSTR token) noexcept { return token[0] == TEXT('{') && token[1] == 0; }

// A key entry names one subkey: never a path, and never the empty name, which
// the registry reads as the parent key itself.
bool IsSubKeyName(LPCWSTR token) noexcept {
    if (*token == 0) return false;
    for (; *token != 0; ++token) {
        if (*token == TEXT('\\')) return false;
    }
    return true;
}

// A block directly after a Val or Delete entry belongs to no key: refused.
HRESULT RefuseStrayBlock(LPCWSTR token) noexcept { return OpensBlock(token) ? DISP_E_EXCEPTION : S_OK; }

// Copies with truncation; false when the name did not fit whole.
bool RememberKeyName(WCHAR (&remembered)[kRememberedKeyNameCapacity], LPCWSTR name) noexcept {
    size_t length = 0;
    for (; name[length] != 0 && length + 1 < kRememberedKeyNameCapacity; ++length) remembered[length] = name[length];
    remembered[length] = 0;
    return name[length] == 0;
}

}  // namespace

void CRegScriptParser::SkipWhiteSpace() noexcept {
    while (IsWhiteSpace(*cursor_)) cursor_ = CharNextW(cursor_);
}

HRESULT CRegScriptParser::ReadToken(ScriptToken& token) noexcept {
    SkipWhiteSpace();
    if (*cursor_ == 0) return DISP_E_EXCEPTION;
    size_t length = 0;
    const auto copyCharacter = [&]() noexcept {
        const WCHAR* next = CharNextW(cursor_);
        if (next == cursor_) ++next;
        for (; cursor_ < next; ++cursor_) {
            if (length >= kMaxTokenUnits) return false;
            token[length++] = *cursor_;
        }
        return true;
    };

    if (*cursor_ == TEXT('\'')) {
        cursor_ = CharNextW(cursor_);
        while (*cursor_ != 0) {
            if (*cursor_ == TEXT('\'')) {
                const WCHAR* next = CharNextW(cursor_);
                if (*next != TEXT('\'')) break;
                cursor_ = next;  // the first of a doubled apostrophe
            }
            if (!copyCharacter()) return DISP_E_EXCEPTION;
        }
        if (*cursor_ == 0) return DISP_E_EXCEPTION;
        token[length] = 0;
        cursor_ = CharNextW(cursor_);
        return S_OK;
    }

    while (*cursor_ != 0 && !IsWhiteSpace(*cursor_)) {
        if (!copyCharacter()) return DISP_E_EXCEPTION;
    }
    token[length] = 0;
    return S_OK;
}

HRESULT CRegScriptParser::RunScript(LPCWSTR script, bool doRegister) noexcept {
    if (script == nullptr) return E_INVALIDARG;
    cursor_ = script;
    if (*cursor_ == 0) return S_OK;
    ScriptToken token;
    for (;;) {
        RETURN_IF_FAILED(ReadToken(token));
        const HKEY root = FindRootKey(token);
        if (root == nullptr) return DISP_E_EXCEPTION;
        RETURN_IF_FAILED(ReadToken(token));
        if (token[0] != TEXT('{')) return DISP_E_EXCEPTION;
        if (doRegister) {
            const LPCWSTR blockStart = cursor_;
            const HRESULT registered = ApplyBlock(token, root, true, false, 1);
            if (FAILED(registered)) {
                // Undo this root block only; earlier blocks stay applied.
                cursor_ = blockStart;
                ApplyBlock(token, root, false, false, 1);
                return registered;
            }
        } else {
            RETURN_IF_FAILED(ApplyBlock(token, root, false, false, 1));
        }
        SkipWhiteSpace();
        if (*cursor_ == 0) return S_OK;
    }
}

HRESULT CRegScriptParser::ApplyBlock(ScriptToken& token, HKEY parent, bool doRegister, bool recover,
                                     unsigned depth) noexcept {
    if (depth > kMaxBlockDepth) return DISP_E_EXCEPTION;
    RegKeyHandle current;
    RETURN_IF_FAILED(ReadToken(token));
    while (!ClosesBlock(token)) {
        bool deletionAllowed = true;
        const bool deleteOnly = IsScriptWord(token, TEXT("Delete"));
        if (deleteOnly || IsScriptWord(token, TEXT("ForceRemove"))) {
            RETURN_IF_FAILED(ReadToken(token));
            if (!IsSubKeyName(token)) return DISP_E_EXCEPTION;
            if (doRegister) {
                // A missing key or a partly deleted tree is no error: the entry writes over what is left.
                if (!IsProtectedKeyName(token)) RegKeyHandle::Borrow(parent).DeleteKeyTree(token);
                if (deleteOnly) {
                    RETURN_IF_FAILED(ReadToken(token));
                    RETURN_IF_FAILED(SkipValueAssignment(token));
                    RETURN_IF_FAILED(RefuseStrayBlock(token));
                    continue;
                }
            }
        }
        if (IsScriptWord(token, TEXT("NoRemove"))) {
            deletionAllowed = false;
            RETURN_IF_FAILED(ReadToken(token));
        }
        if (IsScriptWord(token, TEXT("Val"))) {
            RETURN_IF_FAILED(ApplyValueEntry(token, parent, doRegister, !recover && deletionAllowed));
            RETURN_IF_FAILED(RefuseStrayBlock(token));
            continue;
        }
        if (!IsSubKeyName(token)) return DISP_E_EXCEPTION;
        if (doRegister) {
            RETURN_IF_FAILED(RegisterKeyEntry(token, parent, current, depth));
        } else {
            RETURN_IF_FAILED(UnregisterKeyEntry(token, parent, current, recover, deletionAllowed, depth));
        }
    }
    return S_OK;
}

HRESULT CRegScriptParser::RegisterKeyEntry(ScriptToken& token, HKEY parent, RegKeyHandle& current,
                                           unsigned depth) noexcept {
    if (current.OpenKey(parent, token, KEY_READ | KEY_WRITE) != ERROR_SUCCESS &&
        current.OpenKey(parent, token, KEY_READ) != ERROR_SUCCESS) {
        RETURN_IF_WIN32_ERROR(current.CreateKey(parent, token));
    }
    RETURN_IF_FAILED(ReadToken(token));
    if (IsAssignment(token)) RETURN_IF_FAILED(SetScriptValue(current.Get(), nullptr, token));
    if (OpensBlock(token)) {
        RETURN_IF_FAILED(ApplyBlock(token, current.Get(), true, false, depth + 1));
        RETURN_IF_FAILED(ReadToken(token));
    }
    return S_OK;
}

HRESULT CRegScriptParser::UnregisterKeyEntry(ScriptToken& token, HKEY parent, RegKeyHandle& current, bool recover,
                                             bool deletionAllowed, unsigned depth) noexcept {
    const LONG opened = recover ? ERROR_FILE_NOT_FOUND : current.OpenKey(parent, token, KEY_READ);
    // Below a key that is not there the block is only read, never applied.
    const bool walkInRecovery = recover || opened != ERROR_SUCCESS;
    WCHAR keyName[kRememberedKeyNameCapacity];
    const bool wholeName = RememberKeyName(keyName, token);

    RETURN_IF_FAILED(ReadToken(token));
    RETURN_IF_FAILED(SkipValueAssignment(token));
    if (OpensBlock(token)) {
        const HRESULT nested = ApplyBlock(token, current.Get(), false, walkInRecovery, depth + 1);
        if (FAILED(nested) && !walkInRecovery) return nested;
        RETURN_IF_FAILED(ReadToken(token));
    }

    if (opened == ERROR_FILE_NOT_FOUND) return S_OK;
    if (opened != ERROR_SUCCESS) return recover ? S_OK : HResultFromWin32(opened);
    DWORD subKeys = 0;
    if (RegQueryInfoKeyW(current.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        subKeys = 0;
    }
    RETURN_IF_WIN32_ERROR(current.CloseKey());
    // A cut name would name another key: such a key is never deleted.
    if (subKeys != 0 || !deletionAllowed || !wholeName) return S_OK;
    RETURN_IF_WIN32_ERROR(RegKeyHandle::Borrow(parent).RemoveSubKey(keyName));
    return S_OK;
}
