// The registry's store as a whole: what one process writes another reads, two
// processes and many threads writing at once lose nothing, and a damaged or
// unreachable database gives a registry error code instead of a crash.
#include <windows.h>

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_any.h"
#include "platform/posix/testing/registry_testing.h"
#include "tests/support/prefix_fixture.h"

extern char** environ;

namespace {

class RegistryStore : public TemporaryPrefixTest {};

pid_t StartWriter(const char* count, const char* namePrefix) {
    const char* arguments[] = {REGISTRY_WRITER, count, namePrefix, nullptr};
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, REGISTRY_WRITER, nullptr, nullptr, const_cast<char**>(arguments), environ), 0);
    return child;
}

int ExitCodeOf(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::set<std::u16string> ValueNamesOf(const WCHAR* path) {
    std::set<std::u16string> names;
    unique_hkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    WCHAR name[64];
    for (DWORD index = 0;; ++index) {
        DWORD length = 64;
        if (RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace(name, length);
    }
    return names;
}

TEST_F(RegistryStore, WhatOneProcessWritesAnotherReads) {
    ASSERT_EQ(ExitCodeOf(StartWriter("3", "v")), 0);
    EXPECT_EQ(ValueNamesOf(u"Software\\Concurrent"), (std::set<std::u16string>{u"v0", u"v1", u"v2"}));
    unique_hkey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Concurrent", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(RegQueryValueExW(key.get(), u"V2", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
}

// A value read or a key opened again is answered from what the process read
// before only while nothing was committed since, by this process or another.
TEST_F(RegistryStore, AValueReadOrAKeyOpenedAgainShowsEveryChangeMadeSinceByAnyone) {
    const auto opened = [] {
        unique_hkey again;
        return RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Concurrent", 0, KEY_READ, again.put());
    };
    for (int again = 0; again < 2; ++again) EXPECT_EQ(opened(), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(ExitCodeOf(StartWriter("0", "v")), 0);  // makes the key in another process
    for (int again = 0; again < 2; ++again) EXPECT_EQ(opened(), ERROR_SUCCESS);

    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Concurrent", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    const auto read = [&](const WCHAR* name, DWORD& value) {
        DWORD size = sizeof(value);
        return RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    };
    const DWORD mine = 41;
    ASSERT_EQ(RegSetValueExW(key.get(), u"v0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mine), sizeof(mine)),
              ERROR_SUCCESS);
    DWORD value = 0;
    for (int again = 0; again < 2; ++again) {
        EXPECT_EQ(read(u"v0", value), ERROR_SUCCESS);
        EXPECT_EQ(value, mine);
        EXPECT_EQ(read(u"v1", value), ERROR_FILE_NOT_FOUND);
    }

    ASSERT_EQ(ExitCodeOf(StartWriter("2", "v")), 0);  // v0 = 0 and v1 = 1, in another process
    EXPECT_EQ(read(u"v0", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(read(u"v1", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);

    std::thread([] {
        unique_hkey own;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Concurrent", 0, KEY_ALL_ACCESS, own.put()), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueW(own.get(), u"v1"), ERROR_SUCCESS);
    }).join();
    EXPECT_EQ(read(u"v1", value), ERROR_FILE_NOT_FOUND);

    std::thread([] { EXPECT_EQ(RegDeleteKeyExW(HKEY_CURRENT_USER, u"Software\\Concurrent", 0, 0), ERROR_SUCCESS); }).join();
    EXPECT_EQ(opened(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStore, TwoProcessesWritingAtOnceLoseNothing) {
    const pid_t first = StartWriter("1000", "a");
    const pid_t second = StartWriter("1000", "b");
    EXPECT_EQ(ExitCodeOf(first), 0);
    EXPECT_EQ(ExitCodeOf(second), 0);
    const std::set<std::u16string> names = ValueNamesOf(u"Software\\Concurrent");
    EXPECT_EQ(names.size(), 2000u);
    EXPECT_TRUE(names.count(u"a999") && names.count(u"b0"));
}

TEST_F(RegistryStore, ThreadsWritingAtOnceLoseNothing) {
    unique_hkey shared;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Threads", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, shared.put(), nullptr),
              ERROR_SUCCESS);
    constexpr int kThreads = 6, kWrites = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kWrites; ++i) {
                unique_hkey own;  // half the writes through a handle of the thread's own
                HKEY target = shared.get();
                if (i % 2 == 0) {
                    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Threads", 0, KEY_WRITE, own.put()), ERROR_SUCCESS);
                    target = own.get();
                }
                const std::u16string name = u"t" + std::u16string(1, static_cast<char16_t>(u'a' + t)) + u"-" +
                                            std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                                            std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
                ASSERT_EQ(RegSetValueExW(target, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&i), sizeof(i)),
                          ERROR_SUCCESS);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(ValueNamesOf(u"Software\\Threads").size(), static_cast<size_t>(kThreads * kWrites));
}

// What the fuzz targets start every input from: the same keys, ids and all,
// and the same values, whatever was written, changed or deleted since.
TEST_F(RegistryStore, ARestoredSnapshotIsTheRegistryAsItWas) {
    unique_hkey kept;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Kept\\Below", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, kept.put(), nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1, two = 2;
    ASSERT_EQ(RegSetValueExW(kept.get(), u"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one), ERROR_SUCCESS);
    pal::testing::RegistrySnapshot snapshot;
    ASSERT_EQ(pal::testing::SaveRegistry(snapshot), ERROR_SUCCESS);
    const std::string before = pal::testing::RegistryContents();

    ASSERT_EQ(RegSetValueExW(kept.get(), u"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), sizeof two), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(kept.get(), u"w", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Kept\\Below"), ERROR_SUCCESS);
    unique_hkey added;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Added", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, added.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_NE(pal::testing::RegistryContents(), before);

    ASSERT_EQ(pal::testing::RestoreRegistry(snapshot), ERROR_SUCCESS);
    EXPECT_EQ(pal::testing::RegistryContents(), before);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(kept.get(), u"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS)
        << "a handle to a restored key finds it again";
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(RegSetValueExW(added.get(), u"v", 0, REG_SZ, nullptr, 0), ERROR_KEY_DELETED);
}

TEST_F(RegistryStore, ADamagedDatabaseGivesARegistryErrorAndNoHandle) {
    {
        std::ofstream garbage(Prefix() / "registry.db", std::ios::binary);
        for (int i = 0; i < 512; ++i) garbage << "this is not a database.";
    }
    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x77));
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x77)));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, u"v", nullptr, nullptr, nullptr, &size), ERROR_REGISTRY_CORRUPT);
}

TEST_F(RegistryStore, AnUnreachableDatabaseGivesARegistryError) {
    std::filesystem::create_directory(Prefix() / "registry.db");  // a directory where the file belongs
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_CANTOPEN);
    const std::string notADirectory = (Prefix() / "registry.db" / "file").string();
    std::ofstream(notADirectory) << "x";
    setenv("PAL_PREFIX", notADirectory.c_str(), 1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &key), ERROR_CANTOPEN);
}

}  // namespace
