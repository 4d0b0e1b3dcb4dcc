// Format detection, loading into the current picture and saving through temporary files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "formats/decoder_context.h"
#include "shell/session.h"

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
    const UiHooks* ui = nullptr;  // the main window, for the title during long encodes
};
SaveRequest MakeSaveRequest(const Session& session);

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
    // The whole picture already reduced for display when that was done ahead: top-down
    // rows of 0xFFRRGGBB words, displayW words apart; empty otherwise.
    std::vector<uint32_t> displayCopy;
    int displayW = 0;
    int displayH = 0;

    // Bytes the pixels take, frames included.
    size_t MemoryBytes() const;
};

// Detects the format and decodes with the own codec; no plug-ins, no session. False for
// formats only the plug-ins read and for failures (error set).
bool DecodeOwnFormat(const std::string& path, const LImgSettings& load, DecodedPicture& out);
// Decodes a file of a known own format.
bool DecodeOwnFormat(const std::string& path, FormatCode format, const LImgSettings& load,
                     DecodedPicture& out);
// The same over a whole file already in memory, its format detected from the first bytes.
// fileTime is the file's last-write time (nanoseconds).
bool DecodeOwnFormatData(const uint8_t* data, size_t size, const LImgSettings& load,
                         int64_t fileTime, DecodedPicture& out);
// Makes a decoded file the current picture, with its flags and frames; the history is cleared.
void InstallDecoded(Session& session, const std::string& path, DecodedPicture&& decoded);

// The plug-in fallback; false when SPI does not name a folder or nothing reads the file.
bool LoadWithPlugins(Session& session, const std::string& path, ImageBuffer* preview);

// Opens a file as the current picture (own codec, then plug-ins). Flags of the
// previous picture are kept when it fails.
bool LoadPicture(Session& session, const std::string& path);
// The same, taking the picture from a decode made ahead when `ahead` gives one (it may wait
// for a decode under way, while the title says "wait...").
using DecodedAhead = std::function<std::optional<DecodedPicture>()>;
bool LoadPicture(Session& session, const std::string& path, const DecodedAhead& ahead);
// Per-format load; with preview set the picture is decoded into it instead of installed,
// and the file size is returned through previewSize.
bool LoadFormat(Session& session, const std::string& path, FormatCode format,
                ImageBuffer* preview = nullptr, int64_t* previewSize = nullptr);

void InstallPicture(Session& session, ImageBuffer&& image, bool recordFirst, bool sizeChanged);
// historyMode 1: clear the history (picture unmodified); 2: add an entry with the label.
void SetPictureInfo(Session& session, const std::string* path, int historyMode,
                    const std::string& label);
void ReleasePicture(Session& session);

// Paste: the packed DIB becomes the current picture named "clip" with no path.
bool PastePicture(Session& session, const uint8_t* dib, size_t size);

bool EncodeToTempFile(Session& session);
bool SavePicture(Session& session, const std::string& destination);
bool TrialSave(Session& session);
void DiscardTrialSave(Session& session);
// Whether the trial record was written with the settings now in force.
bool TrialSaveMatches(const Session& session);

}  // namespace lumra
