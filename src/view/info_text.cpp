#include "view/info_text.h"

#include "shell/messages.h"

namespace lumra {

std::string FormatKilobytes(int64_t bytes) {
    if (bytes < 0) bytes = 0;
    const int64_t whole = bytes / 1024;
    const int64_t tenth = (bytes % 1024) * 10 / 1024;
    return std::to_string(whole) + "." + std::to_string(tenth) + "KB";
}

std::string FormatFlagLetters(uint32_t sourceFormat, const PictureFlags& flags) {
    std::string letters;
    switch (sourceFormat) {
        case kFormatPng:
            if (flags.interlaced) letters += 'I';
            if (flags.transparent) letters += 'A';
            if (flags.hasText) letters += 'T';
            break;
        case kFormatJpeg:
            if (flags.interlaced) letters += 'P';
            if (flags.hasComment) letters += 'C';
            if (flags.hasText) letters += 'E';
            break;
        case kFormatTiff:
            if (flags.hasComment) letters += 'C';
            break;
        case kFormatGif:
            if (flags.interlaced) letters += 'I';
            if (flags.transparent) letters += 'A';
            if (flags.hasComment) letters += 'C';
            break;
        default:
            break;
    }
    return letters;
}

std::string BuildInfoText(const CurrentPicture& picture, const HistoryState& history) {
    if (!picture.HasPicture()) return std::string();
    const ImageBuffer& image = picture.image;
    std::string text = picture.fileName;
    if (history.IsModified()) text += '*';
    text += "  ( ";
    const std::string letters = FormatFlagLetters(image.sourceFormat, picture.flags);
    if (!letters.empty()) text += letters + "  ";
    text += std::to_string(image.width()) + "x" + std::to_string(image.height());
    // The depth as the file stored it; the in-memory depth when the reader left none.
    const int depth = image.sourceBitDepth > 0 ? image.sourceBitDepth : image.bitCount();
    text += "  " + std::to_string(depth) + "bit  ";
    text += FormatKilobytes(image.fileSize) + " )";
    return text;
}

std::string MainWindowTitle(const CurrentPicture& picture, const HistoryState& history, int zoom) {
    if (!picture.HasPicture()) return kProgramName;
    return BuildInfoText(picture, history) + "  " + std::to_string(zoom / 100) + "%";
}

std::string EditWindowTitle(const CurrentPicture& picture, const HistoryState& history,
                            bool showHistorySize, int64_t historyBytes) {
    if (!picture.HasPicture()) return kProgramName;
    std::string text = BuildInfoText(picture, history) + "  ";
    if (showHistorySize) text += " .... " + FormatKilobytes(historyBytes);
    return text;
}

}  // namespace lumra
