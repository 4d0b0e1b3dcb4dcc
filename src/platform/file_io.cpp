#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

#include "platform/file_stamp.h"

namespace lumra {

namespace {

// Closes a descriptor on every path.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (write errors may show up here).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO from blocking the open;
// anything but a regular file is refused.
int OpenRegularForRead(const std::string& path, struct stat* st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until n bytes or end of file; -1 on a read error.
ssize_t ReadFully(int fd, uint8_t* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::read(fd, buf + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

bool WriteAllToFd(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

bool WriteAllToFd(int fd, const std::string& data) {
    return WriteAllToFd(fd, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    struct stat st {};
    Fd fd(OpenRegularForRead(path, &st));
    if (!fd.ok()) return false;
    try {
        // The size is a hint: the file may change while it is read.
        const size_t expected = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
        out.resize(expected);
        const ssize_t first = ReadFully(fd.get(), out.data(), expected);
        if (first < 0) {
            out.clear();
            return false;
        }
        out.resize(static_cast<size_t>(first));
        if (static_cast<size_t>(first) == expected) {
            // Whatever was appended since the stat.
            uint8_t chunk[1 << 16];
            for (;;) {
                const ssize_t r = ReadFully(fd.get(), chunk, sizeof chunk);
                if (r < 0) {
                    out.clear();
                    return false;
                }
                out.insert(out.end(), chunk, chunk + r);
                if (static_cast<size_t>(r) < sizeof chunk) break;
            }
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        out.shrink_to_fit();
        return false;
    } catch (const std::length_error&) {
        out.clear();
        return false;
    }
    return true;
}

std::optional<std::vector<uint8_t>> ReadFilePrefix(const std::string& path, size_t n) {
    struct stat st {};
    Fd fd(OpenRegularForRead(path, &st));
    if (!fd.ok()) return std::nullopt;
    std::vector<uint8_t> data(n);
    const ssize_t r = ReadFully(fd.get(), data.data(), n);
    // A read error counts as nothing read.
    data.resize(r < 0 ? 0 : static_cast<size_t>(r));
    return data;
}

int64_t FileModifiedTime(const std::string& path) {
    const std::optional<FileStamp> stamp = StampOfPath(path);
    return stamp ? stamp->modifiedNs : 0;
}

bool FileExists(const std::string& path) {
    const std::optional<FileStamp> stamp = StampOfPath(path);
    return stamp && !stamp->directory;
}

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    const std::optional<FileStamp> stamp = StampOfPath(path);
    return stamp && stamp->directory;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
    if (!fd.ok()) return false;
    if (!WriteAllToFd(fd.get(), data, size)) return false;
    return fd.Close();
}

bool CopyFileOver(const std::string& src, const std::string& dst) {
    struct stat sst {};
    Fd in(OpenRegularForRead(src, &sst));
    if (!in.ok()) return false;
    // Opened without truncation first, so that copying a file onto itself cannot empty it.
    Fd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
    if (!out.ok()) return false;
    struct stat dst_st {};
    if (::fstat(out.get(), &dst_st) != 0) return false;
    if (dst_st.st_dev == sst.st_dev && dst_st.st_ino == sst.st_ino) return true;
    if (!S_ISREG(dst_st.st_mode)) return false;
    if (::ftruncate(out.get(), 0) != 0) return false;

    bool ok = true;
    uint8_t buf[1 << 16];
    for (;;) {
        const ssize_t r = ReadFully(in.get(), buf, sizeof buf);
        if (r < 0) {
            ok = false;
            break;
        }
        if (r == 0) break;
        if (!WriteAllToFd(out.get(), buf, static_cast<size_t>(r))) {
            ok = false;
            break;
        }
        if (static_cast<size_t>(r) < sizeof buf) break;
    }
    if (!out.Close()) ok = false;
    // A half-written copy is worse than none.
    if (!ok) ::unlink(dst.c_str());
    return ok;
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace lumra
