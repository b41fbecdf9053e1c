// Test-only record of the platform calls whose arguments and order matter to
// the program's contract (class registration and resumption, process starts),
// one line per call, so tests can check what was asked of Windows and when.
#pragma once

#include <string>
#include <vector>

namespace pal::testing {

// From now on (true) or no longer (false) the recorded calls are kept; starting
// forgets what was kept before.
void RecordCalls(bool on);

// The calls kept since recording started, in order, e.g.
// "CoRegisterClassObject {CLSID} context 4 flags 5", "CoResumeClassObjects",
// "CreateProcessW C:\\QuillConsole.exe" (the texts in UTF-8).
std::vector<std::string> RecordedCalls();

// Called by the platform, which makes the line only while recording.
bool RecordingCalls() noexcept;
void RecordCall(const std::string& line);

}  // namespace pal::testing
