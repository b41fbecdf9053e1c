// The server between separate processes: started on demand by an activation,
// the toast it shows, its end when the last client goes (released or killed),
// racing clients that all reach one server, and a second server refused.
#include <objbase.h>
#include <notification_platform.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <set>
#include <thread>

#include "common/com_ptr.h"
#include "platform/posix/core/utf.h"
#include "tests/e2e/client_process.h"
#include "tests/e2e/server_fixture.h"
#include "tests/notify/expected_toast.h"

namespace {

using namespace std::chrono_literals;

std::u16string ServerDirectory() {
    return pal::FromUtf8(std::filesystem::canonical(e2e::kServer).parent_path().string());
}

// The test process as a client of its own (multithreaded apartment for the case).
class Apartment {
public:
    Apartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~Apartment() { CoUninitialize(); }
};

com_ptr<winsdk::INotificationActivationCallback> CreateActivator() {
    com_ptr<winsdk::INotificationActivationCallback> callback;
    EXPECT_EQ(CoCreateInstance(e2e::kActivator, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(callback.put())), S_OK);
    return callback;
}

using ServerRoad = RegisteredServer;

TEST_F(ServerRoad, PalActivateStartsTheServerAndTheExactToastIsStored) {
    ASSERT_TRUE(e2e::ServerProcesses().empty());
    const e2e::Finished activated = Display("C:\\Users\\Ana\\R&D <archive>", "true");
    EXPECT_EQ(activated.status, 0) << activated.err;
    EXPECT_EQ(activated.out, "0x00000000\n");

    const auto toasts = Toasts();
    ASSERT_EQ(toasts.size(), 1u);
    EXPECT_EQ(toasts[0].appUserModelId, "Corvane.Tessaline");
    EXPECT_EQ(toasts[0].xml, ExpectedEnglishToast(ServerDirectory(), u"C:\\Users\\Ana\\R&amp;D &lt;archive&gt;", true));

    // Other arguments reach no handler: S_OK, nothing shown.
    EXPECT_EQ(Pal({"com", "activate", "{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}", "--args", "Other.display"}).status, 0);
    EXPECT_EQ(Toasts().size(), 1u);
    EXPECT_TRUE(e2e::ServersEndWithin(1s)) << "the server outlived its last client";
}

// A server that shows a toast appends it to the store's inbox and opens no
// database. The process that lists the store folds the inbox into it, and as it
// ends starts the log over: the next process to open the store alone reads a
// page or two of log, not every toast folded before.
TEST_F(ServerRoad, ServersThatShowToastsOpenNoDatabaseAndTheListingThatFoldsThemStartsTheLogOver) {
    constexpr int kServers = 6;
    for (int server = 0; server < kServers; ++server) {
        ASSERT_EQ(Display("C:\\Case" + std::to_string(server), "true").status, 0);
        ASSERT_TRUE(e2e::ServersEndWithin(2s));
    }
    EXPECT_FALSE(std::filesystem::exists(Prefix() / "toasts.db"));
    ASSERT_EQ(Pal({"toast", "list"}).status, 0);
    sqlite3* store = nullptr;
    ASSERT_EQ(sqlite3_open_v2((Prefix() / "toasts.db").c_str(), &store, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    // The first read reads the log through, as the next process would.
    ASSERT_EQ(sqlite3_exec(store, "SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr), SQLITE_OK);
    int logged = -1, written = -1;
    EXPECT_EQ(sqlite3_wal_checkpoint_v2(store, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logged, &written), SQLITE_OK);
    sqlite3_close(store);
    EXPECT_TRUE(logged >= 0 && logged <= 2) << logged << " pages in the log";
    const auto toasts = Toasts();
    ASSERT_EQ(toasts.size(), static_cast<size_t>(kServers));
    for (int server = 0; server < kServers; ++server) {
        const std::string text = pal::ToUtf8(toasts[server].xml);
        EXPECT_NE(text.find("C:\\Case" + std::to_string(server) + "<"), std::string::npos) << text;
    }
}

TEST_F(ServerRoad, TheServerLivesWhileAnActivatorIsHeldAndEndsWithinASecondOfTheLast) {
    Apartment apartment;
    auto first = CreateActivator();
    auto second = CreateActivator();
    ASSERT_TRUE(first && second);
    const auto servers = e2e::ServerProcesses();
    ASSERT_EQ(servers.size(), 1u);

    const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"Path", u"D:\\x"}, {u"ShowAgainChoice", u"false"}};
    EXPECT_EQ(first->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 2), S_OK);
    first.reset();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(e2e::ServerProcesses(), servers) << "one activator is still held";
    EXPECT_EQ(second->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 2), S_OK);
    EXPECT_EQ(Toasts().size(), 2u);

    const auto released = std::chrono::steady_clock::now();
    second.reset();
    EXPECT_TRUE(e2e::ServersEndWithin(1s));
    EXPECT_LT(std::chrono::steady_clock::now() - released, 1s);
}

TEST_F(ServerRoad, ASecondServerEndsWithObjectIsRegisteredWhileTheFirstServes) {
    Apartment apartment;
    auto held = CreateActivator();
    ASSERT_TRUE(held);
    const auto servers = e2e::ServerProcesses();
    ASSERT_EQ(servers.size(), 1u);

    auto second = std::async(std::launch::async, [] { return e2e::Run({e2e::kServer, "-Embedding"}); });
    if (second.wait_for(5s) != std::future_status::ready) {
        ADD_FAILURE() << "the second server runs on";
        e2e::KillServers();
    }
    EXPECT_EQ(second.get().status, 0xFC) << "CO_E_OBJISREG's low byte";
    EXPECT_EQ(e2e::ServerProcesses(), servers);
    const winsdk::NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"Path", u"D:\\x"}, {u"ShowAgainChoice", u"false"}};
    EXPECT_EQ(held->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 2), S_OK);
    held.reset();
    EXPECT_TRUE(e2e::ServersEndWithin(1s));
}

