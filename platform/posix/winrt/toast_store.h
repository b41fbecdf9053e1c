// The per-user toast store in the prefix: every toast shown, with an id that
// only grows, its AppUserModelID, the time it was shown and its XML text as
// given. Shared by the toast notifier and the pal tool; safe across threads and
// processes (an SQLite database, fed by an inbox file each toast is appended to
// whole or not at all; toasts get their ids in the order they came).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pal::toast_store {

struct Toast {
    int64_t id = 0;
    std::string appUserModelId;  // UTF-8
    std::string time;            // UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ"
    std::u16string xml;          // the text exactly as shown
};

// Stores one toast. Without id it is appended to the inbox, which costs no
// database; with id it goes to the database at once and *id is its id.
HRESULT Append(std::basic_string_view<WCHAR> appUserModelId, std::basic_string_view<WCHAR> xml,
               int64_t* id = nullptr) noexcept;

// Every stored toast in id order, or only those of one AppUserModelID.
HRESULT List(std::vector<Toast>& toasts, const std::optional<std::string>& appUserModelId = std::nullopt);

// One toast by id; nullopt when there is none (or the store cannot be read).
std::optional<Toast> Find(int64_t id);

// Removes every toast. Ids are not reused afterwards.
HRESULT Clear() noexcept;

}  // namespace pal::toast_store
