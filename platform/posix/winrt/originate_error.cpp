// RoOriginateError: a failure is recorded with its message (cut at the first
// embedded NUL and to 511 units, as Windows keeps 512 with the terminator);
// a success code is not an error and leaves no trace.
#include <notification_platform.h>

#include <mutex>
#include <string_view>

#include "platform/posix/testing/originated_errors.h"

namespace {

constexpr size_t kMessageUnitsKept = 512 - 1;
// Only the latest reports are kept, so a long-running server does not grow.
constexpr size_t kErrorsKept = 256;

std::mutex originatedLock;
std::vector<pal::testing::OriginatedError>& Originated() {
    static std::vector<pal::testing::OriginatedError> errors;
    return errors;
}

}  // namespace

extern "C" BOOL WINAPI RoOriginateError(HRESULT error, HSTRING message) {
    if (SUCCEEDED(error)) return FALSE;
    UINT32 length = 0;
    std::u16string_view text(WindowsGetStringRawBuffer(message, &length));
    if (text.size() > length) text = text.substr(0, length);
    text = text.substr(0, kMessageUnitsKept);
    try {
        std::lock_guard guard(originatedLock);
        if (Originated().size() == kErrorsKept) Originated().erase(Originated().begin());
        Originated().push_back({error, std::u16string(text)});
    } catch (const std::exception&) {
        // Reporting is best effort; the caller goes on with its HRESULT either way.
    }
    return TRUE;
}

namespace pal::testing {

std::vector<OriginatedError> OriginatedErrors() {
    std::lock_guard guard(originatedLock);
    return Originated();
}

void ForgetOriginatedErrors() {
    std::lock_guard guard(originatedLock);
    Originated().clear();
}

}  // namespace pal::testing
