// The plain start and the process's records, in process: where the console is
// looked for (a program in a folder, in a drive root, with no file name), and
// the module records whose locks cannot be made, which start-up survives.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/base_module.h"
#include "host/atl_helper.h"
#include "host/com_module_record.h"
#include "host/launch_console.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/testing/call_log.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/process_stand_ins.h"
#include "tests/support/fresh_process.h"

namespace {

using pal::testing::Fault;

// The separator is appended whatever the directory ends with. Each row runs in a
// process of its own: the program's directory is kept once it is known.
TEST(ConsoleStart, TheConsoleIsLookedForInTheProgramsDirectory) {
    struct Row {
        const char* what;
        const char16_t* reportedName;  // null: the file name cannot be had
        const char* started;
    };
    const Row rows[] = {
        {"a program in a folder", u"C:\\Quill\\QuillNotification.exe", "CreateProcessW C:\\Quill\\QuillConsole.exe"},
        {"a program in a drive root", u"C:\\QuillNotification.exe", "CreateProcessW C:\\\\QuillConsole.exe"},
        {"the file name unavailable", nullptr, "CreateProcessW \\QuillConsole.exe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ExpectInFreshProcess([&]() -> std::string {
            if (row.reportedName != nullptr) pal::testing::ReportModuleFileName(row.reportedName);
            else pal::testing::InjectFailure(Fault::GetModuleFileName, ERROR_NOT_ENOUGH_MEMORY, 100);
            pal::testing::RecordCalls(true);
            LaunchConsole();  // nothing lies there: the start fails, and that is no concern of the program's
            pal::testing::RecordCalls(false);
            const std::vector<std::string> calls = pal::testing::RecordedCalls();
            if (calls != std::vector<std::string>{row.started})
                return "started " + (calls.empty() ? std::string("nothing") : calls[0]);
            return "";
        });
    }
}

// A record whose lock cannot be made goes on without it. Only the base module
// record says so, and only to an attached debugger; the server module's size
// marker stays 0, so its teardown leaves the lock alone.
TEST(StartUpRecords, ALockThatCannotBeMadeLeavesTheRecordWithoutIt) {
    struct State {
        bool locked;
        bool usable;  // what the record names is still there
    };
    struct Row {
        const char* what;
        State (*make)();
        const char16_t* toldTheDebugger;
    };
    const Row rows[] = {
        {"the base module record",
         [] {
             CAtlBaseModule record;
             return State{record.HasLock(),
                          record.GetHInstanceAt(0) == GetModuleHandleW(nullptr) && record.GetHInstanceAt(1) == nullptr};
         },
         u"ERROR : Unable to initialize critical section in CAtlBaseModule\n"},
        {"the server module",
         [] {
             CAtlHelper module;
             const UINT marker = module.cbSize;
             module.Term();
             return State{marker == CAtlModule::kInitializedSize, marker == 0 || marker == CAtlModule::kInitializedSize};
         },
         u""},
        {"the COM module record",
         [] {
             CAtlComModule record;
             return State{record.Size() == CAtlComModule::kInitializedSize,
                          record.TypeLibraryModule() == GetModuleHandleW(nullptr)};
         },
         u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        pal::testing::AttachDebuggerStandIn(true);
        const State granted = row.make();
        EXPECT_TRUE(granted.locked && granted.usable) << "the lock is made when it can be";
        pal::testing::InjectFailure(Fault::InitializeCriticalSection, ERROR_NOT_ENOUGH_MEMORY);
        const State refused = row.make();
        pal::testing::InjectFailure(Fault::InitializeCriticalSection, 0);
        EXPECT_FALSE(refused.locked);
        EXPECT_TRUE(refused.usable);
        EXPECT_EQ(pal::ToUtf8(pal::testing::DebuggerStandInOutput()), pal::ToUtf8(row.toldTheDebugger));
        pal::testing::AttachDebuggerStandIn(false);
    }
}

}  // namespace
