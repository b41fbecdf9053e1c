// Reading the embedded resource section: locate ".pal_resources" through the
// ELF section headers, then walk the .res records (header, type, name,
// language, data, each padded to four bytes). Every length is checked against
// the bytes actually present, so a damaged file gives an error, never a crash.
#include "platform/posix/resources/resource_file.h"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>


namespace pal {
namespace {

constexpr char kSectionName[] = ".pal_resources";

class FileReader {
public:
    explicit FileReader(int fd) : fd_(fd) {}
    ~FileReader() {
        if (fd_ >= 0) close(fd_);
    }
    bool Read(uint64_t offset, void* into, size_t size) const {
        return pread(fd_, into, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    }

private:
    int fd_;
};

WORD ReadWord(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD ReadDword(const BYTE* p) { return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24)); }

// A type or name field: 0xFFFF and an id, or a NUL-terminated UTF-16 text.
bool ReadIdField(const BYTE* bytes, size_t end, size_t& at, ResourceId& id) {
    if (at + 2 > end) return false;
    if (ReadWord(bytes + at) == 0xFFFF) {
        if (at + 4 > end) return false;
        id.number = ReadWord(bytes + at + 2);
        at += 4;
        return true;
    }
    for (;;) {
        if (at + 2 > end) return false;
        const WORD unit = ReadWord(bytes + at);
        at += 2;
        if (unit == 0) return true;
        id.text += static_cast<char16_t>(unit);
    }
}

}  // namespace

ResourceId ResourceId::From(LPCWSTR idOrText) {
    ResourceId id;
    if (IS_INTRESOURCE(idOrText)) {
        id.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(idOrText));
    } else {
        id.text = idOrText;
        // "#123" names the number 123, as on Windows.
        if (id.text.size() > 1 && id.text[0] == u'#') {
            unsigned value = 0;
            bool digits = true;
            for (size_t i = 1; i < id.text.size() && digits; ++i) {
                digits = id.text[i] >= u'0' && id.text[i] <= u'9';
                value = value * 10 + (id.text[i] - u'0');
            }
            if (digits && value <= 0xFFFF) {
                id.number = static_cast<WORD>(value);
                id.text.clear();
            }
        }
    }
    return id;
}

bool ResourceId::Matches(LPCWSTR idOrText) const {
    const ResourceId other = From(idOrText);
    if (text.empty() || other.text.empty()) return text.empty() && other.text.empty() && number == other.number;
    return lstrcmpiW(text.c_str(), other.text.c_str()) == 0;
}

bool ParseResources(const BYTE* bytes, size_t size, ResourceFile& file) {
    size_t at = 0;
    while (at + 8 <= size) {
        const DWORD dataSize = ReadDword(bytes + at);
        const DWORD headerSize = ReadDword(bytes + at + 4);
        if (headerSize < 8 || headerSize > size - at || dataSize > size - at - headerSize) return false;
        const size_t headerEnd = at + headerSize;
        size_t field = at + 8;
        ResourceEntry entry;
        if (!ReadIdField(bytes, headerEnd, field, entry.type) || !ReadIdField(bytes, headerEnd, field, entry.name))
            return false;
        field = (field + 3) & ~size_t{3};
        if (field + 16 > headerEnd) return false;
        entry.language = ReadWord(bytes + field + 6);  // after DataVersion (4) and MemoryFlags (2)
        const BYTE* data = bytes + headerEnd;
        // The file opens with an empty record that names no type.
        if (!(entry.type.text.empty() && entry.type.number == 0)) {
            entry.data.assign(data, data + dataSize);
            file.entries.push_back(std::move(entry));
        }
        at = (headerEnd + dataSize + 3) & ~size_t{3};
    }
    return true;
}

std::unique_ptr<ResourceFile> ReadResourceFile(const std::string& path, ResourceLoadError& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno == EACCES ? ResourceLoadError::AccessDenied : ResourceLoadError::FileNotFound;
        return nullptr;
    }
    const FileReader reader(fd);
    error = ResourceLoadError::BadFormat;

    Elf64_Ehdr header;
    if (!reader.Read(0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shstrndx >= header.e_shnum)
        return nullptr;

    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!reader.Read(header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) return nullptr;
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    if (names.sh_size > (1u << 20)) return nullptr;
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    if (!reader.Read(names.sh_offset, nameTable.data(), names.sh_size)) return nullptr;

    for (const Elf64_Shdr& section : sections) {
        if (section.sh_name >= names.sh_size || std::strcmp(nameTable.data() + section.sh_name, kSectionName) != 0)
            continue;
        if (section.sh_size > (64u << 20)) return nullptr;
        std::vector<BYTE> bytes(section.sh_size);
        if (!reader.Read(section.sh_offset, bytes.data(), bytes.size())) return nullptr;
        auto file = std::make_unique<ResourceFile>();
        if (!ParseResources(bytes.data(), bytes.size(), *file)) return nullptr;
        error = ResourceLoadError::None;
        return file;
    }
    error = ResourceLoadError::NoResources;
    return std::make_unique<ResourceFile>();
}

}  // namespace pal
