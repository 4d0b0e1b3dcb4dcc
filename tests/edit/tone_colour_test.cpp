#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "edit/colour/colour_kernels.h"
#include "edit/colour/hls.h"
#include "edit/edit_model.h"
#include "edit/tone/tone_kernels.h"
#include "edit/tone/tone_tables.h"
#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

using Bgr = std::array<int, 3>;

// A one-row picture (24-bit, or 8-bit with pixel i = palette entry i) in a session.
struct ToneFixture {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    Session s;
    EditModel model;
    std::vector<int> errors;

    explicit ToneFixture(const std::vector<Bgr>& pixels, int bits = 24) {
        s.ui.showError = [this](int code) { errors.push_back(code); };
        const int w = static_cast<int>(pixels.size());
        EXPECT_TRUE(s.picture.image.Allocate(w, 1, bits));
        for (int x = 0; x < w; ++x) {
            const Bgr& p = pixels[static_cast<size_t>(x)];
            if (bits == 8) {
                s.picture.image.bits()[x] = static_cast<uint8_t>(x);
                s.picture.image.palette[static_cast<size_t>(x)] =
                    RgbQuad{static_cast<uint8_t>(p[0]), static_cast<uint8_t>(p[1]),
                            static_cast<uint8_t>(p[2]), 7};
            } else {
                for (int c = 0; c < 3; ++c)
                    s.picture.image.bits()[3 * x + c] =
                        static_cast<uint8_t>(p[static_cast<size_t>(c)]);
            }
        }
    }
    // One operation with its `lumra edit` arguments, committed with OK.
    bool Run(const std::string& name, const std::string& args) {
        const OperationDef* def = FindOperationByCliName(name);
        EXPECT_TRUE(def && BeginOperation(model, s, *def)) << name;
        std::string error;
        const bool parsed = def->parseArgs(args, *model.active->preview, error);
        if (parsed) RequestRecompute(model);
        EndOperation(model, s, parsed);
        return parsed;
    }
    int Immediate(const char* name) { return FindImmediateByCliName(name)->apply(s); }
    Bgr At(int x) const {
        const ImageBuffer& img = s.picture.image;
        if (img.bitCount() == 8) {
            const RgbQuad& q = img.palette[img.bits()[x]];
            return {q.blue, q.green, q.red};
        }
        const uint8_t* p = img.bits() + 3 * x;
        return {p[0], p[1], p[2]};
    }
};

TEST(ToneTables, GammaRows) {
    const GammaTable& g = GetGammaTable();
    for (int v : {0, 1, 2})
        for (int j = 0; j < 256; ++j) ASSERT_EQ(g.Row(v)[j], j) << v;
    EXPECT_GT(g.Row(3)[128], 128);
    EXPECT_LT(g.Row(-1)[128], 128);
    // 85 degrees: exponent 1 / tan 85 = 0.0875.
    EXPECT_EQ(g.Row(100)[1], 157);
    EXPECT_EQ(g.Row(100)[128], 240);
    for (int v = -100; v <= 100; ++v) EXPECT_EQ(g.Row(v)[255], 255);
}

TEST(ToneTables, DivisionRows) {
    const DivisionTable& d = GetDivisionTable();
    for (int j = -254; j <= 255; ++j) ASSERT_EQ(d.At(255, j), std::max(j, 0));
    const struct {
        int span, j, value;
    } cases[] = {{100, -5, 0},    {100, 0, 0},   {100, 50, 127}, {100, 100, 254},
                 {100, 101, 255}, {10, 10, 255}, {1, 1, 255}};
    for (const auto& c : cases) EXPECT_EQ(d.At(c.span, c.j), c.value) << c.span << "," << c.j;
}

