// Every file of PngSuite: the broken ones fail with their error, the others decode to the
// colours libpng reads from them after the same reductions (16-bit samples to their high
// byte, gamma, transparency on the background).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/codec_error.h"
#include "formats/png/png_decoder.h"
#include "png_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

const std::string kSuite = std::string(LUMRA_TESTDATA) + "/pngsuite";

std::vector<std::string> SuiteFiles(int colourType) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(kSuite)) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() != ".png") continue;
        const bool broken = name[0] == 'x';
        if (colourType < 0) {
            if (broken) names.push_back(name);
            continue;
        }
        if (broken) continue;
        const auto bytes = test::ReadFile(e.path().string());
        if (bytes.size() > 25 && bytes[25] == colourType) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
    std::string s = info.param.substr(0, info.param.find('.'));
    return s;
}

// ---- the expected colours, straight from the rules ----

int Weighted(int a, int v) {
    if (a == 0 || v == 0) return 0;
    if (a == 255) return v;
    if (v == 255) return a;
    return static_cast<int>((static_cast<uint32_t>(v) * (static_cast<uint32_t>(a) * 65536 / 255) + 32768) >> 16);
}
int Blend(int a, int c, int b) { return Weighted(a, c) + Weighted(255 - a, b); }

struct Rgb {
    int r = 0, g = 0, b = 0;
};
uint32_t Pack(const Rgb& c) { return static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b); }

std::vector<uint32_t> Expected(const test::LibpngImage& ref, const LImgSettings& s) {
    int table[256];
    for (int i = 0; i < 256; ++i) table[i] = i;
    const bool gamma = ref.hasGama && ref.gama > 0 && s.gamma;
    if (gamma) {
        const double e = 1.0 / ((ref.gama / 100000.0) * ((s.dispGam <= 0 ? 1 : s.dispGam) / 1000.0));
        for (int i = 1; i < 256; ++i) table[i] = static_cast<int>(std::pow(i / 255.0, e) * 255.0 + 0.5);
    }
    const int depth = ref.bitDepth;
    const int type = ref.colourType;
    auto to8 = [&](int v) { return depth == 16 ? v >> 8 : v; };
    const int greyStep = depth == 1 ? 255 : depth == 2 ? 85 : depth == 4 ? 17 : 1;
    auto paletteColour = [&](int i) {
        if (i >= static_cast<int>(ref.palette.size())) return Rgb{};
        return Rgb{ref.palette[i][0], ref.palette[i][1], ref.palette[i][2]};
    };

    Rgb bg{s.bgR, s.bgG, s.bgB};
    if (s.fbg && ref.hasBkgd) {
        Rgb b;
        if (type == 0 || type == 4) {
            const int level = depth == 16 ? ref.bkgd.gray >> 8 : (ref.bkgd.gray * greyStep) & 255;
            b = Rgb{level, level, level};
        } else if (type == 3) {
            b = paletteColour(ref.bkgd.index);
        } else {
            b = Rgb{to8(ref.bkgd.red), to8(ref.bkgd.green), to8(ref.bkgd.blue)};
        }
        bg = Rgb{table[b.r], table[b.g], table[b.b]};
    }
    const bool compose = s.alpha && (ref.hasTrns || (type & 4));

    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < ref.height; ++y) {
        for (uint32_t x = 0; x < ref.width; ++x) {
            Rgb c;
            if (type == 0) {
                const int v = ref.Sample(x, y, 0);
                const int index = to8(v);
                const int level = depth < 8 ? v * greyStep : index;
                c = Rgb{table[level], table[level], table[level]};
                if (compose && index == to8(ref.trns.gray) % 256) c = bg;
            } else if (type == 2) {
                const Rgb raw{to8(ref.Sample(x, y, 0)), to8(ref.Sample(x, y, 1)), to8(ref.Sample(x, y, 2))};
                const bool key = compose && raw.r == to8(ref.trns.red) && raw.g == to8(ref.trns.green) &&
                                 raw.b == to8(ref.trns.blue);
                c = key ? bg : Rgb{table[raw.r], table[raw.g], table[raw.b]};
            } else if (type == 3) {
                const int i = ref.Sample(x, y, 0);
                const Rgb p = paletteColour(i);
                c = Rgb{table[p.r], table[p.g], table[p.b]};
                if (compose) {
                    const int a = i < static_cast<int>(ref.paletteAlpha.size()) ? ref.paletteAlpha[i] : 255;
                    c = Rgb{Blend(a, c.r, bg.r), Blend(a, c.g, bg.g), Blend(a, c.b, bg.b)};
                }
            } else if (type == 4) {
                int g = to8(ref.Sample(x, y, 0));
                if (compose) g = Blend(to8(ref.Sample(x, y, 1)), g, bg.r);
                c = Rgb{table[g], table[g], table[g]};
            } else {
                c = Rgb{table[to8(ref.Sample(x, y, 0))], table[to8(ref.Sample(x, y, 1))],
                        table[to8(ref.Sample(x, y, 2))]};
                if (compose) {
                    const int a = to8(ref.Sample(x, y, 3));
                    c = Rgb{Blend(a, c.r, bg.r), Blend(a, c.g, bg.g), Blend(a, c.b, bg.b)};
                }
            }
            out.push_back(Pack(c));
        }
    }
    return out;
}

