// The warning's whole road across processes, as on a user's machine: a program
// started like the server shows it through the real delivery policy into a
// fresh toast store, and "pal toast show" reads it back. The reported Windows
// version is fixed per process, so every version is a run of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "notify/platform_queries.h"
#include "platform/posix/core/utf.h"
#include "tests/notify/expected_toast.h"
#include "tests/e2e/server_process.h"
#include "tests/support/temporary_prefix.h"

namespace {

// Every character the escaping cares about, quotation marks included.
const char kPath[] = "C:\\Users\\R&D <\"Q\"> it's";
const char16_t kBySerializer[] = u"C:\\Users\\R&amp;D &lt;\"Q\"&gt; it's";
const char16_t kByTable[] = u"C:\\Users\\R&amp;D &lt;&quot;Q&quot;&gt; it's";

class WarningEndToEnd : public testing::Test {
protected:
    // Runs the sender in mode under the given reported version; the XML texts
    // of the toasts it added to the store, as "pal toast show" prints them.
    std::vector<std::string> Send(const char* version, const char* mode) {
        const std::vector<std::string> before = StoredIds();
        setenv("PAL_WINDOWS_VERSION", version, 1);
        const e2e::Finished sent = e2e::Run({WARNING_SENDER, mode, kPath});
        unsetenv("PAL_WINDOWS_VERSION");
        EXPECT_EQ(sent.status, 0) << mode << " on " << version << ": " << sent.err;
        std::vector<std::string> shown;
        for (const std::string& id : StoredIds()) {
            if (std::find(before.begin(), before.end(), id) != before.end()) continue;
            const e2e::Finished run = e2e::Run({e2e::kPal, "toast", "show", id});
            EXPECT_EQ(run.status, 0) << "toast " << id << ": " << run.err;
            shown.push_back(run.out);
        }
        return shown;
    }

    // The toast as the sender's process builds it (it lives beside this program).
    static std::string Expected(const char16_t* escapedPath) {
        return pal::ToUtf8(ExpectedEnglishToast(GetModuleDirectory(), escapedPath, true));
    }

private:
    // The ids "pal toast list" gives, each from its own line, for our identity only.
    static std::vector<std::string> StoredIds() {
        const e2e::Finished listing = e2e::Run({e2e::kPal, "toast", "list", "--aumid", "Corvane.Tessaline"});
        EXPECT_EQ(listing.status, 0) << listing.err;
        const std::string& lines = listing.out;
        std::vector<std::string> ids;
        for (size_t line = 0; line < lines.size();) {
            const size_t end = lines.find('\n', line);
            ids.push_back(lines.substr(line, lines.find('\t', line) - line));
            line = end == std::string::npos ? lines.size() : end + 1;
        }
        return ids;
    }

    TemporaryPrefix prefix_;
};

TEST_F(WarningEndToEnd, TheActivationStoresTheExactToastWithThePathSerializedByThePlatform) {
    const auto shown = Send("10.0", "handle");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], Expected(kBySerializer));
}

TEST_F(WarningEndToEnd, BelowWindows10TheActivationStoresNothing) {
    for (const char* version : {"6.3", "6.1"}) EXPECT_TRUE(Send(version, "handle").empty()) << version;
}

// The handler is silent below 10.0, so the older systems' escaping is seen
// through the display's composition handed to the same delivery policy.
TEST_F(WarningEndToEnd, ThePathIsEscapedByTheSerializerFrom62AndByTheTableOn61) {
    const auto serialized = Send("6.2", "compose");
    const auto tabled = Send("6.1", "compose");
    const auto activated = Send("10.0", "handle");
    ASSERT_EQ(serialized.size(), 1u);
    ASSERT_EQ(tabled.size(), 1u);
    ASSERT_EQ(activated.size(), 1u);

    EXPECT_EQ(serialized[0], Expected(kBySerializer));
    EXPECT_EQ(tabled[0], Expected(kByTable));
    EXPECT_EQ(serialized[0], activated[0]) << "composition and activation build the same toast";

    // The two differ in the path's quotation marks and nowhere else.
    ASSERT_NE(serialized[0], tabled[0]);
    std::string unquoted = tabled[0];
    for (size_t at = unquoted.find("&quot;"); at != std::string::npos; at = unquoted.find("&quot;", at + 1)) {
        unquoted.replace(at, 6, "\"");
    }
    EXPECT_EQ(unquoted, serialized[0]);
}

}  // namespace
