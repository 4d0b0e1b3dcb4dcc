// Errors of the own codecs, with their fixed messages.
#pragma once

namespace lumra {

enum CodecError : int {
    kCodecOk = 0,
    kCodecMemory = 1,
    kCodecUnsupported = 2,
    kCodecCommentEdit = 3,
    kCodecRead = 4,
    kCodecCreate = 5,
    kCodecBadInfo = 6,
    kCodecSave = 7,
    kCodecPngSignature = 8,
    kCodecCrc = 9,
    kCodecChunkLength = 10,
    kCodecIhdrLength = 11,
    kCodecIhdrType = 12,
    kCodecIhdrSize = 13,
    kCodecIhdrColorType = 14,
    kCodecIhdrBitDepth = 15,
    kCodecIhdrCompression = 16,
    kCodecIhdrFilter = 17,
    kCodecIhdrInterlace = 18,
    kCodecPlteLength = 19,
    kCodecChunkOrder = 20,
    kCodecCriticalChunk = 21,
    kCodecIdatLength = 22,
    kCodecZlibRead = 23,
    kCodecZlibWrite = 24,
};

// The message of a code; empty for codes outside 1-24.
const char* CodecErrorText(int code);

}  // namespace lumra
