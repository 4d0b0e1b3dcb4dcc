#include "formats/jpeg/jpeg_transform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_markers.h"
#include "document/jpeg_rotate.h"
#include "formats/jpeg/jpeg_save.h"
#include "formats/jpeg_test_util.h"
#include "formats/load_save.h"
#include "shell/session.h"
#include "platform/file_io.h"
#include "shell/show_error.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::Shell;

// A source made by cjpeg, with an Exif segment and a comment added by exiftool.
std::string MakeSource(const test::TempDir& dir, const std::string& name, int w, int h,
                       const std::string& cjpeg, bool markers) {
    const std::string ppm = dir.File(name + ".ppm"), jpg = dir.File(name);
    test::WritePpm(ppm, test::JpegPattern(w, h, static_cast<uint32_t>(name.size())));
    EXPECT_EQ(Shell("cjpeg " + cjpeg + " -outfile " + Quote(jpg) + " " + Quote(ppm)), 0);
    if (markers) {
        EXPECT_EQ(Shell("exiftool -q -q -overwrite_original -Make=Lumra -ExifImageWidth=" + std::to_string(w) +
                        " -ExifImageHeight=" + std::to_string(h) + " -Comment=hello " + Quote(jpg)),
                  0);
    }
    return jpg;
}

std::string JpegtranArgs(const JpegTransformOptions& o) {
    static const char* const kTransform[] = {"", "-rotate 90", "-rotate 180", "-rotate 270",
                                             "-flip horizontal", "-flip vertical"};
    static const char* const kCopy[] = {"none", "comments", "all"};
    std::string a = std::string(kTransform[o.transform]) + " -copy " + kCopy[o.markers] + " -optimize";
    if (o.trim) a += " -trim";
    if (o.progressive) a += " -progressive";
    if (o.grey) a += " -grayscale";
    return a;
}

// Our transform and jpegtran's decode to the same pixels and keep the same markers.
void ExpectLikeJpegtran(const test::TempDir& dir, const std::string& src, const JpegTransformOptions& o) {
    const std::string label = src + " " + JpegtranArgs(o);
    const std::string ours = dir.File("ours.jpg"), ref = dir.File("ref.jpg");
    DecoderContext ctx;
    ASSERT_TRUE(TransformJpegFile(o, src, ours, ctx)) << label << ": " << ctx.message;
    ASSERT_EQ(Shell("jpegtran " + JpegtranArgs(o) + " -outfile " + Quote(ref) + " " + Quote(src)), 0) << label;
    const test::Rgb a = test::Djpeg(ours), b = test::Djpeg(ref);
    ASSERT_GT(a.width, 0) << label;
    EXPECT_TRUE(a == b) << label;
    EXPECT_EQ(test::MarkerSegments(test::ReadFile(ours)), test::MarkerSegments(test::ReadFile(ref))) << label;
}

class TransformLikeJpegtran : public ::testing::TestWithParam<const char*> {};

TEST_P(TransformLikeJpegtran, EveryTransformWithAndWithoutTrim) {
    test::TempDir dir;
    const std::string src = MakeSource(dir, "src.jpg", 100, 75, GetParam(), true);
    for (int t = kJpegTransformNone; t <= kJpegFlipVertical; ++t)
        for (const bool trim : {false, true}) {
            JpegTransformOptions o;
            o.transform = t;
            o.trim = trim;
            ExpectLikeJpegtran(dir, src, o);
        }
}

INSTANTIATE_TEST_SUITE_P(Sources, TransformLikeJpegtran,
                         ::testing::Values("-sample 2x2", "-sample 2x1", "-sample 1x2", "-sample 1x1",
                                           "-grayscale", "-progressive -sample 2x2",
                                           "-sample 2x2 -restart 1"));

