// The current picture and what the program knows about it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"
#include "formats/image_buffer.h"
#include "formats/codec_options.h"
#include "document/history_store.h"

namespace lumra {

// The last trial save: the temporary file and the settings it was written with.
struct TrialSaveRecord {
    bool valid = false;
    std::string tempPath;
    SImgSettings simg;
    bool saveTransparent = false;
    bool writeComment = false;
    std::string comment;
    LImgSettings limg;
    int orientation = 0;
    bool previewShown = false;
    ImageBuffer preview;
    int64_t size = 0;
};

using HistoryState = HistoryStore;

// The facts of the file the picture was loaded from; an edit keeps them.
struct LoadedFile {
    uint32_t format = kFormatUnknown;
    int32_t size = 0;
    int32_t sourceBitDepth = 0;
    int64_t time = 0;  // last-write time, nanoseconds
};

struct CurrentPicture {
    ImageBuffer image;     // empty when there is no picture
    std::string path;      // full path; empty for a pasted picture
    std::string fileName;  // file-name part; "clip" for a pasted picture
    PictureFlags flags;
    int xResolution = 0;   // pixels per metre, negative stored as 0
    int yResolution = 0;
    int orientation = 0;   // OrientationState
    bool saveTransparent = false;
    bool writeComment = false;
    std::string commentText;
    TrialSaveRecord trial;
    Animation animation;   // frames of an animated GIF; empty otherwise
    LoadedFile loaded;
    // SelectionMask: width x height bytes, rows bottom-up, no padding; empty when none.
    std::vector<uint8_t> selection;

    bool HasPicture() const { return !image.empty(); }
};

}  // namespace lumra
