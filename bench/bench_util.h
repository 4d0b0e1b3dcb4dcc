// Inputs and reporting shared by the benchmarks.
#pragma once

#include <cstdint>
#include <string>

#include "formats/image_buffer.h"

namespace lumra::bench {

// A deterministic photograph-like 24-bit picture: smooth gradients, soft shapes and noise.
ImageBuffer MakePhotoLike(int width, int height, uint32_t seed = 1);
// MakePhotoLike written as a JPEG at the program's default settings; false on failure.
bool WritePhotoJpeg(const std::string& path, int width, int height, uint32_t seed);

// A new folder under /tmp named prefix + a unique suffix, removed with everything in it
// when this goes. path() is empty when it could not be made.
class TempFolder {
public:
    explicit TempFolder(const char* prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace lumra::bench
