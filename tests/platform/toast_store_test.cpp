// The toast store: records come back exactly as stored, ids only grow, and
// writers in several processes at once lose nothing.
#include "platform/posix/winrt/toast_store.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/posix/testing/call_log.h"
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
    for (int waited = 0; waited < 500 && std::filesystem::file_size(database) < 100 * kPage; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(std::filesystem::file_size(database), 100 * kPage);

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
    EXPECT_LE(std::filesystem::file_size(database + "-wal"), 1100 * (24 + kPage));
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

size_t StoreOpenings(const std::vector<std::string>& calls) {
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), "toast store opened"));
}

// A server opens the store ahead of its first toast. The toasts that follow use that
// connection; calls made while it opens wait for it; and a store that cannot be opened
// ahead leaves nothing behind for them: they open it themselves once they can.
TEST(ToastStore, AConnectionOpenedAheadServesTheCallsThatFollow) {
    TemporaryPrefix prefix;
    pal::testing::RecordCalls(true);
    pal::toast_store::OpenAhead();
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<a/>"), S_OK);
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<b/>"), S_OK);
    EXPECT_EQ(StoreOpenings(pal::testing::RecordedCalls()), 1u);

    TemporaryPrefix blocked;
    const std::string database = blocked.Path() + "/toasts.db";
    std::filesystem::create_directory(database);
    pal::testing::RecordCalls(true);
    pal::toast_store::OpenAhead();
    std::filesystem::remove(database);
    EXPECT_EQ(StoreOpenings(pal::testing::RecordedCalls()), 0u);
    ASSERT_EQ(pal::toast_store::Append(u"A", u"<c/>"), S_OK);
    EXPECT_EQ(StoreOpenings(pal::testing::RecordedCalls()), 1u);

    TemporaryPrefix meanwhile;
    std::thread ahead(pal::toast_store::OpenAhead);
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 3; ++writer)
        writers.emplace_back([] { EXPECT_EQ(pal::toast_store::Append(u"A", u"<d/>"), S_OK); });
    ahead.join();
    for (auto& writer : writers) writer.join();
    pal::testing::RecordCalls(false);
    std::vector<Toast> all;
    ASSERT_EQ(pal::toast_store::List(all), S_OK);
    EXPECT_EQ(all.size(), 3u);
}

TEST(ToastStore, WritersInSeveralProcessesLoseNothing) {
    TemporaryPrefix prefix;
    constexpr int kProcesses = 4, kToastsEach = 25;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0; i < kToastsEach; ++i) {
                const std::u16string xml = u"<t>" + std::u16string(1, static_cast<char16_t>(u'A' + process)) + u"</t>";
                if (FAILED(pal::toast_store::Append(u"P", xml))) _exit(1);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<Toast> all;
    ASSERT_EQ(pal::toast_store::List(all), S_OK);
    ASSERT_EQ(all.size(), static_cast<size_t>(kProcesses * kToastsEach));
    std::set<int64_t> ids;
    for (const Toast& toast : all) ids.insert(toast.id);
    EXPECT_EQ(ids.size(), all.size());
}

}  // namespace
