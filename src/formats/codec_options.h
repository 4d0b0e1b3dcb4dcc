// The load and save options the codecs read, as plain values (the LImg and SImg sections).
#pragma once

namespace lumra {

// LImg: how pictures are turned into ImageBuffers.
struct LImgSettings {
    int gamma = 1;
    int dispGam = 2200;
    int alpha = 1;
    int fbg = 1;
    int bgR = 255;
    int bgG = 255;
    int bgB = 255;
    friend bool operator==(const LImgSettings&, const LImgSettings&) = default;
};

// SImg: how pictures are written.
struct SImgSettings {
    int format = 0;
    int depth = 24;
    int gray = 0;
    int dither = 0;
    int level = 9;
    int filter = 0;
    int interlace = 0;
    int gamma = 0;
    int saveGam = 2200;
    int alphaR = 255;
    int alphaG = 255;
    int alphaB = 255;
    int quality = 75;
    int sampling = 0;
    int progressive = 0;
    int jMarker = 2;
    int jpgTrim = 1;
    int jpgLimit = 0;
    int jpgLmtVal = 100;
    friend bool operator==(const SImgSettings&, const SImgSettings&) = default;
};

}  // namespace lumra
