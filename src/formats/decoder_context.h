// The working record of one load or save.
#pragma once

#include <string>

#include "formats/animation.h"
#include "formats/convert.h"
#include "formats/image_buffer.h"
#include "formats/codec_options.h"

namespace lumra {

struct PictureFlags {
    bool interlaced = false;   // PNG Adam7, JPEG progressive
    bool transparent = false;  // PNG alpha or tRNS, GIF transparent colour
    bool hasText = false;      // PNG text chunks; JPEG APP1
    bool hasComment = false;   // JPEG COM, GIF comment, TIFF description
    friend bool operator==(const PictureFlags&, const PictureFlags&) = default;
};

struct DecoderContext {
    PixelConversion conversion;
    bool keepOpen = false;
    bool plainMemory = false;
    ImageBuffer image;
    int error = 0;  // CodecError
    PictureFlags flags;
    LImgSettings load;     // display options in force for this load
    std::string message;   // library message text (JPEG)
    bool animationAllowed = false;  // GIF: collect every frame (set by the file loader)
    Animation animation;            // GIF frames when animationAllowed
};

}  // namespace lumra
