// The platform's process start keeps the descriptors asked for under the
// numbers 3, 4, ... in order, whatever numbers they had here, and nothing else.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "common/unique_any.h"
#include "platform/posix/process/spawn.h"

namespace {

// A pipe whose write end is placed at a chosen number for the test; whatever
// had that number here is put back afterwards.
class PipeAt {
public:
    explicit PipeAt(int number) : number_(number) {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
        // Both ends well away from the number first: pipe2 may have given it to either.
        read_ = fcntl(ends[0], F_DUPFD_CLOEXEC, kAway);
        const int write = fcntl(ends[1], F_DUPFD_CLOEXEC, kAway);
        close(ends[0]);
        close(ends[1]);
        saved_ = fcntl(number, F_DUPFD_CLOEXEC, kAway);  // -1 when the number was free
        EXPECT_EQ(dup3(write, number, O_CLOEXEC), number);
        close(write);
    }
    ~PipeAt() {
        close(read_);
        if (saved_ >= 0) {
            dup3(saved_, number_, O_CLOEXEC);
            close(saved_);
        } else if (!writeEndClosed_) {
            close(number_);
        }
    }
    PipeAt(const PipeAt&) = delete;
    PipeAt& operator=(const PipeAt&) = delete;

    int WriteEnd() const { return number_; }
    void CloseWriteEnd() {
        close(number_);
        writeEndClosed_ = true;
    }
    std::string ReadAll() const {
        std::string text;
        char buffer[64];
        for (ssize_t got; (got = read(read_, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
        return text;
    }

private:
    static constexpr int kAway = 100;
    const int number_;
    int read_ = -1;
    int saved_ = -1;
    bool writeEndClosed_ = false;
};

}  // namespace

// The first kept descriptor sits at 4 here and the second at 3: copying the
// first to 3 before the second has gone to 4 would send both to the first.
TEST(SpawnProcess, KeptDescriptorsArriveInOrderEvenFromTheNumbersTheyAreGiven) {
    PipeAt second(3);
    PipeAt first(4);
    pal::SpawnRequest request;
    request.program = "/bin/sh";
    request.arguments = {"-c", "echo first >&3; echo second >&4; test ! -e /proc/self/fd/5"};
    request.keptDescriptors = {first.WriteEnd(), second.WriteEnd()};
    PROCESS_INFORMATION started{};
    ASSERT_EQ(pal::SpawnProcess(request, started), static_cast<DWORD>(ERROR_SUCCESS));
    unique_handle process(started.hProcess), thread(started.hThread);
    first.CloseWriteEnd();
    second.CloseWriteEnd();
    EXPECT_EQ(first.ReadAll(), "first\n");
    EXPECT_EQ(second.ReadAll(), "second\n");
    ASSERT_EQ(WaitForSingleObject(process.get(), 5000), WAIT_OBJECT_0);
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &code));
    EXPECT_EQ(code, 0u) << "the child had a descriptor past the kept ones";
}
