// Plain file access used by the codecs and the save path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumra {

// Reads a whole regular file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Reads up to n bytes from the start; nullopt when the file cannot be opened.
std::optional<std::vector<uint8_t>> ReadFilePrefix(const std::string& path, size_t n);
// Last-write time in nanoseconds since the epoch, 0 when unknown.
int64_t FileModifiedTime(const std::string& path);
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates or truncates and writes the whole file.
bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);
// Writes all of data to an open descriptor, going on after interruptions.
bool WriteAllToFd(int fd, const uint8_t* data, size_t size);
bool WriteAllToFd(int fd, const std::string& data);
// Copies src over dst (dst replaced). False when anything fails.
bool CopyFileOver(const std::string& src, const std::string& dst);
bool DeleteFile(const std::string& path);

}  // namespace lumra
