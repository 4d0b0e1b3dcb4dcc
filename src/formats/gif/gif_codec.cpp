#include "formats/gif/gif_codec.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include "formats/codec_error.h"
#include "formats/convert.h"
#include "formats/reduce.h"
#include "platform/file_io.h"
#include "platform/large_buffer.h"

namespace lumra {

namespace {

constexpr int kMaxCodes = 4096;
// Frames after the first stop being collected beyond this many bytes of frame bitmaps.
constexpr size_t kAnimationBudget = size_t{1} << 30;

bool Fail(DecoderContext& ctx, int code) {
    ctx.error = code;
    ctx.image.Reset();
    ctx.animation.Clear();
    return false;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Frame-sized buffers come from the large-buffer pool (huge pages where offered).
template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        auto* p = reinterpret_cast<T*>(AllocateLarge(n * sizeof(T), false));
        if (!p) throw std::bad_alloc();
        return p;
    }
    void deallocate(T* p, size_t) { std::free(p); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const { return true; }
};
using Bytes = std::vector<uint8_t, LargeAllocator<uint8_t>>;

// ---- LZW decoding ----

// Bytes past the end of an LZW output buffer that the string copies may overwrite.
constexpr size_t kLzwSlack = kMaxCodes + 32;

uint64_t Load64Le(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

// Every string in the table is a run of bytes already written: a new code is the previous
// code's string followed by the first byte of the next, which is where the next one starts.
// So the table keeps where each string lies and its length, and a code is one copy from
// earlier in the output. out holds limit + kLzwSlack bytes; returns the count decoded (at
// most limit), stopping at the end code, at the end of the data or at a code that cannot
// occur.
size_t LzwDecodeInto(const uint8_t* data, size_t size, int minCodeSize, uint8_t* out, size_t limit) {
    if (minCodeSize < 1 || minCodeSize > 11 || limit == 0) return 0;
    limit = std::min<size_t>(limit, UINT32_MAX);  // offsets are 32-bit; frames never reach it
    static thread_local uint32_t offset[kMaxCodes];
    static thread_local uint16_t length[kMaxCodes];
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    int codeSize = minCodeSize + 1;
    uint32_t mask = (1u << codeSize) - 1;
    int next = end + 1;
    bool started = false;  // a code has been decoded since the last clear
    size_t prevAt = 0, prevLen = 0;
    uint64_t acc = 0;
    int bits = 0;
    size_t pos = 0;
    size_t o = 0;
    for (;;) {
        if (bits < codeSize) {
            if (size - pos >= 8) {
                // Bits already in acc above `bits` are those of the same bytes: or-ing is harmless.
                acc |= Load64Le(data + pos) << bits;
                const int bytes = (63 - bits) >> 3;
                pos += static_cast<size_t>(bytes);
                bits += 8 * bytes;
            } else {
                while (bits < codeSize) {
                    if (pos >= size) return o;
                    acc |= static_cast<uint64_t>(data[pos++]) << bits;
                    bits += 8;
                }
            }
        }
        const int code = static_cast<int>(acc & mask);
        acc >>= codeSize;
        bits -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1;
            mask = (1u << codeSize) - 1;
            next = end + 1;
            started = false;
            continue;
        }
        if (code == end) return o;
        uint8_t* dst = out + o;
        size_t len;
        if (code < clear) {
            *dst = static_cast<uint8_t>(code);
            len = 1;
        } else if (!started) {
            return o;  // the first code after a clear is a literal
        } else if (code < next) {
            len = length[code];
            const uint8_t* src = out + offset[code];
            if (static_cast<size_t>(dst - src) >= 16) {
                for (size_t i = 0; i < len; i += 16) std::memcpy(dst + i, src + i, 16);
            } else {
                for (size_t i = 0; i < len; ++i) dst[i] = src[i];
            }
        } else if (code == next && next < kMaxCodes) {
            // The previous string followed by its own first byte.
            const uint8_t* src = out + prevAt;
            if (prevLen >= 16) {
                for (size_t i = 0; i < prevLen; i += 16) std::memcpy(dst + i, src + i, 16);
            } else {
                for (size_t i = 0; i < prevLen; ++i) dst[i] = src[i];
            }
            dst[prevLen] = *src;
            len = prevLen + 1;
        } else {
            return o;
        }
        if (started && next < kMaxCodes) {
            offset[next] = static_cast<uint32_t>(prevAt);
            length[next] = static_cast<uint16_t>(prevLen + 1);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12) mask = (1u << ++codeSize) - 1;
        }
        started = true;
        prevAt = o;
        prevLen = len;
        o += len;
        if (o >= limit) return limit;
    }
}

// A buffer grown as needed, its bytes left uninitialised.
class ScratchBytes {
public:
    size_t size() const { return size_; }
    uint8_t* get() const { return data_.get(); }
    explicit operator bool() const { return data_ != nullptr; }
    void reset(size_t n) {
        data_.reset(AllocateLarge(n, false));
        size_ = data_ ? n : 0;
    }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
    size_t size_ = 0;
};

// ---- block reading ----

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    size_t left() const { return size - pos; }
};

