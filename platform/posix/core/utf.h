// UTF-16 <-> UTF-8 for the platform layer, which meets the Linux world (file
// names, environment, SQLite, the toast store) in UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace pal {

std::string ToUtf8(std::u16string_view text);
inline std::string ToUtf8(const WCHAR* text) { return text ? ToUtf8(std::u16string_view(text)) : std::string(); }
std::u16string FromUtf8(std::string_view text);

}  // namespace pal
