// The resources an executable carries: the compiled resource script (the
// standard .res format that windres writes) kept in the ELF section
// ".pal_resources" of the file, read from the file on disk.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace pal {

// A resource type or name: a 16-bit id, or a text (compared ignoring case).
struct ResourceId {
    WORD number = 0;
    std::u16string text;  // empty for a numbered id

    static ResourceId From(LPCWSTR idOrText);
    bool Matches(LPCWSTR idOrText) const;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    std::vector<BYTE> data;
};

struct ResourceFile {
    std::vector<ResourceEntry> entries;  // in the order the compiler wrote them
};

enum class ResourceLoadError { None, FileNotFound, AccessDenied, BadFormat, NoResources };

// Reads the resources of the executable file at path (UTF-8). On failure the
// error says why; a valid executable without resources gives NoResources.
std::unique_ptr<ResourceFile> ReadResourceFile(const std::string& path, ResourceLoadError& error);

// Parses the bytes of a .res file; false when they are malformed.
bool ParseResources(const BYTE* bytes, size_t size, ResourceFile& file);

}  // namespace pal
