// The library plug-ins on files made by each library's own tools, compared with the
// pixels the library itself gives; malformed files refused without a crash.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/plugin_host.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// ---- pictures as plain R,G,B(,A) rows from the top ----

struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> data;
    uint8_t& at(int x, int y, int c) { return data[(static_cast<size_t>(y) * width + x) * channels + c]; }
    uint8_t at(int x, int y, int c) const { return data[(static_cast<size_t>(y) * width + x) * channels + c]; }
};

// A picture with smooth and busy parts, odd width; alpha 255, 0 and in between.
Pixels Sample(int channels, int w = 61, int h = 37) {
    Pixels p{w, h, channels, std::vector<uint8_t>(static_cast<size_t>(w) * h * channels)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int v[4] = {x * 4, y * 6 + (x & 3) * 9, x * 2 + y * 3,
                              x < 10 ? 255 : x < 20 ? 0 : (x * 9 + y * 3) & 255};
            if (channels <= 2) {
                p.at(x, y, 0) = static_cast<uint8_t>((v[0] + v[1]) / 2);
                if (channels == 2) p.at(x, y, 1) = static_cast<uint8_t>(v[3]);
            } else {
                for (int c = 0; c < channels; ++c) p.at(x, y, c) = static_cast<uint8_t>(v[c]);
            }
        }
    }
    return p;
}

uint8_t Over(int c, int a) { return static_cast<uint8_t>(std::lround((c * a + 255.0 * (255 - a)) / 255.0)); }

// Non-premultiplied alpha composed onto white, as R,G,B.
Pixels OnWhite(const Pixels& p) {
    Pixels out{p.width, p.height, 3, std::vector<uint8_t>(static_cast<size_t>(p.width) * p.height * 3)};
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int colour = p.channels <= 2 ? p.at(x, y, 0) : p.at(x, y, c);
                const int alpha = p.channels == 2 ? p.at(x, y, 1) : p.channels == 4 ? p.at(x, y, 3) : 255;
                out.at(x, y, c) = Over(colour, alpha);
            }
        }
    }
    return out;
}

// The decoded picture as R,G,B.
Pixels FromImage(const ImageBuffer& img) {
    Pixels out{img.width(), img.height(), 3, std::vector<uint8_t>(static_cast<size_t>(img.width()) * img.height() * 3)};
    for (int y = 0; y < img.height(); ++y) {
        const uint8_t* row = img.topRow(y);
        for (int x = 0; x < img.width(); ++x) {
            if (img.bitCount() == 24) {
                out.at(x, y, 0) = row[x * 3 + 2];
                out.at(x, y, 1) = row[x * 3 + 1];
                out.at(x, y, 2) = row[x * 3];
            } else {
                const RgbQuad& q = img.palette[row[x]];
                out.at(x, y, 0) = q.red;
                out.at(x, y, 1) = q.green;
                out.at(x, y, 2) = q.blue;
            }
        }
    }
    return out;
}

// Number of samples that differ, and the largest difference.
struct Diff {
    size_t count = 0;
    int largest = 0;
};
Diff Compare(const Pixels& a, const Pixels& b) {
    Diff d;
    if (a.width != b.width || a.height != b.height || a.channels != b.channels) return {SIZE_MAX, 255};
    for (size_t i = 0; i < a.data.size(); ++i) {
        const int e = std::abs(a.data[i] - b.data[i]);
        if (e) ++d.count;
        d.largest = std::max(d.largest, e);
    }
    return d;
}

// Mean absolute difference of the samples (a lossy result near its source).
double MeanDiff(const Pixels& a, const Pixels& b) {
    if (a.data.size() != b.data.size() || a.data.empty()) return 255;
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i) sum += std::abs(a.data[i] - b.data[i]);
    return sum / static_cast<double>(a.data.size());
}

#define EXPECT_SAME_PIXELS(a, b)                                                                  \
    do {                                                                                          \
        const Diff d_ = Compare(a, b);                                                            \
        EXPECT_EQ(d_.count, 0u) << "largest difference " << d_.largest;                          \
    } while (0)

// ---- files ----

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Standard output into a file.
bool RunInto(const std::string& command, const std::string& out) {
    return std::system((command + " >" + Quote(out) + " 2>/dev/null").c_str()) == 0;
}

