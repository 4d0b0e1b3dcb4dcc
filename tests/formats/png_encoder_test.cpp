// The PNG writer: what it writes for each setting, read back by libpng and by the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "formats/codec_error.h"
#include "formats/load_save.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_encoder.h"
#include "formats/reduce.h"
#include "png_test_util.h"
#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::PixelAt;

struct ChunkCopy {
    std::string type;
    std::vector<uint8_t> data;
};

std::vector<ChunkCopy> ChunksOf(const std::vector<uint8_t>& file) {
    std::vector<ChunkCopy> out;
    size_t at = 8;
    PngChunk c;
    while (ReadChunkAt(file.data(), file.size(), at, c) == ChunkRead::Ok) {
        EXPECT_TRUE(c.CrcMatches());
        out.push_back({std::string(reinterpret_cast<const char*>(c.type), 4),
                       std::vector<uint8_t>(c.body, c.body + c.length)});
        at = c.end;
    }
    EXPECT_EQ(at, file.size());
    return out;
}

std::string ChunkOrder(const std::vector<ChunkCopy>& chunks) {
    std::string s;
    for (const auto& c : chunks) s += (s.empty() ? "" : " ") + c.type;
    return s;
}

const ChunkCopy* Find(const std::vector<ChunkCopy>& chunks, const std::string& type) {
    for (const auto& c : chunks)
        if (c.type == type) return &c;
    return nullptr;
}

// The filtered rows: inflated image data.
std::vector<uint8_t> FilteredData(const std::vector<uint8_t>& file, size_t expectedSize) {
    std::vector<uint8_t> z;
    for (const auto& c : ChunksOf(file))
        if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
    std::vector<uint8_t> out(expectedSize + 16);
    uLongf n = out.size();
    EXPECT_EQ(uncompress(out.data(), &n, z.data(), static_cast<uLong>(z.size())), Z_OK);
    out.resize(n);
    return out;
}

ImageBuffer Rgb(int w, int h, const std::function<uint32_t(int, int)>& colour) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            uint8_t* p = img.topRow(y) + 3 * x;
            p[0] = static_cast<uint8_t>(c);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c >> 16);
        }
    return img;
}

ImageBuffer Indexed(int w, int h, const std::vector<uint32_t>& palette, const std::function<int(int, int)>& index) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 8));
    for (size_t i = 0; i < palette.size(); ++i)
        img.palette[i] = RgbQuad{static_cast<uint8_t>(palette[i]), static_cast<uint8_t>(palette[i] >> 8),
                                 static_cast<uint8_t>(palette[i] >> 16), 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.topRow(y)[x] = static_cast<uint8_t>(index(x, y));
    return img;
}

uint32_t Noise(int x, int y) {
    uint32_t v = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
    v ^= v >> 13;
    v *= 0x5bd1e995;
    return (v ^ (v >> 15)) & 0xFFFFFF;
}

// Smooth with some noise, so that every filter wins somewhere.
uint32_t Mixed(int x, int y) {
    if ((x / 4 + y / 3) % 3 == 0) return Noise(x, y);
    return static_cast<uint32_t>(((x * 9) & 255) << 16 | ((y * 7) & 255) << 8 | ((x + y) * 3 & 255));
}

std::vector<uint8_t> Encode(const ImageBuffer& img, const PngEncodeOptions& o, int expectError = kCodecOk) {
    std::vector<uint8_t> out;
    DecoderContext ctx;
    const bool ok = EncodePngToMemory(img, o, out, ctx);
    EXPECT_EQ(ok, expectError == kCodecOk);
    EXPECT_EQ(ctx.error, expectError);
    return out;
}