TEST(ToneTables, ContrastAroundTheMean) {
    ContrastTable t;
    BuildContrastTable(128, t);
    const struct {
        int v, x, value;
    } cases[] = {{100, 160, 255}, {100, 128, 128},  {100, 130, 136},
                 {-100, 0, 100},  {-100, 255, 155}, {0, 77, 77}};
    for (const auto& c : cases) EXPECT_EQ(t.Row(c.v)[c.x], c.value) << c.v << "," << c.x;
    // Values far past the shared clamp table's -255..510 still clamp.
    BuildContrastTable(255, t);
    EXPECT_EQ(t.Row(100)[0], 0);  // -797
    EXPECT_EQ(t.Row(100)[254], 250);
    BuildContrastTable(0, t);
    EXPECT_EQ(t.Row(100)[255], 255);  // 1052
}

TEST(ToneTables, MeanLuminanceOfALargePictureIsSummedIn64Bits) {
    ImageBuffer img;
    ASSERT_TRUE(img.Allocate(3000, 3000, 24));
    std::fill_n(img.bits(), img.imageBytes(), uint8_t{255});
    // Per row 87407 + 448989 + 228603; times 3000 rows overflows 32 bits.
    EXPECT_EQ(MeanLuminance(img), 254);
}

TEST(Tone, BrightnessExtremesAndGammaIdentity) {
    const std::vector<Bgr> px = {{0, 100, 255}, {1, 254, 128}};
    ToneFixture up(px), down(px), same(px);
    EXPECT_TRUE(up.Run("brightness", "255"));
    EXPECT_TRUE(down.Run("brightness", "-255"));
    for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(up.At(x), (Bgr{255, 255, 255}));
        EXPECT_EQ(down.At(x), (Bgr{0, 0, 0}));
    }
    // Gamma 1 is the identity curve but not neutral: one entry.
    EXPECT_TRUE(same.Run("gamma", "1,2,0"));
    EXPECT_EQ(same.s.history.entries, 2);
    EXPECT_EQ(same.At(1), px[1]);
}

TEST(Tone, NeutralValuesCommitNothing) {
    const struct {
        const char* op;
        const char* args;
    } cases[] = {{"gamma", "0"},
                 {"brightness", "0,0,0"},
                 {"contrast", "0"},
                 {"levels", "RGB,0,255"},
                 {"levels", "B,100,200,RGB,0,255"},
                 {"hls", "0,0,0,10,20,30,40"},
                 {"replace", "1,2,3,4,5,6,7,0"}};
    for (const auto& c : cases) {
        ToneFixture f({{10, 20, 30}});
        f.s.picture.selection = {128};
        EXPECT_TRUE(f.Run(c.op, c.args));
        EXPECT_EQ(f.s.history.entries, 0) << c.op << "=" << c.args;
        EXPECT_EQ(f.At(0), (Bgr{10, 20, 30}));
    }
}

TEST(Tone, ChannelValuesGoToTheirBytes) {
    ToneFixture f({{10, 20, 30}});
    EXPECT_TRUE(f.Run("brightness", "1,2,3"));  // R, G, B
    EXPECT_EQ(f.At(0), (Bgr{13, 22, 31}));
}

TEST(Tone, LevelsPerChannelAndRgb) {
    const std::vector<Bgr> px = {{100, 77, 77}, {150, 77, 77}, {200, 77, 77}, {201, 77, 77}};
    ToneFixture b(px), rgb(px), p8(px, 8);
    EXPECT_TRUE(b.Run("levels", "B,100,200"));
    EXPECT_TRUE(p8.Run("levels", "B,100,200"));
    const int expect[] = {0, 127, 254, 255};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(b.At(x), (Bgr{expect[x], 77, 77}));
        EXPECT_EQ(p8.At(x), (Bgr{expect[x], 77, 77}));
        EXPECT_EQ(p8.s.picture.image.palette[static_cast<size_t>(x)].reserved, 7);
    }
    EXPECT_EQ(p8.s.picture.image.bitCount(), 8);
    // The RGB pair replaces the per-channel pairs while RGB is selected.
    EXPECT_TRUE(rgb.Run("levels", "B,0,10,RGB,77,78"));
    EXPECT_EQ(rgb.At(0), (Bgr{255, 0, 0}));
}

