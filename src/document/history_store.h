// The undo history: whole-picture states in temporary files, and the brush strokes' history.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/image_buffer.h"

namespace lumra {

inline constexpr int kHistoryLimit = 1000;
inline constexpr const char* kOriginalEntryName = "元の画像";

// Entry file: width, height, bit count (i32 LE), the palette (1024 bytes, not for 24 bits),
// then the rows as in memory.
bool WriteHistoryFile(const std::string& path, const ImageBuffer& image);
bool ReadHistoryFile(const std::string& path, ImageBuffer& image);

// position: the entry shown; savedPosition: the entry last written to disk; entries: count.
struct HistoryStore {
    int position = 0;
    int savedPosition = 0;
    int entries = 0;
    uint32_t savedFormat = kFormatUnknown;  // the format as loaded, back at entry 0

    struct Entry {
        std::string path;
        std::string name;
    };
    std::vector<Entry> files;  // one per entry

    HistoryStore() = default;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;
    HistoryStore(HistoryStore&& other) noexcept;
    HistoryStore& operator=(HistoryStore&& other) noexcept;
    ~HistoryStore() { DeleteFiles(); }

    bool IsModified() const { return position != savedPosition; }
    void MarkSaved() { savedPosition = position; }
    // Deletes every file and empties the store; format is the picture's format as loaded.
    void Clear(uint32_t format = kFormatUnknown);
    // Saves image as a new entry after position, dropping the redo tail and, at the limit,
    // the oldest entry. False when the file cannot be written (the tail stays dropped).
    bool Record(const std::string& name, const ImageBuffer& image);
    // Reads entry position + delta into image; position moves only on success.
    enum class StepResult { kOk, kOutOfRange, kFailed };
    StepResult Step(int delta, ImageBuffer& image);
    const std::string& NameAt(int index) const;

    bool CanUndo() const { return position != 0; }
    bool CanRedo() const { return position + 1 < entries; }

private:
    void DeleteFiles();
    void Fit();  // files sized to entries (positions may be set without files)
};

// The brush tools' strokes: changed rectangles before and after, 24-bit buffers only.
struct StrokeHistory {
    struct Rect {
        int left, top, right, bottom;  // right and bottom exclusive
    };
    std::vector<std::string> files;
    int index = -1;
    Rect dirty{};

    StrokeHistory() = default;
    StrokeHistory(const StrokeHistory&) = delete;
    StrokeHistory& operator=(const StrokeHistory&) = delete;
    ~StrokeHistory() { Clear(); }

    int count() const { return static_cast<int>(files.size()); }
    // Resets the dirty rectangle for a picture of this size.
    void BeginStroke(int width, int height);
    void ExtendDirty(const Rect& dab, int width, int height);
    // Writes the dirty rectangle from before/working (bottom-up 24-bit, same size) and copies
    // it into before. An empty rectangle writes nothing. False when the file fails.
    bool EndStroke(ImageBuffer& before, const ImageBuffer& working);
    bool Undo(ImageBuffer& before, ImageBuffer& working);
    bool Redo(ImageBuffer& before, ImageBuffer& working);
    void Clear();
    bool CanUndo() const { return index >= 0; }
    bool CanRedo() const { return index + 1 < count(); }
};

}  // namespace lumra
