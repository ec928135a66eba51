// A folder of a test's own under the system's temporary folder, removed with everything in it
// when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace corvane {

class TTempDir {
public:
    TTempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace corvane