bool HaveTool(const char* name) { return Shell(std::string("command -v ") + name); }

#define REQUIRE_TOOLS(...)                                                     \
    for (const char* tool_ : {__VA_ARGS__}) {                                  \
        if (!HaveTool(tool_)) GTEST_SKIP() << tool_ << " is not installed";    \
    }

void WritePnm(const std::string& path, const Pixels& p) {
    std::string head;
    if (p.channels == 3) {
        head = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
    } else if (p.channels == 1) {
        head = "P5\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
    } else {
        head = "P7\nWIDTH " + std::to_string(p.width) + "\nHEIGHT " + std::to_string(p.height) + "\nDEPTH " +
               std::to_string(p.channels) + "\nMAXVAL 255\nTUPLTYPE " +
               (p.channels == 4 ? "RGB_ALPHA" : "GRAYSCALE_ALPHA") + "\nENDHDR\n";
    }
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), p.data.begin(), p.data.end());
    test::WriteFile(path, bytes);
}

// 8-bit P5, P6 and P7 files as the tools write them.
Pixels ReadPnm(const std::string& path) {
    const std::vector<uint8_t> f = test::ReadFile(path);
    Pixels p;
    size_t pos = 2;
    auto word = [&]() {
        while (pos < f.size() && (std::isspace(f[pos]) || f[pos] == '#')) {
            if (f[pos] == '#') {
                while (pos < f.size() && f[pos] != '\n') ++pos;
            } else {
                ++pos;
            }
        }
        std::string w;
        while (pos < f.size() && !std::isspace(f[pos])) w += static_cast<char>(f[pos++]);
        return w;
    };
    if (f.size() < 3 || f[0] != 'P') return p;
    if (f[1] == '7') {
        for (std::string key = word(); !key.empty() && key != "ENDHDR"; key = word()) {
            if (key == "WIDTH") p.width = std::stoi(word());
            else if (key == "HEIGHT") p.height = std::stoi(word());
            else if (key == "DEPTH") p.channels = std::stoi(word());
            else word();
        }
    } else {
        p.width = std::stoi(word());
        p.height = std::stoi(word());
        word();
        p.channels = f[1] == '6' ? 3 : 1;
    }
    ++pos;
    const size_t n = static_cast<size_t>(p.width) * p.height * p.channels;
    if (pos + n > f.size()) return Pixels{};
    p.data.assign(f.begin() + static_cast<long>(pos), f.begin() + static_cast<long>(pos + n));
    return p;
}

