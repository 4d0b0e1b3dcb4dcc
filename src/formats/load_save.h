// Format detection and the codec tables: decoding files and encoding pictures by format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/decoder_context.h"

namespace lumra {

// Classifies a file by its first bytes (at most 8 are read).
FormatCode DetectFormat(const std::string& path);
// The same rule over bytes already read (size = what a read returned, up to 8).
FormatCode DetectFormatBytes(const uint8_t* data, size_t size);

// Own decoder of a format over the whole file in memory. ctx.load holds the LImg options.
using DecodeFn = bool (*)(const uint8_t* data, size_t size, DecoderContext& ctx);
DecodeFn DecoderFor(FormatCode format);

// What an encoder needs beside the picture.
struct SaveRequest {
    SImgSettings simg;
    LImgSettings limg;
    bool saveTransparent = false;
    bool writeComment = false;
    std::string comment;
    int orientation = 0;
    std::string sourcePath;  // the current file (lossless JPEG transform)
    uint32_t sourceFormat = kFormatUnknown;
    // Told true when a long compression starts and false when it ends (PNG deflate); called
    // on the encoding thread. May be empty.
    std::function<void(bool)> compressing;
};

// Encodes by simg.format into path. Formats without an encoder fail with CodecError 2.
bool EncodePicture(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                   DecoderContext& ctx);

// Reads and decodes a file with its own codec (no plug-ins). Sets fileSize and fileTime.
bool DecodeFile(const std::string& path, FormatCode format, const LImgSettings& load,
                DecoderContext& ctx);

// A file decoded by its own codec, ready to become the current picture. It owns
// everything it holds, so it may be made on another thread and installed later.
struct DecodedPicture {
    FormatCode format = kFormatUnknown;
    ImageBuffer image;
    PictureFlags flags;    // as the current picture gets them
    Animation animation;   // GIF frames; empty otherwise
    int error = 0;         // CodecError of a failed decode
    std::string message;   // the library's text of a failed decode (JPEG)
    // The whole picture already reduced for display when that was done ahead: top-down
    // rows of 0xFFRRGGBB words, displayW words apart; empty otherwise.
    std::vector<uint32_t> displayCopy;
    int displayW = 0;
    int displayH = 0;

    // Bytes the pixels take, frames included.
    size_t MemoryBytes() const;
};

// Detects the format and decodes with the own codec; no plug-ins, no document. False for
// formats only the plug-ins read and for failures (error set).
bool DecodeOwnFormat(const std::string& path, const LImgSettings& load, DecodedPicture& out);
// Decodes a file of a known own format.
bool DecodeOwnFormat(const std::string& path, FormatCode format, const LImgSettings& load,
                     DecodedPicture& out);
// The same over a whole file already in memory, its format detected from the first bytes.
// fileTime is the file's last-write time (nanoseconds).
bool DecodeOwnFormatData(const uint8_t* data, size_t size, const LImgSettings& load,
                         int64_t fileTime, DecodedPicture& out);
}  // namespace lumra
