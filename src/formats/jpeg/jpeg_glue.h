// Glue between libjpeg and the codecs: error manager, memory source, destinations and
// the scan limit. Each object lives in the caller's state; nothing here is global.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace lumra::jpeg {

// The library's last message is kept here, at most this many characters.
inline constexpr size_t kMessageChars = 200;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    std::string* message = nullptr;
};
// Standard fields with the library's message table; error_exit jumps to `jump`,
// output_message writes into *message (cleared here).
void InitErrorManager(ErrorManager& err, std::string* message);
// Raises a library error with our own text (used from callbacks).
[[noreturn]] void Fail(j_common_ptr cinfo, const char* text);

// The whole file in memory; an EOI marker is supplied whenever the data is used up.
struct MemorySource {
    jpeg_source_mgr pub;
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool exhausted = false;
    int exhaustedScan = 0;         // input_scan_number when the data ran out
    unsigned exhaustedIMcuRow = 0;  // input_iMCU_row then
};
void SetMemorySource(j_decompress_ptr cinfo, MemorySource& src, const uint8_t* data, size_t size);

// Stops files with absurd numbers of scans, which would otherwise take very long.
inline constexpr int kMaxScans = 1000;
struct ScanLimit {
    jpeg_progress_mgr pub;
};
void SetScanLimit(j_decompress_ptr cinfo, ScanLimit& limit);

// A destination in memory that grows as needed.
struct MemoryDestination {
    jpeg_destination_mgr pub;
    uint8_t* buffer = nullptr;
    size_t capacity = 0;
    size_t size = 0;  // bytes written, valid after jpeg_finish_compress
    MemoryDestination() = default;
    MemoryDestination(const MemoryDestination&) = delete;
    MemoryDestination& operator=(const MemoryDestination&) = delete;
    ~MemoryDestination();
    bool Reserve(size_t bytes);  // allocates the first buffer
};
// Fills the callbacks; the caller points cinfo->dest at dest.pub.
void InitMemoryDestination(MemoryDestination& dest);

// A file destination writing 1 MB at a time.
inline constexpr size_t kFileBufferBytes = 1048576;
struct FileDestination {
    jpeg_destination_mgr pub;
    int fd = -1;
    uint8_t* buffer = nullptr;
    FileDestination() = default;
    FileDestination(const FileDestination&) = delete;
    FileDestination& operator=(const FileDestination&) = delete;
    ~FileDestination();
    // Creates or truncates the file and allocates the buffer.
    bool Open(const std::string& path);
    // Closes the file; false when the close reports an error.
    bool Close();
};
void InitFileDestination(FileDestination& dest);


}  // namespace lumra::jpeg