void PutBe32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 3; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& body) {
    PutBe32(png, static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    PutBe32(png, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// An 8-bit PNG without filtering (the tools that take no PNM input).
void WritePng(const std::string& path, const Pixels& p) {
    static const int kType[] = {0, 0, 4, 2, 6};
    std::vector<uint8_t> raw;
    for (int y = 0; y < p.height; ++y) {
        raw.push_back(0);
        const auto* row = &p.data[static_cast<size_t>(y) * p.width * p.channels];
        raw.insert(raw.end(), row, row + static_cast<size_t>(p.width) * p.channels);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> z(size);
    ASSERT_EQ(compress(z.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    z.resize(size);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    PutBe32(ihdr, static_cast<uint32_t>(p.width));
    PutBe32(ihdr, static_cast<uint32_t>(p.height));
    ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(kType[p.channels]), 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    test::WriteFile(path, png);
}

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }

// 8-bit non-interlaced PNG files as heif-convert writes them.
Pixels ReadPng(const std::string& path) {
    const std::vector<uint8_t> f = test::ReadFile(path);
    Pixels p;
    std::vector<uint8_t> z;
    int type = -1;
    for (size_t pos = 8; pos + 12 <= f.size();) {
        const uint32_t len = Be32(&f[pos]);
        if (pos + 12 + len > f.size()) return Pixels{};
        const std::string t(f.begin() + static_cast<long>(pos) + 4, f.begin() + static_cast<long>(pos) + 8);
        const uint8_t* body = &f[pos + 8];
        if (t == "IHDR") {
            p.width = static_cast<int>(Be32(body));
            p.height = static_cast<int>(Be32(body + 4));
            if (body[8] != 8 || body[12] != 0) return Pixels{};
            type = body[9];
        } else if (t == "IDAT") {
            z.insert(z.end(), body, body + len);
        }
        pos += 12 + len;
    }
    p.channels = type == 0 ? 1 : type == 4 ? 2 : type == 2 ? 3 : type == 6 ? 4 : 0;
    if (!p.channels) return Pixels{};
    const size_t rowBytes = static_cast<size_t>(p.width) * p.channels;
    std::vector<uint8_t> raw((rowBytes + 1) * p.height);
    uLongf size = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &size, z.data(), static_cast<uLong>(z.size())) != Z_OK || size != raw.size())
        return Pixels{};
    p.data.assign(rowBytes * p.height, 0);
    const int bpp = p.channels;
    for (int y = 0; y < p.height; ++y) {
        const uint8_t filter = raw[y * (rowBytes + 1)];
        const uint8_t* in = &raw[y * (rowBytes + 1) + 1];
        uint8_t* out = &p.data[y * rowBytes];
        const uint8_t* up = y ? out - rowBytes : nullptr;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= static_cast<size_t>(bpp) ? out[i - bpp] : 0;
            const int b = up ? up[i] : 0;
            const int c = up && i >= static_cast<size_t>(bpp) ? up[i - bpp] : 0;
            int pred = 0;
            if (filter == 1) pred = a;
            else if (filter == 2) pred = b;
            else if (filter == 3) pred = (a + b) / 2;
            else if (filter == 4) {
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            out[i] = static_cast<uint8_t>(in[i] + pred);
        }
    }
    return p;
}

// An uncompressed chunky TIFF: grey, RGB or RGBA with unassociated alpha.
void WriteTiff(const std::string& path, const Pixels& p) {
    std::vector<uint8_t> t = {'I', 'I', 42, 0};
    const uint16_t count = p.channels == 4 ? 11 : 10;
    const uint32_t ifd = 8;
    const uint32_t bitsAt = ifd + 2 + count * 12 + 4;
    const uint32_t dataAt = bitsAt + 8;
    test::Put32(t, ifd);
    test::Put16(t, count);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t n, uint32_t value) {
        test::Put16(t, tag);
        test::Put16(t, type);
        test::Put32(t, n);
        test::Put32(t, value);
    };
    const uint32_t spp = static_cast<uint32_t>(p.channels);
    entry(256, 4, 1, static_cast<uint32_t>(p.width));
    entry(257, 4, 1, static_cast<uint32_t>(p.height));
    entry(258, 3, spp, spp <= 2 ? 8 | (spp == 2 ? 8u << 16 : 0) : bitsAt);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, spp >= 3 ? 2 : 1);
    entry(273, 4, 1, dataAt);
    entry(277, 3, 1, spp);
    entry(278, 4, 1, static_cast<uint32_t>(p.height));
    entry(279, 4, 1, static_cast<uint32_t>(p.data.size()));
    entry(284, 3, 1, 1);
    if (p.channels == 4) entry(338, 3, 1, 2);
    test::Put32(t, 0);
    for (int i = 0; i < 4; ++i) test::Put16(t, 8);
    t.insert(t.end(), p.data.begin(), p.data.end());
    test::WriteFile(path, t);
}

// The RGBA file tiff2rgba writes (uncompressed strips, premultiplied alpha).
Pixels ReadRgbaTiff(const std::string& path) {
    const std::vector<uint8_t> f = test::ReadFile(path);
    if (f.size() < 8) return {};
    const bool le = f[0] == 'I';
    auto u16 = [&](size_t at) -> uint32_t {
        if (at + 2 > f.size()) return 0;
        return le ? f[at] | f[at + 1] << 8 : f[at] << 8 | f[at + 1];
    };
    auto u32 = [&](size_t at) -> uint32_t {
        if (at + 4 > f.size()) return 0;
        return le ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    Pixels p;
    std::vector<uint32_t> offsets, counts;
    const uint32_t ifd = u32(4);
    const uint32_t n = u16(ifd);
    for (uint32_t i = 0; i < n; ++i) {
        const size_t e = ifd + 2 + i * 12;
        const uint32_t tag = u16(e), type = u16(e + 2), cnt = u32(e + 4);
        const size_t size = type == 3 ? 2 : 4;
        const size_t at = cnt * size > 4 ? u32(e + 8) : e + 8;
        std::vector<uint32_t> values;
        for (uint32_t k = 0; k < cnt; ++k) values.push_back(size == 2 ? u16(at + k * 2) : u32(at + k * 4));
        if (tag == 256) p.width = static_cast<int>(values[0]);
        if (tag == 257) p.height = static_cast<int>(values[0]);
        if (tag == 277) p.channels = static_cast<int>(values[0]);
        if (tag == 259 && values[0] != 1) return {};
        if (tag == 273) offsets = values;
        if (tag == 279) counts = values;
    }
    for (size_t s = 0; s < offsets.size() && s < counts.size(); ++s) {
        if (offsets[s] + counts[s] > f.size()) return {};
        p.data.insert(p.data.end(), f.begin() + offsets[s], f.begin() + offsets[s] + counts[s]);
    }
    if (p.channels != 4 || p.data.size() != static_cast<size_t>(p.width) * p.height * 4) return {};
    return p;
}

// Premultiplied RGBA onto white.
Pixels PremultipliedOnWhite(const Pixels& p) {
    Pixels out{p.width, p.height, 3, {}};
    for (size_t i = 0; i < p.data.size(); i += 4)
        for (int c = 0; c < 3; ++c) out.data.push_back(static_cast<uint8_t>(std::min(255, p.data[i + c] + 255 - p.data[i + 3])));
    return out;
}

class LibraryPlugins : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(LUMRA_PLUGIN_DIR).empty()) GTEST_SKIP() << "built without the plug-ins";
    }
    std::string File(const std::string& name) const { return dir.File(name); }
    bool Decode(const std::string& path, ImageBuffer& img) const { return DecodeWithPlugins(LUMRA_PLUGIN_DIR, path, img); }
    Pixels Decoded(const std::string& path, int bitCount = 24, int sourceDepth = 0) const {
        ImageBuffer img;
        EXPECT_TRUE(Decode(path, img)) << path;
        if (img.empty()) return {};
        EXPECT_EQ(img.bitCount(), bitCount) << path;
        if (sourceDepth) {
            EXPECT_EQ(img.sourceBitDepth, sourceDepth) << path;
        }
        EXPECT_EQ(img.sourceFormat, kFormatUnknown);
        return FromImage(img);
    }
    // Every cut of the file is refused; flipped bytes never crash.
    void ExpectMalformedRefused(const std::string& path) const {
        const std::vector<uint8_t> good = test::ReadFile(path);
        ASSERT_FALSE(good.empty());
        const std::string bad = File("malformed" + fs::path(path).extension().string());
        const size_t step = std::max<size_t>(1, good.size() / 40);
        for (size_t n = 1; n < good.size(); n += step) {
            test::WriteFile(bad, std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)));
            ImageBuffer img;
            EXPECT_FALSE(Decode(bad, img)) << path << " cut at " << n << " of " << good.size();
        }
        uint32_t seed = 12345;
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> data = good;
            for (int k = 0; k < 1 + round % 4; ++k) {
                seed = seed * 1103515245 + 12345;
                // Past the first bytes, so that the file still goes to the same plug-in.
                const size_t at = 16 + (seed >> 8) % (data.size() - 16);
                data[at] ^= static_cast<uint8_t>(1 + (seed >> 3) % 255);
            }
            test::WriteFile(bad, data);
            ImageBuffer img;
            if (Decode(bad, img)) {
                EXPECT_GT(img.width(), 0);
            }
        }
    }
    TempDir dir;
};

