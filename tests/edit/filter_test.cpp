#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/filter/filter_kernels.h"
#include "edit/filter/filter_ops.h"
#include "shell/session.h"

namespace lumra {
namespace {

// A w x h grey 24-bit picture, values given from the top row down; one value fills it.
ImageBuffer Grey(int w, int h, std::vector<int> top) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    if (top.size() == 1) top.assign(static_cast<size_t>(w * h), top[0]);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                img.topRow(y)[3 * x + c] = static_cast<uint8_t>(top[y * w + x]);
    return img;
}

int At(const ImageBuffer& img, int x, int y, int c = 0) {
    return img.topRow(y)[3 * x + c];
}

struct Kernel {
    ImageBuffer src, dst;
    std::vector<uint8_t> aux, mask;
    FilterJob job;
    explicit Kernel(ImageBuffer s, std::vector<uint8_t> m = {})
        : src(std::move(s)), mask(std::move(m)) {
        dst = src.Clone();
        aux.resize(src.imageBytes());
        job = MakeFilterJob(src.width(), src.height(), src.bits(), dst.bits(),
                            mask.empty() ? nullptr : mask.data());
        job.auxiliary = aux.data();
    }
};

TEST(FilterKernels, DivisionTables) {
    const FilterTables& t = GetFilterTables();
    for (int i = 0; i < 2296; ++i) EXPECT_EQ(t.div9[static_cast<size_t>(i)], (2 * i + 9) / 18) << i;
    // i / 25 rounded for small sums, one lower from about 2988 on.
    EXPECT_EQ(t.div25[900], 36);
    EXPECT_EQ(t.div25[2987], 119);
    EXPECT_EQ(t.div25[2988], 119);
    EXPECT_EQ(t.div25[6375], 255);
}

TEST(FilterKernels, BoxBlurClampsEdgesAndCorners) {
    // One bright corner pixel: the corner counts itself 4 (3x3) or 9 (5x5) times.
    Kernel r3(
        Grey(5, 5, {90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    BoxBlur3(r3.job, 255);
    EXPECT_EQ(At(r3.dst, 0, 0), 40);
    EXPECT_EQ(At(r3.dst, 1, 0), 20);
    EXPECT_EQ(At(r3.dst, 0, 1), 20);
    EXPECT_EQ(At(r3.dst, 1, 1), 10);
    EXPECT_EQ(At(r3.dst, 2, 2), 0);
    // Level 10 (strength 250) keeps 5/255 of the source.
    BoxBlur3(r3.job, 250);
    EXPECT_EQ(At(r3.dst, 0, 0), 41);
    Kernel r5(
        Grey(5, 5, {100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    BoxBlur5(r5.job, 255);
    EXPECT_EQ(At(r5.dst, 0, 0), 36);
    EXPECT_EQ(At(r5.dst, 2, 0), 12);  // 300 / 25
    EXPECT_EQ(At(r5.dst, 1, 1), 16);  // the corner counted 4 times
}

TEST(FilterKernels, GaussianRenormalisesEdgesAndDriftsInside) {
    // 5 x 5: the radius is limited to 2 (W = 56, 250, 411, 250, 56; shift 10).
    Kernel r(Grey(5, 5, {200}));
    std::vector<uint8_t> mid(r.src.imageBytes());
    GaussianBlur(r.job, mid.data(), 20);
    EXPECT_EQ(r.job.weights[20], 411);
    EXPECT_EQ(r.job.weights[22], 56);
    EXPECT_EQ(r.job.weights[23], 0);
    EXPECT_EQ(At(r.dst, 0, 0), 200);
    EXPECT_EQ(At(r.dst, 2, 0), 199);
    EXPECT_EQ(At(r.dst, 0, 2), 199);
    EXPECT_EQ(At(r.dst, 2, 2), 198);
    // Radius 0 reproduces the source.
    Kernel r0(Grey(6, 5, {1,  50, 200, 255, 7,  90, 3,  4,  5,  6,  7,  8,  9,  10, 11,
                          12, 13, 14,  15,  16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26}));
    mid.resize(r0.src.imageBytes());
    GaussianBlur(r0.job, mid.data(), 0);
    EXPECT_EQ(std::vector<uint8_t>(r0.dst.bits(), r0.dst.bits() + r0.dst.imageBytes()),
              std::vector<uint8_t>(r0.src.bits(), r0.src.bits() + r0.src.imageBytes()));
    // Radius 20 on a picture large enough.
    Kernel big(Grey(41, 41, {0}));
    std::vector<uint8_t> bigMid(big.src.imageBytes());
    GaussianBlur(big.job, bigMid.data(), 25);
    EXPECT_EQ(big.job.weights[20], 340);
    EXPECT_GT(big.job.weights[0], 0);
}

TEST(FilterKernels, UnsharpThresholdGainAndClamp) {
    // A centre pixel 10 above or below a flat 100: the 5x5 blur stays 100, d = +-10.
    const struct {
        int centre, level, range, expect;
    } cases[] = {
        {110, 8, 29, 120},   // the full difference once
        {110, 8, 30, 110},   // 3 x 10 within the threshold: unchanged
        {110, 9, 0, 121},    // 90 >> 3
        {90, 9, 0, 78},      // -90 >> 3 = -12 (arithmetic shift)
        {90, 100, 0, 0},     // clamped at 0
        {110, 100, 0, 235},  // 110 + 125
        {110, 0, 0, 110},    // level 0
    };
    for (const auto& c : cases) {
        std::vector<int> px(25, 100);
        px[12] = c.centre;
        Kernel r(Grey(5, 5, px));
        BoxBlur5(r.job, 255);
        UnsharpDifference(r.job);
        UnsharpApply(r.job, c.level, c.range);
        EXPECT_EQ(At(r.dst, 2, 2), c.expect) << c.centre << " " << c.level << " " << c.range;
        EXPECT_EQ(At(r.dst, 0, 0), 100);
    }
}

TEST(FilterKernels, NoiseRemovalPicksTheMedianInOrder) {
    // An isolated bright pixel on a flat ground takes a neighbour's colour; level 0 keeps it.
    for (const int level : {255, 0}) {
        std::vector<int> px(25, 50);
        px[12] = 250;
        px[0] = 250;  // a bright corner: 3 neighbours, 4 candidates
        Kernel r(Grey(5, 5, px));
        NoiseRemoval(r.job, level);
        EXPECT_EQ(At(r.dst, 2, 2), level ? 50 : 250);
        EXPECT_EQ(At(r.dst, 0, 0), level ? 50 : 250);
    }
    // Neighbours of equal luminance but two colours: the discard-then-pick order ends on the
    // neighbour below on the right (screen).
    ImageBuffer img = Grey(5, 5, {0});
    auto set = [&](int x, int y, int b, int g, int rr) {
        uint8_t* p = img.topRow(y) + 3 * x;
        p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g),
        p[2] = static_cast<uint8_t>(rr);
    };
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x) set(x, y, 0, 6, 0);  // luma 3
    set(3, 3, 0, 0, 10);                                  // luma 3, another colour
    set(2, 2, 255, 255, 255);
    Kernel r(std::move(img));
    NoiseRemoval(r.job, 255);
    EXPECT_EQ(At(r.dst, 2, 2, 2), 10);
    EXPECT_EQ(At(r.dst, 2, 2, 1), 0);
}

TEST(FilterKernels, MaskKeepsAndBlends) {
    // Mask 255 is bit-identical to the source in every kernel; 0 equals no mask.
    std::vector<int> px(36);
    for (int i = 0; i < 36; ++i) px[static_cast<size_t>(i)] = (i * 97) % 256;
    for (int kernel = 0; kernel < 6; ++kernel) {
        std::vector<uint8_t> mask(36, 0);
        mask[7] = 255;
        mask[20] = 128;
        Kernel masked(Grey(6, 6, px), mask);
        Kernel plain(Grey(6, 6, px));
        for (Kernel* r : {&masked, &plain}) {
            std::vector<uint8_t> mid(r->src.imageBytes());
            switch (kernel) {
                case 0:
                    BoxBlur3(r->job, 250);
                    break;
                case 1:
                    BoxBlur5(r->job, 250);
                    break;
                case 2:
                    GaussianBlur(r->job, mid.data(), 2);
                    break;
                case 3:
                    BoxBlur5(r->job, 255);
                    UnsharpDifference(r->job);
                    UnsharpApply(r->job, 50, 0);
                    break;
                case 4:
                    SoftFocusBlend(r->job, 150, r->src.bits() + 0);
                    break;
                default:
                    NoiseRemoval(r->job, 255);
                    break;
            }
        }
        const int x = 7 % 6, y = 5 - 7 / 6;  // mask index 7 (bottom-up rows)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(At(masked.dst, x, y, c), At(masked.src, x, y, c)) << kernel;
        const int zx = 0, zy = 5;  // mask index 0: full effect
        if (kernel != 3) {
            EXPECT_EQ(At(masked.dst, zx, zy), At(plain.dst, zx, zy)) << kernel;
        }
        // The partial pixel lies between source and filtered value.
        const int px20 = At(masked.dst, 20 % 6, 5 - 20 / 6), s = At(masked.src, 20 % 6, 5 - 20 / 6),
                  f = At(plain.dst, 20 % 6, 5 - 20 / 6);
        if (kernel != 2 && kernel != 3) {
            EXPECT_LE(std::abs(px20 - (s + f) / 2), 1 + std::abs(s - f) / 2) << kernel;
        }
    }
}

TEST(FilterKernels, BandsOfRowsGiveTheSameResult) {
    // One band against four, with a partial mask, in every kernel.
    const int w = 37, h = 300;
    std::vector<int> px(static_cast<size_t>(w * h));
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<int>((i * 2654435761u) >> 24);
    std::vector<uint8_t> mask(px.size());
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(i % 3 ? (i * 7) % 256 : 0);
    for (int kernel = 0; kernel < 6; ++kernel) {
        std::vector<uint8_t> result[2];
        for (int pass = 0; pass < 2; ++pass) {
            Kernel r(Grey(w, h, px), mask);
            r.job.threads = pass ? 4 : 1;
            std::vector<uint8_t> mid(r.src.imageBytes());
            switch (kernel) {
                case 0: BoxBlur3(r.job, 200); break;
                case 1: BoxBlur5(r.job, 200); break;
                case 2: GaussianBlur(r.job, mid.data(), 20); break;
                case 3:
                    BoxBlur5(r.job, 255);
                    UnsharpDifference(r.job);
                    UnsharpApply(r.job, 60, 5);
                    break;
                case 4: SoftFocusBlend(r.job, 120, mid.data()); break;
                default: NoiseRemoval(r.job, 230); break;
            }
            result[pass].assign(r.dst.bits(), r.dst.bits() + r.dst.imageBytes());
        }
        EXPECT_EQ(result[0], result[1]) << kernel;
    }
}

struct FilterSession {
    Session s;
    EditModel model;
    std::vector<int> errors;
    explicit FilterSession(ImageBuffer img) {
        s.ui.showError = [this](int code) { errors.push_back(code); };
        s.picture.image = std::move(img);
    }
    bool Run(const char* name, const std::string& args) {
        const OperationDef* def = FindOperationByCliName(name);
        if (!def || !BeginOperation(model, s, *def)) return false;
        std::string error;
        EXPECT_TRUE(def->parseArgs(args, *model.active->preview, error)) << error;
        RequestRecompute(model);
        return EndOperation(model, s, true).changed;
    }
};

TEST(FilterOps, FiveByFiveMinimumAndNeutralLevels) {
    const struct {
        int w, h;
        const char* op;
        const char* args;
        bool changed;
        bool refused;
    } cases[] = {
        {4, 100, "blur", "0,0", false, true}, {100, 4, "denoise", "0", false, true},
        {5, 5, "blur", "2,20", true, false},  {5, 5, "blur", "1,0", false, false},
        {5, 5, "usm", "0,50", false, false},  {5, 5, "softfocus", "0", false, false},
        {5, 5, "denoise", "0", false, false}, {5, 5, "usm", "100,0", true, false},
    };
    for (const auto& c : cases) {
        ImageBuffer img;
        ASSERT_TRUE(img.Allocate(c.w, c.h, 8));
        for (int i = 0; i < 256; ++i)
            img.palette[static_cast<size_t>(i)] = RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                img.topRow(y)[x] = static_cast<uint8_t>(x == 2 && y == 2 ? 250 : 40);
        FilterSession f(std::move(img));
        EXPECT_EQ(f.Run(c.op, c.args), c.changed) << c.op << c.args;
        EXPECT_EQ(f.errors, c.refused ? std::vector<int>{kErrCommand} : std::vector<int>{}) << c.op;
        // A committed filter leaves a 24-bit picture; a neutral one changes nothing.
        EXPECT_EQ(f.s.picture.image.bitCount(), c.changed ? 24 : 8) << c.op << c.args;
        EXPECT_EQ(f.s.history.entries, c.changed ? 2 : 0);
    }
}

TEST(FilterOps, OnlyTheGaussianPreviewReportsItsWork) {
    const struct {
        const char* args;
        std::vector<bool> busy;
    } cases[] = {{"0,5", {}}, {"1,5", {}}, {"2,5", {true, false}}, {"2,0", {true, false}}};
    for (const auto& c : cases) {
        ImageBuffer img;
        ASSERT_TRUE(img.Allocate(8, 8, 24));
        FilterSession f(std::move(img));
        std::vector<bool> busy;
        f.model.previewBusy = [&busy](bool b) { busy.push_back(b); };
        ASSERT_TRUE(BeginOperation(f.model, f.s, kOpBlur));
        PreviewState& state = *f.model.active->preview;
        std::string error;
        ASSERT_TRUE(ParseBlurArgs(c.args, state, error)) << error;
        f.model.active->def->recompute(state);  // as the worker runs it
        EXPECT_EQ(busy, c.busy) << c.args;
        EndOperation(f.model, f.s, false);
    }
}

TEST(FilterOps, ArgumentsAndStoredLevelsAreClamped) {
    PreviewState p;
    std::string error;
    EXPECT_TRUE(ParseBlurArgs("0,15", p, error));
    EXPECT_EQ(p.params[kBlurLevel], 10);
    EXPECT_TRUE(ParseBlurArgs("2,99", p, error));
    EXPECT_EQ(p.params[kBlurLevel], 20);
    EXPECT_TRUE(ParseUnsharpArgs("-4,400", p, error));
    EXPECT_EQ(p.params[kUsmLevel], 0);
    EXPECT_EQ(p.params[kUsmRange], 100);
    for (const char* bad : {"3,1", "1", "1,2,3", "a,1", "1,", ""})
        EXPECT_FALSE(ParseBlurArgs(bad, p, error)) << bad;
    FilterSettings stored;
    stored.sftMode = 0;
    stored.sftLevel = 15;
    stored.usmLevel = 500;
    stored.fcsLevel = 300;
    stored.nsrLevel = -3;
    const FilterSettings s = ClampFilterSettings(stored);
    EXPECT_EQ(s.sftLevel, 10);
    EXPECT_EQ(s.usmLevel, 100);
    EXPECT_EQ(s.fcsLevel, 200);
    EXPECT_EQ(s.nsrLevel, 0);
    EXPECT_EQ(BlurLevelForMode(2, 15), 15);
    EXPECT_EQ(BlurLevelForMode(1, 15), 10);
}

}  // namespace
}  // namespace lumra
