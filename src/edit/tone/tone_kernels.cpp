#include "edit/tone/tone_kernels.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "edit/colour/hls.h"
#include "edit/tone/tone_tables.h"

namespace lumra {

void ForRowBands(int height, int64_t pixels, const std::function<void(int, int)>& fn) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int bands =
        static_cast<int>(std::min<int64_t>({cores, 8, height, pixels / (1 << 18) + 1}));
    if (bands <= 1) {
        fn(0, height);
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(bands - 1));
    const auto bound = [&](int i) {
        return static_cast<int>(static_cast<int64_t>(height) * i / bands);
    };
    int done = bands;  // bands from here on run on this thread
    for (int i = 1; i < bands; ++i) {
        try {
            threads.emplace_back(fn, bound(i), bound(i + 1));
        } catch (const std::system_error&) {
            done = i;
            break;
        }
    }
    fn(0, bound(1));
    if (done < bands) fn(bound(done), height);
    for (std::thread& t : threads) t.join();
}

void ApplyChannelMaps(const PixelJob& job, const uint8_t* mapB, const uint8_t* mapG,
                      const uint8_t* mapR) {
    if (job.bitCount == 8) {
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& s = job.srcPalette[i];
            job.dstPalette[i] = RgbQuad{mapB[s.blue], mapG[s.green], mapR[s.red], s.reserved};
        }
        return;
    }
    const BlendTable& t = job.blend ? *job.blend : GetBlendTable();
    ForRowBands(job.height, int64_t{job.width} * job.height, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = job.src + static_cast<size_t>(y) * job.stride;
            uint8_t* d = job.dst + static_cast<size_t>(y) * job.stride;
            if (!job.mask) {
                for (int x = 0; x < job.width; ++x, s += 3, d += 3) {
                    d[0] = mapB[s[0]];
                    d[1] = mapG[s[1]];
                    d[2] = mapR[s[2]];
                }
                continue;
            }
            const uint8_t* m = job.mask + static_cast<size_t>(y) * job.width;
            for (int x = 0; x < job.width; ++x, s += 3, d += 3) {
                const unsigned a = m[x];
                if (a == 255) {
                    d[0] = s[0], d[1] = s[1], d[2] = s[2];
                } else if (a == 0) {
                    d[0] = mapB[s[0]], d[1] = mapG[s[1]], d[2] = mapR[s[2]];
                } else {
                    d[0] = static_cast<uint8_t>(t.entry[a][s[0]] + t.entry[255 - a][mapB[s[0]]]);
                    d[1] = static_cast<uint8_t>(t.entry[a][s[1]] + t.entry[255 - a][mapG[s[1]]]);
                    d[2] = static_cast<uint8_t>(t.entry[a][s[2]] + t.entry[255 - a][mapR[s[2]]]);
                }
            }
        }
    });
}

const uint8_t* ToneMap(const PixelJob& job, int mode, int v) {
    switch (mode) {
        case kToneGamma:
            return job.gamma + v * 256;
        case kToneBrightness:
            return job.clamp + v;
        default:
            return job.contrast + v * 256;
    }
}

void LevelsMap(int lo, int hi, uint8_t* map) {
    const DivisionTable& div = GetDivisionTable();
    for (int x = 0; x < 256; ++x) map[x] = div.At(hi - lo, x - lo);
}

void ApplyLevels(const PixelJob& job, const std::array<LevelsPair, 4>& pairs, int selected) {
    uint8_t maps[3][256];
    for (int c = 0; c < 3; ++c) {
        const LevelsPair& p = pairs[static_cast<size_t>(selected == 3 ? 3 : c)];
        LevelsMap(p.lo, p.hi, maps[c]);
    }
    ApplyChannelMaps(job, maps[0], maps[1], maps[2]);
}

