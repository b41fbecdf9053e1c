// Forwards the test-only COM controls to the runtime.
#include "platform/posix/testing/com_testing.h"

#include "platform/posix/com/endpoint.h"
#include "platform/posix/com/server_start.h"
#include "platform/posix/com/service.h"

namespace pal::testing {

void SetServerStartTimeout(DWORD milliseconds) noexcept { pal::com::SetServerStartTimeout(milliseconds); }

void SetMessageDeadline(DWORD milliseconds) noexcept { pal::com::SetMessageDeadline(milliseconds); }

std::string ComEndpointPath(REFCLSID clsid) {
    std::string path;
    return SUCCEEDED(pal::com::EndpointFile(clsid, pal::com::kSocketSuffix, path)) ? path : std::string();
}

std::string ComEndpointDirectory() {
    std::string directory;
    return SUCCEEDED(pal::com::EndpointDirectory(directory, false)) ? directory : std::string();
}

}  // namespace pal::testing

namespace pal::testing {

HRESULT GetClassObjectThroughEndpoint(REFCLSID clsid, REFIID iid, void** object) {
    *object = nullptr;
    return pal::com::GetLocalServerClassObject(clsid, iid, object);
}

}  // namespace pal::testing
