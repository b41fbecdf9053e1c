// The toast store: records come back exactly as stored, ids only grow, and
// writers in several processes at once lose nothing.
#include "platform/posix/winrt/toast_store.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "platform/posix/com/file_lock.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/testing/call_log.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/winrt/toast_inbox.h"
#include "tests/support/temporary_prefix.h"

namespace {

using pal::toast_store::Toast;

// The UTC time as ISO 8601 text to the millisecond, as the store writes it.
std::string UtcText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    return text + std::string(".") + std::to_string(1000 + milliseconds).substr(1) + "Z";
}

TEST(ToastStore, KeepsEachToastExactlyAsGiven) {
    TemporaryPrefix prefix;
    // Unpaired surrogates and NULs survive: the text is kept as code units.
    const std::u16string odd(u"<t>\xD800 \u00e9\0</t>", 12);
    int64_t first = 0, second = 0;
    ASSERT_EQ(pal::toast_store::Append(u"Corvane.Tessaline", u"<toast/>", &first), S_OK);
    const std::string before = UtcText(std::chrono::system_clock::now());
    ASSERT_EQ(pal::toast_store::Append(u"Other.App", odd, &second), S_OK);
    const std::string after = UtcText(std::chrono::system_clock::now());
    EXPECT_GT(second, first);

    const std::optional<Toast> found = pal::toast_store::Find(second);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->xml, odd);
    EXPECT_EQ(found->appUserModelId, "Other.App");
    // Texts of one width: their order is the times' order.
    EXPECT_EQ(found->time.size(), before.size()) << found->time;
    EXPECT_LE(before, found->time);
    EXPECT_LE(found->time, after);
    EXPECT_FALSE(pal::toast_store::Find(second + 1).has_value());

    std::vector<Toast> mine;
    ASSERT_EQ(pal::toast_store::List(mine, std::string("Corvane.Tessaline")), S_OK);
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].id, first);
    EXPECT_EQ(mine[0].xml, u"<toast/>");
}

TEST(ToastStore, ClearEmptiesItButIdsAreNeverReused) {
    TemporaryPrefix prefix;
    int64_t before = 0, after = 0;
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<a/>", &before), S_OK);
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<a/>", &before), S_OK);
    ASSERT_EQ(pal::toast_store::Clear(), S_OK);
    ASSERT_EQ(pal::toast_store::Clear(), S_OK);  // clearing an empty store forgets nothing
    std::vector<Toast> all;
    ASSERT_EQ(pal::toast_store::List(all), S_OK);
    EXPECT_TRUE(all.empty());
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<a/>", &after), S_OK);
    EXPECT_GT(after, before);
}

