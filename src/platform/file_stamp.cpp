#include "platform/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumra {

namespace {

int64_t Ns(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

FileStamp FromStat(const struct stat& st) {
    FileStamp s;
    s.device = static_cast<uint64_t>(st.st_dev);
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.size = static_cast<int64_t>(st.st_size);
    s.modifiedNs = Ns(st.st_mtim);
    s.changedNs = Ns(st.st_ctim);
    s.regular = S_ISREG(st.st_mode);
    s.directory = S_ISDIR(st.st_mode);
    return s;
}

}  // namespace

std::optional<FileStamp> StampOfPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FromStat(st);
}

std::optional<FileStamp> StampOfLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return FromStat(st);
}

std::optional<FileStamp> StampOfOpenedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!ok) return std::nullopt;
    return FromStat(st);
}

int OpenForReading(const std::string& path, FileStamp& stamp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    stamp = FromStat(st);
    return fd;
}

int OpenForWriting(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

std::optional<FileStamp> StampAt(int folderFd, const char* name) {
    struct stat st {};
    if (::fstatat(folderFd, name, &st, 0) != 0) return std::nullopt;
    return FromStat(st);
}

}  // namespace lumra
