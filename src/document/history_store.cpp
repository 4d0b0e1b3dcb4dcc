#include "document/history_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/file_io.h"
#include "platform/temp_file.h"

namespace lumra {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void PutI32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

bool WriteAll(std::FILE* f, const void* data, size_t n) {
    return n == 0 || std::fwrite(data, 1, n, f) == n;
}

bool ReadAll(std::FILE* f, void* data, size_t n) { return n == 0 || std::fread(data, 1, n, f) == n; }

void Unlink(const std::string& path) {
    if (!path.empty()) std::remove(path.c_str());
}

// Byte offset of rectangle row y (from the top) in a bottom-up 24-bit buffer.
uint8_t* RectRow(ImageBuffer& img, const StrokeHistory::Rect& r, int y) {
    return img.topRow(r.top + y) + static_cast<size_t>(r.left) * 3;
}

bool CopyRect(ImageBuffer& to, const ImageBuffer& from, const StrokeHistory::Rect& r) {
    const size_t bytes = static_cast<size_t>(r.right - r.left) * 3;
    for (int y = 0; y < r.bottom - r.top; ++y)
        std::memcpy(RectRow(to, r, y), from.topRow(r.top + y) + r.left * 3, bytes);
    return true;
}

}  // namespace

bool WriteHistoryFile(const std::string& path, const ImageBuffer& image) {
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    uint8_t head[12];
    PutI32(head, image.width());
    PutI32(head + 4, image.height());
    PutI32(head + 8, image.bitCount());
    bool ok = WriteAll(f.get(), head, sizeof head);
    if (ok && image.bitCount() != 24) ok = WriteAll(f.get(), image.palette.data(), 1024);
    if (ok) ok = WriteAll(f.get(), image.bits(), image.imageBytes());
    return std::fclose(f.release()) == 0 && ok;
}

bool ReadHistoryFile(const std::string& path, ImageBuffer& image) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    uint8_t head[12];
    if (!ReadAll(f.get(), head, sizeof head)) return false;
    const int w = GetI32(head), h = GetI32(head + 4), bits = GetI32(head + 8);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    ImageBuffer img;
    if (!img.Allocate(w, h, bits)) return false;
    if (bits != 24 && !ReadAll(f.get(), img.palette.data(), 1024)) return false;
    if (!ReadAll(f.get(), img.bits(), img.imageBytes())) return false;
    img.sourceFormat = kFormatBmp;
    img.sourceBitDepth = bits;
    img.fileSize = static_cast<int32_t>(img.imageBytes() + (bits == 24 ? 0 : 1024) + 54);
    image = std::move(img);
    return true;
}

HistoryStore::HistoryStore(HistoryStore&& o) noexcept
    : position(o.position), savedPosition(o.savedPosition), entries(o.entries),
      savedFormat(o.savedFormat), files(std::move(o.files)) {
    o.files.clear();
    o.position = o.savedPosition = o.entries = 0;
}

HistoryStore& HistoryStore::operator=(HistoryStore&& o) noexcept {
    if (this != &o) {
        DeleteFiles();
        position = o.position;
        savedPosition = o.savedPosition;
        entries = o.entries;
        savedFormat = o.savedFormat;
        files = std::move(o.files);
        o.files.clear();
        o.position = o.savedPosition = o.entries = 0;
    }
    return *this;
}

void HistoryStore::DeleteFiles() {
    for (const Entry& e : files) Unlink(e.path);
    files.clear();
}

void HistoryStore::Fit() {
    if (entries < 0) entries = 0;
    files.resize(static_cast<size_t>(entries));
}

void HistoryStore::Clear(uint32_t format) {
    DeleteFiles();
    savedFormat = format;
    position = savedPosition = entries = 0;
}

bool HistoryStore::Record(const std::string& name, const ImageBuffer& image) {
    Fit();
    // A new line of history starts after the entry shown.
    while (entries > position + 1) {
        Unlink(files.back().path);
        files.pop_back();
        --entries;
    }
    if (entries >= kHistoryLimit) {
        Unlink(files.front().path);
        files.erase(files.begin());
        --position;
        --entries;
    }
    std::optional<std::string> path = CreateTempFile();
    if (!path) return false;
    if (!WriteHistoryFile(*path, image)) {
        Unlink(*path);
        return false;
    }
    if (entries != 0) ++position;
    ++entries;
    files.push_back(Entry{std::move(*path), name});
    return true;
}