TEST(JpegTransform, OptionsLikeJpegtran) {
    test::TempDir dir;
    const std::string src = MakeSource(dir, "opt.jpg", 203, 131, "-sample 2x2", true);
    for (const int t : {kJpegTransformNone, kJpegRotate90, kJpegRotate180, kJpegRotate270,
                        kJpegFlipHorizontal, kJpegFlipVertical}) {
        for (int variant = 0; variant < 5; ++variant) {
            JpegTransformOptions o;
            o.transform = t;
            o.trim = variant % 2 == 0;
            o.grey = variant == 1 || variant == 4;
            o.progressive = variant == 2 || variant == 4;
            o.markers = variant == 3 ? kJpegCopyNone : variant == 4 ? kJpegCopyComments : kJpegCopyAll;
            ExpectLikeJpegtran(dir, src, o);
        }
    }
}

TEST(JpegTransform, TrimAndMarkerChoices) {
    test::TempDir dir;
    const std::string src = MakeSource(dir, "m.jpg", 100, 75, "-sample 2x2", true);
    JpegTransformOptions o;
    o.transform = kJpegRotate90;
    o.trim = true;
    std::vector<uint8_t> out;
    DecoderContext ctx;
    const std::vector<uint8_t> data = test::ReadFile(src);
    ASSERT_TRUE(TransformJpegBytes(data.data(), data.size(), o, out, ctx));
    DecoderContext d;
    ASSERT_TRUE(DecodeJpeg(out.data(), out.size(), d));
    EXPECT_EQ(d.image.width(), 64);  // 75 trimmed to whole 16-pixel blocks
    EXPECT_EQ(d.image.height(), 100);
    EXPECT_TRUE(d.flags.hasText);
    EXPECT_TRUE(d.flags.hasComment);
    o.trim = false;
    ASSERT_TRUE(TransformJpegBytes(data.data(), data.size(), o, out, ctx));
    d = DecoderContext{};
    ASSERT_TRUE(DecodeJpeg(out.data(), out.size(), d));
    EXPECT_EQ(d.image.width(), 75);

    o.markers = kJpegCopyComments;
    ASSERT_TRUE(TransformJpegBytes(data.data(), data.size(), o, out, ctx));
    d = DecoderContext{};
    ASSERT_TRUE(DecodeJpeg(out.data(), out.size(), d));
    EXPECT_FALSE(d.flags.hasText);
    EXPECT_TRUE(d.flags.hasComment);
    o.markers = kJpegCopyNone;
    ASSERT_TRUE(TransformJpegBytes(data.data(), data.size(), o, out, ctx));
    d = DecoderContext{};
    ASSERT_TRUE(DecodeJpeg(out.data(), out.size(), d));
    EXPECT_FALSE(d.flags.hasText);
    EXPECT_FALSE(d.flags.hasComment);

    // Not a JPEG file, a missing source, an unwritable destination.
    const std::vector<uint8_t> bmp{'B', 'M', 0, 0};
    DecoderContext bad;
    EXPECT_FALSE(TransformJpegBytes(bmp.data(), bmp.size(), o, out, bad));
    EXPECT_NE(bad.message.find("Not a JPEG file"), std::string::npos) << bad.message;
    DecoderContext missing;
    EXPECT_FALSE(TransformJpegFile(o, dir.File("none.jpg"), dir.File("x.jpg"), missing));
    EXPECT_EQ(missing.error, kCodecRead);
    DecoderContext unwritable;
    EXPECT_FALSE(TransformJpegFile(o, src, dir.File("no/dir/x.jpg"), unwritable));
    EXPECT_EQ(unwritable.error, kCodecCreate);
}

// A session with its temporary folder and trash in a test folder.
struct Fixture {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.File("tmp")};
    test::ScopedEnv data{"XDG_DATA_HOME", dir.File("data")};
    test::ScopedEnv home{"HOME", dir.File("home")};
    Session s;
    std::vector<int> errors;
    std::vector<std::pair<int, std::string>> reports;
    Fixture() {
        fs::create_directories(dir.File("tmp"));
        fs::create_directories(dir.File("home"));
        s.ui.showError = [this](int code) { errors.push_back(code); };
        s.ui.reportCodecError = [this](int code, const std::string& t) { reports.emplace_back(code, t); };
    }
    size_t TrashCount() const {
        if (!fs::exists(dir.File("data/Trash/files"))) return 0;
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir.File("data/Trash/files")),
                                                 fs::directory_iterator()));
    }
};

