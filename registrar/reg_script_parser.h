// The registry script interpreter: reads the expanded script text token by
// token and writes what it names into the registry (register pass) or removes
// it again (unregister pass). One object serves one run.
#pragma once

#include <windows.h>

#include <cstddef>

#include "registrar/reg_key_handle.h"

// A token holds at most 4094 units and its NUL.
inline constexpr size_t kScriptTokenCapacity = 4096;
using ScriptToken = WCHAR[kScriptTokenCapacity];

class CRegScriptParser {
public:
    // Deeper nesting is refused with DISP_E_EXCEPTION, so hostile text cannot
    // exhaust the stack; real scripts stay far below it.
    static constexpr unsigned kMaxBlockDepth = 256;

    // Applies every root entry of the NUL-terminated text: register true
    // writes, false removes. A failed root block is undone before returning.
    HRESULT RunScript(LPCWSTR script, bool doRegister) noexcept;

private:
    HRESULT ReadToken(ScriptToken& token) noexcept;
    HRESULT ApplyBlock(ScriptToken& token, HKEY parent, bool doRegister, bool recover, unsigned depth) noexcept;
    HRESULT RegisterKeyEntry(ScriptToken& token, HKEY parent, RegKeyHandle& current, unsigned depth) noexcept;
    HRESULT UnregisterKeyEntry(ScriptToken& token, HKEY parent, RegKeyHandle& current, bool recover,
                               bool deletionAllowed, unsigned depth) noexcept;

    // The entries below hold token buffers of their own; kept out of line so
    // those buffers never sit in the frames of the block recursion.
    [[gnu::noinline]] HRESULT ApplyValueEntry(ScriptToken& token, HKEY parent, bool doRegister,
                                              bool removeValue) noexcept;
    [[gnu::noinline]] HRESULT SetScriptValue(HKEY key, LPCWSTR valueName, ScriptToken& token) noexcept;
    [[gnu::noinline]] HRESULT SkipValueAssignment(ScriptToken& token) noexcept;

    void SkipWhiteSpace() noexcept;

    LPCWSTR cursor_ = nullptr;
};
