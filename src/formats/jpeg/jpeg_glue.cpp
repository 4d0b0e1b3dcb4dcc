#include "formats/jpeg/jpeg_glue.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/file_io.h"
#include "platform/file_stamp.h"

namespace lumra::jpeg {

namespace {

void StoreMessage(std::string* out, const char* text) {
    if (!out) return;
    out->assign(text);
    // Keep whole UTF-8 characters up to the limit (the library's texts are ASCII).
    size_t chars = 0, i = 0;
    while (i < out->size()) {
        if ((static_cast<unsigned char>((*out)[i]) & 0xC0) != 0x80) {
            if (chars == kMessageChars) break;
            ++chars;
        }
        ++i;
    }
    out->resize(i);
}

void OutputMessage(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    char buffer[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, buffer);
    StoreMessage(err->message, buffer);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// ---- memory source ----

const JOCTET kEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (!src->exhausted) {
        src->exhausted = true;
        src->exhaustedScan = cinfo->input_scan_number;
        src->exhaustedIMcuRow = cinfo->input_iMCU_row;
    }
    src->pub.next_input_byte = kEoi;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    const auto n = static_cast<unsigned long>(count);
    if (n > src->bytes_in_buffer) {
        (*src->fill_input_buffer)(cinfo);
        return;
    }
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

void ProgressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        Fail(cinfo, "Too many scans in this JPEG file");
}

// ---- memory destination ----

void InitMemory(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    d->size = 0;
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = d->capacity;
}

boolean EmptyMemory(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    // Called with the buffer full: double it.
    const size_t used = d->capacity;
    size_t grown = d->capacity < 65536 ? 65536 : d->capacity * 2;
    if (grown < d->capacity) Fail(reinterpret_cast<j_common_ptr>(cinfo), "Out of memory");
    auto* p = static_cast<uint8_t*>(std::realloc(d->buffer, grown));
    if (!p) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        cinfo->err->msg_parm.i[0] = 0;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    d->buffer = p;
    d->capacity = grown;
    d->pub.next_output_byte = p + used;
    d->pub.free_in_buffer = grown - used;
    return TRUE;
}

void TermMemory(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    d->size = d->capacity - d->pub.free_in_buffer;
}

// ---- file destination ----

void InitFile(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<FileDestination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kFileBufferBytes;
}

[[noreturn]] void WriteError(j_compress_ptr cinfo) {
    cinfo->err->msg_code = JERR_FILE_WRITE;
    (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    std::abort();  // error_exit does not return
}

boolean EmptyFile(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<FileDestination*>(cinfo->dest);
    if (!WriteAllToFd(d->fd, d->buffer, kFileBufferBytes)) WriteError(cinfo);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kFileBufferBytes;
    return TRUE;
}

void TermFile(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<FileDestination*>(cinfo->dest);
    const size_t n = kFileBufferBytes - d->pub.free_in_buffer;
    if (n && !WriteAllToFd(d->fd, d->buffer, n)) WriteError(cinfo);
}

}  // namespace

void InitErrorManager(ErrorManager& err, std::string* message) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    err.message = message;
    if (message) message->clear();
}

void Fail(j_common_ptr cinfo, const char* text) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    StoreMessage(err->message, text);
    std::longjmp(err->jump, 1);
}

void SetMemorySource(j_decompress_ptr cinfo, MemorySource& src, const uint8_t* data, size_t size) {
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInputBuffer;
    src.pub.skip_input_data = SkipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.next_input_byte = data;
    src.pub.bytes_in_buffer = data ? size : 0;
    src.data = data;
    src.size = size;
    src.exhausted = false;
    cinfo->src = &src.pub;
}

void SetScanLimit(j_decompress_ptr cinfo, ScanLimit& limit) {
    limit.pub.progress_monitor = ProgressMonitor;
    limit.pub.pass_counter = 0;
    limit.pub.pass_limit = 0;
    limit.pub.completed_passes = 0;
    limit.pub.total_passes = 0;
    cinfo->progress = &limit.pub;
}

MemoryDestination::~MemoryDestination() { std::free(buffer); }

bool MemoryDestination::Reserve(size_t bytes) {
    if (bytes == 0) bytes = 65536;
    if (buffer && capacity >= bytes) return true;
    std::free(buffer);
    buffer = static_cast<uint8_t*>(std::malloc(bytes));
    capacity = buffer ? bytes : 0;
    return buffer != nullptr;
}

void InitMemoryDestination(MemoryDestination& dest) {
    dest.pub.init_destination = InitMemory;
    dest.pub.empty_output_buffer = EmptyMemory;
    dest.pub.term_destination = TermMemory;
}

FileDestination::~FileDestination() {
    if (fd >= 0) ::close(fd);
    std::free(buffer);
}

bool FileDestination::Open(const std::string& path) {
    buffer = static_cast<uint8_t*>(std::malloc(kFileBufferBytes));
    if (!buffer) return false;
    fd = OpenForWriting(path);
    return fd >= 0;
}

bool FileDestination::Close() {
    const int f = fd;
    fd = -1;
    return f < 0 || ::close(f) == 0;
}

void InitFileDestination(FileDestination& dest) {
    dest.pub.init_destination = InitFile;
    dest.pub.empty_output_buffer = EmptyFile;
    dest.pub.term_destination = TermFile;
}

}  // namespace lumra::jpeg