TEST_F(ServerRoad, AKilledClientsActivatorIsReleasedAndTheServerEnds) {
    ClientProcess client("hold");
    ASSERT_TRUE(client.Started());
    ASSERT_EQ(client.ReadLine(), "ready");
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(e2e::ServerProcesses().size(), 1u) << "the held activator keeps the server";
    client.Kill();
    client.Wait();
    EXPECT_TRUE(e2e::ServersEndWithin(1s));
}

// Every start of the server is noted: its command line runs through a script
// that records the process id and then becomes the real server (same process).
std::string RecordServerStarts() {
    const std::string prefix = std::getenv("PAL_PREFIX");
    const std::string script = prefix + "/record-start", starts = prefix + "/starts";
    std::ofstream(script) << "#!/bin/sh\necho $$ >> '" << starts << "'\nexec '" << e2e::kServer << "' \"$@\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const std::u16string command = u"\"" + pal::FromUtf8(script) + u"\"";
    unique_hkey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                            u"Software\\Classes\\CLSID\\{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}\\LocalServer32", 0,
                            KEY_ALL_ACCESS, key.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                             static_cast<DWORD>((command.size() + 1) * sizeof(char16_t))),
              ERROR_SUCCESS);
    return starts;
}

size_t LineCount(const std::string& file) {
    std::ifstream lines(file);
    size_t count = 0;
    for (std::string line; std::getline(lines, line);) ++count;
    return count;
}

constexpr int kClients = 8, kEach = 8;

// Every toast of the prefix, each shown once: 64 distinct paths.
void ExpectEveryToastOnce(const std::vector<pal::toast_store::Toast>& toasts, size_t expected) {
    std::set<std::u16string> distinct;
    for (const auto& toast : toasts) distinct.insert(toast.xml);
    EXPECT_EQ(toasts.size(), expected);
    EXPECT_EQ(distinct.size(), expected) << "every activation showed its own path";
}

TEST_F(ServerRoad, EightClientsMakingSixtyFourActivationsAtOnceShareOneServer) {
    const std::string starts = RecordServerStarts();
    std::vector<std::unique_ptr<ClientProcess>> clients;
    for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<ClientProcess>("together", kEach));
    // All 64 creations race for the server's start; none is released before every one is made.
    for (auto& client : clients) ASSERT_TRUE(client->Started() && client->Go());
    for (auto& client : clients) ASSERT_EQ(client->ReadLine(), "created");
    for (auto& client : clients) ASSERT_TRUE(client->Go());
    for (auto& client : clients) EXPECT_EQ(client->Wait(), 0) << client->ReadLine();

    ExpectEveryToastOnce(Toasts(), kClients * kEach);
    EXPECT_EQ(LineCount(starts), 1u) << "server processes started";
    EXPECT_TRUE(e2e::ServersEndWithin(1s));
}

// Activations that create, call and release at once let the count return to
// zero between them: servers stop and new ones start, and no call may fail.
TEST_F(ServerRoad, ActivationsRacingAServerOnItsWayOutAllSucceed) {
    const std::string starts = RecordServerStarts();
    for (int round = 1; round <= 3; ++round) {
        std::vector<std::unique_ptr<ClientProcess>> clients;
        for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<ClientProcess>("burst", kEach));
        for (auto& client : clients) ASSERT_TRUE(client->Started() && client->Go());
        for (auto& client : clients) EXPECT_EQ(client->Wait(), 0) << client->ReadLine();
        ExpectEveryToastOnce(Toasts(), size_t{kClients * kEach} * round);
    }
    EXPECT_GE(LineCount(starts), 1u);
    EXPECT_TRUE(e2e::ServersEndWithin(1s));
}

}  // namespace
