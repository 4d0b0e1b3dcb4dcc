#include "formats/jpeg/exif.h"

#include <gtest/gtest.h>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::Quote;

std::string Rows(const ExifRecord& r) { return ExifRowsText(MakeExifRows(r)); }

// A small JPEG with Exif written by exiftool; the rows we read of it.
struct ExiftoolFile {
    test::TempDir dir;
    std::string path = dir.File("e.jpg");
    explicit ExiftoolFile(const std::string& args) {
        std::vector<uint8_t> jpeg;
        DecoderContext ctx;
        EXPECT_TRUE(EncodeJpegToMemory(test::JpegPattern(32, 16), JpegEncodeOptions{}, jpeg, ctx));
        test::WriteFile(path, jpeg);
        EXPECT_EQ(test::Shell("exiftool -q -q -overwrite_original " + args + " " + Quote(path)), 0) << args;
    }
    bool Read(ExifRecord& r) const { return ReadExifFile(path, r); }
};

TEST(Exif, AllTwelveRowsFromExiftool) {
    for (const char* order : {"II", "MM"}) {
        ExiftoolFile f(std::string("-ExifByteOrder=") + order +
                       " -Make='Canon  ' -Model='Canon EOS 5D Mark IV' -ExposureTime=1/200"
                       " -FNumber=5.6 -ExposureProgram#=3 -ISO=400 -ExposureCompensation=-1/3"
                       " -MeteringMode#=5 -EXIF:Flash#=25 -FocalLength=50 -MaxApertureValue=4"
                       " '-DateTimeOriginal=2021:03:04 05:06:07'");
        ExifRecord r;
        ASSERT_TRUE(f.Read(r)) << order;
        EXPECT_EQ(Rows(r),
                  "メーカー:Canon  \n"  // as stored, blanks kept
                  "機種:Canon EOS 5D Mark IV\n"
                  "シャッター:1/200秒\n"
                  "絞り値:5.6\n"
                  "露出制御:絞り優先AE\n"
                  "ISO感度:400\n"
                  "露出補正:-0.3\n"
                  "測光方式:分割測光\n"
                  "フラッシュ:ON\n"
                  "焦点距離:50.0mm\n"
                  "開放Ｆ値:4.0\n"
                  "撮影日時:2021:03:04 05:06:07\n")
            << order;
    }
}

TEST(Exif, AbsentTagsAndApexValues) {
    // Only the APEX values: the exposure time and aperture come from them.
    ExiftoolFile apex("-ExifByteOrder=II -ShutterSpeedValue=1/8 -ApertureValue=2.8 -ExposureProgram#=9"
                      " -MeteringMode#=255 -ExposureCompensation=0");
    ExifRecord r;
    ASSERT_TRUE(apex.Read(r));
    ExifRows rows = MakeExifRows(r);
    EXPECT_EQ(rows[0].value, "");
    EXPECT_EQ(rows[2].value, "1/8秒");
    EXPECT_EQ(rows[3].value, "2.8");
    EXPECT_EQ(rows[4].value, "");
    EXPECT_EQ(rows[5].value, "");
    EXPECT_EQ(rows[6].value, "0.0");
    EXPECT_EQ(rows[7].value, "");
    EXPECT_EQ(rows[8].value, "OFF");  // no Flash tag
    EXPECT_EQ(rows[9].value, "mm");   // no focal length
    EXPECT_EQ(rows[10].value, "");
    EXPECT_EQ(rows[11].value, "");

    // Recorded values win over the APEX ones when a file has both.
    ExiftoolFile both("-ExposureTime=1/200 -ShutterSpeedValue=1/8 -FNumber=5.6 -ApertureValue=2.8"
                      " -ExposureProgram#=1 -MeteringMode#=6");
    ASSERT_TRUE(both.Read(r));
    rows = MakeExifRows(r);
    EXPECT_EQ(rows[2].value, "1/200秒");
    EXPECT_EQ(rows[3].value, "5.6");
    EXPECT_EQ(rows[4].value, "マニュアル");
    EXPECT_EQ(rows[7].value, "部分測光");
}

// Hand-built Exif segments (little-endian) for what exiftool will not write.
struct Ifd {
    std::vector<std::array<uint32_t, 4>> entries;  // tag, type, count, value
};

