// Shared part of the import plug-ins: the exported functions, input reading and the
// picture blocks handed to the host. Each plug-in supplies one PluginDef.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "spi_abi.h"

namespace spi {

inline constexpr int kMaxSide = 25000;

// What GetPictureInfo reports.
struct Facts {
    int width = 0;
    int height = 0;
    int depth = 0;  // bits per pixel as stored in the file
};

// A bottom-up BI_RGB picture of 8 (with palette) or 24 bits in malloc'd blocks; freed
// unless handed over to the host.
class Dib {
public:
    Dib() = default;
    ~Dib();
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    // SPI_ALL_RIGHT, SPI_NOT_SUPPORT for sizes out of range, SPI_NO_MEMORY.
    int Create(int width, int height, int bitCount);
    int width() const { return width_; }
    int height() const { return height_; }
    size_t stride() const { return stride_; }
    // Row y counted from the top of the picture.
    uint8_t* Row(int y) { return bits_ + stride_ * static_cast<size_t>(height_ - 1 - y); }
    void SetPalette(int index, uint8_t r, uint8_t g, uint8_t b);
    void SetGreyPalette();
    void HandOver(void** info, void** bits);

private:
    uint8_t* info_ = nullptr;
    uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    size_t stride_ = 0;
};

// Colour c with alpha a over white.
inline uint8_t OverWhite(unsigned c, unsigned a) {
    return static_cast<uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

// One row of non-premultiplied R,G,B,A (or R,G,B when alpha is false) into B,G,R over white.
void PutRgbRow(uint8_t* dst, const uint8_t* src, int width, bool alpha);
// One row of grey (with alpha after each sample when alpha is true) into 8-bit indices.
void PutGreyRow(uint8_t* dst, const uint8_t* src, int width, bool alpha);

struct Input {
    std::vector<uint8_t> owned;
    const uint8_t* data = nullptr;
    size_t size = 0;
};
// The file from offset len (flag 0) or len bytes of memory at buf (flag 1).
int ReadInput(const char* buf, intptr_t len, uint32_t flag, Input& in);

struct PluginDef {
    const char* about;  // info number 1
    // Pattern and description pairs (info numbers 2 and 3, 4 and 5, ...), ended by nullptr.
    const char* const* formats;
    bool (*accept)(const uint8_t* head, size_t size);  // at least 2048 bytes
    int (*probe)(const uint8_t* data, size_t size, Facts& facts);
    int (*decode)(const uint8_t* data, size_t size, Dib& dib, Facts& facts);
};

// Defined by each plug-in.
const PluginDef& Plugin();

}  // namespace spi