// A process that opens the store while no other has it open reads its whole
// log through first. A short run of toasts is written back into the database
// soon after, with no call waiting for it; a long run one after another keeps
// the log within ten times that.
TEST(ToastStore, TheLogIsWrittenBackAndKeptShort) {
    TemporaryPrefix prefix;
    const std::string database = prefix.Path() + "/toasts.db";
    constexpr uintmax_t kPage = 4096;
    const std::u16string aPageEach(2000, u'x');
    for (int toast = 0; toast < 150; ++toast) ASSERT_EQ(pal::toast_store::Append(u"A", aPageEach, nullptr), S_OK);
    const auto sizeOf = [](const std::string& file) {
        std::error_code none;  // not made yet: the inbox is folded by a thread of its own
        const uintmax_t size = std::filesystem::file_size(file, none);
        return none ? 0 : size;
    };
    for (int waited = 0; waited < 500 && sizeOf(database) < 100 * kPage; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(sizeOf(database), 100 * kPage);

    // Commits outrun a pass (it syncs both files), and the log cannot start over while
    // they do: the thread is asked again only once the log has grown by another 100 pages.
    pal::testing::RecordCalls(true);
    constexpr int kToasts = 3000;
    for (int toast = 0; toast < kToasts; ++toast)
        ASSERT_EQ(pal::toast_store::Append(u"A", aPageEach, nullptr), S_OK);
    const auto calls = pal::testing::RecordedCalls();
    pal::testing::RecordCalls(false);
    const auto asked = std::count(calls.begin(), calls.end(), "log write-back asked");
    EXPECT_GE(asked, 1);
    EXPECT_LE(asked, 4 * kToasts / 100);  // a toast writes its page, its parent and the first page
    // Ten times the limit, and the pages of one more transaction (64 toasts of two pages, and the table's).
    EXPECT_LE(sizeOf(database + "-wal"), 1200 * (24 + kPage));
}

// A store written by the first version kept its highest id in sqlite_sequence.
TEST(ToastStore, AStoreOfTheFirstVersionKeepsItsIds) {
    TemporaryPrefix prefix;
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open((prefix.Path() + "/toasts.db").c_str(), &database), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(database,
                           "PRAGMA journal_mode=WAL;"
                           "CREATE TABLE toasts(id INTEGER PRIMARY KEY AUTOINCREMENT, aumid TEXT NOT NULL,"
                           " time TEXT NOT NULL, xml BLOB NOT NULL);"
                           "INSERT INTO toasts VALUES(41, 'A', '2026-12-01T00:00:00.000Z', X'3C00');"
                           "DELETE FROM toasts; PRAGMA user_version=1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(database);
    int64_t id = 0;
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<a/>", &id), S_OK);
    EXPECT_EQ(id, 42);
}

TEST(ToastStore, AnUnusablePrefixIsAFailureNotACrash) {
    TemporaryPrefix prefix;
    const std::string blocker = prefix.Path() + "/file";
    ASSERT_EQ(std::system(("touch " + blocker).c_str()), 0);
    setenv("PAL_PREFIX", blocker.c_str(), 1);
    EXPECT_TRUE(FAILED(pal::toast_store::Append(u"A", u"<a/>")));
}

std::vector<Toast> Listed() {
    std::vector<Toast> all;
    EXPECT_EQ(pal::toast_store::List(all), S_OK);
    return all;
}

std::vector<std::u16string> ListedXml() {
    std::vector<std::u16string> texts;
    for (const Toast& toast : Listed()) texts.push_back(toast.xml);
    return texts;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

// Toasts shown go to the inbox and come out of the store exactly as given, in
// the order they came: those waiting in the inbox before one stored with its id.
TEST(ToastStore, ToastsInTheInboxAreListedExactlyAndInOrder) {
    TemporaryPrefix prefix;
    const std::u16string odd(u"<t>\xD800 \u00e9\0</t>", 12);
    ASSERT_EQ(pal::toast_store::Append(u"Corvane.Tessaline", u"<a/>"), S_OK);
    ASSERT_EQ(pal::toast_store::Append(u"Other.App", odd), S_OK);
    EXPECT_FALSE(std::filesystem::exists(prefix.Path() + "/toasts.db")) << "showing a toast needs no database";
    int64_t third = 0;
    ASSERT_EQ(pal::toast_store::Append(u"Corvane.Tessaline", u"<c/>", &third), S_OK);
    const std::vector<Toast> all = Listed();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].xml, odd);
    EXPECT_EQ(all[1].appUserModelId, "Other.App");
    EXPECT_EQ(all[0].xml, u"<a/>");
    EXPECT_EQ(all[2].id, third);
    EXPECT_TRUE(all[0].id < all[1].id && all[1].id < all[2].id);
    EXPECT_EQ(Listed().size(), 3u) << "folded once";
}

// What can happen to an inbox: a record cut short by a full disk, a byte
// damaged, a header damaged, a fold that stored its records but ended before it
// removed the file it set aside. No record is stored twice, no whole record is lost.
TEST(ToastStore, ADamagedOrHalfFoldedInboxLosesOnlyWhatIsDamaged) {
    TemporaryPrefix prefix;
    const std::string inbox = prefix.Path() + "/toasts.inbox";
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<one/>"), S_OK);
    pal::testing::InjectFailure(pal::testing::Fault::InboxWrite, ENOSPC);
    EXPECT_EQ(pal::toast_store::Append(u"A", u"<cut-short/>"), HRESULT_FROM_WIN32(112));
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<two/>"), S_OK);
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<damaged/>"), S_OK);
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<three/>"), S_OK);
    std::string contents = ReadFile(inbox);
    const size_t damaged = contents.find("d\0a\0m\0", 0, 6);
    ASSERT_NE(damaged, std::string::npos);
    contents[damaged] = 'D';
    std::fill(contents.begin(), contents.begin() + 16, '\0');  // the header's mark
    WriteFile(inbox, contents);
    EXPECT_EQ(ListedXml(), (std::vector<std::u16string>{u"<one/>", u"<two/>", u"<three/>"}));

    // As if that fold had ended before it removed the file it folded, with a toast
    // shown since: the next fold knows that file and how far it got, and takes the new one after it.
    WriteFile(inbox + ".folding", contents);
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<four/>"), S_OK);
    EXPECT_EQ(ListedXml(), (std::vector<std::u16string>{u"<one/>", u"<two/>", u"<three/>", u"<four/>"}));
    EXPECT_FALSE(std::filesystem::exists(inbox + ".folding"));

    // A set-aside file with nothing in it (no fold leaves one) does not keep the inbox from being folded.
    WriteFile(inbox + ".folding", contents.substr(0, 10));
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<five/>"), S_OK);
    EXPECT_EQ(ListedXml().back(), u"<five/>");
}

// A fold lets go of the inbox it set aside at once: an appender who opened the inbox just
// before finds it gone from its name and moves to the new one, rather than wait for the fold.
TEST(ToastStore, AnAppenderIsNotHeldForTheFoldOfTheInboxItOpened) {
    TemporaryPrefix prefix;
    const std::string inbox = prefix.Path() + "/toasts.inbox";
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<one/>"), S_OK);
    const int opened = open(inbox.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    ASSERT_GE(opened, 0);
    pal::toast_store::FoldTurn turn;
    ASSERT_EQ(turn.Take(inbox), S_OK);
    pal::toast_store::InboxFold fold;
    ASSERT_EQ(fold.Take(inbox), S_OK);
    const auto deadline = pal::com::Clock::now() + std::chrono::seconds(2);
    EXPECT_EQ(pal::com::LockBefore(opened, inbox, deadline, pal::com::LockMode::Shared), pal::com::Locked::Removed);
    close(opened);
}

// A fold whose commit fails keeps nothing of it, and leaves the inbox as it was for the next.
TEST(ToastStore, AFoldThatFailsLeavesTheInboxForTheNext) {
    TemporaryPrefix prefix;
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<before/>", nullptr), S_OK);
    std::vector<Toast> all;
    ASSERT_EQ(pal::toast_store::List(all), S_OK);
    for (const char16_t* xml : {u"<a/>", u"<b/>"}) ASSERT_EQ(pal::toast_store::Append(u"A", xml), S_OK);
    pal::testing::InjectFailure(pal::testing::Fault::DatabaseCommit, SQLITE_FULL);
    EXPECT_EQ(pal::toast_store::List(all), HRESULT_FROM_WIN32(112));
    EXPECT_EQ(ListedXml(), (std::vector<std::u16string>{u"<before/>", u"<a/>", u"<b/>"}));
}

size_t RowsInDatabase(const std::string& prefix) {
    sqlite3* database = nullptr;
    size_t rows = 0;
    if (sqlite3_open_v2((prefix + "/toasts.db").c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* count = nullptr;
        if (sqlite3_prepare_v2(database, "SELECT count(*) FROM toasts", -1, &count, nullptr) == SQLITE_OK &&
            sqlite3_step(count) == SQLITE_ROW)
            rows = static_cast<size_t>(sqlite3_column_int64(count, 0));
        sqlite3_finalize(count);
    }
    sqlite3_close(database);
    return rows;
}

// Once a toast grows the inbox past its limit, a thread of the process folds it,
// so a process that only shows toasts (a server nobody lists the store for)
// keeps it short, and no call waits for that.
TEST(ToastStore, TheInboxIsFoldedInTheBackgroundOnceItHasGrown) {
    TemporaryPrefix prefix;
    const std::string inbox = prefix.Path() + "/toasts.inbox";
    const std::u16string aPageEach(2000, u'x');
    constexpr size_t kToasts = 400;       // 1.6 MB of records
    constexpr uintmax_t kLimit = 256 * 1024;  // and a record more, at most, once the folds have caught up
    for (size_t toast = 0; toast < kToasts; ++toast) ASSERT_EQ(pal::toast_store::Append(u"A", aPageEach), S_OK);
    const auto inboxSize = [&] {
        std::error_code none;  // set aside by a fold: the next toast starts a new one
        const uintmax_t size = std::filesystem::file_size(inbox, none);
        return none ? 0 : size;
    };
    for (int waited = 0; waited < 1000 && inboxSize() > kLimit + 4096; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(inboxSize(), kLimit + 4096);
    // What is no longer in the inbox is in the database, though nothing listed the store.
    size_t rows = 0;
    for (int waited = 0; waited < 1000 && (rows = RowsInDatabase(prefix.Path())) < kToasts - 65; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(rows, kToasts - 65);
    EXPECT_EQ(Listed().size(), kToasts);
}

// Writers in several processes, some wanting ids, while two other processes fold
// the inbox again and again: every toast is stored once, each writer's in its order.
TEST(ToastStore, WritersInSeveralProcessesLoseNothingWhileTheInboxIsFolded) {
    TemporaryPrefix prefix;
    constexpr int kProcesses = 4, kToastsEach = 40;
    std::vector<pid_t> children;
    const pid_t lister = fork();
    ASSERT_GE(lister, 0);
    if (lister == 0) {
        std::vector<Toast> listed;
        for (int round = 0; round < 100; ++round) {
            if (FAILED(pal::toast_store::List(listed))) _exit(1);
        }
        _exit(0);
    }
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0; i < kToastsEach; ++i) {
                const std::u16string xml = pal::FromUtf8(std::to_string(process) + " " + std::to_string(i));
                int64_t id = 0;
                if (FAILED(pal::toast_store::Append(u"P", xml, i % 5 == 0 ? &id : nullptr))) _exit(1);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    std::vector<Toast> all;
    for (size_t running = children.size(); running > 0;) {
        EXPECT_EQ(pal::toast_store::List(all), S_OK);
        running = 0;
        for (const pid_t child : children) running += kill(child, 0) == 0 && waitpid(child, nullptr, WNOHANG) == 0;
    }
    children.push_back(lister);
    for (const pid_t child : children) {
        int status = 0;
        if (waitpid(child, &status, 0) == child) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }
    ASSERT_EQ(pal::toast_store::List(all), S_OK);
    ASSERT_EQ(all.size(), static_cast<size_t>(kProcesses * kToastsEach));
    std::vector<int> next(kProcesses, 0);
    for (const Toast& toast : all) {
        const std::string text = pal::ToUtf8(toast.xml);
        const int process = std::stoi(text), sequence = std::stoi(text.substr(text.find(' ')));
        EXPECT_EQ(sequence, next[process]++) << text;
    }
}

}  // namespace