TEST(Tone, AutoLevelsCountsTheSelectionAndReplacesThePair) {
    std::vector<Bgr> px(100, Bgr{0, 0, 0});
    px[10] = {50, 0, 0};
    px[20] = {60, 0, 0};
    ToneFixture f(px);
    f.s.picture.selection.assign(100, 255);
    f.s.picture.selection[10] = f.s.picture.selection[20] = 0;
    // Threshold (2 x 3) >> 8 = 0: the pair 50, 60, not clamped against the old 0, 10.
    EXPECT_TRUE(f.Run("levels", "B,0,10,B,auto"));
    EXPECT_EQ(f.At(10)[0], 0);
    EXPECT_EQ(f.At(20)[0], 255);
    EXPECT_EQ(f.At(0)[0], 0);
    // One value only: the pair keeps minimum below maximum.
    LevelsHistogram h;
    h.hist[3][255] = 30;
    h.counted = 10;
    EXPECT_EQ(AutoLevels(h, 3).lo, 254);
    EXPECT_EQ(AutoLevels(h, 3).hi, 255);
}

TEST(Tone, MaskRuleAndOutOfRangePixels) {
    const BlendTable& t = GetBlendTable();
    ToneFixture gamma({{191, 191, 191}, {191, 0, 0}, {100, 100, 100}});
    gamma.s.picture.selection = {2, 255, 0};
    EXPECT_TRUE(gamma.Run("brightness", "50"));
    const int blended = t.entry[2][191] + t.entry[253][241];
    EXPECT_EQ(gamma.At(0), (Bgr{blended, blended, blended}));
    EXPECT_EQ(gamma.At(1), (Bgr{191, 0, 0}));
    EXPECT_EQ(gamma.At(2), (Bgr{150, 150, 150}));
    // A pixel outside the colour range is copied, not blended with itself (which would give 190).
    ToneFixture replace({{191, 191, 191}});
    replace.s.picture.selection = {2};
    EXPECT_TRUE(replace.Run("replace", "0,0,0,0,255,255,255,255"));
    EXPECT_EQ(replace.At(0), (Bgr{191, 191, 191}));
    ToneFixture identity({{191, 191, 191}});
    identity.s.picture.selection = {2};
    EXPECT_TRUE(identity.Run("gamma", "1"));
    EXPECT_EQ(identity.At(0), (Bgr{190, 190, 190}));
}

TEST(Tone, InvertTwiceAndPalette) {
    ToneFixture f({{0, 100, 255}}), p8({{0, 100, 255}}, 8);
    EXPECT_EQ(f.Immediate("invert"), 0);
    EXPECT_EQ(f.At(0), (Bgr{255, 155, 0}));
    EXPECT_EQ(f.Immediate("invert"), 0);
    EXPECT_EQ(f.At(0), (Bgr{0, 100, 255}));
    EXPECT_EQ(f.s.history.entries, 3);
    EXPECT_EQ(p8.Immediate("invert"), 0);
    EXPECT_EQ(p8.s.picture.image.bitCount(), 8);
    EXPECT_EQ(p8.At(0), (Bgr{255, 155, 0}));
    EXPECT_EQ(p8.s.picture.image.palette[0].reserved, 7);
    EXPECT_EQ(p8.s.picture.image.palette[1], (RgbQuad{255, 255, 255, 0}));
}

TEST(Tone, Equalize) {
    // Luminances 0, 0, 100, 200: map 0, 127, 255; offsets 0, 13, 27.
    const std::vector<Bgr> px = {{0, 0, 0}, {0, 0, 0}, {100, 100, 100}, {200, 200, 200}};
    for (int bits : {24, 8}) {
        ToneFixture f(px, bits);
        EXPECT_EQ(f.Immediate("equalize"), 0);
        EXPECT_EQ(f.s.picture.image.bitCount(), 24);
        EXPECT_EQ(f.At(2), (Bgr{113, 113, 113}));
        EXPECT_EQ(f.At(3), (Bgr{227, 227, 227}));
        EXPECT_EQ(f.s.history.entries, 2);
    }
    // One luminance: 0 / 0, nothing changes.
    ToneFixture flat({{5, 6, 7}, {5, 6, 7}}, 8);
    EXPECT_EQ(flat.Immediate("equalize"), 0);
    EXPECT_EQ(flat.s.picture.image.bitCount(), 8);
    EXPECT_EQ(flat.s.history.entries, 0);
}

