// String-table lookup over the base module record's resource modules. String
// blocks hold 16 counted entries without terminators (ids 16n..16n+15 live in
// block n+1); every read stays inside the block's size.
#include "notify/string_resources.h"

#include "common/base_module.h"
#include "notify/xml_escape.h"

namespace {

constexpr UINT kEntriesPerBlock = 16;

LPCWSTR BlockNameOf(UINT id) noexcept { return MAKEINTRESOURCEW(id / kEntriesPerBlock + 1); }

struct StringEntry {
    const WCHAR* text = nullptr;
    int length = 0;
};

// The entry for id in a found block; length 0 when the entry is absent or
// would start at or past the end of the block's data.
StringEntry EntryInBlock(HMODULE module, HRSRC block, UINT id) noexcept {
    HGLOBAL loaded = LoadResource(module, block);
    const auto* units = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (units == nullptr) return {};
    const DWORD unitCount = SizeofResource(module, block) / sizeof(WCHAR);
    DWORD at = 0;
    for (UINT skip = id % kEntriesPerBlock; skip > 0 && at < unitCount; --skip) at += 1 + units[at];
    if (at >= unitCount) return {};
    const DWORD length = units[at];
    if (length == 0 || at + 1 + length > unitCount) return {};
    return {units + at + 1, static_cast<int>(length)};
}

// The first resource module whose block for id, in the neutral language,
// holds a non-empty entry for it.
HMODULE ModuleHoldingString(UINT id) noexcept {
    for (int index = 0;; ++index) {
        HMODULE module = _AtlBaseModule.GetHInstanceAt(index);
        if (module == nullptr) return nullptr;
        HRSRC block = FindResourceExW(module, RT_STRING, BlockNameOf(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
        if (block != nullptr && EntryInBlock(module, block, id).length > 0) return module;
    }
}

}  // namespace

bool LoadStringResource(UINT id, CWideString& text) {
    HMODULE module = ModuleHoldingString(id);
    if (module == nullptr) return false;
    HRSRC block = FindResourceW(module, BlockNameOf(id), RT_STRING);
    if (block == nullptr) return false;
    const StringEntry entry = EntryInBlock(module, block, id);
    if (entry.length == 0) return false;
    text.SetString(entry.text, entry.length);
    return true;
}

CWideString LoadEscapedString(UINT id) {
    CWideString text;
    if (!LoadStringResource(id, text)) text.Format(TEXT("String resource %u missing"), id);
    EscapeXmlInPlace(text);
    return text;
}
