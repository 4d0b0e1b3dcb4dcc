#include "platform/temp_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace lumra {

std::string TempFolder() {
    if (const char* dir = std::getenv("TMPDIR"); dir && *dir) {
        struct stat st {};
        if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) {
            std::string folder(dir);
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            return folder;
        }
    }
    return "/tmp";
}

std::optional<std::string> CreateTempFile() {
    std::string name = TempFolder();
    if (name != "/") name += '/';
    name += "tmpXXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return name;
}

ScopedTempFile::~ScopedTempFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
}

std::string ScopedTempFile::Release() {
    std::string path = std::move(path_);
    path_.clear();
    return path;
}

}  // namespace lumra
