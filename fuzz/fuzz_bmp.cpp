// Feeds arbitrary bytes to the BMP file reader and the clipboard DIB reader.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/bmp/bmp_codec.h"

namespace {

// Pictures up to the 25000 limit are legal, but allocating gigabytes per input starves the
// fuzzer; such sizes are exercised by the tests instead.
bool ClaimsHugePicture(const uint8_t* data, size_t size, size_t at) {
    if (size < at + 8) return false;
    auto le32 = [&](size_t o) {
        return static_cast<int32_t>(data[o] | data[o + 1] << 8 | data[o + 2] << 16 |
                                    static_cast<uint32_t>(data[o + 3]) << 24);
    };
    const int64_t w = le32(at), h = le32(at + 4);
    return w > 0 && h > 0 && w * h > (int64_t{1} << 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!ClaimsHugePicture(data, size, 18)) {
        lumra::DecoderContext ctx;
        if (lumra::DecodeBmp(data, size, ctx) && ctx.image.imageBytes() <= (1u << 20)) {
            // A decoded picture must survive being written again.
            std::vector<uint8_t> out;
            lumra::DecoderContext wctx;
            lumra::EncodeBmp(ctx.image, ctx.image.bitCount(), false, 3, out, wctx);
        }
    }
    if (!ClaimsHugePicture(data, size, 4)) {
        lumra::DecoderContext ctx;
        lumra::ReadClipboardDib(data, size, ctx);
    }
    return 0;
}
