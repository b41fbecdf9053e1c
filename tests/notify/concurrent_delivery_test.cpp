// Several threads delivering at once, as the server's COM worker threads do:
// every toast reaches the store exactly once. Only the first thread entered the
// apartment; the others rely on the process-wide MTA.
#include "notify/toaster.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/core/utf.h"
#include "platform/posix/winrt/toast_store.h"
#include "tests/notify/delivery_fixture.h"

namespace {

using ConcurrentDelivery = RealDelivery;

TEST_F(ConcurrentDelivery, EveryToastIsStoredExactlyOnce) {
    constexpr int kThreads = 6, kToastsEach = 8;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread, &failures] {
            for (int toast = 0; toast < kToastsEach; ++toast) {
                const std::u16string xml = pal::FromUtf8("<toast><visual><binding><text>" + std::to_string(thread) + "/" +
                                                         std::to_string(toast) + "</text></binding></visual></toast>");
                if (Toaster::DeliverToast(xml.c_str()) != S_OK) ++failures[thread];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));

    std::vector<pal::toast_store::Toast> toasts;
    ASSERT_EQ(pal::toast_store::List(toasts), S_OK);
    std::map<std::u16string, int> seen;
    for (const auto& toast : toasts) ++seen[toast.xml];
    EXPECT_EQ(toasts.size(), static_cast<size_t>(kThreads * kToastsEach));
    EXPECT_EQ(seen.size(), toasts.size()) << "no toast stored twice";
    for (size_t i = 1; i < toasts.size(); ++i) EXPECT_GT(toasts[i].id, toasts[i - 1].id);
}

}  // namespace
