// FindResource*, LoadResource, LockResource, SizeofResource, and
// LoadLibraryExW/FreeLibrary for executables opened as data files. The
// executable's own resources are read once from its file; a data-file module
// owns the resources it read from the named file.
#include <windows.h>

#include <memory>
#include <mutex>

#include "platform/posix/core/module.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/resources/resource_file.h"
#include "platform/posix/resources/ui_language.h"
#include "platform/posix/testing/fault_injection.h"

namespace {

// Data-file module handles carry this low bit, as Windows marks its own.
constexpr ULONG_PTR kDataFileTag = 1;

struct DataFileModule {
    std::unique_ptr<pal::ResourceFile> file;
};

const pal::ResourceFile* ExecutableResources() {
    static const std::unique_ptr<pal::ResourceFile> file = [] {
        pal::ResourceLoadError error = pal::ResourceLoadError::None;
        auto read = pal::ReadResourceFile(pal::ExecutablePath(), error);
        return read ? std::move(read) : std::make_unique<pal::ResourceFile>();
    }();
    return file.get();
}

const pal::ResourceFile* ResourcesOf(HMODULE module) {
    const auto bits = reinterpret_cast<ULONG_PTR>(module);
    if (module == nullptr || module == pal::ExecutableModule()) return ExecutableResources();
    if ((bits & kDataFileTag) != 0) return reinterpret_cast<DataFileModule*>(bits & ~kDataFileTag)->file.get();
    return nullptr;
}

DWORD LoadErrorCode(pal::ResourceLoadError error) {
    switch (error) {
    case pal::ResourceLoadError::FileNotFound: return ERROR_FILE_NOT_FOUND;
    case pal::ResourceLoadError::AccessDenied: return ERROR_ACCESS_DENIED;
    default: return ERROR_BAD_EXE_FORMAT;
    }
}

}  // namespace

extern "C" HRSRC WINAPI FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::FindResource)) {
        SetLastError(injected);
        return nullptr;
    }
    const pal::ResourceFile* file = ResourcesOf(module);
    if (file == nullptr || file->entries.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (type == nullptr || name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<const pal::ResourceEntry*> named;
    bool typeFound = false;
    for (const pal::ResourceEntry& entry : file->entries) {
        if (!entry.type.Matches(type)) continue;
        typeFound = true;
        if (entry.name.Matches(name)) named.push_back(&entry);
    }
    if (named.empty()) {
        SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    auto withLanguage = [&named](WORD wanted) -> HRSRC {
        for (const pal::ResourceEntry* entry : named) {
            if (entry->language == wanted) return reinterpret_cast<HRSRC>(const_cast<pal::ResourceEntry*>(entry));
        }
        return nullptr;
    };
    if (language != MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)) {
        if (HRSRC found = withLanguage(language)) return found;
        SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
        return nullptr;
    }
    for (WORD candidate : pal::NeutralLanguageSearchOrder()) {
        if (HRSRC found = withLanguage(candidate)) return found;
    }
    // The last steps of the search: English of any region, then any language.
    const pal::ResourceEntry* chosen = named.front();
    for (const pal::ResourceEntry* entry : named) {
        if (PRIMARYLANGID(entry->language) == LANG_ENGLISH) {
            chosen = entry;
            break;
        }
    }
    return reinterpret_cast<HRSRC>(const_cast<pal::ResourceEntry*>(chosen));
}

extern "C" HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    return FindResourceExW(module, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::LoadResource)) {
        SetLastError(injected);
        return nullptr;
    }
    if (resource == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto* entry = reinterpret_cast<pal::ResourceEntry*>(resource);
    // An empty resource still loads: its address is the entry's own.
    return entry->data.empty() ? static_cast<HGLOBAL>(entry) : static_cast<HGLOBAL>(entry->data.data());
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

extern "C" DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    if (resource == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<pal::ResourceEntry*>(resource)->data.size());
}

extern "C" HMODULE WINAPI LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags) {
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::LoadLibraryEx)) {
        SetLastError(injected);
        return nullptr;
    }
    constexpr DWORD kDataFileFlags =
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
    if (fileName == nullptr || file != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Only resources can be read here: loading code is not something this platform does.
    if ((flags & kDataFileFlags) == 0 || (flags & ~kDataFileFlags) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    std::string path = pal::ToUtf8(fileName);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    pal::ResourceLoadError error = pal::ResourceLoadError::None;
    auto resources = pal::ReadResourceFile(path, error);
    if (!resources) {
        SetLastError(LoadErrorCode(error));
        return nullptr;
    }
    auto* module = new DataFileModule{std::move(resources)};
    return reinterpret_cast<HMODULE>(reinterpret_cast<ULONG_PTR>(module) | kDataFileTag);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE module) {
    const auto bits = reinterpret_cast<ULONG_PTR>(module);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((bits & kDataFileTag) != 0) delete reinterpret_cast<DataFileModule*>(bits & ~kDataFileTag);
    return TRUE;
}
