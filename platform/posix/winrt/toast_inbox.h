// The toast store's inbox, <prefix>/toasts.inbox: a file each toast is appended
// to as one checksummed record, so showing a toast costs a write to a file the
// process need not open a database for. The records are folded into the store's
// database later, in one transaction, by whoever reads the store or when the
// inbox has grown; a record, once written, is lost only with the machine's power.
//
// Appenders share a lock on the file, a fold holds it alone. A fold records in
// the database how far it folded which inbox (each inbox starts with a random
// generation), then starts the inbox over: a fold cut short between the two is
// never folded twice. A record cut short (the disk filled, the power went) is
// skipped; the records after it are found again by their marks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pal::toast_store {

struct InboxRecord {
    std::string_view appUserModelId;  // UTF-8
    std::string_view time;
    std::string_view xml;  // the code units' bytes, as written (not aligned for char16_t)
    uint64_t end = 0;  // the offset just past the record
};

// Appends a record; inboxSize is then at least the inbox's length.
HRESULT AppendToInbox(const std::string& path, std::string_view appUserModelId, std::string_view time,
                      std::u16string_view xml, uint64_t& inboxSize) noexcept;

// The inbox held alone for a fold: what it holds, read at once.
class InboxFold {
public:
    static constexpr size_t kGenerationBytes = 16;

    InboxFold() = default;
    ~InboxFold();
    InboxFold(const InboxFold&) = delete;
    InboxFold& operator=(const InboxFold&) = delete;

    // S_OK with the inbox held, S_FALSE when there is none or it holds no record.
    HRESULT Take(const std::string& path) noexcept;

    std::string_view Generation() const noexcept;
    // Every whole record from offset on (the header's end if offset is before it).
    std::vector<InboxRecord> RecordsFrom(uint64_t offset) const;
    uint64_t Size() const noexcept { return contents_.size(); }

    // Empties the inbox under a new generation, once its records are folded.
    void StartOver() noexcept;

private:
    int file_ = -1;
    std::string contents_;
};

}  // namespace pal::toast_store