TEST(JpegTransSave, SavesTheTransformOfTheCurrentFile) {
    Fixture f;
    const std::string src = MakeSource(f.dir, "p.jpg", 100, 75, "-sample 2x2", true);
    ASSERT_TRUE(LoadPicture(f.s, src));
    EXPECT_TRUE(f.s.picture.flags.hasText);
    EXPECT_TRUE(f.s.picture.flags.hasComment);
    f.s.settings.simg.format = kSaveJpegTrans;
    f.s.picture.orientation = kJpegRotate270;
    ASSERT_TRUE(SavePicture(f.s, f.dir.File("out.jpg")));
    ASSERT_EQ(Shell("jpegtran -rotate 270 -trim -copy all -outfile " + Quote(f.dir.File("ref.jpg")) + " " +
                    Quote(src)),
              0);
    EXPECT_EQ(test::Djpeg(f.dir.File("out.jpg")), test::Djpeg(f.dir.File("ref.jpg")));

    // The file changed on disk since it was loaded: refused before any work.
    struct utimbuf times {1000000, 1000000};
    ASSERT_EQ(utime(src.c_str(), &times), 0);
    EXPECT_FALSE(SavePicture(f.s, f.dir.File("out2.jpg")));
    EXPECT_EQ(f.errors, std::vector<int>{kErrFileChanged});
    EXPECT_FALSE(fs::exists(f.dir.File("out2.jpg")));
    fs::remove(src);
    f.errors.clear();
    EXPECT_FALSE(SavePicture(f.s, f.dir.File("out2.jpg")));
    EXPECT_EQ(f.errors, std::vector<int>{kErrRead});
    EXPECT_TRUE(fs::is_empty(f.dir.File("tmp")));
}

TEST(JpegTransSave, AnEditKeepsTheLoadedFilesTime) {
    Fixture f;
    const std::string src = MakeSource(f.dir, "e.jpg", 32, 16, "", false);
    ASSERT_TRUE(LoadPicture(f.s, src));
    const ImageBuffer loaded = f.s.picture.image.Clone();
    // An edit installs a new buffer that knows nothing of the file.
    ImageBuffer edited;
    ASSERT_TRUE(edited.Allocate(32, 16, 24));
    InstallPicture(f.s, std::move(edited), true, false);
    SetPictureInfo(f.s, nullptr, HistoryMode::kAddEntry, "edit");
    EXPECT_EQ(f.s.picture.image.fileTime, loaded.fileTime);
    EXPECT_EQ(f.s.picture.image.fileSize, loaded.fileSize);
    EXPECT_EQ(f.s.picture.image.sourceFormat, kFormatJpeg);
    f.s.settings.simg.format = kSaveJpegTrans;
    EXPECT_TRUE(SavePicture(f.s, f.dir.File("out.jpg")));
    EXPECT_TRUE(f.errors.empty());
}

TEST(JpegTransSave, RotateInPlaceKeepsAllMarkersAndNeverTrims) {
    Fixture f;
    const std::string src = MakeSource(f.dir, "r.jpg", 100, 75, "-sample 2x2", true);
    const std::vector<uint8_t> before = test::ReadFile(src);
    ASSERT_TRUE(LoadPicture(f.s, src));
    SImgSettings& simg = f.s.settings.simg;
    simg.format = kSavePng;
    simg.jpgTrim = 1;
    simg.jMarker = 0;
    simg.progressive = 1;
    simg.gray = 1;
    const SImgSettings settings = simg;
    ASSERT_TRUE(CanRotateJpegInPlace(f.s));
    ASSERT_TRUE(RotateJpegInPlace(f.s, 1));
    EXPECT_EQ(f.s.settings.simg, settings);
    EXPECT_EQ(f.s.picture.orientation, 0);
    EXPECT_EQ(f.s.picture.image.width(), 75);
    EXPECT_EQ(f.s.picture.image.height(), 100);
    EXPECT_EQ(f.TrashCount(), 1u);
    test::WriteFile(f.dir.File("before.jpg"), before);
    ASSERT_EQ(Shell("jpegtran -rotate 90 -copy all -outfile " + Quote(f.dir.File("ref.jpg")) + " " +
                    Quote(f.dir.File("before.jpg"))),
              0);
    EXPECT_EQ(test::Djpeg(src), test::Djpeg(f.dir.File("ref.jpg")));
    EXPECT_EQ(test::MarkerSegments(test::ReadFile(src)), test::MarkerSegments(test::ReadFile(f.dir.File("ref.jpg"))));
    ASSERT_TRUE(RotateJpegInPlace(f.s, 3));  // and back
    EXPECT_EQ(test::Djpeg(src), test::Djpeg(f.dir.File("before.jpg")));

    // Not while turned in the editor, nor for other formats or an active tool.
    f.s.picture.orientation = 2;
    EXPECT_FALSE(RotateJpegInPlace(f.s, 1));
    f.s.picture.orientation = 0;
    f.s.operationState = 3;
    EXPECT_FALSE(CanRotateJpegInPlace(f.s));
    f.s.operationState = 0;
    f.s.picture.image.sourceFormat = kFormatBmp;
    EXPECT_FALSE(CanRotateJpegInPlace(f.s));
}

