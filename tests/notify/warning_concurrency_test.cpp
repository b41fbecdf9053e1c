// First displays racing each other: the seven strings and the program-directory
// cache are filled while several activation threads need them at once.
#include "notify/riva_vavirezar_toast.h"

#include <gtest/gtest.h>

#include "tests/notify/expected_toast.h"
#include "tests/notify/test_support.h"

#include <algorithm>
#include <barrier>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

const auto* const environment = testing::AddGlobalTestEnvironment(new ActivationEnvironment);

TEST(WarningConcurrency, EightFirstDisplaysAtOnceEachDeliverACompleteToast) {
    constexpr int kThreads = 8;
    auto toaster = std::make_shared<RecordingToaster>();
    RivaVavirezarToast<RecordingToaster, UnusedIsolation> handler(toaster, std::make_shared<UnusedIsolation>());
    std::barrier start(kThreads);
    std::vector<std::u16string> paths;
    for (int index = 0; index < kThreads; ++index) paths.push_back(u"C:\\Folder " + std::u16string(1, u'A' + index) + u" & <co>");
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index) {
        threads.emplace_back([&, index] {
            const UserInputs inputs{{u"Path", paths[index].c_str()}, {u"ShowAgainChoice", index % 2 ? u"true" : u"no"}};
            start.arrive_and_wait();
            handler.HandleActivation(u"RivaVavirezar.display", inputs.data(), inputs.count());
        });
    }
    for (std::thread& thread : threads) thread.join();

    const std::u16string directory = pal::FromUtf8(std::filesystem::canonical("/proc/self/exe").parent_path().string());
    std::vector<std::u16string> expected;
    for (int index = 0; index < kThreads; ++index) {
        const std::u16string escaped = ReplaceMarker(ReplaceMarker(paths[index], u"&", u"&amp;"), u"<", u"&lt;");
        expected.push_back(ExpectedEnglishToast(directory, ReplaceMarker(escaped, u">", u"&gt;"), index % 2 == 1));
    }
    std::vector<std::u16string> delivered = toaster->Delivered();
    std::sort(delivered.begin(), delivered.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(delivered, expected);
}

}  // namespace