LevelsHistogram CountLevelsHistogram(const ImageBuffer& image, const uint8_t* mask) {
    LevelsHistogram h;
    auto& hb = h.hist[0];
    auto& hg = h.hist[1];
    auto& hr = h.hist[2];
    const int w = image.width();
    const bool paletted = image.bitCount() == 8;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* p = image.storedRow(y);
        const uint8_t* m = !paletted && mask ? mask + static_cast<size_t>(y) * w : nullptr;
        for (int x = 0; x < w; ++x) {
            if (paletted) {
                const RgbQuad& c = image.palette[p[x]];
                ++hb[c.blue], ++hg[c.green], ++hr[c.red];
            } else {
                if (m && m[x] == 255) continue;
                ++hb[p[3 * x]], ++hg[p[3 * x + 1]], ++hr[p[3 * x + 2]];
            }
            ++h.counted;
        }
    }
    for (int v = 0; v < 256; ++v) h.hist[3][v] = hb[v] + hg[v] + hr[v];
    return h;
}

LevelsPair AutoLevels(const LevelsHistogram& h, int channel) {
    // The threshold counts the pixels this histogram counted.
    const uint64_t t = (h.counted * 3) >> 8;
    const auto& hist = h.hist[static_cast<size_t>(channel)];
    int lo = 256, hi = -1;
    uint64_t sum = 0;
    for (int v = 0; v < 256; ++v)
        if ((sum += hist[v]) > t) {
            lo = v;
            break;
        }
    sum = 0;
    for (int v = 255; v >= 0; --v)
        if ((sum += hist[v]) > t) {
            hi = v;
            break;
        }
    // The box rules on a fresh pair.
    LevelsPair p;
    p.lo = LevelsMinimumBox(lo, 255);
    p.hi = LevelsMaximumBox(hi, p.lo);
    return p;
}

int HistogramHoverTarget(int x, LevelsPair pair) {
    if (x >= pair.lo - 2 && x <= pair.lo + 2) return 1;
    if (x >= pair.hi - 2 && x <= pair.hi + 2) return 2;
    return 0;
}

int LevelsMinimumBox(int value, int maximum) {
    return value < 0 ? 0 : std::min(value, maximum - 1);
}

int LevelsMaximumBox(int value, int minimum) {
    return value <= minimum ? minimum + 1 : std::min(value, 255);
}

uint64_t HistogramScale(const std::array<uint64_t, 256>* hists, int count) {
    uint64_t m = 1;
    for (int i = 0; i < count; ++i)
        for (int v = 1; v <= 254; ++v) m = std::max(m, hists[i][v]);
    return m;
}

int HistogramHeight(uint64_t count, uint64_t scale, int top) {
    const uint64_t drop = count * static_cast<uint64_t>(top) / scale;
    return static_cast<int>(top - static_cast<int64_t>(std::min<uint64_t>(drop, 1u << 30)));
}

std::array<uint64_t, 256> LuminanceHistogram(const ImageBuffer& image) {
    std::array<uint64_t, 256> hist{};
    const LuminanceTables& lt = GetLuminanceTables();
    const bool paletted = image.bitCount() == 8;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* p = image.storedRow(y);
        for (int x = 0; x < image.width(); ++x) {
            if (paletted) {
                const RgbQuad& c = image.palette[p[x]];
                ++hist[static_cast<size_t>(lt.Y(c.blue, c.green, c.red))];
            } else {
                ++hist[static_cast<size_t>(lt.Y(p[3 * x], p[3 * x + 1], p[3 * x + 2]))];
            }
        }
    }
    return hist;
}

namespace {

// A job from src to dst, both of image's size and depth.
PixelJob JobFor(const ImageBuffer& src, ImageBuffer& dst, const uint8_t* mask) {
    PixelJob job;
    job.width = src.width();
    job.height = src.height();
    job.bitCount = src.bitCount();
    job.stride = static_cast<int32_t>(src.stride());
    job.srcPalette = src.palette.data();
    job.dstPalette = dst.palette.data();
    job.src = src.bits();
    job.dst = dst.bits();
    job.mask = mask;
    job.blend = &GetBlendTable();
    return job;
}

}  // namespace

