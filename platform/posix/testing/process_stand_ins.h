// Test-only stand-ins for what a test process cannot arrange for real: the
// file name Windows reports for the executable (a drive root, a path with an
// apostrophe) and an attached debugger that keeps what the program tells it.
#pragma once

#include <string>

namespace pal::testing {

// GetModuleFileNameW answers path for the executable from now on, with
// Windows' rules for a buffer too small; the empty text returns to the real name.
void ReportModuleFileName(std::u16string path);

// While attached, IsDebuggerPresent is TRUE and OutputDebugStringW text is kept
// here instead of going to standard error. Attaching forgets earlier output.
void AttachDebuggerStandIn(bool attached);
std::u16string DebuggerStandInOutput();

// Called by the platform.
bool ReportedModuleFileName(std::u16string& path);
bool DebuggerStandInAttached() noexcept;
void KeepDebuggerOutput(const std::u16string& text);

}  // namespace pal::testing
