// The toast store's inbox, <prefix>/toasts.inbox: a file each toast is appended
// to as one checksummed record, so showing a toast costs a write to a file the
// process need not open a database for. The records are folded into the store's
// database later, in one transaction, by whoever reads the store or when the
// inbox has grown; a record, once written, is lost only with the machine's power.
//
// Folds take turns (a lock on toasts.inbox.lock, held from start to end), so a
// toast stored with its id after a fold is stored after everything appended
// before. Appenders share a lock on the inbox while they write, and write only
// while it is still at its name. A fold renames the inbox to toasts.inbox.folding
// (never over another) without waiting for them, so they start a new inbox rather
// than wait for the database; it has the file alone once, when the appenders who
// locked it before are done, and lets it go. It records in the database how far
// it folded which file (each inbox starts with a random generation), and then
// removes it. A fold cut short leaves the file for the next fold, which stores
// only what the database has not got. A record cut short (the disk filled, the
// power went) is skipped; the records after it are found again by their marks.
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

// A fold's turn: held while it lasts.
class FoldTurn {
public:
    FoldTurn() = default;
    ~FoldTurn();
    FoldTurn(const FoldTurn&) = delete;
    FoldTurn& operator=(const FoldTurn&) = delete;

    HRESULT Take(const std::string& inboxPath) noexcept;

private:
    int file_ = -1;
};

// An inbox set aside for a fold: what it holds, read at once. Taken in a fold's turn.
class InboxFold {
public:
    static constexpr size_t kGenerationBytes = 16;

    InboxFold() = default;
    ~InboxFold();
    InboxFold(const InboxFold&) = delete;
    InboxFold& operator=(const InboxFold&) = delete;

    // S_OK with an inbox set aside (one a fold left, else the inbox at path),
    // S_FALSE when there is none with a record.
    HRESULT Take(const std::string& path) noexcept;

    std::string_view Generation() const noexcept;
    // Every whole record from offset on (the header's end if offset is before it).
    std::vector<InboxRecord> RecordsFrom(uint64_t offset) const;
    uint64_t Size() const noexcept { return contents_.size(); }

    // Removes the file set aside, once its records are folded.
    void Done() noexcept;

private:
    HRESULT Read(uint64_t size) noexcept;

    int file_ = -1;
    std::string aside_;
    std::string_view contents_;  // the file, mapped
};

}  // namespace pal::toast_store
