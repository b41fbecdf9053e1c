// The executable's module: its file name, its handle, and the few system DLL
// exports that the program looks up by name.
#include "platform/posix/core/module.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/posix/core/exports.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/testing/process_stand_ins.h"

namespace pal {

HMODULE ExecutableModule() noexcept {
    // The conventional image base of a Windows executable; never dereferenced.
    return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));
}

const std::string& ExecutablePath() {
    static const std::string path = [] {
        std::string buffer(PATH_MAX, '\0');
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        buffer.resize(length > 0 ? static_cast<size_t>(length) : 0);
        return buffer;
    }();
    return path;
}

}  // namespace pal

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (module != nullptr && module != pal::ExecutableModule()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::GetModuleFileName)) {
        SetLastError(injected);
        return 0;
    }
    std::u16string path;
    if (!pal::testing::ReportedModuleFileName(path)) path = pal::FromUtf8(pal::ExecutablePath());
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (fileName == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Windows' rule: a path that does not fit is cut to size - 1 units, still
    // terminated, and the full size is returned with ERROR_INSUFFICIENT_BUFFER.
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), (size - 1) * sizeof(WCHAR));
        fileName[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.data(), path.size() * sizeof(WCHAR));
    fileName[path.size()] = 0;
    return static_cast<DWORD>(path.size());
}

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
    if (moduleName == nullptr) return pal::ExecutableModule();
    if (HMODULE system = pal::FindSystemModule(moduleName)) return system;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    if (FARPROC found = pal::FindExport(module, procName)) return found;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}