// Decoded by the reader (without gamma) and by libpng: both give the picture's colours.
void ExpectSameColours(const std::vector<uint8_t>& file, const ImageBuffer& img) {
    DecoderContext ctx;
    ctx.load.gamma = 0;
    ctx.load.alpha = 0;
    ASSERT_TRUE(DecodePng(file.data(), file.size(), ctx)) << ctx.error;
    const test::LibpngImage ref = test::ReadWithLibpng(file);
    ASSERT_TRUE(ref.ok) << ref.error;
    ASSERT_EQ(ref.width, static_cast<uint32_t>(img.width()));
    ASSERT_EQ(ref.height, static_cast<uint32_t>(img.height()));
    int wrong = 0;
    for (int y = 0; y < img.height() && wrong < 3; ++y) {
        for (int x = 0; x < img.width() && wrong < 3; ++x) {
            const uint32_t want = PixelAt(img, x, y);
            uint32_t lib;
            if (ref.colourType == 3) {
                const auto& e = ref.palette.at(ref.Sample(x, y, 0));
                lib = uint32_t{e[0]} << 16 | uint32_t{e[1]} << 8 | e[2];
            } else if (ref.colourType == 0) {
                const uint32_t g = ref.Sample(x, y, 0) * (ref.bitDepth == 8 ? 1 : 255 / ((1 << ref.bitDepth) - 1));
                lib = g << 16 | g << 8 | g;
            } else {
                lib = uint32_t{ref.Sample(x, y, 0)} << 16 | uint32_t{ref.Sample(x, y, 1)} << 8 | ref.Sample(x, y, 2);
            }
            const uint32_t ours = PixelAt(ctx.image, x, y);
            if (lib != want || ours != want) {
                ++wrong;
                ADD_FAILURE() << x << "," << y << std::hex << ": want " << want << " libpng " << lib << " reader " << ours;
            }
        }
    }
}

struct Size {
    int w, h;
};
// The last is taller than the rows the reader inflates at a time.
constexpr Size kSizes[] = {{1, 1}, {3, 5}, {17, 9}, {33, 1}, {1, 12}, {40, 23}, {400, 1000}};

TEST(PngEncoder, RgbEveryFilterAndInterlace) {
    for (const Size s : kSizes) {
        const ImageBuffer img = Rgb(s.w, s.h, Mixed);
        for (int interlace = 0; interlace <= 1; ++interlace) {
            for (int filter = 0; filter <= 5; ++filter) {
                SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " interlace " << interlace << " filter " << filter);
                PngEncodeOptions o;
                o.interlace = interlace;
                o.filter = filter;
                o.level = filter;  // every level along the way
                const auto file = Encode(img, o);
                const auto chunks = ChunksOf(file);
                EXPECT_EQ(ChunkOrder(chunks), "IHDR IDAT IEND");
                EXPECT_EQ(chunks[0].data, test::IhdrData(s.w, s.h, 8, 2, interlace));
                ExpectSameColours(file, img);
                if (filter >= 1 && !interlace) {
                    const auto rows = FilteredData(file, size_t(3 * s.w + 1) * s.h);
                    for (int y = 0; y < s.h; ++y) EXPECT_EQ(rows[size_t(3 * s.w + 1) * y], filter - 1);
                }
            }
        }
    }
}

TEST(PngEncoder, AutoFilterTies) {
    auto choose = [](std::array<int, 5> c) { return ChooseAutoFilter(c.data()); };
    EXPECT_EQ(choose({0, 5, 5, 5, 5}), 1);  // Sub over Up, and over Average/Paeth
    EXPECT_EQ(choose({0, 4, 5, 5, 5}), 2);  // Up, then Up over Average
    EXPECT_EQ(choose({0, 4, 4, 5, 5}), 3);  // Average over Paeth
    EXPECT_EQ(choose({0, 4, 4, 4, 5}), 4);
    EXPECT_EQ(choose({6, 4, 6, 5, 5}), 0);  // None on a tie with the best
    EXPECT_EQ(choose({5, 4, 6, 5, 5}), 2);
    EXPECT_EQ(choose({9, 9, 9, 9, 9}), 0);
    EXPECT_EQ(choose({0, 0, 0, 0, 0}), 0);
}

// The five filtered versions of a raw row, counted the way Auto counts.
int NearZeroCount(int type, const std::vector<uint8_t>& raw, const std::vector<uint8_t>& prev, int bpp) {
    int count = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        const int a = i >= size_t(bpp) ? raw[i - bpp] : 0, b = prev[i], c = i >= size_t(bpp) ? prev[i - bpp] : 0;
        int pred = 0;
        if (type == 1) pred = a;
        else if (type == 2) pred = b;
        else if (type == 3) pred = (a + b) >> 1;
        else if (type == 4) {
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            pred = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
        }
        const int v = (raw[i] - pred) & 255;
        count += v <= 3 || v >= 252;
    }
    return count;
}

