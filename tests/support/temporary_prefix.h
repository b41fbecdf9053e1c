// A fresh platform prefix for one test: a new temporary directory named in
// PAL_PREFIX while the object lives, removed with its contents afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class TemporaryPrefix {
public:
    TemporaryPrefix() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quill-prefix-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        setenv("PAL_PREFIX", path_.c_str(), 1);
    }
    ~TemporaryPrefix() {
        unsetenv("PAL_PREFIX");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryPrefix(const TemporaryPrefix&) = delete;
    TemporaryPrefix& operator=(const TemporaryPrefix&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