TEST(Tone, ImmediatesNeedAnIdleEditor) {
    ToneFixture f({{1, 2, 3}});
    f.s.operationState = kOpGamma;
    EXPECT_NE(f.Immediate("invert"), 0);
    EXPECT_NE(f.Immediate("equalize"), 0);
    EXPECT_EQ(f.At(0), (Bgr{1, 2, 3}));
}

TEST(Colour, HlsAdjustStaysInRangeAndNearIdentity) {
    const HlsTables& t = GetHlsTables();
    const int offsets[][3] = {
        {0, 0, 0}, {180, 255, 255}, {-180, -255, -255}, {97, -30, 200}, {-1, 255, -255}};
    for (int b = 0; b < 256; b += 5)
        for (int g = 0; g < 256; g += 3)
            for (int r = 0; r < 256; r += 7)
                for (const auto& o : offsets) {
                    int nb = b, ng = g, nr = r;
                    HlsAdjust(t, nb, ng, nr, o[0], o[1], o[2]);
                    ASSERT_TRUE(nb >= 0 && nb <= 255 && ng >= 0 && ng <= 255 && nr >= 0 &&
                                nr <= 255);
                    if (o[0] == 0 && o[1] == 0 && o[2] == 0) {
                        ASSERT_LE(std::abs(nb - b) + std::abs(ng - g) + std::abs(nr - r), 9)
                            << b << "," << g << "," << r;
                    }
                }
}

TEST(Colour, HueSaturationCases) {
    // Red: lightness 127, saturation 255, top value 254: hue +120 gives (0, 254, 0).
    for (int bits : {24, 8}) {
        ToneFixture f({{0, 0, 255}, {128, 128, 128}}, bits);
        EXPECT_TRUE(f.Run("hls", "120,0,0"));
        EXPECT_EQ(f.At(0), (Bgr{0, 254, 0})) << bits;
        EXPECT_EQ(f.s.picture.image.bitCount(), bits);
    }
    ToneFixture grey({{128, 128, 128}, {10, 20, 200}});
    EXPECT_TRUE(grey.Run("hls", "0,0,100"));
    EXPECT_EQ(grey.At(0), (Bgr{78, 78, 178}));
    ToneFixture flat({{10, 20, 200}});
    EXPECT_TRUE(flat.Run("hls", "0,0,-255"));
    EXPECT_EQ(flat.At(0), (Bgr{105, 105, 105}));
    // With a colour range: only colours near (R 255, G 0, B 0) change, weighted.
    ToneFixture ranged({{0, 0, 255}, {0, 255, 0}});
    EXPECT_TRUE(ranged.Run("hls", "120,0,0,255,0,0,0"));
    EXPECT_EQ(ranged.At(0), (Bgr{0, 254, 0}));
    EXPECT_EQ(ranged.At(1), (Bgr{0, 255, 0}));
}