TEST_F(LibraryPlugins, TiffEveryCompression) {
    REQUIRE_TOOLS("tiffcp", "tiff2rgba");
    const Pixels rgb = Sample(3), grey = Sample(1), rgba = Sample(4);
    WriteTiff(File("rgb.tif"), rgb);
    WriteTiff(File("grey.tif"), grey);
    WriteTiff(File("rgba.tif"), rgba);
    for (const char* c : {"lzw", "zip", "packbits", "lzw:2", "zip:2"}) {
        SCOPED_TRACE(c);
        const std::string out = File(std::string("rgb_") + c + ".tif");
        ASSERT_TRUE(Shell("tiffcp -c " + std::string(c) + " " + Quote(File("rgb.tif")) + " " + Quote(out)));
        EXPECT_SAME_PIXELS(Decoded(out, 24, 24), rgb);
        const std::string g = File(std::string("grey_") + c + ".tif");
        ASSERT_TRUE(Shell("tiffcp -c " + std::string(c) + " " + Quote(File("grey.tif")) + " " + Quote(g)));
        EXPECT_SAME_PIXELS(Decoded(g, 8, 8), OnWhite(grey));
    }
    // Tiles and several strips.
    ASSERT_TRUE(Shell("tiffcp -c lzw -t -w 16 -l 16 " + Quote(File("rgb.tif")) + " " + Quote(File("tiled.tif"))));
    EXPECT_SAME_PIXELS(Decoded(File("tiled.tif")), rgb);
    ASSERT_TRUE(Shell("tiffcp -c zip -r 5 " + Quote(File("rgb.tif")) + " " + Quote(File("strips.tif"))));
    EXPECT_SAME_PIXELS(Decoded(File("strips.tif")), rgb);

    // Lossy JPEG inside TIFF, and alpha: as libtiff's own RGBA reading gives them.
    ASSERT_TRUE(Shell("tiffcp -c jpeg " + Quote(File("rgb.tif")) + " " + Quote(File("jpeg.tif"))));
    ASSERT_TRUE(Shell("tiff2rgba -c none " + Quote(File("jpeg.tif")) + " " + Quote(File("jpeg_ref.tif"))));
    const Pixels jpegRef = ReadRgbaTiff(File("jpeg_ref.tif"));
    ASSERT_EQ(jpegRef.width, rgb.width);
    EXPECT_SAME_PIXELS(Decoded(File("jpeg.tif")), PremultipliedOnWhite(jpegRef));
    EXPECT_LT(MeanDiff(Decoded(File("jpeg.tif")), rgb), 12);

    ASSERT_TRUE(Shell("tiffcp -c zip " + Quote(File("rgba.tif")) + " " + Quote(File("rgba_zip.tif"))));
    ASSERT_TRUE(Shell("tiff2rgba -c none " + Quote(File("rgba_zip.tif")) + " " + Quote(File("rgba_ref.tif"))));
    const Pixels alpha = Decoded(File("rgba_zip.tif"), 24, 32);
    EXPECT_SAME_PIXELS(alpha, PremultipliedOnWhite(ReadRgbaTiff(File("rgba_ref.tif"))));
    EXPECT_LE(Compare(alpha, OnWhite(rgba)).largest, 1);

    ExpectMalformedRefused(File("rgb_lzw.tif"));
    ExpectMalformedRefused(File("jpeg.tif"));
}