// Skips a chain of sub-blocks; false when the data ends inside it.
bool SkipSubBlocks(Reader& r) {
    for (;;) {
        if (r.pos >= r.size) return false;
        const size_t n = r.data[r.pos++];
        if (n == 0) return true;
        if (n > r.left()) {
            r.pos = r.size;
            return false;
        }
        r.pos += n;
    }
}

// Joins the sub-blocks of an image's data; false when the data ends inside them.
bool GatherSubBlocks(Reader& r, Bytes& out) {
    out.clear();
    size_t total = 0;
    for (size_t at = r.pos; at < r.size && r.data[at] != 0; at += size_t{r.data[at]} + 1) total += r.data[at];
    out.reserve(std::min(total, r.left()));
    for (;;) {
        if (r.pos >= r.size) return false;
        const size_t n = r.data[r.pos++];
        if (n == 0) return true;
        const size_t take = std::min(n, r.left());
        out.insert(out.end(), r.data + r.pos, r.data + r.pos + take);
        r.pos += take;
        if (take < n) return false;
    }
}

// The row of the n-th decoded row of an interlaced frame of h rows.
int InterlacedRow(int n, int h) {
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = h > kStart[pass] ? (h - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows) return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return h;  // not reached for n < h
}

// A picture being composed: indices under a palette, or colours once one table no longer
// holds them all. Rows from the top.
struct Canvas {
    bool rgb = false;
    Palette palette{};
    Bytes pixels;  // w*h indices, or w*h*3 as R, G, B

    RgbQuad Colour(size_t i) const {
        if (!rgb) return palette[pixels[i]];
        return RgbQuad{pixels[3 * i + 2], pixels[3 * i + 1], pixels[3 * i], 0};
    }
};

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    bool transparent = false;
    int transparentIndex = 0;
    int disposal = 0;
    int delay = 0;
    Palette palette{};  // the table, transparency resolved
};

uint32_t Key(const RgbQuad& c) {
    return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | c.blue;
}

