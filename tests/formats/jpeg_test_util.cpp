#include "formats/jpeg_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "formats/decoder_context.h"
#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_markers.h"
#include "test_util.h"

namespace lumra::test {

ImageBuffer JpegPattern(int width, int height, uint32_t seed) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(width, height, 24));
    uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = img.topRow(y);
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>(state >> 28) - 8;
            const bool box = (x / 13 + y / 9) % 5 == 0;
            const int r = x * 255 / std::max(1, width - 1) + noise;
            const int g = y * 255 / std::max(1, height - 1) - noise;
            const int b = box ? 230 : (x + y) * 3 % 256;
            row[3 * x] = static_cast<uint8_t>(std::clamp(b, 0, 255));
            row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
            row[3 * x + 2] = static_cast<uint8_t>(std::clamp(r, 0, 255));
        }
    }
    return img;
}

void WritePpm(const std::string& path, const ImageBuffer& image) {
    const Rgb rgb = PixelsOf(image);
    std::string head = "P6\n" + std::to_string(rgb.width) + " " + std::to_string(rgb.height) + "\n255\n";
    std::vector<uint8_t> data(head.begin(), head.end());
    data.insert(data.end(), rgb.pixels.begin(), rgb.pixels.end());
    WriteFile(path, data);
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Rgb PixelsOf(const ImageBuffer& image) {
    Rgb out;
    if (image.empty()) return out;
    out.width = image.width();
    out.height = image.height();
    out.pixels.resize(static_cast<size_t>(out.width) * out.height * 3);
    uint8_t* d = out.pixels.data();
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* s = image.topRow(y);
        for (int x = 0; x < out.width; ++x, d += 3) {
            if (image.bitCount() == 24) {
                d[0] = s[3 * x + 2];
                d[1] = s[3 * x + 1];
                d[2] = s[3 * x];
            } else {
                const RgbQuad& c = image.palette[s[x]];
                d[0] = c.red;
                d[1] = c.green;
                d[2] = c.blue;
            }
        }
    }
    return out;
}

namespace {

// Reads a binary PGM or PPM.
Rgb ReadPnm(const std::vector<uint8_t>& f) {
    Rgb out;
    size_t pos = 0;
    auto token = [&]() {
        while (pos < f.size() && std::isspace(f[pos])) ++pos;
        std::string t;
        while (pos < f.size() && !std::isspace(f[pos])) t.push_back(static_cast<char>(f[pos++]));
        return t;
    };
    const std::string magic = token();
    const int w = std::atoi(token().c_str());
    const int h = std::atoi(token().c_str());
    token();  // maximum value
    ++pos;
    const int channels = magic == "P5" ? 1 : 3;
    const size_t n = static_cast<size_t>(w) * h;
    if ((magic != "P5" && magic != "P6") || f.size() < pos + n * channels) return out;
    out.width = w;
    out.height = h;
    out.pixels.resize(n * 3);
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) out.pixels[3 * i + c] = f[pos + i * channels + (channels == 3 ? c : 0)];
    return out;
}

}  // namespace

Rgb Djpeg(const std::string& path, const std::string& options) {
    const std::string out = path + ".djpeg.pnm";
    // Exit status 2: decoded with warnings (a file cut short).
    const int status = Shell("djpeg -pnm " + options + " -outfile " + Quote(out) + " " + Quote(path) + " 2>/dev/null");
    if (status != 0 && status != 2) return Rgb{};
    const Rgb rgb = ReadPnm(ReadFile(out));
    std::remove(out.c_str());
    return rgb;
}

Rgb Decode(const std::string& path) {
    const std::vector<uint8_t> data = ReadFile(path);
    DecoderContext ctx;
    if (!DecodeJpeg(data.data(), data.size(), ctx)) return Rgb{};
    return PixelsOf(ctx.image);
}

std::vector<std::vector<uint8_t>> MarkerSegments(const std::vector<uint8_t>& file) {
    std::vector<std::vector<uint8_t>> out;
    JpegMarkerWalker walker(file.data(), file.size());
    JpegSegment seg;
    while (walker.Next(seg) == JpegMarkerWalker::Step::Segment) {
        if (seg.marker != 0xFE && (seg.marker < 0xE0 || seg.marker > 0xEF)) continue;
        std::vector<uint8_t> s{seg.marker};
        s.insert(s.end(), file.begin() + static_cast<long>(seg.dataStart), file.begin() + static_cast<long>(seg.end));
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace lumra::test
