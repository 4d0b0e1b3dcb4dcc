#include "formats/load_save.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "formats/bmp/bmp_codec.h"
#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_save.h"
#include "formats/plugin_host.h"
#include "formats/gif/gif_codec.h"
#include "formats/tiff/tiff_codec.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_encoder.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

// ---- codec tables: one row per format ----

struct DecoderEntry {
    FormatCode format;
    DecodeFn decode;
};

constexpr DecoderEntry kDecoders[] = {
    {kFormatBmp, DecodeBmp},
    {kFormatPng, DecodePng},
    {kFormatJpeg, DecodeJpeg},
    {kFormatTiff, DecodeTiff},
    {kFormatGif, DecodeGif},
};

using EncodeFn = bool (*)(const std::string& path, const ImageBuffer& image,
                          const SaveRequest& req, DecoderContext& ctx);

// BMP offers 24, 8, 4 and 1 bits; the other depths go to the nearest deeper one.
int BmpDepth(int depth) {
    if (depth == 1) return 1;
    if (depth >= 2 && depth <= 4) return 4;
    if (depth >= 5 && depth <= 8) return 8;
    return 24;
}

bool EncodeBmpFile(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                   DecoderContext& ctx) {
    return WriteBmpFile(path, image, BmpDepth(req.simg.depth), req.simg.gray != 0,
                        req.simg.dither, ctx);
}

struct EncoderEntry {
    int saveFormat;
    EncodeFn encode;
};

constexpr EncoderEntry kEncoders[] = {
    {kSaveBmp, EncodeBmpFile},
    {kSavePng, EncodePng},
    {kSaveJpeg, EncodeJpegSave},
    {kSaveTiff, EncodeTiff},
    {kSaveGif, EncodeGif},
    {kSaveJpegTrans, EncodeJpegTransSave},
};

}  // namespace

FormatCode DetectFormatBytes(const uint8_t* data, size_t size) {
    if (size == 0 || data == nullptr) return kFormatEmpty;
    const uint8_t b0 = data[0];
    const uint8_t b1 = size >= 2 ? data[1] : 0;  // a 1-byte file: the second byte reads as 0
    if (b0 == 0x47 && b1 == 0x49) {
        if (size < 3) return kFormatEmpty;
        return data[2] == 0x46 ? kFormatGif : kFormatUnknown;
    }
    if (b0 == 0x42 && b1 == 0x4D) return kFormatBmp;
    if (b0 == 0x4D && b1 == 0x4D) {
        if (size < 4) return kFormatEmpty;
        return data[3] == 0x2A ? kFormatTiff : kFormatUnknown;
    }
    if (b0 == 0x49 && b1 == 0x49) {
        if (size < 3) return kFormatEmpty;
        return data[2] == 0x2A ? kFormatTiff : kFormatUnknown;
    }
    if (b0 == 0x89 && b1 == 0x50) {
        if (size < 8) return kFormatEmpty;
        static const uint8_t kRest[6] = {0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
        return std::memcmp(data + 2, kRest, 6) == 0 ? kFormatPng : kFormatUnknown;
    }
    if (b0 == 0xFF && b1 == 0xD8) return kFormatJpeg;
    return kFormatUnknown;
}

FormatCode DetectFormat(const std::string& path) {
    const std::optional<std::vector<uint8_t>> head = ReadFilePrefix(path, 8);
    if (!head) return kFormatUnknown;
    return DetectFormatBytes(head->data(), head->size());
}

DecodeFn DecoderFor(FormatCode format) {
    for (const DecoderEntry& e : kDecoders)
        if (e.format == format) return e.decode;
    return nullptr;
}

bool EncodePicture(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                   DecoderContext& ctx) {
    if (image.empty()) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    for (const EncoderEntry& e : kEncoders) {
        if (e.saveFormat != req.simg.format) continue;
        bool ok = false;
        try {
            ok = e.encode(path, image, req, ctx);
        } catch (const std::bad_alloc&) {
            ctx.error = kCodecMemory;
            ok = false;
        }
        // A library's own message is reported as it is (the JPEG codec's failures).
        if (!ok && ctx.error == kCodecOk && ctx.message.empty()) ctx.error = kCodecSave;
        return ok;
    }
    ctx.error = kCodecUnsupported;
    return false;
}

namespace {

// The own codec over a file already read; fills the file facts of the picture.
bool DecodeBytes(const uint8_t* data, size_t size, FormatCode format, const LImgSettings& load,
                 int64_t fileTime, DecoderContext& ctx) {
    ctx.load = load;
    ctx.error = kCodecOk;
    const DecodeFn decode = DecoderFor(format);
    if (!decode) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    bool ok = false;
    try {
        ok = decode(data, size, ctx);
    } catch (const std::bad_alloc&) {
        ctx.error = kCodecMemory;
        ok = false;
    }
    if (!ok || ctx.image.empty()) {
        if (ctx.error == kCodecOk) ctx.error = kCodecBadInfo;
        ctx.image.Reset();
        ctx.animation.Clear();
        return false;
    }
    ctx.image.sourceFormat = format;
    ctx.image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    ctx.image.fileTime = fileTime;
    return true;
}

void TakeDecoded(DecoderContext& ctx, FormatCode format, DecodedPicture& out) {
    out.image = std::move(ctx.image);
    out.flags = ctx.flags;
    // A PNG's "Comment" text counts as text only; the comment flag is for JPEG, GIF and TIFF.
    if (format == kFormatPng) out.flags.hasComment = false;
    TakeGifAnimation(ctx, out.animation);
}

}  // namespace

bool DecodeFile(const std::string& path, FormatCode format, const LImgSettings& load,
                DecoderContext& ctx) {
    ctx.load = load;
    ctx.error = kCodecOk;
    if (!DecoderFor(format)) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) {
        ctx.error = kCodecRead;
        return false;
    }
    return DecodeBytes(data.data(), data.size(), format, load, FileModifiedTime(path), ctx);
}

size_t DecodedPicture::MemoryBytes() const {
    size_t total = image.empty() ? 0 : image.imageBytes();
    for (const ImageBuffer& frame : animation.frames)
        if (!frame.empty()) total += frame.imageBytes();
    return total + displayCopy.size() * sizeof(uint32_t);
}

bool DecodeOwnFormat(const std::string& path, FormatCode format, const LImgSettings& load,
                     DecodedPicture& out) {
    out = DecodedPicture{};
    out.format = format;
    DecoderContext ctx;
    ctx.animationAllowed = true;
    if (!DecodeFile(path, format, load, ctx)) {
        out.error = ctx.error;
        out.message = ctx.message;
        return false;
    }
    TakeDecoded(ctx, format, out);
    return true;
}

bool DecodeOwnFormat(const std::string& path, const LImgSettings& load, DecodedPicture& out) {
    const FormatCode format = DetectFormat(path);
    if (!DecoderFor(format)) {
        out = DecodedPicture{};
        out.format = format;
        out.error = kCodecUnsupported;
        return false;
    }
    return DecodeOwnFormat(path, format, load, out);
}

bool DecodeOwnFormatData(const uint8_t* data, size_t size, const LImgSettings& load,
                         int64_t fileTime, DecodedPicture& out) {
    out = DecodedPicture{};
    out.format = DetectFormatBytes(data, std::min<size_t>(size, 8));
    DecoderContext ctx;
    ctx.animationAllowed = true;
    if (!DecodeBytes(data, size, out.format, load, fileTime, ctx)) {
        out.error = ctx.error;
        out.message = ctx.message;
        return false;
    }
    TakeDecoded(ctx, out.format, out);
    return true;
}

}  // namespace lumra
