// A platform prefix of the fuzz target's own: a new directory below $TMPDIR (or
// /tmp) named in PAL_PREFIX, removed with its contents when the process exits.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

inline void UseScratchPrefix() {
    static std::string path = (std::filesystem::temp_directory_path() / "quill-fuzz-XXXXXX").string();
    if (mkdtemp(path.data()) == nullptr) std::abort();
    setenv("PAL_PREFIX", path.c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    });
}

}  // namespace fuzz