std::vector<uint8_t> ExifJpeg(const Ifd& ifd0, const Ifd* exif, const std::vector<uint8_t>& extra = {}) {
    std::vector<uint8_t> t{'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put = [&](const Ifd& ifd) {
        test::Put16(t, static_cast<uint32_t>(ifd.entries.size()));
        for (const auto& e : ifd.entries) {
            test::Put16(t, e[0]);
            test::Put16(t, e[1]);
            test::Put32(t, e[2]);
            test::Put32(t, e[3]);
        }
        test::Put32(t, 0);
    };
    put(ifd0);
    if (exif) put(*exif);
    t.insert(t.end(), extra.begin(), extra.end());
    std::vector<uint8_t> f{0xFF, 0xD8, 0xFF, 0xE1};
    const size_t n = t.size() + 8;
    f.push_back(static_cast<uint8_t>(n >> 8));
    f.push_back(static_cast<uint8_t>(n));
    for (const char c : {'E', 'x', 'i', 'f', '\0', '\0'}) f.push_back(static_cast<uint8_t>(c));
    f.insert(f.end(), t.begin(), t.end());
    for (const uint8_t b : {0xFF, 0xDA, 0, 2, 0xFF, 0xD9}) f.push_back(b);
    return f;
}

TEST(Exif, HandBuiltSegments) {
    // IFD 0 at 8 with 2 entries ends at 8 + 2 + 24 + 4 = 38: the Exif IFD follows there.
    const uint32_t inlineMake = 'A' | 'b' << 8 | 'c' << 16;  // "Abc\0", four bytes inline
    Ifd ifd0{{{271, 2, 4, inlineMake}, {34665, 4, 1, 38}}};
    // Exif IFD at 38 with 3 entries ends at 38 + 2 + 36 + 4 = 80; a rational at 80.
    Ifd exif{{{33434, 5, 1, 80}, {37385, 3, 1, 1}, {37386, 5, 1, 5000}}};
    std::vector<uint8_t> rational;
    test::Put32(rational, 1);
    test::Put32(rational, 60);
    ExifRecord r;
    std::vector<uint8_t> f = ExifJpeg(ifd0, &exif, rational);
    ASSERT_TRUE(ReadExif(f.data(), f.size(), r));
    ExifRows rows = MakeExifRows(r);
    EXPECT_EQ(rows[0].value, "Abc");
    EXPECT_EQ(rows[2].value, "1/60秒");
    EXPECT_EQ(rows[8].value, "ON");
    EXPECT_EQ(rows[9].value, "mm");  // its offset lies outside the segment

    // No Exif IFD pointer, an empty Exif IFD, an IFD outside the segment: no Exif.
    Ifd noPointer{{{271, 2, 4, inlineMake}}};
    f = ExifJpeg(noPointer, nullptr);
    EXPECT_FALSE(ReadExif(f.data(), f.size(), r));
    Ifd empty;
    f = ExifJpeg(ifd0, &empty);
    EXPECT_FALSE(ReadExif(f.data(), f.size(), r));
    Ifd far{{{34665, 4, 1, 0xFFFFFFF0}}};
    f = ExifJpeg(far, nullptr);
    EXPECT_FALSE(ReadExif(f.data(), f.size(), r));
    // A file with no Exif segment, and a marker walk that breaks.
    const std::vector<uint8_t> plain{0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF, 0xD9};
    EXPECT_FALSE(ReadExif(plain.data(), plain.size(), r));
    f = ExifJpeg(ifd0, &exif, rational);
    f[5] = 0xFF;  // the APP1 length past the end
    EXPECT_FALSE(ReadExif(f.data(), f.size(), r));
    // An IFD 0 claiming more entries than the segment holds: the ones present count.
    f = ExifJpeg(ifd0, &exif, rational);
    f[20] = 200;  // entry count of IFD 0 (segment data starts at 6, TIFF at 12, count at 12 + 8)
    EXPECT_TRUE(ReadExif(f.data(), f.size(), r));
}

TEST(Exif, ClipboardTextHasALinePerRow) {
    ExifRecord r;
    r.maker = "\x83\x4c\x83\x83\x83\x6d\x83\x93";  // キャノン in CP932
    r.model = " X1 ";
    r.focalLength = {35, 1};
    const std::string text = Rows(r);
    EXPECT_EQ(text.rfind("メーカー:キャノン\n機種: X1 \nシャッター:\n", 0), 0u);
    EXPECT_NE(text.find("\n焦点距離:35.0mm\n開放Ｆ値:\n撮影日時:\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12);
}

}  // namespace
}  // namespace lumra
