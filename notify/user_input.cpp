// User-input lookup. The platform hands the inputs over as an array of
// key/value text pairs; the first matching key wins.
#include "notify/user_input.h"

namespace {

WCHAR FoldAsciiLetter(WCHAR unit) noexcept {
    return unit >= TEXT('A') && unit <= TEXT('Z') ? static_cast<WCHAR>(unit - TEXT('A') + TEXT('a')) : unit;
}

}  // namespace

bool EqualsFoldingAsciiLetters(const WCHAR* first, const WCHAR* second) noexcept {
    if (first == nullptr || second == nullptr) return first == second;
    for (;; ++first, ++second) {
        if (FoldAsciiLetter(*first) != FoldAsciiLetter(*second)) return false;
        if (*first == 0) return true;
    }
}

bool FindUserInputValue(const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count, const WCHAR* key,
                        CWideString& value) {
    if (data == nullptr) return false;
    for (ULONG index = 0; index < count; ++index) {
        if (data[index].Key != nullptr && EqualsFoldingAsciiLetters(data[index].Key, key)) {
            value = data[index].Value;
            return true;
        }
    }
    return false;
}
