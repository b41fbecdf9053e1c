// The per-user toast store in the prefix: every toast shown, with an id that
// only grows, its AppUserModelID, the time it was shown and its XML text as
// given. Shared by the toast notifier and the pal tool; safe across threads and
// processes (an SQLite database: each toast is one committed row or nothing).
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

// Opens a connection to the current prefix's store for the calls to come; a call
// made meanwhile waits for it. Failures are left for those calls to meet.
void OpenAhead() noexcept;

// Stores one toast; on success *id (if given) is its id.
HRESULT Append(std::basic_string_view<WCHAR> appUserModelId, std::basic_string_view<WCHAR> xml,
               int64_t* id = nullptr) noexcept;

// Every stored toast in id order, or only those of one AppUserModelID.
HRESULT List(std::vector<Toast>& toasts, const std::optional<std::string>& appUserModelId = std::nullopt);

// One toast by id; nullopt when there is none (or the store cannot be read).
std::optional<Toast> Find(int64_t id);

// Removes every toast. Ids are not reused afterwards.
HRESULT Clear() noexcept;

}  // namespace pal::toast_store
