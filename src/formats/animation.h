// The frames of an animated picture, kept beside the picture itself.
#pragma once

#include <vector>

#include "formats/image_buffer.h"

namespace lumra {

inline constexpr int kMaxAnimationFrames = 256;

struct Animation {
    bool animated = false;
    int loopCount = 0;              // passes in all; 0 plays forever
    std::vector<int> delays;        // hundredths of a second, one per frame (frame 0 included)
    std::vector<ImageBuffer> frames;  // frames 1 and on; frame 0 is the picture itself

    int frameCount() const { return static_cast<int>(delays.size()); }
    void Clear() {
        animated = false;
        loopCount = 0;
        delays.clear();
        frames.clear();
    }
};

}  // namespace lumra
