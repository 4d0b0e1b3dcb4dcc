// The in-memory picture: a bottom-up DIB with B,G,R pixels and a 256-entry palette.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace lumra {

inline constexpr int kMaxPictureSide = 25000;

struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

using Palette = std::array<RgbQuad, 256>;

// Detection result and the source format of a picture.
enum FormatCode : uint32_t {
    kFormatUnknown = 0,  // only the plug-ins may read it; also plug-in pictures
    kFormatBmp = 1,
    kFormatPng = 2,
    kFormatJpeg = 3,
    kFormatTiff = 4,
    kFormatGif = 5,
    kFormatEmpty = 6,  // empty or unreadable: the load fails at once
};

// The save format (setting Format of SImg; the save dialog's filter index minus one).
enum SaveFormat : int {
    kSaveBmp = 0,
    kSavePng = 1,
    kSaveJpeg = 2,
    kSaveTiff = 3,
    kSaveGif = 4,
    kSaveJpegTrans = 5,
};

const char* DefaultExtension(int saveFormat);  // "bmp", "png", "jpg", "tif", "gif", "jpg"

// Bytes of one stored row, padded to 4 bytes; 0 when out of range.
size_t PaddedRowBytes(int64_t width, int bitCount);

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

struct ImageBuffer {
    BitmapInfoHeader header;
    Palette palette{};
    uint32_t sourceFormat = kFormatUnknown;
    std::unique_ptr<uint8_t, FreeDeleter> pixels;  // rows bottom-up, zeroed when allocated
    int32_t fileSize = 0;
    int32_t sourceBitDepth = 0;
    int64_t fileTime = 0;  // last-write time, nanoseconds since the Unix epoch

    // Allocates zeroed rows for width x height at 1, 4, 8 or 24 bits and fills the
    // header (biSize 40, planes 1, BI_RGB). False when the size is invalid or memory runs out.
    // clear false: only the padding at each row's end is cleared; the caller writes every row.
    bool Allocate(int width, int height, int bitCount, bool clear = true);
    void Reset();

    bool empty() const { return !pixels; }
    int width() const { return header.biWidth; }
    int height() const { return header.biHeight; }
    int bitCount() const { return header.biBitCount; }
    size_t stride() const { return PaddedRowBytes(header.biWidth, header.biBitCount); }
    size_t imageBytes() const { return stride() * static_cast<size_t>(header.biHeight); }
    uint8_t* bits() { return pixels.get(); }
    const uint8_t* bits() const { return pixels.get(); }
    // Row as stored: row 0 is the bottom row of the picture.
    uint8_t* storedRow(int y) { return pixels.get() + stride() * static_cast<size_t>(y); }
    const uint8_t* storedRow(int y) const { return pixels.get() + stride() * static_cast<size_t>(y); }
    // Row counted from the top of the picture.
    uint8_t* topRow(int y) { return storedRow(header.biHeight - 1 - y); }
    const uint8_t* topRow(int y) const { return storedRow(header.biHeight - 1 - y); }

    ImageBuffer Clone() const;  // deep copy; empty on memory failure
};

// Grey ramp in entries 0..255.
void FillGreyPalette(Palette& palette);

}  // namespace lumra