bool HasTextChunk(const std::vector<uint8_t>& file) {
    size_t at = kPngHeadBytes;
    PngChunk c;
    while (ReadChunkAt(file.data(), file.size(), at, c) == ChunkRead::Ok) {
        if (IsChunkType(c.type, "tEXt")) return true;
        at = c.end;
    }
    return false;
}

struct Variant {
    const char* name;
    LImgSettings limg;
};

std::vector<Variant> Variants() {
    std::vector<Variant> v;
    v.push_back({"defaults", LImgSettings{}});
    LImgSettings s;
    s.gamma = 0;
    v.push_back({"gamma off", s});
    s = LImgSettings{};
    s.alpha = 0;
    v.push_back({"alpha off", s});
    s = LImgSettings{};
    s.fbg = 0;
    s.bgR = 10;
    s.bgG = 200;
    s.bgB = 77;
    v.push_back({"own background", s});
    s = LImgSettings{};
    s.dispGam = 1000;
    s.bgR = 0;
    v.push_back({"display gamma 1.0", s});
    s = LImgSettings{};
    s.dispGam = -5;
    v.push_back({"display gamma below 1", s});
    return v;
}

// The file decodes to libpng's samples under every variant of the display options.
void ExpectLikeLibpng(const std::vector<uint8_t>& file) {
    const test::LibpngImage ref = test::ReadWithLibpng(file);
    ASSERT_TRUE(ref.ok) << ref.error;
    for (const Variant& v : Variants()) {
        SCOPED_TRACE(v.name);
        DecoderContext ctx;
        ctx.load = v.limg;
        ASSERT_TRUE(DecodePng(file.data(), file.size(), ctx)) << "error " << ctx.error;
        const ImageBuffer& img = ctx.image;
        ASSERT_EQ(img.width(), static_cast<int>(ref.width));
        ASSERT_EQ(img.height(), static_cast<int>(ref.height));
        const bool colour = ref.colourType == 2 || ref.colourType == 6;
        EXPECT_EQ(img.bitCount(), colour ? 24 : 8);
        EXPECT_EQ(img.sourceBitDepth, colour ? 3 * ref.bitDepth : ref.bitDepth);
        EXPECT_EQ(img.sourceFormat, kFormatPng);
        EXPECT_EQ(img.fileSize, static_cast<int32_t>(file.size()));
        EXPECT_EQ(ctx.flags.interlaced, ref.interlace == 1);
        EXPECT_EQ(ctx.flags.transparent, ref.hasTrns || (ref.colourType & 4) != 0);
        EXPECT_EQ(ctx.flags.hasText, HasTextChunk(file));
        const bool metres = ref.hasPhys && ref.physUnit == 1;
        EXPECT_EQ(img.header.biXPelsPerMeter, metres ? static_cast<int32_t>(ref.xppm) : 0);
        EXPECT_EQ(img.header.biYPelsPerMeter, metres ? static_cast<int32_t>(ref.yppm) : 0);

        const std::vector<uint32_t> want = Expected(ref, v.limg);
        int wrong = 0;
        for (uint32_t y = 0; y < ref.height && wrong < 5; ++y) {
            for (uint32_t x = 0; x < ref.width && wrong < 5; ++x) {
                const uint32_t got = test::PixelAt(img, static_cast<int>(x), static_cast<int>(y));
                const uint32_t exp = want[size_t{y} * ref.width + x];
                if (got != exp) {
                    ++wrong;
                    ADD_FAILURE() << "pixel " << x << "," << y << ": got " << std::hex << got << " want " << exp;
                }
            }
        }
    }
}