TEST(PngEncoder, AutoPicksTheRowWithMostSmallDifferences) {
    const int w = 37, h = 29;
    const ImageBuffer img = Rgb(w, h, Mixed);
    PngEncodeOptions o;
    o.filter = 0;
    const auto file = Encode(img, o);
    const size_t n = 3 * w;
    const auto rows = FilteredData(file, (n + 1) * h);
    std::vector<uint8_t> prev(n, 0);
    int used[5] = {};
    for (int y = 0; y < h; ++y) {
        std::vector<uint8_t> raw(n);
        for (int x = 0; x < w; ++x) {
            const uint32_t c = Mixed(x, y);
            raw[3 * x] = static_cast<uint8_t>(c >> 16);
            raw[3 * x + 1] = static_cast<uint8_t>(c >> 8);
            raw[3 * x + 2] = static_cast<uint8_t>(c);
        }
        int counts[5];
        for (int t = 0; t < 5; ++t) counts[t] = NearZeroCount(t, raw, prev, 3);
        const int chosen = rows[(n + 1) * y];
        ++used[chosen];
        for (int t = 0; t < 5; ++t) EXPECT_LE(counts[t], counts[chosen]) << "row " << y;
        prev = raw;
    }
    EXPECT_GT(used[1] + used[2] + used[3] + used[4], 0);
    ExpectSameColours(file, img);
}

TEST(PngEncoder, FlatPictures) {
    // White: every byte counts as near zero unfiltered, so None wins every row.
    PngEncodeOptions o;
    o.level = 9;
    const ImageBuffer white = Rgb(20, 6, [](int, int) { return 0xFFFFFFu; });
    auto rows = FilteredData(Encode(white, o), 61 * 6);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(rows[61 * y], 0);
    // A mid grey: the first row is best as Sub (Paeth ties with it), the rest as Up.
    const ImageBuffer grey = Rgb(20, 6, [](int, int) { return 0x808080u; });
    rows = FilteredData(Encode(grey, o), 61 * 6);
    EXPECT_EQ(rows[0], 1);
    for (int y = 1; y < 6; ++y) EXPECT_EQ(rows[61 * y], 2);
}

TEST(PngEncoder, EightBitPaletteMergesDuplicates) {
    // Entries 0 and 2 are the same red, 4 repeats 1; entries from 5 on are black.
    const std::vector<uint32_t> pal = {0xFF0000, 0x00FF00, 0xFF0000, 0x0000FF, 0x00FF00};
    const ImageBuffer img = Indexed(7, 3, pal, [](int x, int y) { return (x + y) % 6; });
    PngEncodeOptions o;
    o.depth = 8;
    o.filter = 5;  // a palette is never filtered
    o.interlace = false;
    const auto file = Encode(img, o);
    const auto chunks = ChunksOf(file);
    EXPECT_EQ(ChunkOrder(chunks), "IHDR PLTE IDAT IEND");
    EXPECT_EQ(chunks[0].data, test::IhdrData(7, 3, 8, 3));
    EXPECT_EQ(Find(chunks, "PLTE")->data, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0}));
    const auto rows = FilteredData(file, 8 * 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(rows[8 * y], 0);
        for (int x = 0; x < 7; ++x) {
            static const int kRemap[6] = {0, 1, 0, 2, 1, 3};
            EXPECT_EQ(rows[8 * y + 1 + x], kRemap[(x + y) % 6]);
        }
    }
    ExpectSameColours(file, img);
    o.interlace = true;
    ExpectSameColours(Encode(img, o), img);
}

// A picture of exactly `colours` colours (at most 256), black among them when asked.
ImageBuffer FewColours(int w, int h, int colours, bool withBlack) {
    return Rgb(w, h, [=](int x, int y) {
        const int i = (x * 7 + y * 3) % colours;
        if (withBlack && i == 0) return 0u;
        return static_cast<uint32_t>((i * 37 + 20) << 16 | (i * 91 % 256) << 8 | (255 - i));
    });
}

TEST(PngEncoder, PaletteDepthsRoundTrip) {
    for (const int depth : {1, 2, 4, 8}) {
        // One bit goes through black and white.
        const ImageBuffer img = depth == 1 ? Rgb(19, 7, [](int x, int y) { return (x + y) % 3 ? 0xFFFFFFu : 0u; })
                                           : FewColours(19, 7, depth == 8 ? 150 : 1 << depth, false);
        for (const bool interlace : {false, true}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << " interlace " << interlace);
            PngEncodeOptions o;
            o.depth = depth;
            o.interlace = interlace;
            o.filter = 4;
            const auto file = Encode(img, o);
            const auto chunks = ChunksOf(file);
            EXPECT_EQ(chunks[0].data, test::IhdrData(19, 7, depth, 3, interlace));
            EXPECT_LE(Find(chunks, "PLTE")->data.size(), 3u << depth);
            ExpectSameColours(file, img);
            if (!interlace) {
                // Rows unfiltered, padding bits of the last byte zero.
                const size_t n = (19 * depth + 7) / 8;
                const auto rows = FilteredData(file, (n + 1) * 7);
                for (int y = 0; y < 7; ++y) {
                    EXPECT_EQ(rows[(n + 1) * y], 0);
                    const int used = (19 * depth) % 8;
                    if (used) {
                        EXPECT_EQ(rows[(n + 1) * y + n] & ((1 << (8 - used)) - 1), 0);
                    }
                }
            }
        }
    }
}

