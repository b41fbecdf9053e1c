// A logo is read whole into memory first: a device file, a FIFO or a directory
// is refused before anything opens it, so reading can neither block nor run
// without end, and a PNG is refused before decoding when its header claims
// more pixels than a logo needs.
#include "tools/pal/render/logo_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <strings.h>
#include <vector>

namespace pal::tool {
namespace {

constexpr off_t kLargestFile = 8 << 20;
constexpr uint32_t kLargestSide = 4096;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

bool Exists(const std::string& path) {
    struct stat info{};
    return lstat(path.c_str(), &info) == 0;
}

bool ReadWhole(const std::string& path, std::vector<unsigned char>& bytes, std::string& reason) {
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    if (info.st_size > kLargestFile) {
        reason = "larger than a logo can be";
        return false;
    }
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file < 0) {
        reason = std::strerror(errno);
        return false;
    }
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(file, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    close(file);
    bytes.resize(done);
    return true;
}

uint32_t BigEndian32(const unsigned char* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// The signature, then the IHDR chunk with the width and height.
bool PlausiblePng(const std::vector<unsigned char>& bytes, std::string& reason) {
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24 || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0 ||
        std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
        reason = "not a PNG image";
        return false;
    }
    const uint32_t width = BigEndian32(bytes.data() + 16), height = BigEndian32(bytes.data() + 20);
    if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) {
        reason = "a PNG image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
        return false;
    }
    return true;
}

struct ByteSource {
    const std::vector<unsigned char>& bytes;
    size_t offset = 0;
};

cairo_status_t ReadFromBytes(void* closure, unsigned char* data, unsigned int length) {
    auto& source = *static_cast<ByteSource*>(closure);
    if (source.bytes.size() - source.offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, source.bytes.data() + source.offset, length);
    source.offset += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string LogoPath(const std::string& source) {
    constexpr size_t kScheme = 5;  // "file:"
    if (source.size() <= kScheme || strncasecmp(source.c_str(), "file:", kScheme) != 0) return {};
    std::string path = source.substr(kScheme);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    const size_t first = path.find_first_not_of('/');
    if (first == std::string::npos) return {};
    path = "/" + path.substr(first);
    // A URI should escape what is not allowed in it, but a program may write a path as it is.
    if (!Exists(path) && path.find('%') != std::string::npos && Exists(PercentDecoded(path))) return PercentDecoded(path);
    return path;
}

unique_surface LoadLogo(const std::string& source, std::string& reason) {
    const std::string path = LogoPath(source);
    if (path.empty()) {
        reason = "\"" + source + "\" is no file:/// URI";
        return nullptr;
    }
    std::vector<unsigned char> bytes;
    if (!ReadWhole(path, bytes, reason) || !PlausiblePng(bytes, reason)) {
        reason = path + ": " + reason;
        return nullptr;
    }
    ByteSource stream{bytes};
    unique_surface picture(cairo_image_surface_create_from_png_stream(ReadFromBytes, &stream));
    if (cairo_surface_status(picture.get()) != CAIRO_STATUS_SUCCESS) {
        reason = path + ": " + cairo_status_to_string(cairo_surface_status(picture.get()));
        return nullptr;
    }
    return picture;
}

}  // namespace pal::tool
