// JPEG pictures through libjpeg: decoding, encoding and the size-limited save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/decoder_context.h"

namespace lumra {

// What the decoder learns about the file beside the picture.
struct JpegFileInfo {
    bool isGrey = false;
    bool progressive = false;
    int imageWidth = 0;
    int imageHeight = 0;
    int commentCount = 0;  // COM markers
    bool sawApp1 = false;  // any APP1 marker (Exif)
    int components = 0;
    int32_t xPelsPerMeter = 0;  // from a JFIF header
    int32_t yPelsPerMeter = 0;
};

// Told, on the decoding thread, how many rows from the top are final (each report more than
// the last; all of them at the end), or -1 before a failed decode drops its rows: the rows
// may be read meanwhile, and no longer once the -1 call has returned.
using JpegRowsReady = std::function<void(int rows)>;

// Decodes a whole JPEG file held in memory into ctx.image: 8-bit grey for one component,
// 24-bit for three and for (Adobe) CMYK. Sets sourceBitDepth, the resolution and
// ctx.flags (interlaced = progressive, hasText = APP1 seen, hasComment = COM seen).
// A file that ends early decodes as far as its data goes; rows without data stay black.
// False with ctx.error set, or with the library's text in ctx.message.
bool DecodeJpeg(const uint8_t* data, size_t size, DecoderContext& ctx);
bool DecodeJpeg(const uint8_t* data, size_t size, DecoderContext& ctx, JpegFileInfo& info);
// The same reduced through the DCT by scaleDenom (1, 2, 4 or 8; others fail with
// kCodecUnsupported): the picture is ceil(width / scaleDenom) x ceil(height / scaleDenom),
// djpeg -scale 1/N's pixels. info keeps the file's own size.
bool DecodeJpegScaled(const uint8_t* data, size_t size, int scaleDenom, DecoderContext& ctx,
                      JpegFileInfo& info, const JpegRowsReady& ready = {});
// The picture size from the file's header alone; false when the header does not read.
bool ReadJpegSize(const uint8_t* data, size_t size, int& width, int& height);
// What the header up to the first scan tells: the size, the components (1, 3 or 4, else
// false), the resolution, progressive, and the APP1 and COM markers before the first scan.
bool ReadJpegHeader(const uint8_t* data, size_t size, JpegFileInfo& info);

// Luminance sampling factors of the Sampling setting 0 (4:1), 1 (2:1), 2 (1:1).
void JpegSamplingFactors(int sampling, int& horizontal, int& vertical);

struct JpegEncodeOptions {
    bool grey = false;
    bool progressive = false;
    int quality = 75;  // 1-100
    int hSampling = 2;  // luminance; chroma is always 1 x 1
    int vSampling = 2;
    int xResolution = 0;  // pixels per metre; both non-zero: written as dots per inch
    int yResolution = 0;
    std::string comment;  // bytes as stored in the file; at most 10000 are written
};

inline constexpr size_t kJpegCommentMax = 10000;

// Encodes the picture (any depth; other than 24 bits it is widened first).
bool EncodeJpeg(const ImageBuffer& image, const JpegEncodeOptions& options,
                const std::string& path, DecoderContext& ctx);
bool EncodeJpegToMemory(const ImageBuffer& image, const JpegEncodeOptions& options,
                        std::vector<uint8_t>& out, DecoderContext& ctx);
// The highest quality found by the search whose file fits limitBytes; when none fits,
// the quality-1 file. options.quality is not used. chosenQuality receives the quality written.
bool EncodeJpegLimited(const ImageBuffer& image, const JpegEncodeOptions& options,
                       int64_t limitBytes, const std::string& path, DecoderContext& ctx,
                       int* chosenQuality = nullptr);

// The qualities the size-limited save tries, given whether each result fits; exposed for
// tests. fits(q) encodes at q and says whether it fit; false from encode ends the search.
// Returns the last quality encoded, or 0 when an encode failed.
template <typename Encode>
int SearchJpegQuality(Encode&& encodeFits);

template <typename Encode>
int SearchJpegQuality(Encode&& encodeFits) {
    int q = 69, f = 100, e = 31;
    int last = 0;
    while (f - e > 0) {
        bool fits = false;
        if (!encodeFits(q, fits)) return 0;
        last = q;
        if (!fits) {
            f = q;
            if (f == 7) e = 1;
        } else {
            if (e == 1) break;
            e /= 2;
        }
        q = f - e;
    }
    return last;
}

}  // namespace lumra