TEST(JpegSave, EncodesWithTheSettingsAndReportsLibraryErrors) {
    Fixture f;
    ImageBuffer img = test::JpegPattern(30, 20);
    img.header.biXPelsPerMeter = img.header.biYPelsPerMeter = 3780;
    InstallPicture(f.s, std::move(img), false, true);
    SetPictureInfo(f.s, nullptr, HistoryMode::kClear, "");
    f.s.settings.simg.format = kSaveJpeg;
    f.s.settings.simg.gray = 1;
    f.s.picture.writeComment = true;
    f.s.picture.commentText = "撮影メモ";
    ASSERT_TRUE(SavePicture(f.s, f.dir.File("g.jpg")));
    const std::vector<uint8_t> file = test::ReadFile(f.dir.File("g.jpg"));
    DecoderContext d;
    ASSERT_TRUE(DecodeJpeg(file.data(), file.size(), d));
    EXPECT_EQ(d.image.bitCount(), 8);
    EXPECT_EQ(d.image.header.biXPelsPerMeter, 3780);
    std::string text;
    ASSERT_TRUE(ReadJpegComment(f.dir.File("g.jpg"), text, d));
    EXPECT_EQ(text, "\x8e\x42\x89\x65\x83\x81\x83\x82");  // CP932

    // A JPEG/TRANS save of a file that is not JPEG shows the library's words.
    test::WriteText(f.dir.File("fake.jpg"), "BM not a jpeg");
    f.s.picture.path = f.dir.File("fake.jpg");
    f.s.picture.image.fileTime = FileModifiedTime(f.dir.File("fake.jpg"));
    f.s.picture.image.sourceFormat = kFormatJpeg;
    f.s.settings.simg.format = kSaveJpegTrans;
    EXPECT_FALSE(SavePicture(f.s, f.dir.File("t.jpg")));
    ASSERT_EQ(f.reports.size(), 1u);
    EXPECT_EQ(f.reports[0].first, 0);
    EXPECT_NE(f.reports[0].second.find("Not a JPEG file"), std::string::npos);

    // Codes with their own text go through the codec messages.
    DecoderContext c;
    c.error = kCodecCreate;
    c.message = "ignored";
    ReportJpegError(f.s, c);
    EXPECT_EQ(f.reports.back(), (std::pair<int, std::string>(kCodecCreate, "")));
    c.error = kCodecUnsupported;
    c.message.clear();
    ReportJpegError(f.s, c);
    EXPECT_EQ(f.reports.size(), 2u);  // nothing to show
    // A picture that did not come from a JPEG file has nothing to transform; code 2 has no
    // text on this path, so the library's words are shown.
    f.s.picture.image.sourceFormat = kFormatBmp;
    EXPECT_FALSE(SavePicture(f.s, f.dir.File("t.jpg")));
    ASSERT_EQ(f.reports.size(), 3u);
    EXPECT_EQ(f.reports.back().first, kCodecOk);
    EXPECT_FALSE(f.reports.back().second.empty());
}

}  // namespace
}  // namespace lumra
