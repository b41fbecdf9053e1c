// Test-only view of the errors reported with RoOriginateError, which Windows
// shows to a debugger and to error-reporting tools: here they are kept in order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pal::testing {

struct OriginatedError {
    HRESULT code;
    std::u16string message;
};

// Every error originated in the process since the last call of ForgetOriginatedErrors.
std::vector<OriginatedError> OriginatedErrors();
void ForgetOriginatedErrors();

}  // namespace pal::testing