// Draws a decoded frame onto base. Pixels of the frame keep its indices; where the frame's
// palette differs from the canvas's, the canvas colours that stay visible are looked up in
// (or added to the unused part of) the frame's table, and when they do not fit the result
// holds colours.
void Compose(Canvas& base, const Frame& f, int tableEntries, int screenW, int screenH,
             const uint8_t* indices, size_t count, bool first) {
    const size_t w = static_cast<size_t>(screenW);
    const size_t total = w * static_cast<size_t>(screenH);
    const bool opaque = first || !f.transparent;
    const auto key = static_cast<uint8_t>(f.transparentIndex);
    // Calls draw(row start in the screen, the frame's indices for it, count) for each row decoded.
    auto forRows = [&](auto&& draw) {
        const size_t fw = static_cast<size_t>(f.width);
        for (size_t n = 0, r = 0; n < count; n += fw, ++r) {
            const size_t row = f.interlaced ? static_cast<size_t>(InterlacedRow(static_cast<int>(r), f.height)) : r;
            draw((static_cast<size_t>(f.top) + row) * w + static_cast<size_t>(f.left), indices + n,
                 std::min(fw, count - n));
        }
    };

    if (!base.rgb && base.palette == f.palette) {
        forRows([&](size_t at, const uint8_t* src, size_t n) {
            uint8_t* dst = base.pixels.data() + at;
            if (opaque) {
                std::memcpy(dst, src, n);
                return;
            }
            for (size_t i = 0; i < n; ++i)
                if (src[i] != key) dst[i] = src[i];
        });
        return;
    }
    // Which pixels the frame paints.
    std::vector<int16_t> paint(total, -1);
    forRows([&](size_t at, const uint8_t* src, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (opaque || src[i] != key) paint[at + i] = src[i];
    });

    Palette out = f.palette;
    std::unordered_map<uint32_t, uint8_t> lookup;
    for (int i = tableEntries - 1; i >= 0; --i) lookup[Key(out[i])] = static_cast<uint8_t>(i);
    int free = tableEntries;
    Bytes result(total);
    bool fits = true;
    for (size_t i = 0; i < total && fits; ++i) {
        if (paint[i] >= 0) {
            result[i] = static_cast<uint8_t>(paint[i]);
            continue;
        }
        const RgbQuad c = base.Colour(i);
        const auto it = lookup.find(Key(c));
        if (it != lookup.end()) {
            result[i] = it->second;
        } else if (free < 256) {
            out[free] = RgbQuad{c.blue, c.green, c.red, 0};
            lookup[Key(c)] = static_cast<uint8_t>(free);
            result[i] = static_cast<uint8_t>(free++);
        } else {
            fits = false;
        }
    }
    if (fits) {
        base.rgb = false;
        base.palette = out;
        base.pixels = std::move(result);
        return;
    }
    Bytes colours(total * 3);
    for (size_t i = 0; i < total; ++i) {
        const RgbQuad c = paint[i] >= 0 ? f.palette[static_cast<size_t>(paint[i])] : base.Colour(i);
        colours[3 * i] = c.red;
        colours[3 * i + 1] = c.green;
        colours[3 * i + 2] = c.blue;
    }
    base.rgb = true;
    base.pixels = std::move(colours);
}

// The canvas as a bottom-up picture.
bool CanvasToImage(const Canvas& c, int w, int h, ImageBuffer& image) {
    if (!image.Allocate(w, h, c.rgb ? 24 : 8)) return false;
    const size_t rowBytes = static_cast<size_t>(w) * (c.rgb ? 3 : 1);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = c.pixels.data() + rowBytes * static_cast<size_t>(y);
        uint8_t* dst = image.topRow(y);
        if (!c.rgb) {
            std::memcpy(dst, src, rowBytes);
        } else {
            for (int x = 0; x < w; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
    }
    if (!c.rgb) image.palette = c.palette;
    return true;
}

// The frame's rectangle set to the background index (or its colour on a colour canvas).
void DisposeToBackground(Canvas& c, const Frame& f, int screenW, int background) {
    const RgbQuad bg = f.palette[static_cast<size_t>(background)];
    // The index of that colour in the canvas's table, the background index when it holds it.
    int index = background;
    if (!c.rgb && c.palette[static_cast<size_t>(background)] != bg) {
        for (int i = 0; i < 256; ++i)
            if (c.palette[static_cast<size_t>(i)] == bg) {
                index = i;
                break;
            }
    }
    for (int y = f.top; y < f.top + f.height; ++y) {
        for (int x = f.left; x < f.left + f.width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(screenW) + static_cast<size_t>(x);
            if (!c.rgb) {
                c.pixels[i] = static_cast<uint8_t>(index);
            } else {
                c.pixels[3 * i] = bg.red;
                c.pixels[3 * i + 1] = bg.green;
                c.pixels[3 * i + 2] = bg.blue;
            }
        }
    }
}

void ReadTable(const uint8_t* p, int entries, Palette& pal) {
    pal.fill(RgbQuad{});
    for (int i = 0; i < entries; ++i)
        pal[static_cast<size_t>(i)] = RgbQuad{p[3 * i + 2], p[3 * i + 1], p[3 * i], 0};
}

}  // namespace

