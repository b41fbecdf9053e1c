// The inbox's layout: a header (a mark and the generation), then records, each
// a mark, the payload's length, the payload's checksum and the payload: the
// AppUserModelID and the time, each with its length, then the XML's code units.
// A record is written by one write on a descriptor opened to append, so records
// never interleave; one cut short leaves bytes that fail their checksum, and a
// fold looks for the next mark after them.
#include "platform/posix/winrt/toast_inbox.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <new>
#include <utility>

#include "common/hresult.h"
#include "platform/posix/com/file_lock.h"
#include "platform/posix/process/spawn.h"
#include "platform/posix/testing/fault_injection.h"

namespace pal::toast_store {
namespace {

constexpr char kHeaderMark[] = "pal toast inbox\n";  // 16 bytes, no NUL
constexpr size_t kHeaderMarkBytes = sizeof kHeaderMark - 1;
constexpr size_t kHeaderBytes = kHeaderMarkBytes + InboxFold::kGenerationBytes;
constexpr uint32_t kRecordMark = 0x74736f54;  // "Tost"
constexpr size_t kRecordHeaderBytes = 4 + 4 + 8;
// A toast the database could never hold is refused rather than written.
constexpr uint64_t kLargestPayload = 1000000000;
constexpr auto kLockWait = std::chrono::seconds(30);
constexpr DWORD kErrorDiskFull = 112;

class Descriptor {
public:
    explicit Descriptor(int file) noexcept : file_(file) {}
    ~Descriptor() {
        if (file_ >= 0) close(file_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (file_ >= 0) close(file_);
        file_ = other.release();
        return *this;
    }
    int get() const noexcept { return file_; }
    int release() noexcept { return std::exchange(file_, -1); }

private:
    int file_;
};

HRESULT HResultFromErrno(int error) noexcept {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return HResultFromWin32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS: return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT: return HResultFromWin32(kErrorDiskFull);
    case ENOMEM: return E_OUTOFMEMORY;
    default: return HResultFromWin32(ERROR_WRITE_FAULT);
    }
}

void PutU32(std::string& out, uint32_t value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); }

template <class T> T Get(const char* at) noexcept {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint64_t Mix(uint64_t word) noexcept {
    word *= 0xbf58476d1ce4e5b9ull;
    return word ^ (word >> 31);
}

// The payload's checksum, a word at a time (a toast's XML is kilobytes, and is
// summed on every append): it tells a record cut short or damaged, and nobody
// chooses these bytes to collide. Each step is one-to-one in its word, so a
// change to any one word always changes the sum.
uint64_t Checksum(std::string_view bytes) noexcept {
    uint64_t sum = 0x9e3779b97f4a7c15ull ^ bytes.size();
    size_t at = 0;
    for (; bytes.size() - at >= 8; at += 8) sum = Mix(sum ^ Get<uint64_t>(bytes.data() + at));
    uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    return Mix(sum ^ tail);
}

std::string Record(std::string_view appUserModelId, std::string_view time, std::u16string_view xml) {
    std::string payload;
    payload.reserve(8 + appUserModelId.size() + time.size() + xml.size() * sizeof(char16_t));
    for (const std::string_view text : {appUserModelId, time}) {
        PutU32(payload, static_cast<uint32_t>(text.size()));
        payload += text;
    }
    payload.append(reinterpret_cast<const char*>(xml.data()), xml.size() * sizeof(char16_t));
    std::string record;
    record.reserve(kRecordHeaderBytes + payload.size());
    PutU32(record, kRecordMark);
    PutU32(record, static_cast<uint32_t>(payload.size()));
    const uint64_t check = Checksum(payload);
    record.append(reinterpret_cast<const char*>(&check), sizeof check);
    record += payload;
    return record;
}

// The record whose header is at `at`, if it is whole and intact.
bool ReadRecord(std::string_view contents, size_t at, InboxRecord& record) noexcept {
    if (contents.size() - at < kRecordHeaderBytes || Get<uint32_t>(contents.data() + at) != kRecordMark) return false;
    const uint32_t length = Get<uint32_t>(contents.data() + at + 4);
    const size_t start = at + kRecordHeaderBytes;
    if (contents.size() - start < length) return false;
    const std::string_view payload = contents.substr(start, length);
    if (Checksum(payload) != Get<uint64_t>(contents.data() + at + 8)) return false;
    std::string_view rest = payload;
    std::string_view texts[2];
    for (std::string_view& text : texts) {
        if (rest.size() < 4 || rest.size() - 4 < Get<uint32_t>(rest.data())) return false;
        text = rest.substr(4, Get<uint32_t>(rest.data()));
        rest.remove_prefix(4 + text.size());
    }
    if (rest.size() % sizeof(char16_t) != 0) return false;
    record.appUserModelId = texts[0];
    record.time = texts[1];
    record.xml = rest;
    record.end = start + length;
    return true;
}

// At the start of an empty inbox (opened to append, where writing at 0 appends).
HRESULT WriteHeader(int file) noexcept {
    char header[kHeaderBytes];
    std::memcpy(header, kHeaderMark, kHeaderMarkBytes);
    if (getrandom(header + kHeaderMarkBytes, InboxFold::kGenerationBytes, 0) !=
        static_cast<ssize_t>(InboxFold::kGenerationBytes))
        return HResultFromErrno(errno);
    if (pwrite(file, header, kHeaderBytes, 0) != static_cast<ssize_t>(kHeaderBytes)) return HResultFromErrno(errno);
    return S_OK;
}

// The inbox at path, opened and locked, and its size then; made (mode 0600,
// whatever the umask) when missing and create is set.
HRESULT OpenLocked(const std::string& path, bool create, com::LockMode mode, int& opened, uint64_t& size) noexcept {
    const auto deadline = com::Clock::now() + kLockWait;
    for (;;) {
        const int flags = create ? O_RDWR | O_APPEND | O_CREAT : O_RDWR;
        Descriptor file(open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.get() < 0) return errno == ENOENT && !create ? S_FALSE : HResultFromErrno(errno);
        struct stat info{};
        switch (com::LockBefore(file.get(), path, deadline, mode, &info)) {
        case com::Locked::Yes: break;
        case com::Locked::Removed: continue;  // removed meanwhile: the next open makes it again
        case com::Locked::TimedOut: return HResultFromWin32(ERROR_TIMEOUT);
        case com::Locked::Failed: return HResultFromErrno(errno);
        }
        if (!S_ISREG(info.st_mode)) return E_ACCESSDENIED;
        if ((info.st_mode & 0777) != 0600) fchmod(file.get(), 0600);
        opened = file.release();
        size = static_cast<uint64_t>(info.st_size);
        return S_OK;
    }
}

// A write that the fault injection may cut short half-way, as a full disk would.
ssize_t WriteRecord(int file, const std::string& record) noexcept {
    if (const DWORD error = testing::TakeInjectedFailure(testing::Fault::InboxWrite)) {
        (void)!write(file, record.data(), record.size() / 2);
        errno = static_cast<int>(error);
        return -1;
    }
    return write(file, record.data(), record.size());
}

}  // namespace

HRESULT AppendToInbox(const std::string& path, std::string_view appUserModelId, std::string_view time,
                      std::u16string_view xml, uint64_t& inboxSize) noexcept {
    std::string record;
    try {
        if (xml.size() * sizeof(char16_t) + appUserModelId.size() + time.size() > kLargestPayload) return E_FAIL;
        record = Record(appUserModelId, time, xml);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    int opened = -1;
    uint64_t size = 0;
    RETURN_IF_FAILED(OpenLocked(path, true, com::LockMode::Shared, opened, size));
    Descriptor file(opened);
    if (size < kHeaderBytes) {
        // A new inbox, or one a fold emptied and could not start over (or cut short as it
        // did): it gets its header from whoever holds it alone first.
        file = Descriptor(-1);
        RETURN_IF_FAILED(OpenLocked(path, true, com::LockMode::Exclusive, opened, size));
        file = Descriptor(opened);
        if (size < kHeaderBytes) {
            if (ftruncate(file.get(), 0) != 0) return HResultFromErrno(errno);
            RETURN_IF_FAILED(WriteHeader(file.get()));
            size = kHeaderBytes;
        }
    }
    const ssize_t written = WriteRecord(file.get(), record);
    if (written != static_cast<ssize_t>(record.size())) return HResultFromErrno(written < 0 ? errno : ENOSPC);
    inboxSize = size + record.size();  // at least: others may have appended meanwhile
    return S_OK;
}

FoldTurn::~FoldTurn() {
    if (file_ >= 0) close(file_);
}

HRESULT FoldTurn::Take(const std::string& inboxPath) noexcept {
    try {
        uint64_t size = 0;
        return OpenLocked(inboxPath + ".lock", true, com::LockMode::Exclusive, file_, size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

InboxFold::~InboxFold() {
    if (!contents_.empty()) munmap(const_cast<char*>(contents_.data()), contents_.size());
    if (file_ >= 0) close(file_);
}

HRESULT InboxFold::Take(const std::string& path) noexcept {
    try {
        aside_ = path + ".folding";
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (;;) {
        int opened = -1;
        uint64_t size = 0;
        // A file set aside (by an earlier fold that did not finish, or just now). Had alone once,
        // it is written no more: an appender who locked it before has finished its record, and
        // one who locks it from now on finds it gone from its name and starts a new inbox. It
        // is let go at once, so no appender waits for the fold.
        HRESULT hr = OpenLocked(aside_, false, com::LockMode::Exclusive, opened, size);
        if (hr == S_OK) {
            file_ = opened;
            flock(file_, LOCK_UN);
            if (size > kHeaderBytes) return Read(size);
            // Nothing in it to fold (no fold sets one aside so): it must not stand in the inbox's way.
            Done();
            close(std::exchange(file_, -1));
            continue;
        }
        if (FAILED(hr)) return hr;
        // Set aside without waiting for the appenders: a fold never holds them up.
        struct stat info{};
        if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? S_FALSE : HResultFromErrno(errno);
        if (!S_ISREG(info.st_mode)) return E_ACCESSDENIED;
        if (static_cast<uint64_t>(info.st_size) <= kHeaderBytes) return S_FALSE;
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside_.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == ENOENT) return S_FALSE;
            if (errno != EEXIST) return HResultFromErrno(errno);
            // another fold set one aside meanwhile: that one first
        }
    }
}

// Mapped rather than read into the heap: a long-running server folds in a thread whose
// heap would keep the memory of its largest inbox. No one appends to a file set aside.
HRESULT InboxFold::Read(uint64_t size) noexcept {
    if (size <= kHeaderBytes) return S_FALSE;
    if (size > SIZE_MAX) return E_OUTOFMEMORY;
    void* mapped = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, file_, 0);
    if (mapped == MAP_FAILED) return errno == ENOMEM ? E_OUTOFMEMORY : HResultFromErrno(errno);
    // A damaged header is no reason to lose the records after it: they carry their own marks.
    contents_ = std::string_view(static_cast<const char*>(mapped), static_cast<size_t>(size));
    return S_OK;
}

std::string_view InboxFold::Generation() const noexcept {
    return contents_.substr(kHeaderMarkBytes, kGenerationBytes);
}

std::vector<InboxRecord> InboxFold::RecordsFrom(uint64_t offset) const {
    std::vector<InboxRecord> records;
    const std::string_view contents(contents_);
    size_t at = offset < kHeaderBytes ? kHeaderBytes : static_cast<size_t>(std::min<uint64_t>(offset, contents.size()));
    while (at < contents.size()) {
        InboxRecord record;
        if (ReadRecord(contents, at, record)) {
            records.push_back(record);
            at = static_cast<size_t>(record.end);
        } else {
            ++at;  // cut short or damaged: look for the next record's mark
        }
    }
    return records;
}

void InboxFold::Done() noexcept {
    // Folds take turns, and nothing renames over it: the name is still this file's.
    unlink(aside_.c_str());
}

}  // namespace pal::toast_store