TEST(PngEncoder, PaletteMergingAtFourBits) {
    // Five colours, black one of them: the 16 reduced entries hold five distinct colours.
    auto plteEntries = [](const ImageBuffer& img) {
        PngEncodeOptions o;
        o.depth = 4;
        const auto file = Encode(img, o);
        ExpectSameColours(file, img);
        return Find(ChunksOf(file), "PLTE")->data.size() / 3;
    };
    EXPECT_EQ(plteEntries(FewColours(9, 9, 5, true)), 5u);
    // Without black the unused entries (black) add one more.
    EXPECT_EQ(plteEntries(FewColours(9, 9, 5, false)), 6u);
    // At one bit both entries stay even when the picture is all white.
    PngEncodeOptions o;
    o.depth = 1;
    const auto chunks = ChunksOf(Encode(Rgb(4, 4, [](int, int) { return 0xFFFFFFu; }), o));
    EXPECT_EQ(Find(chunks, "PLTE")->data, (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
}

TEST(PngEncoder, GreyRoundTrip) {
    const ImageBuffer img = Rgb(23, 11, Mixed);
    for (const bool interlace : {false, true}) {
        for (int filter = 0; filter <= 5; filter += 5) {
            PngEncodeOptions o;
            o.gray = true;
            o.depth = 4;  // grey is always 8-bit
            o.interlace = interlace;
            o.filter = filter;
            o.transparent = true;
            o.transparentRed = 200;
            o.transparentGreen = 100;
            o.transparentBlue = 50;
            const auto file = Encode(img, o);
            const auto chunks = ChunksOf(file);
            EXPECT_EQ(ChunkOrder(chunks), "IHDR tRNS bKGD IDAT IEND");
            EXPECT_EQ(chunks[0].data, test::IhdrData(23, 11, 8, 0, interlace));
            const uint8_t level = (299 * 200 + 587 * 100 + 114 * 50) / 1000;  // 124
            EXPECT_EQ(Find(chunks, "tRNS")->data, (std::vector<uint8_t>{0, level}));
            EXPECT_EQ(Find(chunks, "bKGD")->data, (std::vector<uint8_t>{0, level}));
            const test::LibpngImage ref = test::ReadWithLibpng(file);
            ASSERT_TRUE(ref.ok);
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 23; ++x) {
                    const uint8_t* p = img.topRow(y) + 3 * x;
                    EXPECT_EQ(ref.Sample(x, y, 0), GreyOfPixel(p[0], p[1], p[2])) << x << "," << y;
                }
        }
    }
}

TEST(PngEncoder, PackedSourcePictures) {
    // 1- and 4-bit pictures (from plug-ins) are written at every depth.
    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(7, 3, 4));
    for (int i = 0; i < 16; ++i)
        four.palette[i] = RgbQuad{static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 8), 40, 0};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) four.topRow(y)[x / 2] |= static_cast<uint8_t>(((x + y * 5) % 16) << (x % 2 ? 0 : 4));
    ImageBuffer one;
    ASSERT_TRUE(one.Allocate(9, 2, 1));
    one.palette[0] = RgbQuad{0, 0, 0, 0};
    one.palette[1] = RgbQuad{255, 255, 255, 0};
    one.topRow(0)[0] = 0xA5;
    one.topRow(1)[1] = 0x80;
    for (const ImageBuffer* img : {&four, &one}) {
        for (const int depth : {24, 8, 4, 1}) {
            if (depth == 1 && img == &four) continue;  // sixteen colours do not fit in two
            SCOPED_TRACE(testing::Message() << img->bitCount() << " bits to " << depth);
            PngEncodeOptions o;
            o.depth = depth;
            ExpectSameColours(Encode(*img, o), *img);
        }
        PngEncodeOptions grey;
        grey.gray = true;
        Encode(*img, grey);
    }
}