std::vector<uint8_t> GifLzwDecode(const uint8_t* data, size_t size, int minCodeSize,
                                  size_t maxPixels) {
    std::vector<uint8_t> out;
    if (maxPixels == 0) return out;
    out.resize(maxPixels + kLzwSlack);
    out.resize(LzwDecodeInto(data, size, minCodeSize, out.data(), maxPixels));
    return out;
}

bool DecodeGif(const uint8_t* data, size_t size, DecoderContext& ctx) {
    ctx.error = kCodecOk;
    ctx.image.Reset();
    ctx.animation.Clear();
    if (!data || size < 13 || std::memcmp(data, "GIF", 3) != 0 ||
        (std::memcmp(data + 3, "87a", 3) != 0 && std::memcmp(data + 3, "89a", 3) != 0))
        return Fail(ctx, kCodecBadInfo);
    const int screenW = Get16(data + 6), screenH = Get16(data + 8);
    if (screenW < 1 || screenH < 1 || screenW > kMaxPictureSide || screenH > kMaxPictureSide)
        return Fail(ctx, kCodecUnsupported);
    const uint8_t packed = data[10];
    const bool hasGlobal = (packed & 0x80) != 0;
    const int globalBits = (packed & 7) + 1;
    const int background = data[11];
    Reader r{data, size, 13};
    Palette global{};
    if (hasGlobal) {
        const size_t bytes = size_t{3} << globalBits;
        if (bytes > r.left()) return Fail(ctx, kCodecBadInfo);
        ReadTable(data + r.pos, 1 << globalBits, global);
        r.pos += bytes;
    }
    const LImgSettings& opt = ctx.load;
    const RgbQuad bgColour =
        (opt.fbg && hasGlobal) ? global[static_cast<size_t>(background)]
                               : RgbQuad{static_cast<uint8_t>(opt.bgB), static_cast<uint8_t>(opt.bgG),
                                         static_cast<uint8_t>(opt.bgR), 0};

    Frame gce;  // the pending Graphic Control Extension
    bool gceSeen = false;
    int transparentFrames = 0;
    bool comment = false;
    bool netscape = false;
    int loopCount = -1;
    int frames = 0;
    size_t frameBytes = 0;
    Canvas canvas;
    Canvas beforeLast;  // the canvas the last frame was drawn on (disposal 3)
    Frame last;
    int sourceBits = hasGlobal ? globalBits : 0;
    Bytes lzw;
    ScratchBytes indices;
    bool done = false;

    while (!done) {
        if (r.pos >= r.size) break;  // a file cut short ends like one with its trailer
        const uint8_t kind = data[r.pos++];
        if (kind == 0x3B) break;
        if (kind == 0x21) {
            if (r.pos >= r.size) break;
            const uint8_t label = data[r.pos++];
            if (label == 0xF9) {
                if (r.pos < r.size && data[r.pos] >= 4 && r.left() >= 5) {
                    const uint8_t* p = data + r.pos + 1;
                    gce = Frame{};
                    gceSeen = true;
                    gce.transparent = (p[0] & 1) != 0;
                    gce.disposal = (p[0] >> 2) & 7;
                    gce.delay = Get16(p + 1);
                    gce.transparentIndex = p[3];
                }
                if (!SkipSubBlocks(r)) break;
            } else if (label == 0xFE) {
                comment = true;
                if (!SkipSubBlocks(r)) break;
            } else if (label == 0xFF) {
                const bool isNetscape = r.left() >= 12 && data[r.pos] == 11 &&
                                        std::memcmp(data + r.pos + 1, "NETSCAPE2.0", 11) == 0;
                if (isNetscape && ctx.animationAllowed && !netscape) {
                    netscape = true;
                    r.pos += 12;
                    if (r.left() >= 4 && data[r.pos] >= 3 && data[r.pos + 1] == 1)
                        loopCount = Get16(data + r.pos + 2);
                    else
                        loopCount = 0;
                    if (!SkipSubBlocks(r)) break;
                } else {
                    if (!SkipSubBlocks(r)) break;
                }
            } else if (label == 0x01) {
                if (!SkipSubBlocks(r)) break;
            } else {
                return Fail(ctx, kCodecRead);
            }
            continue;
        }
        if (kind != 0x2C) return Fail(ctx, kCodecRead);

        // Image descriptor.
        if (r.left() < 9) break;
        Frame f = gceSeen ? gce : Frame{};
        gceSeen = false;
        const uint8_t* d = data + r.pos;
        f.left = Get16(d);
        f.top = Get16(d + 2);
        f.width = Get16(d + 4);
        f.height = Get16(d + 6);
        const uint8_t fp = d[8];
        r.pos += 9;
        if (f.left + f.width > screenW || f.top + f.height > screenH) return Fail(ctx, kCodecBadInfo);
        f.interlaced = (fp & 0x40) != 0;
        int tableEntries = 0;
        if (fp & 0x80) {
            const int bits = (fp & 7) + 1;
            const size_t bytes = size_t{3} << bits;
            if (bytes > r.left()) return Fail(ctx, kCodecBadInfo);
            ReadTable(data + r.pos, 1 << bits, f.palette);
            tableEntries = 1 << bits;
            r.pos += bytes;
            if (frames == 0 && !hasGlobal) sourceBits = bits;
        } else if (hasGlobal) {
            f.palette = global;
            tableEntries = 1 << globalBits;
        } else {
            return Fail(ctx, kCodecBadInfo);
        }
        if (f.transparent) {
            ++transparentFrames;
            if (opt.alpha) f.palette[static_cast<size_t>(f.transparentIndex)] = bgColour;
        }
        if (r.pos >= r.size) break;
        const int minCodeSize = data[r.pos++];
        const bool complete = GatherSubBlocks(r, lzw);
        const size_t pixels = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
        if (indices.size() < pixels + kLzwSlack) {
            // Not zero-filled: only the decoded part is read.
            indices.reset(pixels + kLzwSlack);
            if (!indices) return Fail(ctx, kCodecMemory);
        }
        const size_t decoded = LzwDecodeInto(lzw.data(), lzw.size(), minCodeSize, indices.get(), pixels);

        const size_t screenPixels = static_cast<size_t>(screenW) * static_cast<size_t>(screenH);
        if (frames == 0) {
            canvas.palette = f.palette;
            canvas.pixels.assign(screenPixels, static_cast<uint8_t>(background));
        } else {
            // What the previous frame leaves behind once it has been shown.
            if (last.disposal == 2) DisposeToBackground(canvas, last, screenW, background);
            else if (last.disposal == 3) canvas = beforeLast;
            const size_t bytes = PaddedRowBytes(screenW, 24) * static_cast<size_t>(screenH);
            if (frameBytes + bytes > kAnimationBudget) break;
        }
        if (f.disposal == 3) beforeLast = canvas;
        Compose(canvas, f, tableEntries, screenW, screenH, indices.get(), decoded, frames == 0);

        ImageBuffer image;
        if (!CanvasToImage(canvas, screenW, screenH, image)) return Fail(ctx, kCodecMemory);
        frameBytes += image.imageBytes();
        if (frames == 0) ctx.image = std::move(image);
        else ctx.animation.frames.push_back(std::move(image));
        ctx.animation.delays.push_back(f.delay);
        last = f;
        ++frames;
        // Only a NETSCAPE2.0 block makes a file animated; without one the first frame is all.
        if (!netscape || frames >= kMaxAnimationFrames || !complete) done = true;
    }
    if (frames == 0) return Fail(ctx, kCodecBadInfo);

    ctx.animation.animated = frames > 1;
    // Without a loop count an animation plays once.
    ctx.animation.loopCount = loopCount >= 0 ? loopCount : 1;
    if (!ctx.animation.animated) ctx.animation.Clear();
    ctx.image.sourceFormat = kFormatGif;
    ctx.image.sourceBitDepth = sourceBits;
    ctx.image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    ctx.flags.transparent = transparentFrames > 0;
    ctx.flags.hasComment = comment;
    return true;
}

