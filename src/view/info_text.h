// The information text of the current picture and the window titles built from it.
#pragma once

#include <cstdint>
#include <string>

#include "document/picture.h"

namespace lumra {

// "<size / 1024>.<tenths, truncated>KB", e.g. 52300 -> "51.0KB".
std::string FormatKilobytes(int64_t bytes);

// Format letters by source format and the flags the reader reported.
std::string FormatFlagLetters(uint32_t sourceFormat, const PictureFlags& flags);

// e.g. "a.jpg  ( C  640x480  24bit  51.0KB )"; "*" after the name when modified.
// Empty without a picture.
std::string BuildInfoText(const CurrentPicture& picture, const HistoryState& history);

// The main window's title in normal display and full screen: the information text,
// two blanks and the zoom in whole percent; "Lumra Ex" without a picture.
// zoom is in hundredths of a percent (10000 = 100 %).
std::string MainWindowTitle(const CurrentPicture& picture, const HistoryState& history, int zoom);

// The edit window's title: the information text and two blanks, followed by
// " .... <size>KB" when the history size is shown; "Lumra Ex" without a picture.
std::string EditWindowTitle(const CurrentPicture& picture, const HistoryState& history,
                            bool showHistorySize, int64_t historyBytes);

}  // namespace lumra
