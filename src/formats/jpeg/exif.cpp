#include "formats/jpeg/exif.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "formats/jpeg/jpeg_markers.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

constexpr size_t kTextMax = 64;
constexpr size_t kDateMax = 20;

// The TIFF structure inside the segment; every read is checked against its end.
class Tiff {
public:
    Tiff(const uint8_t* data, size_t size) : data_(data), size_(size) {
        little_ = size >= 2 && data[0] == 0x49 && data[1] == 0x49;
    }
    bool Has(uint64_t offset, uint64_t bytes) const {
        return offset <= size_ && bytes <= size_ - offset;
    }
    uint16_t U16(size_t at) const {
        return little_ ? static_cast<uint16_t>(data_[at] | data_[at + 1] << 8)
                       : static_cast<uint16_t>(data_[at] << 8 | data_[at + 1]);
    }
    uint32_t U32(size_t at) const {
        const uint32_t a = data_[at], b = data_[at + 1], c = data_[at + 2], d = data_[at + 3];
        return little_ ? (a | b << 8 | c << 16 | d << 24) : (a << 24 | b << 16 | c << 8 | d);
    }
    const uint8_t* At(size_t at) const { return data_ + at; }

private:
    const uint8_t* data_;
    size_t size_;
    bool little_ = false;
};

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    size_t valueAt;  // the 4-byte value field
};

// Bytes of a value: inline when they fit in four bytes, else at the offset. False when
// they lie outside the segment.
bool ValueBytes(const Tiff& t, const Entry& e, size_t n, const uint8_t*& p) {
    if (e.count <= 4 && n <= 4) {
        p = t.At(e.valueAt);
        return true;
    }
    const uint32_t offset = t.U32(e.valueAt);
    if (!t.Has(offset, n)) return false;
    p = t.At(offset);
    return true;
}

std::string Text(const Tiff& t, const Entry& e, size_t max) {
    const size_t n = std::min<size_t>(e.count, max);
    const uint8_t* p = nullptr;
    if (n == 0 || !ValueBytes(t, e, n, p)) return std::string();
    const void* zero = std::memchr(p, 0, n);
    const size_t len = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : n;
    return std::string(reinterpret_cast<const char*>(p), len);
}

bool Rational(const Tiff& t, const Entry& e, bool isSigned, ExifRational& out) {
    const uint32_t offset = t.U32(e.valueAt);
    if (!t.Has(offset, 8)) return false;
    const uint32_t n = t.U32(offset), d = t.U32(offset + 4);
    if (isSigned) {
        out.numerator = static_cast<int32_t>(n);
        out.denominator = static_cast<int32_t>(d);
    } else {
        out.numerator = n;
        out.denominator = d;
    }
    return true;
}

uint16_t Short(const Tiff& t, const Entry& e) {
    if (e.type == 4 || e.type == 9) return static_cast<uint16_t>(t.U32(e.valueAt));
    return t.U16(e.valueAt);
}

// Entries of the IFD at offset that lie inside the segment; false when the IFD does not.
bool ReadIfd(const Tiff& t, uint32_t offset, std::vector<Entry>& entries) {
    entries.clear();
    if (!t.Has(offset, 2)) return false;
    const uint16_t count = t.U16(offset);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = uint64_t{offset} + 2 + uint64_t{12} * i;
        if (!t.Has(at, 12)) break;
        const size_t a = static_cast<size_t>(at);
        entries.push_back(Entry{t.U16(a), t.U16(a + 2), t.U32(a + 4), a + 8});
    }
    return true;
}

bool ReadTiff(const Tiff& t, ExifRecord& r) {
    if (!t.Has(0, 8)) return false;
    std::vector<Entry> entries;
    if (!ReadIfd(t, t.U32(4), entries)) return false;
    bool haveExifIfd = false;
    uint32_t exifIfd = 0;
    for (const Entry& e : entries) {
        if (e.tag == 271) {
            r.maker = Text(t, e, kTextMax);
        } else if (e.tag == 272) {
            r.model = Text(t, e, kTextMax);
        } else if (e.tag == 34665) {
            exifIfd = t.U32(e.valueAt);
            haveExifIfd = true;
            break;
        }
    }
    if (!haveExifIfd || !ReadIfd(t, exifIfd, entries) || entries.empty()) return false;

    // The recorded exposure time and F-number are shown when the file has them; the APEX
    // shutter speed and aperture values stand in for them otherwise.
    bool haveTime = false, haveFNumber = false;
    ExifRational fNumber, shutterTime;
    bool haveShutter = false, haveApex = false;
    double apexAperture = 0;
    for (const Entry& e : entries) {
        ExifRational v;
        switch (e.tag) {
            case 33434:
                if (!haveTime && Rational(t, e, false, v)) {
                    r.exposureTime = v;
                    haveTime = true;
                }
                break;
            case 33437:
                if (!haveFNumber && Rational(t, e, false, v)) {
                    fNumber = v;
                    haveFNumber = true;
                }
                break;
            case 37378:
                if (Rational(t, e, false, v) && v.denominator != 0) {
                    apexAperture = std::pow(2.0, static_cast<double>(v.numerator) / v.denominator / 2);
                    haveApex = true;
                }
                break;
            case 34850: r.exposureProgram = Short(t, e); break;
            case 34855: r.isoSpeed = Short(t, e); break;
            case 36867: r.dateTime = Text(t, e, kDateMax); break;
            case 37377:
                if (Rational(t, e, true, v) && v.denominator != 0) {
                    const double speed = std::floor(std::pow(2.0, static_cast<double>(v.numerator) / v.denominator));
                    shutterTime.numerator = 1;
                    shutterTime.denominator =
                        std::isfinite(speed) && speed < 2147483648.0 ? static_cast<int64_t>(speed) : 0;
                    haveShutter = true;
                }
                break;
            case 37380: Rational(t, e, true, r.exposureBias); break;
            case 37381: Rational(t, e, false, r.maxAperture); break;
            case 37383: r.meteringMode = Short(t, e); break;
            case 37385: r.flash = Short(t, e); break;
            case 37386: Rational(t, e, false, r.focalLength); break;
            default: break;
        }
    }
    if (!haveTime && haveShutter) r.exposureTime = shutterTime;
    if (haveFNumber && fNumber.denominator != 0) {
        r.aperture = static_cast<double>(fNumber.numerator) / fNumber.denominator;
        r.hasAperture = true;
    } else if (haveApex) {
        r.aperture = apexAperture;
        r.hasAperture = true;
    }
    return true;
}