TEST(PngEncoder, TransparentColour) {
    const std::vector<uint32_t> pal = {0x102030, 0x405060, 0x708090, 0x405060, 0x112233};
    const ImageBuffer img = Indexed(5, 1, pal, [](int x, int) { return x; });
    PngEncodeOptions o;
    o.depth = 8;
    o.transparent = true;
    // An exact match: entry 1 (merged with 3), tRNS as long as needed.
    o.transparentRed = 0x40;
    o.transparentGreen = 0x50;
    o.transparentBlue = 0x60;
    auto chunks = ChunksOf(Encode(img, o));
    EXPECT_EQ(ChunkOrder(chunks), "IHDR PLTE tRNS bKGD IDAT IEND");
    EXPECT_EQ(Find(chunks, "tRNS")->data, (std::vector<uint8_t>{255, 0}));
    EXPECT_EQ(Find(chunks, "bKGD")->data, (std::vector<uint8_t>{1}));
    // No exact match: the nearest entry, the first of equal distances.
    o.transparentRed = 0x11;
    o.transparentGreen = 0x20;
    o.transparentBlue = 0x32;  // 0x102030 and 0x112233 are both 5 away (squared)
    chunks = ChunksOf(Encode(img, o));
    EXPECT_EQ(Find(chunks, "tRNS")->data, (std::vector<uint8_t>{0}));
    EXPECT_EQ(Find(chunks, "bKGD")->data, (std::vector<uint8_t>{0}));
    o.transparentRed = 0x11;
    o.transparentGreen = 0x22;
    o.transparentBlue = 0x34;
    chunks = ChunksOf(Encode(img, o));
    EXPECT_EQ(Find(chunks, "tRNS")->data, (std::vector<uint8_t>{255, 255, 255, 0}));

    // RGB: both chunks hold the colour as 16-bit values.
    PngEncodeOptions rgb;
    rgb.transparent = true;
    rgb.transparentRed = 1;
    rgb.transparentGreen = 2;
    rgb.transparentBlue = 255;
    const ImageBuffer picture = Rgb(4, 4, Mixed);
    const auto file = Encode(picture, rgb);
    chunks = ChunksOf(file);
    EXPECT_EQ(ChunkOrder(chunks), "IHDR tRNS bKGD IDAT IEND");
    const std::vector<uint8_t> colour = {0, 1, 0, 2, 0, 255};
    EXPECT_EQ(Find(chunks, "tRNS")->data, colour);
    EXPECT_EQ(Find(chunks, "bKGD")->data, colour);
    const test::LibpngImage ref = test::ReadWithLibpng(file);
    ASSERT_TRUE(ref.hasTrns);
    EXPECT_EQ(ref.trns.blue, 255);
}

TEST(PngEncoder, GammaResolutionAndComment) {
    ImageBuffer img = Rgb(3, 2, Mixed);
    PngEncodeOptions o;
    o.gamma = 2200;
    o.xPelsPerMeter = 3780;
    o.yPelsPerMeter = 2835;
    o.comment = "line\r\none\r\n";
    auto chunks = ChunksOf(Encode(img, o));
    EXPECT_EQ(ChunkOrder(chunks), "IHDR gAMA pHYs IDAT tEXt IEND");
    EXPECT_EQ(Find(chunks, "gAMA")->data, (std::vector<uint8_t>{0, 0, 0xB1, 0x8F}));  // 45455
    EXPECT_EQ(Find(chunks, "pHYs")->data, (std::vector<uint8_t>{0, 0, 0x0E, 0xC4, 0, 0, 0x0B, 0x13, 1}));
    const std::string text(Find(chunks, "tEXt")->data.begin(), Find(chunks, "tEXt")->data.end());
    EXPECT_EQ(text, std::string("Comment\0line\none\n", 17));

    o.gamma = 1000000;
    o.yPelsPerMeter = 0;
    o.comment.clear();
    chunks = ChunksOf(Encode(img, o));
    EXPECT_EQ(ChunkOrder(chunks), "IHDR gAMA IDAT IEND");
    EXPECT_EQ(Find(chunks, "gAMA")->data, (std::vector<uint8_t>{0, 0, 0, 100}));
    o.gamma = 0;
    EXPECT_EQ(ChunkOrder(ChunksOf(Encode(img, o))), "IHDR IDAT IEND");

    // From the save settings: the switch decides, a negative value counts as 1.
    SaveRequest req;
    req.simg.gamma = 1;
    req.simg.saveGam = -7;
    req.writeComment = true;
    req.comment = "日本語のコメント";
    img.header.biXPelsPerMeter = 100;
    img.header.biYPelsPerMeter = -5;
    PngEncodeOptions from = PngOptionsFromRequest(req, img);
    EXPECT_EQ(from.gamma, 1);
    EXPECT_EQ(from.yPelsPerMeter, 0);
    EXPECT_EQ(from.comment, "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x52\x83\x81\x83\x93\x83\x67");
    chunks = ChunksOf(Encode(img, from));
    EXPECT_EQ(ChunkOrder(chunks), "IHDR gAMA IDAT tEXt IEND");
    EXPECT_EQ(Find(chunks, "gAMA")->data, (std::vector<uint8_t>{0x05, 0xF5, 0xE1, 0x00}));
    req.simg.gamma = 0;
    req.writeComment = false;
    from = PngOptionsFromRequest(req, img);
    EXPECT_EQ(from.gamma, 0);
    EXPECT_TRUE(from.comment.empty());
}