TEST_F(LibraryPlugins, WebpStillAndAnimated) {
    REQUIRE_TOOLS("cwebp", "dwebp", "img2webp");
    const Pixels rgb = Sample(3), rgba = Sample(4);
    WritePnm(File("rgb.ppm"), rgb);
    WritePnm(File("rgba.pam"), rgba);
    ASSERT_TRUE(Shell("cwebp -quiet -lossless " + Quote(File("rgb.ppm")) + " -o " + Quote(File("lossless.webp"))));
    EXPECT_SAME_PIXELS(Decoded(File("lossless.webp"), 24, 24), rgb);
    ASSERT_TRUE(Shell("cwebp -quiet -lossless -exact " + Quote(File("rgba.pam")) + " -o " + Quote(File("alpha.webp"))));
    EXPECT_SAME_PIXELS(Decoded(File("alpha.webp"), 24, 32), OnWhite(rgba));

    // Lossy: the pixels dwebp gives.
    for (const char* name : {"rgb.ppm", "rgba.pam"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Shell("cwebp -quiet -q 70 " + Quote(File(name)) + " -o " + Quote(File("lossy.webp"))));
        ASSERT_TRUE(Shell("dwebp -quiet " + Quote(File("lossy.webp")) + " -pam -o " + Quote(File("lossy.pam"))));
        const Pixels ref = ReadPnm(File("lossy.pam"));
        ASSERT_EQ(ref.channels, 4);
        EXPECT_SAME_PIXELS(Decoded(File("lossy.webp")), OnWhite(ref));
    }

    // An animation: its first frame.
    Pixels second = rgb;
    for (uint8_t& v : second.data) v = static_cast<uint8_t>(255 - v);
    WritePnm(File("second.ppm"), second);
    ASSERT_TRUE(Shell("img2webp -lossless " + Quote(File("rgb.ppm")) + " -d 100 " + Quote(File("second.ppm")) +
                    " -o " + Quote(File("anim.webp"))));
    EXPECT_SAME_PIXELS(Decoded(File("anim.webp")), rgb);

    ExpectMalformedRefused(File("lossless.webp"));
    ExpectMalformedRefused(File("lossy.webp"));
    ExpectMalformedRefused(File("anim.webp"));
}