std::string Fixed1(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    if (res.ec != std::errc()) return std::string();
    return std::string(buf, res.ptr);
}

const char* const kPrograms[8] = {"マニュアル", "プログラムAE", "絞り優先AE", "シャッター速度優先AE",
                                  "低速プログラムAE", "高速プログラムAE", "ポートレートモード", "風景モード"};
const char* const kMetering[6] = {"平均測光", "中央重点測光", "スポット測光", "多点スポット測光",
                                  "分割測光", "部分測光"};

}  // namespace

bool ReadExif(const uint8_t* data, size_t size, ExifRecord& record) {
    record = ExifRecord{};
    JpegMarkerWalker walker(data, size);
    JpegSegment seg;
    static const uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (;;) {
        if (walker.Next(seg) != JpegMarkerWalker::Step::Segment) return false;
        if (seg.marker != 0xE1 || seg.end - seg.dataStart < 6 ||
            std::memcmp(data + seg.dataStart, kExif, 6) != 0)
            continue;
        const Tiff tiff(data + seg.dataStart + 6, seg.end - seg.dataStart - 6);
        if (!ReadTiff(tiff, record)) {
            record = ExifRecord{};
            return false;
        }
        return true;
    }
}

bool ReadExifFile(const std::string& path, ExifRecord& record) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return false;
    return ReadExif(data.data(), data.size(), record);
}

ExifRows MakeExifRows(const ExifRecord& r) {
    ExifRows rows{{{"メーカー", {}}, {"機種", {}}, {"シャッター", {}}, {"絞り値", {}},
                   {"露出制御", {}}, {"ISO感度", {}}, {"露出補正", {}}, {"測光方式", {}},
                   {"フラッシュ", {}}, {"焦点距離", {}}, {"開放Ｆ値", {}}, {"撮影日時", {}}}};
    rows[0].value = AnsiToUtf8(r.maker);
    rows[1].value = AnsiToUtf8(r.model);
    if (r.exposureTime.denominator != 0)
        rows[2].value = std::to_string(static_cast<int32_t>(r.exposureTime.numerator)) + "/" +
                        std::to_string(static_cast<int32_t>(r.exposureTime.denominator)) + "秒";
    if (r.hasAperture) rows[3].value = Fixed1(r.aperture);
    if (r.exposureProgram >= 1 && r.exposureProgram <= 8) rows[4].value = kPrograms[r.exposureProgram - 1];
    if (r.isoSpeed != 0) rows[5].value = std::to_string(r.isoSpeed);
    if (r.exposureBias.denominator != 0)
        rows[6].value = Fixed1(static_cast<double>(r.exposureBias.numerator) /
                               static_cast<double>(r.exposureBias.denominator));
    if (r.meteringMode >= 1 && r.meteringMode <= 6) rows[7].value = kMetering[r.meteringMode - 1];
    rows[8].value = (r.flash & 1) ? "ON" : "OFF";
    if (r.focalLength.denominator != 0)
        rows[9].value = Fixed1(static_cast<double>(r.focalLength.numerator) /
                               static_cast<double>(r.focalLength.denominator));
    rows[9].value += "mm";
    if (r.maxAperture.denominator != 0)
        rows[10].value = Fixed1(std::pow(2.0, static_cast<double>(r.maxAperture.numerator) /
                                                  static_cast<double>(r.maxAperture.denominator) / 2));
    rows[11].value = AnsiToUtf8(r.dateTime);
    return rows;
}

std::string ExifRowsText(const ExifRows& rows) {
    std::string text;
    for (const ExifRow& row : rows) {
        text += row.label;
        text += ':';
        text += row.value;
        text += '\n';
    }
    return text;
}

}  // namespace lumra