TEST(PngEncoder, DepthsFromTheSettings) {
    SaveRequest req;
    ImageBuffer img = Rgb(2, 2, Mixed);
    auto depthFor = [&](int depth, int gray) {
        req.simg.depth = depth;
        req.simg.gray = gray;
        const PngEncodeOptions o = PngOptionsFromRequest(req, img);
        return o.gray ? -1 : o.depth;
    };
    EXPECT_EQ(depthFor(24, 0), 24);
    EXPECT_EQ(depthFor(1, 0), 1);
    EXPECT_EQ(depthFor(2, 0), 2);
    EXPECT_EQ(depthFor(3, 0), 4);
    EXPECT_EQ(depthFor(4, 0), 4);
    EXPECT_EQ(depthFor(5, 0), 8);
    EXPECT_EQ(depthFor(7, 0), 8);
    EXPECT_EQ(depthFor(8, 0), 8);
    EXPECT_EQ(depthFor(24, 1), -1);
    req.simg.level = 12;
    EXPECT_EQ(PngOptionsFromRequest(req, img).level, 9);

    // Depths the writer does not know fail with the save error.
    PngEncodeOptions o;
    o.depth = 3;
    Encode(img, o, kCodecSave);
    o.depth = 16;
    Encode(img, o, kCodecSave);
    ImageBuffer empty;
    Encode(empty, PngEncodeOptions{}, kCodecSave);
}

TEST(PngEncoder, TellsWhenDeflating) {
    std::vector<bool> phases;
    PngEncodeOptions o;
    o.compressing = [&](bool on) { phases.push_back(on); };
    Encode(Rgb(2, 2, Mixed), o);
    EXPECT_EQ(phases, (std::vector<bool>{true, false}));
    // A zlib failure (a level it refuses) ends the phase as well.
    phases.clear();
    o.level = -5;
    Encode(Rgb(2, 2, Mixed), o, kCodecZlibWrite);
    EXPECT_EQ(phases, (std::vector<bool>{true, false}));
}

TEST(PngEncoder, ThroughTheSavePath) {
    test::TempDir dir;
    Session s;
    s.picture.image = Rgb(9, 4, Mixed);
    s.settings.simg.format = kSavePng;
    s.settings.simg.interlace = 1;
    std::vector<std::string> titles;
    s.ui.setTitle = [&](const std::string& t) { titles.push_back(t); };
    s.ui.title = [] { return std::string("picture.png - Lumra Ex"); };
    const std::string path = dir.File("out.png");
    ASSERT_TRUE(SavePicture(s, path));
    // The title reads "compress..." while deflating and comes back after.
    const auto at = std::find(titles.begin(), titles.end(), "compress...");
    ASSERT_NE(at, titles.end());
    ASSERT_NE(at + 1, titles.end());
    EXPECT_EQ(at[1], "picture.png - Lumra Ex");
    const auto file = test::ReadFile(path);
    ExpectSameColours(file, s.picture.image);
    EXPECT_EQ(ChunksOf(file)[0].data, test::IhdrData(9, 4, 8, 2, 1));

    DecoderContext ctx;
    const SaveRequest req = MakeSaveRequest(s);
    EXPECT_FALSE(EncodePicture(dir.File("missing/out.png"), s.picture.image, req, ctx));
    EXPECT_EQ(ctx.error, kCodecCreate);
}

}  // namespace
}  // namespace lumra
