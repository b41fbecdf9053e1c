// The user-interface language, from LANGUAGE (its first entry), LC_ALL,
// LC_MESSAGES and LANG in that precedence, as Windows language identifiers.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace pal {

// The languages a neutral-language resource request tries, most wanted first:
// the user's language, then its neutral-sublanguage form, then neutral, then
// English (US). The caller ends with English of any region, then any language.
std::vector<WORD> NeutralLanguageSearchOrder();

// The language identifier of a POSIX locale name ("de_AT.UTF-8", "zh_Hans",
// "pt-BR"); 0 when it names no language (C, POSIX, empty) or an unknown one.
WORD LanguageFromLocaleName(std::string_view locale);

}  // namespace pal
