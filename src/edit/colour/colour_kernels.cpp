#include "edit/colour/colour_kernels.h"

#include "edit/tone/tone_kernels.h"

namespace lumra {

namespace {

// f(b, g, r) changes the colour in place; false leaves the pixel as it is, unblended.
template <class F>
void ApplyPixels(const PixelJob& job, const F& f) {
    if (job.bitCount == 8) {
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& s = job.srcPalette[i];
            int b = s.blue, g = s.green, r = s.red;
            if (!f(b, g, r)) b = s.blue, g = s.green, r = s.red;
            job.dstPalette[i] = RgbQuad{static_cast<uint8_t>(b), static_cast<uint8_t>(g),
                                        static_cast<uint8_t>(r), s.reserved};
        }
        return;
    }
    const BlendTable& t = job.blend ? *job.blend : GetBlendTable();
    ForRowBands(job.height, int64_t{job.width} * job.height, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = job.src + static_cast<size_t>(y) * job.stride;
            uint8_t* d = job.dst + static_cast<size_t>(y) * job.stride;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * job.width : nullptr;
            for (int x = 0; x < job.width; ++x, s += 3, d += 3) {
                const unsigned a = m ? m[x] : 0;
                int b = s[0], g = s[1], r = s[2];
                if (a == 255 || !f(b, g, r)) {
                    d[0] = s[0], d[1] = s[1], d[2] = s[2];
                } else if (a == 0) {
                    d[0] = static_cast<uint8_t>(b), d[1] = static_cast<uint8_t>(g),
                    d[2] = static_cast<uint8_t>(r);
                } else {
                    d[0] = BlendOver(t, 255 - a, static_cast<unsigned>(b), s[0]);
                    d[1] = BlendOver(t, 255 - a, static_cast<unsigned>(g), s[1]);
                    d[2] = BlendOver(t, 255 - a, static_cast<unsigned>(r), s[2]);
                }
            }
        }
    });
}

}  // namespace

void HueSaturation(const PixelJob& job, int hue, int lightness, int saturation) {
    const HlsTables& ht = GetHlsTables();
    ApplyPixels(job, [&](int& b, int& g, int& r) {
        HlsAdjust(ht, b, g, r, hue, lightness, saturation);
        return true;
    });
}

void HueSaturationInRange(const PixelJob& job, int hue, int lightness, int saturation, Rgb colour,
                          const ColourRange& range) {
    const HlsTables& ht = GetHlsTables();
    const BlendTable& t = job.blend ? *job.blend : GetBlendTable();
    ApplyPixels(job, [&](int& b, int& g, int& r) {
        const int w = range.Weight(b, g, r, colour.r, colour.g, colour.b);
        if (w < 0) return false;
        int nb = b, ng = g, nr = r;
        HlsAdjust(ht, nb, ng, nr, hue, lightness, saturation);
        b = BlendOver(t, static_cast<unsigned>(w), static_cast<unsigned>(nb),
                      static_cast<unsigned>(b));
        g = BlendOver(t, static_cast<unsigned>(w), static_cast<unsigned>(ng),
                      static_cast<unsigned>(g));
        r = BlendOver(t, static_cast<unsigned>(w), static_cast<unsigned>(nr),
                      static_cast<unsigned>(r));
        return true;
    });
}

void ReplaceColour(const PixelJob& job, int strength, Rgb source, Rgb target,
                   const ColourRange& range) {
    const BlendTable& t = job.blend ? *job.blend : GetBlendTable();
    ApplyPixels(job, [&](int& b, int& g, int& r) {
        const int w = range.Weight(b, g, r, source.r, source.g, source.b);
        if (w < 0) return false;
        const unsigned e = t.entry[strength][w];
        b = BlendOver(t, e, static_cast<unsigned>(target.b), static_cast<unsigned>(b));
        g = BlendOver(t, e, static_cast<unsigned>(target.g), static_cast<unsigned>(g));
        r = BlendOver(t, e, static_cast<unsigned>(target.r), static_cast<unsigned>(r));
        return true;
    });
}

}  // namespace lumra