class PngSuite : public testing::TestWithParam<std::string> {};

TEST_P(PngSuite, DecodesLikeLibpng) { ExpectLikeLibpng(test::ReadFile(kSuite + "/" + GetParam())); }

// Any bytes are valid filtered rows: random ones under every filter type, for the pixel
// layouts with bytes of their own, decode as libpng reads them.
TEST(PngFilters, RandomRowsOfEveryFilterDecodeLikeLibpng) {
    struct Layout {
        int colourType, depth, bytesPerPixel;
    };
    std::mt19937 random(7);
    for (const Layout l : {Layout{6, 8, 4}, Layout{4, 8, 2}, Layout{2, 16, 6}, Layout{2, 8, 3}, Layout{6, 16, 8},
                           Layout{0, 8, 1}, Layout{0, 16, 2}, Layout{4, 16, 4}}) {
        for (const uint32_t width : {1u, 5u, 40u}) {
            SCOPED_TRACE(std::to_string(l.colourType) + "/" + std::to_string(l.depth) + " w" + std::to_string(width));
            std::vector<uint8_t> rows;
            for (uint32_t y = 0; y < 30; ++y) {
                rows.push_back(static_cast<uint8_t>(y < 10 ? y % 5 : random() % 5));
                for (uint32_t i = 0; i < width * static_cast<uint32_t>(l.bytesPerPixel); ++i)
                    rows.push_back(static_cast<uint8_t>(random()));
            }
            test::PngFile f;
            f.Ihdr(width, 30, l.depth, l.colourType).Idat(rows).Iend();
            ExpectLikeLibpng(f.bytes);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Grey, PngSuite, testing::ValuesIn(SuiteFiles(0)), TestName);
INSTANTIATE_TEST_SUITE_P(Rgb, PngSuite, testing::ValuesIn(SuiteFiles(2)), TestName);
INSTANTIATE_TEST_SUITE_P(Palette, PngSuite, testing::ValuesIn(SuiteFiles(3)), TestName);
INSTANTIATE_TEST_SUITE_P(GreyAlpha, PngSuite, testing::ValuesIn(SuiteFiles(4)), TestName);
INSTANTIATE_TEST_SUITE_P(Rgba, PngSuite, testing::ValuesIn(SuiteFiles(6)), TestName);

class PngSuiteBroken : public testing::TestWithParam<std::string> {};

TEST_P(PngSuiteBroken, FailsWithItsError) {
    static const std::map<std::string, int> kExpected = {
        {"xc1n0g08.png", kCodecIhdrColorType}, {"xc9n2c08.png", kCodecIhdrColorType},
        {"xcrn0g04.png", kCodecBadInfo},       {"xcsn0g01.png", kCodecCrc},
        {"xd0n2c08.png", kCodecIhdrBitDepth},  {"xd3n2c08.png", kCodecIhdrBitDepth},
        {"xd9n2c08.png", kCodecIhdrBitDepth},  {"xdtn0g01.png", kCodecCriticalChunk},
        {"xhdn0g08.png", kCodecCrc},           {"xlfn0g04.png", kCodecBadInfo},
        {"xs1n0g01.png", kCodecBadInfo},       {"xs2n0g01.png", kCodecBadInfo},
        {"xs4n0g01.png", kCodecBadInfo},       {"xs7n0g01.png", kCodecBadInfo},
    };
    const auto it = kExpected.find(GetParam());
    ASSERT_NE(it, kExpected.end()) << "no expectation for " << GetParam();
    const auto file = test::ReadFile(kSuite + "/" + GetParam());
    DecoderContext ctx;
    EXPECT_FALSE(DecodePng(file.data(), file.size(), ctx));
    EXPECT_EQ(ctx.error, it->second);
    EXPECT_TRUE(ctx.image.empty());
    // libpng refuses them as well.
    EXPECT_FALSE(test::ReadWithLibpng(file).ok);
}

INSTANTIATE_TEST_SUITE_P(Broken, PngSuiteBroken, testing::ValuesIn(SuiteFiles(-1)), TestName);

}  // namespace
}  // namespace lumra