TEST_F(LibraryPlugins, HeifAndAvif) {
    REQUIRE_TOOLS("heif-enc", "heif-convert");
    const Pixels rgb = Sample(3), rgba = Sample(4);
    WritePng(File("rgb.png"), rgb);
    WritePng(File("rgba.png"), rgba);
    struct Case {
        const char* out;
        const char* input;
        const char* options;
    };
    const Case cases[] = {
        {"lossy.heic", "rgb.png", "-q 60"},
        {"alpha.heic", "rgba.png", "-q 80"},
        {"lossy.avif", "rgb.png", "-A -q 60"},
        {"alpha.avif", "rgba.png", "-A -q 80"},
        {"near.heic", "rgb.png", "-L -p chroma=444 --matrix_coefficients=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        ASSERT_TRUE(Shell(std::string("heif-enc ") + c.options + " " + Quote(File(c.input)) + " -o " + Quote(File(c.out))));
        ASSERT_TRUE(Shell("heif-convert --quiet " + Quote(File(c.out)) + " " + Quote(File("ref.png"))));
        const Pixels ref = ReadPng(File("ref.png"));
        ASSERT_GT(ref.width, 0);
        const Pixels got = Decoded(File(c.out), 24, ref.channels == 4 ? 32 : 24);
        EXPECT_SAME_PIXELS(got, OnWhite(ref));
        // And near what went in.
        EXPECT_LT(MeanDiff(got, OnWhite(c.input == std::string("rgb.png") ? rgb : rgba)), 12);
    }
    ExpectMalformedRefused(File("lossy.heic"));
    ExpectMalformedRefused(File("alpha.avif"));
}

TEST_F(LibraryPlugins, JpegXl) {
    REQUIRE_TOOLS("cjxl", "djxl");
    const Pixels rgb = Sample(3), rgba = Sample(4), grey = Sample(1);
    WritePnm(File("rgb.ppm"), rgb);
    WritePng(File("rgba.png"), rgba);
    WritePnm(File("grey.pgm"), grey);
    ASSERT_TRUE(Shell("cjxl " + Quote(File("rgb.ppm")) + " " + Quote(File("lossless.jxl")) + " -d 0"));
    EXPECT_SAME_PIXELS(Decoded(File("lossless.jxl"), 24, 24), rgb);
    ASSERT_TRUE(Shell("cjxl " + Quote(File("rgba.png")) + " " + Quote(File("alpha.jxl")) + " -d 0"));
    EXPECT_SAME_PIXELS(Decoded(File("alpha.jxl"), 24, 32), OnWhite(rgba));
    ASSERT_TRUE(Shell("cjxl " + Quote(File("grey.pgm")) + " " + Quote(File("grey.jxl")) + " -d 0"));
    EXPECT_SAME_PIXELS(Decoded(File("grey.jxl"), 8, 8), OnWhite(grey));

    // Lossy: the pixels djxl gives.
    ASSERT_TRUE(Shell("cjxl " + Quote(File("rgb.ppm")) + " " + Quote(File("lossy.jxl")) + " -d 1.5"));
    ASSERT_TRUE(Shell("djxl " + Quote(File("lossy.jxl")) + " " + Quote(File("lossy.ppm"))));
    const Pixels ref = ReadPnm(File("lossy.ppm"));
    ASSERT_EQ(ref.channels, 3);
    EXPECT_SAME_PIXELS(Decoded(File("lossy.jxl")), ref);

    ExpectMalformedRefused(File("lossless.jxl"));
    ExpectMalformedRefused(File("lossy.jxl"));
}

// Japanese names for the folder and the file, and the lumra tool on every format.
TEST_F(LibraryPlugins, JapaneseNamesAndTheTool) {
    REQUIRE_TOOLS("cwebp", "heif-enc", "cjxl", "tiffcp");
    const Pixels rgb = Sample(3);
    WritePnm(File("rgb.ppm"), rgb);
    WritePng(File("rgb.png"), rgb);
    WriteTiff(File("rgb.tif"), rgb);
    const std::string folder = File("写真 フォルダ");
    fs::create_directories(folder);
    const std::vector<std::string> files = {folder + "/夏の空.webp", folder + "/夏の海.heic", folder + "/花火.jxl",
                                            folder + "/紅葉 (LZW).tif", folder + "/雪.avif"};
    ASSERT_TRUE(Shell("cwebp -quiet -lossless " + Quote(File("rgb.ppm")) + " -o " + Quote(files[0])));
    ASSERT_TRUE(Shell("heif-enc -q 90 " + Quote(File("rgb.png")) + " -o " + Quote(files[1])));
    ASSERT_TRUE(Shell("cjxl " + Quote(File("rgb.ppm")) + " " + Quote(files[2]) + " -d 0"));
    ASSERT_TRUE(Shell("tiffcp -c lzw " + Quote(File("rgb.tif")) + " " + Quote(files[3])));
    ASSERT_TRUE(Shell("heif-enc -A -q 90 " + Quote(File("rgb.png")) + " -o " + Quote(files[4])));

    // The plug-ins copied to a folder with a Japanese name.
    const std::string spi = File("プラグイン");
    fs::create_directories(spi);
    for (const auto& e : fs::directory_iterator(LUMRA_PLUGIN_DIR))
        if (e.path().extension() == ".spi") fs::copy_file(e.path(), spi + "/" + e.path().filename().string());
    const std::string tool = LUMRA_CLI_PATH;
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        ImageBuffer img;
        ASSERT_TRUE(DecodeWithPlugins(spi, f, img));
        const Pixels got = FromImage(img);
        if (f.find(".heic") == std::string::npos && f.find(".avif") == std::string::npos) {
            EXPECT_SAME_PIXELS(got, rgb);
        }
        // lumra decode with the folder named, and with its own default folder.
        const std::string out = File("out.ppm");
        ASSERT_TRUE(Shell(Quote(tool) + " decode --plugins " + Quote(spi) + " " + Quote(f) + " " + Quote(out)));
        EXPECT_SAME_PIXELS(ReadPnm(out), got);
        fs::remove(out);
        ASSERT_TRUE(Shell(Quote(tool) + " decode " + Quote(f) + " " + Quote(out)));
        EXPECT_SAME_PIXELS(ReadPnm(out), got);
        // A folder without plug-ins reads none of them.
        fs::create_directories(File("empty"));
        EXPECT_FALSE(Shell(Quote(tool) + " decode --plugins " + Quote(File("empty")) + " " + Quote(f) + " " + Quote(out)));
    }
    // info names the plug-in picture as format 0.
    const std::string info = File("info.txt");
    ASSERT_TRUE(RunInto(Quote(tool) + " info " + Quote(files[0]), info));
    EXPECT_EQ(test::ReadText(info), files[0] + " format=0 width=61 height=37 bits=24 source_bits=24 file_size=" +
                                        std::to_string(fs::file_size(files[0])) + " flags=----\n");

    // A broken file makes the tool fail, not crash.
    std::vector<uint8_t> cut = test::ReadFile(files[1]);
    cut.resize(cut.size() / 2);
    test::WriteFile(File("cut.heic"), cut);
    const int status = std::system((Quote(tool) + " decode " + Quote(File("cut.heic")) + " " + Quote(File("x.ppm")) +
                                    " >/dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace lumra
