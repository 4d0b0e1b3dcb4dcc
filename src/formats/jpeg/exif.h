// Camera data from a JPEG file's Exif APP1 segment, and the twelve rows shown of it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lumra {

struct ExifRational {
    int64_t numerator = 0;
    int64_t denominator = 0;
};

struct ExifRecord {
    std::string maker;      // as stored (CP932), at most 64 bytes
    std::string model;
    ExifRational exposureTime;  // seconds
    bool hasAperture = false;
    double aperture = 0;        // F-number
    uint16_t exposureProgram = 0;
    uint16_t isoSpeed = 0;
    std::string dateTime;       // at most 20 bytes
    ExifRational exposureBias;  // signed
    ExifRational maxAperture;   // APEX value
    uint16_t meteringMode = 0;
    uint16_t flash = 0;
    ExifRational focalLength;   // millimetres
};

// Walks the file's markers to the first Exif APP1 segment and reads IFD 0 (maker, model,
// the Exif IFD's place) and the Exif IFD. False when there is no Exif segment before
// SOS/EOI, no Exif IFD, an empty one, or the walk breaks.
bool ReadExif(const uint8_t* data, size_t size, ExifRecord& record);
bool ReadExifFile(const std::string& path, ExifRecord& record);

struct ExifRow {
    const char* label;
    std::string value;  // UTF-8
};
using ExifRows = std::array<ExifRow, 12>;

// The dialog's rows, in order.
ExifRows MakeExifRows(const ExifRecord& record);
// "label:value\n" per row: the text copied to the clipboard.
std::string ExifRowsText(const ExifRows& rows);

}  // namespace lumra
