// The in-memory registry's own promise, which the contract suites cannot
// reach through the Win32 calls: a call that fails after changing rows leaves
// every row, order and time as it was, and a key id handed out is never
// handed out again.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "platform/posix/registry/memory_key_store.h"

namespace {

using pal::registry::KeyId;
using pal::registry::KeyStore;
using pal::registry::MemoryKeyStore;

std::string Rows(MemoryKeyStore& store) {
    std::string rows;
    for (const auto& key : store.KeyRows())
        rows += "k" + std::to_string(key.id) + "/" + std::to_string(key.parent) + " " +
                std::string(key.name.begin(), key.name.end()) + " @" + std::to_string(key.written) + "\n";
    for (const auto& row : store.ValueRows())
        rows += "v" + std::to_string(row.key) + " " + std::string(row.value.name.begin(), row.value.name.end()) + " " +
                std::to_string(row.value.type) + ":" + std::string(row.value.data.begin(), row.value.data.end()) + "\n";
    return rows;
}

void Set(KeyStore& store, KeyId key, std::u16string_view name, DWORD type, const std::string& data) {
    store.StoreValue(key, name, type, reinterpret_cast<const BYTE*>(data.data()), data.size());
}

TEST(MemoryKeyStore, AFailedCallLeavesEveryRowAsItWasAndIdsAreNeverHandedOutTwice) {
    enum class Ending { Refused, Thrown };
    for (const Ending ending : {Ending::Refused, Ending::Thrown}) {
        SCOPED_TRACE(ending == Ending::Refused ? "refused" : "thrown");
        MemoryKeyStore store;
        KeyId a = 0;
        KeyId b = 0;
        ASSERT_EQ(store.InTransaction([&](KeyStore& rows) {
            a = rows.CreateSubkey(pal::registry::kMachineRoot, u"A");
            b = rows.CreateSubkey(a, u"B");
            Set(rows, a, u"one", REG_SZ, "1");
            Set(rows, a, u"two", REG_SZ, "2");
            Set(rows, a, u"three", REG_SZ, "3");
            Set(rows, b, u"x", REG_DWORD, "x");
            Set(rows, pal::registry::kUserRoot, u"hive", REG_SZ, "h");
            return ERROR_SUCCESS;
        }), ERROR_SUCCESS);
        const std::string before = Rows(store);

        KeyId madeInTheFailedCall = 0;
        const auto failingCall = [&](KeyStore& rows) -> LSTATUS {
            madeInTheFailedCall = rows.CreateSubkey(a, u"C");
            Set(rows, madeInTheFailedCall, u"c", REG_SZ, "c");
            Set(rows, a, u"ONE", REG_BINARY, "changed");
            EXPECT_TRUE(rows.RemoveValue(a, u"Two"));
            Set(rows, a, u"four", REG_SZ, "4");
            rows.DeleteKeyRow(b);
            rows.ReplaceRows({}, {});
            EXPECT_EQ(rows.KeyRows().size(), 0u);
            if (ending == Ending::Thrown) throw std::bad_alloc();
            return ERROR_ACCESS_DENIED;
        };
        if (ending == Ending::Thrown) {
            EXPECT_THROW(store.InTransaction(failingCall), std::bad_alloc);
        } else {
            EXPECT_EQ(store.InTransaction(failingCall), ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(Rows(store), before);
        EXPECT_EQ(store.FindSubkey(a, u"b"), b);
        EXPECT_FALSE(store.KeyExists(madeInTheFailedCall));

        KeyId next = 0;
        ASSERT_EQ(store.InTransaction([&](KeyStore& rows) {
            next = rows.CreateSubkey(a, u"C");
            return ERROR_SUCCESS;
        }), ERROR_SUCCESS);
        EXPECT_GT(next, madeInTheFailedCall);
    }
}

TEST(MemoryKeyStore, ReturningToTheMarkUndoesEveryCallSinceAsOftenAsAsked) {
    MemoryKeyStore store;
    KeyId kept = 0;
    ASSERT_EQ(store.InTransaction([&](KeyStore& rows) {
        kept = rows.CreateSubkey(pal::registry::kMachineRoot, u"Kept");
        Set(rows, kept, u"v", REG_SZ, "before");
        return ERROR_SUCCESS;
    }), ERROR_SUCCESS);
    store.Mark();
    const std::string marked = Rows(store);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(store.InTransaction([&](KeyStore& rows) {
            Set(rows, rows.CreateSubkey(kept, u"New"), u"n", REG_SZ, "n");
            return ERROR_SUCCESS;
        }), ERROR_SUCCESS);
        EXPECT_EQ(store.InTransaction([&](KeyStore& rows) {
            rows.DeleteKeyRow(kept);
            return ERROR_FILE_NOT_FOUND;
        }), ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(store.InTransaction([&](KeyStore& rows) {
            Set(rows, kept, u"V", REG_BINARY, "after");
            EXPECT_TRUE(rows.RemoveValue(kept, u"v"));
            return ERROR_SUCCESS;
        }), ERROR_SUCCESS);
        EXPECT_NE(Rows(store), marked);
        store.ReturnToMark();
        EXPECT_EQ(Rows(store), marked);
    }
}

}  // namespace