void TakeGifAnimation(DecoderContext& ctx, Animation& record) {
    record = std::move(ctx.animation);
    ctx.animation.Clear();
}

// ---- encoding ----

std::vector<uint8_t> GifLzwEncode(const uint8_t* indices, size_t count, int minCodeSize) {
    std::vector<uint8_t> out;
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    int codeSize = minCodeSize + 1;
    int next = end + 1;
    uint32_t acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += codeSize;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    // (prefix << 8 | index) -> code, open addressing.
    constexpr size_t kSlots = 8192;
    std::vector<uint32_t> keys(kSlots);
    std::vector<uint16_t> codes(kSlots);
    std::vector<uint8_t> used(kSlots);
    auto reset = [&]() {
        std::fill(used.begin(), used.end(), 0);
        codeSize = minCodeSize + 1;
        next = end + 1;
    };
    put(clear);
    if (count == 0) {
        put(end);
        if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
        return out;
    }
    int prefix = indices[0];
    for (size_t i = 1; i < count; ++i) {
        const uint8_t k = indices[i];
        const uint32_t key = static_cast<uint32_t>(prefix) << 8 | k;
        size_t slot = (key * 2654435761u) >> 19 & (kSlots - 1);
        bool found = false;
        while (used[slot]) {
            if (keys[slot] == key) {
                found = true;
                break;
            }
            slot = (slot + 1) & (kSlots - 1);
        }
        if (found) {
            prefix = codes[slot];
            continue;
        }
        put(prefix);
        if (next >= (1 << codeSize) && codeSize < 12) ++codeSize;
        if (next == kMaxCodes) {
            put(clear);
            reset();
        } else {
            used[slot] = 1;
            keys[slot] = key;
            codes[slot] = static_cast<uint16_t>(next++);
        }
        prefix = k;
    }
    put(prefix);
    if (next >= (1 << codeSize) && codeSize < 12) ++codeSize;
    put(end);
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
    return out;
}

