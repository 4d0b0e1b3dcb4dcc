// Helpers of the JPEG tests: test pictures, the libjpeg-turbo tools and pixel access.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/image_buffer.h"

namespace lumra::test {

// A 24-bit picture with gradients, edges and noise (deterministic).
ImageBuffer JpegPattern(int width, int height, uint32_t seed = 1);
// Writes the picture as a binary PPM.
void WritePpm(const std::string& path, const ImageBuffer& image);

// Runs a shell command; its exit status.
int Shell(const std::string& command);
std::string Quote(const std::string& s);

// Decoded pixels as R,G,B from the top row down.
struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    bool operator==(const Rgb&) const = default;
};
Rgb PixelsOf(const ImageBuffer& image);
// djpeg's decode of a file (grey widened to R,G,B), with extra options; width 0 when it fails.
Rgb Djpeg(const std::string& path, const std::string& options = "");
// Decodes with our own decoder; width 0 when it fails.
Rgb Decode(const std::string& path);

// The APPn and COM segments of a file up to SOS, each as marker byte plus its data.
std::vector<std::vector<uint8_t>> MarkerSegments(const std::vector<uint8_t>& file);

}  // namespace lumra::test