ImageBuffer InvertPicture(const ImageBuffer& image, const uint8_t* mask) {
    ImageBuffer out;
    if (!out.Allocate(image.width(), image.height(), image.bitCount())) return out;
    if (image.bitCount() != 24) {
        // Any palette picture: indices kept, colours negated.
        std::copy_n(image.bits(), image.imageBytes(), out.bits());
        for (size_t i = 0; i < out.palette.size(); ++i) {
            const RgbQuad& c = image.palette[i];
            out.palette[i] =
                RgbQuad{static_cast<uint8_t>(255 - c.blue), static_cast<uint8_t>(255 - c.green),
                        static_cast<uint8_t>(255 - c.red), c.reserved};
        }
        return out;
    }
    uint8_t map[256];
    for (int v = 0; v < 256; ++v) map[v] = static_cast<uint8_t>(255 - v);
    ApplyChannelMaps(JobFor(image, out, mask), map, map, map);
    return out;
}

ImageBuffer EqualizePicture(const ImageBuffer& picture, const uint8_t* mask, bool& unchanged) {
    unchanged = false;
    ImageBuffer wide;
    const ImageBuffer* src = &picture;
    if (picture.bitCount() != 24) {
        wide = WidenTo24(picture);
        if (wide.empty()) return wide;
        src = &wide;
    }
    const std::array<uint64_t, 256> hist = LuminanceHistogram(*src);
    const uint64_t n = static_cast<uint64_t>(src->width()) * static_cast<uint64_t>(src->height());
    std::array<uint64_t, 256> cdf{};
    uint64_t sum = 0, cdfMin = 0;
    for (int j = 0; j < 256; ++j) {
        cdf[j] = sum += hist[j];
        if (cdfMin == 0) cdfMin = cdf[j];
    }
    if (n == cdfMin) {
        // One luminance: 0 / 0, the picture stays as it is.
        unchanged = true;
        return ImageBuffer{};
    }
    std::array<int, 256> offset{};
    for (int j = 0; j < 256; ++j) {
        const double ratio = static_cast<double>(static_cast<int64_t>(cdf[j] - cdfMin)) /
                             static_cast<double>(n - cdfMin);
        const int target = static_cast<int>(ratio * 255.0);
        offset[j] = (target - j) >> 1;
    }
    ImageBuffer out;
    if (!out.Allocate(src->width(), src->height(), 24)) return out;
    const PixelJob job = JobFor(*src, out, mask);
    const LuminanceTables& lt = GetLuminanceTables();
    const HlsTables& ht = GetHlsTables();
    const BlendTable& bt = GetBlendTable();
    ForRowBands(job.height, int64_t{job.width} * job.height, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = job.src + static_cast<size_t>(y) * job.stride;
            uint8_t* d = job.dst + static_cast<size_t>(y) * job.stride;
            const uint8_t* m = mask ? mask + static_cast<size_t>(y) * job.width : nullptr;
            for (int x = 0; x < job.width; ++x, s += 3, d += 3) {
                const unsigned a = m ? m[x] : 0;
                if (a == 255) {
                    d[0] = s[0], d[1] = s[1], d[2] = s[2];
                    continue;
                }
                int b = s[0], g = s[1], r = s[2];
                HlsAdjust(ht, b, g, r, 0, offset[static_cast<size_t>(lt.Y(b, g, r))], 0);
                if (a == 0) {
                    d[0] = static_cast<uint8_t>(b), d[1] = static_cast<uint8_t>(g),
                    d[2] = static_cast<uint8_t>(r);
                } else {
                    d[0] = BlendOver(bt, 255 - a, static_cast<unsigned>(b), s[0]);
                    d[1] = BlendOver(bt, 255 - a, static_cast<unsigned>(g), s[1]);
                    d[2] = BlendOver(bt, 255 - a, static_cast<unsigned>(r), s[2]);
                }
            }
        }
    });
    return out;
}

}  // namespace lumra