HistoryStore::StepResult HistoryStore::Step(int delta, ImageBuffer& image) {
    Fit();
    const int64_t target = static_cast<int64_t>(position) + delta;
    if (target < 0 || target >= entries) return StepResult::kOutOfRange;
    ImageBuffer read;
    if (!ReadHistoryFile(files[static_cast<size_t>(target)].path, read)) return StepResult::kFailed;
    position = static_cast<int>(target);
    if (position == 0) read.sourceFormat = savedFormat;
    image = std::move(read);
    return StepResult::kOk;
}

const std::string& HistoryStore::NameAt(int index) const {
    static const std::string none;
    if (index < 0 || index >= static_cast<int>(files.size())) return none;
    return files[static_cast<size_t>(index)].name;
}

void StrokeHistory::BeginStroke(int width, int height) { dirty = {width + 1, height + 1, -1, -1}; }

void StrokeHistory::ExtendDirty(const Rect& dab, int width, int height) {
    dirty.left = std::max(0, std::min(dirty.left, dab.left));
    dirty.top = std::max(0, std::min(dirty.top, dab.top));
    dirty.right = std::min(width, std::max(dirty.right, dab.right));
    dirty.bottom = std::min(height, std::max(dirty.bottom, dab.bottom));
}

bool StrokeHistory::EndStroke(ImageBuffer& before, const ImageBuffer& working) {
    const int w = working.width(), h = working.height();
    while (count() > index + 1) {
        Unlink(files.back());
        files.pop_back();
    }
    if (count() >= kHistoryLimit) {
        Unlink(files.front());
        files.erase(files.begin());
        --index;
    }
    const Rect r = dirty;
    BeginStroke(w, h);
    if (r.right <= r.left || r.bottom <= r.top) return true;
    std::optional<std::string> path = CreateTempFile();
    bool ok = path.has_value();
    if (ok) {
        File f(std::fopen(path->c_str(), "wb"));
        ok = f != nullptr;
        if (ok) {
            uint8_t head[16];
            PutI32(head, r.left);
            PutI32(head + 4, r.top);
            PutI32(head + 8, r.right);
            PutI32(head + 12, r.bottom);
            ok = WriteAll(f.get(), head, sizeof head);
            const size_t bytes = static_cast<size_t>(r.right - r.left) * 3;
            for (const ImageBuffer* img : {static_cast<const ImageBuffer*>(&before), &working})
                for (int y = 0; ok && y < r.bottom - r.top; ++y)
                    ok = WriteAll(f.get(), img->topRow(r.top + y) + r.left * 3, bytes);
            ok = std::fclose(f.release()) == 0 && ok;
        }
        if (!ok) Unlink(*path);
    }
    if (!ok) {
        CopyRect(before, working, r);
        return false;
    }
    files.push_back(std::move(*path));
    index = count() - 1;
    CopyRect(before, working, r);
    return true;
}

namespace {

// Reads one block (0 before, 1 after) of a stroke file into working.
bool ReadStroke(const std::string& path, int block, ImageBuffer& working, StrokeHistory::Rect& r) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    uint8_t head[16];
    if (!ReadAll(f.get(), head, sizeof head)) return false;
    r = {GetI32(head), GetI32(head + 4), GetI32(head + 8), GetI32(head + 12)};
    if (r.left < 0 || r.top < 0 || r.right > working.width() || r.bottom > working.height() ||
        r.right <= r.left || r.bottom <= r.top)
        return false;
    const size_t bytes = static_cast<size_t>(r.right - r.left) * 3;
    const size_t rows = static_cast<size_t>(r.bottom - r.top);
    std::vector<uint8_t> data(bytes * rows);
    if (block == 1 && std::fseek(f.get(), static_cast<long>(bytes * rows), SEEK_CUR) != 0) return false;
    if (!ReadAll(f.get(), data.data(), data.size())) return false;
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(RectRow(working, r, static_cast<int>(y)), data.data() + y * bytes, bytes);
    return true;
}

}  // namespace

bool StrokeHistory::Undo(ImageBuffer& before, ImageBuffer& working) {
    if (index < 0) return false;
    Rect r{};
    if (!ReadStroke(files[static_cast<size_t>(index)], 0, working, r)) return false;
    --index;
    CopyRect(before, working, r);
    BeginStroke(working.width(), working.height());
    return true;
}

bool StrokeHistory::Redo(ImageBuffer& before, ImageBuffer& working) {
    if (index + 1 >= count()) return false;
    Rect r{};
    if (!ReadStroke(files[static_cast<size_t>(index + 1)], 1, working, r)) return false;
    ++index;
    CopyRect(before, working, r);
    BeginStroke(working.width(), working.height());
    return true;
}

void StrokeHistory::Clear() {
    for (const std::string& p : files) Unlink(p);
    files.clear();
    index = -1;
}

}  // namespace lumra