TEST(Colour, ReplaceCases) {
    // Range 0: only the exact colour, at strength 255 exactly the target.
    ToneFixture f({{30, 20, 10}, {31, 20, 10}}), p8({{30, 20, 10}, {31, 20, 10}}, 8);
    for (ToneFixture* x : {&f, &p8}) {
        EXPECT_TRUE(x->Run("replace", "10,20,30,0,200,100,50,255"));
        EXPECT_EQ(x->At(0), (Bgr{50, 100, 200}));
        EXPECT_EQ(x->At(1), (Bgr{31, 20, 10}));
    }
    // Range 1, threshold 3: squared distance 4 is untouched, 1 gets weight 170.
    ToneFixture edge({{0, 0, 2}, {0, 0, 1}});
    EXPECT_TRUE(edge.Run("replace", "0,0,0,1,255,255,255,255"));
    EXPECT_EQ(edge.At(0), (Bgr{0, 0, 2}));
    EXPECT_EQ(edge.At(1), (Bgr{170, 170, 170}));
    ColourRange r(1);
    EXPECT_EQ(r.Weight(0, 0, 1, 0, 0, 0), 170);
    EXPECT_EQ(r.Weight(1, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(r.Weight(0, 0, 2, 0, 0, 0), -1);
}

TEST(Tone, HistogramsAndHeights) {
    ImageBuffer img;
    ASSERT_TRUE(img.Allocate(3, 1, 24));
    const uint8_t px[] = {0, 0, 0, 100, 100, 100, 200, 200, 200};
    std::copy_n(px, 9, img.bits());
    const std::array<uint64_t, 256> lum = LuminanceHistogram(img);
    EXPECT_EQ(lum[0] + lum[100] + lum[200], 3u);
    const uint8_t mask[] = {0, 255, 0};
    const LevelsHistogram h = CountLevelsHistogram(img, mask);
    EXPECT_EQ(h.counted, 2u);
    EXPECT_EQ(h.hist[3][200], 3u);
    EXPECT_EQ(h.hist[0][100], 0u);
    EXPECT_EQ(HistogramScale(&h.hist[3], 1), 3u);  // bin 0 left out
    EXPECT_EQ(HistogramHeight(3, 3, 99), 0);
    EXPECT_EQ(HistogramHeight(0, 3, 99), 99);
    EXPECT_EQ(HistogramHeight(6, 3, 99), -99);
    const struct {
        int x, target;
    } hover[] = {{-3, 0}, {-2, 1}, {2, 1}, {3, 0}, {7, 0}, {8, 2}, {12, 2}, {13, 0}};
    for (const auto& c : hover) EXPECT_EQ(HistogramHoverTarget(c.x, {0, 10}), c.target) << c.x;
    EXPECT_EQ(HistogramHoverTarget(3, {2, 4}), 1);
    EXPECT_EQ(LevelsMinimumBox(-5, 200), 0);
    EXPECT_EQ(LevelsMinimumBox(250, 200), 199);
    EXPECT_EQ(LevelsMaximumBox(50, 60), 61);
    EXPECT_EQ(LevelsMaximumBox(300, 60), 255);
}

TEST(Tone, RowBandsGiveTheRowByRowResult) {
    ImageBuffer src, whole, rows;
    ASSERT_TRUE(src.Allocate(1000, 600, 24) && whole.Allocate(1000, 600, 24) &&
                rows.Allocate(1000, 600, 24));
    std::vector<uint8_t> mask(1000 * 600);
    uint32_t seed = 1;
    for (size_t i = 0; i < src.imageBytes(); ++i)
        src.bits()[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    for (uint8_t& m : mask) m = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    auto job = [&](ImageBuffer& dst, int y, int h) {
        PixelJob j;
        j.width = 1000;
        j.height = h;
        j.bitCount = 24;
        j.stride = static_cast<int32_t>(src.stride());
        j.src = src.storedRow(y);
        j.dst = dst.storedRow(y);
        j.mask = mask.data() + static_cast<size_t>(y) * 1000;
        j.blend = &GetBlendTable();
        return j;
    };
    const uint8_t* map = GetGammaTable().Row(-40);
    const ColourRange range(60);
    const std::function<void(const PixelJob&)> kernels[] = {
        [&](const PixelJob& j) { ApplyChannelMaps(j, map, map, map); },
        [&](const PixelJob& j) { HueSaturation(j, 50, -20, 70); },
        [&](const PixelJob& j) {
            ReplaceColour(j, 200, Rgb{128, 128, 128}, Rgb{255, 0, 0}, range);
        },
    };
    for (const auto& k : kernels) {
        k(job(whole, 0, 600));
        for (int y = 0; y < 600; ++y) k(job(rows, y, 1));
        ASSERT_EQ(std::memcmp(whole.bits(), rows.bits(), whole.imageBytes()), 0);
    }
}

}  // namespace
}  // namespace lumra
