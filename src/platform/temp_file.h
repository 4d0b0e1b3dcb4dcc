// Temporary files in the temporary folder, names beginning "tmp".
#pragma once

#include <optional>
#include <string>

namespace lumra {

// The temporary folder: $TMPDIR when it is a folder, else /tmp.
std::string TempFolder();
// Creates a new empty file there; nullopt on failure.
std::optional<std::string> CreateTempFile();

// Deletes its file when it goes out of scope, unless released.
class ScopedTempFile {
public:
    explicit ScopedTempFile(std::string path) : path_(std::move(path)) {}
    ~ScopedTempFile();
    ScopedTempFile(const ScopedTempFile&) = delete;
    ScopedTempFile& operator=(const ScopedTempFile&) = delete;
    const std::string& path() const { return path_; }
    std::string Release();

private:
    std::string path_;
};

}  // namespace lumra
