// What the file system says about a file: one stamp for every "has it changed" question.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumra {

struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;  // last write, nanoseconds since the epoch
    int64_t changedNs = 0;   // last status change
    bool regular = false;
    bool directory = false;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Follows links; nullopt when the path names nothing.
std::optional<FileStamp> StampOfPath(const std::string& path);
// The link itself when path is one.
std::optional<FileStamp> StampOfLink(const std::string& path);
// Opens the file for reading (no blocking on devices or pipes) and stamps what was opened;
// nullopt when it does not open.
std::optional<FileStamp> StampOfOpenedFile(const std::string& path);
// Opens for reading like StampOfOpenedFile and keeps the descriptor: -1 when it does not
// open or cannot be stamped.
int OpenForReading(const std::string& path, FileStamp& stamp);
// Creates or truncates a file for writing: its descriptor or -1.
int OpenForWriting(const std::string& path);
// An entry of an open folder (following links).
std::optional<FileStamp> StampAt(int folderFd, const char* name);

}  // namespace lumra