bool EncodeGifBytes(const ImageBuffer& image, const SaveRequest& req, std::vector<uint8_t>& out,
                    DecoderContext& ctx) {
    out.clear();
    if (image.empty() || image.width() > 65535 || image.height() > 65535) {
        ctx.error = kCodecSave;
        return false;
    }
    const int depth = (req.simg.depth >= 1 && req.simg.depth <= 8) ? req.simg.depth : 8;
    const int w = image.width(), h = image.height();

    // The picture as 8- or 24-bit rows for the reduction.
    const ImageBuffer* source = &image;
    ImageBuffer widened;
    if (image.bitCount() != 8 && image.bitCount() != 24) {
        if (!widened.Allocate(w, h, 8)) {
            ctx.error = kCodecMemory;
            return false;
        }
        PixelConversion conv;
        conv.width = w;
        conv.height = h;
        conv.sourceDepth = image.bitCount();
        conv.targetDepth = 8;
        if (!ConvertPixels(conv, widened.palette.data(), widened.bits(), image.palette.data(), image.bits())) {
            ctx.error = kCodecSave;
            return false;
        }
        source = &widened;
    }
    ImageBuffer reduced;
    if (!reduced.Allocate(w, h, 8)) {
        ctx.error = kCodecMemory;
        return false;
    }
    PixelConversion conv;
    conv.width = w;
    conv.height = h;
    conv.sourceDepth = source->bitCount();
    conv.targetDepth = depth;
    conv.dither = req.simg.dither;
    conv.sourceStride = source->stride();
    if (!ReduceColours(conv, 8, reduced.palette.data(), reduced.bits(), source->palette.data(), source->bits())) {
        ctx.error = kCodecSave;
        return false;
    }

    const int entries = 1 << depth;
    int transparentIndex = -1;
    if (req.saveTransparent) {
        const int tr = req.simg.alphaR, tg = req.simg.alphaG, tb = req.simg.alphaB;
        for (int i = entries - 1; i >= 0 && transparentIndex < 0; --i) {
            const RgbQuad& c = reduced.palette[static_cast<size_t>(i)];
            if (c.red == tr && c.green == tg && c.blue == tb) transparentIndex = i;
        }
        if (transparentIndex < 0) {
            long best = -1;
            for (int i = 0; i < entries; ++i) {
                const RgbQuad& c = reduced.palette[static_cast<size_t>(i)];
                const long dr = c.red - tr, dg = c.green - tg, db = c.blue - tb;
                const long dist = dr * dr + dg * dg + db * db;
                if (best < 0 || dist < best) {
                    best = dist;
                    transparentIndex = i;
                }
            }
        }
    }

    auto put16 = [&](int v) {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    };
    const char* sig = "GIF89a";
    out.insert(out.end(), sig, sig + 6);
    put16(w);
    put16(h);
    out.push_back(static_cast<uint8_t>(0x80 | (depth - 1) << 4 | (depth - 1)));
    out.push_back(static_cast<uint8_t>(transparentIndex >= 0 ? transparentIndex : 0));
    out.push_back(0);
    for (int i = 0; i < entries; ++i) {
        const RgbQuad& c = reduced.palette[static_cast<size_t>(i)];
        out.push_back(c.red);
        out.push_back(c.green);
        out.push_back(c.blue);
    }
    if (transparentIndex >= 0) {
        const uint8_t gce[8] = {0x21, 0xF9, 0x04, 0x01, 0, 0, static_cast<uint8_t>(transparentIndex), 0};
        out.insert(out.end(), gce, gce + 8);
    }
    const bool interlace = req.simg.interlace != 0;
    out.push_back(0x2C);
    put16(0);
    put16(0);
    put16(w);
    put16(h);
    out.push_back(interlace ? 0x40 : 0x00);

    std::vector<uint8_t> indices;
    indices.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int n = 0; n < h; ++n) {
        const int y = interlace ? InterlacedRow(n, h) : n;
        const uint8_t* row = reduced.topRow(y);
        indices.insert(indices.end(), row, row + w);
    }
    const int minCodeSize = depth == 1 ? 2 : depth;
    const std::vector<uint8_t> lzw = GifLzwEncode(indices.data(), indices.size(), minCodeSize);
    out.push_back(static_cast<uint8_t>(minCodeSize));
    for (size_t pos = 0; pos < lzw.size(); pos += 255) {
        const size_t n = std::min<size_t>(255, lzw.size() - pos);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), lzw.begin() + static_cast<ptrdiff_t>(pos),
                   lzw.begin() + static_cast<ptrdiff_t>(pos + n));
    }
    out.push_back(0);
    out.push_back(0x3B);
    return true;
}

bool EncodeGif(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
               DecoderContext& ctx) {
    std::vector<uint8_t> bytes;
    if (!EncodeGifBytes(image, req, bytes, ctx)) return false;
    if (!WriteWholeFile(path, bytes.data(), bytes.size())) {
        ctx.error = kCodecCreate;
        return false;
    }
    return true;
}

}  // namespace lumra
