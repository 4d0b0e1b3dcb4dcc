// lumra with JPEG files: encoding options, the lossless transform and the Exif rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::Quote;
using test::Shell;

struct Result {
    int code;
    std::string out, err;
};

Result Lumra(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

struct CliJpeg : ::testing::Test {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    test::ScopedEnv data{"XDG_DATA_HOME", dir.File("data")};
    std::string Jpeg(const std::string& name, const std::string& cjpeg = "-sample 2x2") {
        test::WritePpm(dir.File("src.ppm"), test::JpegPattern(100, 75));
        EXPECT_EQ(Shell("cjpeg " + cjpeg + " -outfile " + Quote(dir.File(name)) + " " + Quote(dir.File("src.ppm"))), 0);
        return dir.File(name);
    }
};

TEST_F(CliJpeg, LosslessTransformWithOrientation) {
    const std::string src = Jpeg("a.jpg");
    EXPECT_EQ(Shell("exiftool -q -q -overwrite_original -Make=Cli -Comment=c " + Quote(src)), 0);
    struct Case {
        std::vector<std::string> options;
        std::string jpegtran;
    };
    for (const Case& c : {Case{{"--orientation", "1"}, "-rotate 90 -trim -copy all"},
                          Case{{"--orientation=3", "--no-trim"}, "-rotate 270 -copy all"},
                          Case{{"--orientation", "4", "--markers", "comments", "--gray"},
                               "-flip horizontal -trim -copy comments -grayscale"},
                          Case{{"--orientation", "5", "--markers", "none", "--progressive"},
                               "-flip vertical -trim -copy none -progressive"},
                          Case{{}, "-copy all"}}) {
        std::vector<std::string> args{"convert", src, dir.File("o.jpg"), "--format", "jpeg-trans"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result r = Lumra(args);
        ASSERT_EQ(r.code, 0) << r.err;
        ASSERT_EQ(Shell("jpegtran " + c.jpegtran + " -outfile " + Quote(dir.File("r.jpg")) + " " + Quote(src)), 0);
        EXPECT_EQ(test::Djpeg(dir.File("o.jpg")), test::Djpeg(dir.File("r.jpg"))) << c.jpegtran;
        EXPECT_EQ(test::MarkerSegments(test::ReadFile(dir.File("o.jpg"))),
                  test::MarkerSegments(test::ReadFile(dir.File("r.jpg"))))
            << c.jpegtran;
    }
    const Result bad = Lumra({"convert", src, dir.File("o.jpg"), "--format", "jpeg-trans", "--orientation", "6"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("--orientation"), std::string::npos);
    EXPECT_EQ(Lumra({"info", src, "--orientation", "1"}).code, 2);
}

TEST_F(CliJpeg, EncodeOptions) {
    const std::string src = Jpeg("b.jpg", "-grayscale");
    Result r = Lumra({"convert", src, dir.File("q.jpg"), "--quality", "40", "--sampling", "2",
                      "--progressive", "--comment", "メモ"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<uint8_t> f = test::ReadFile(dir.File("q.jpg"));
    DecoderContext ctx;
    ASSERT_TRUE(DecodeJpeg(f.data(), f.size(), ctx));
    EXPECT_TRUE(ctx.flags.interlaced);
    EXPECT_TRUE(ctx.flags.hasComment);
    EXPECT_EQ(ctx.image.bitCount(), 24);  // a grey picture written in colour unless asked
    std::string text;
    ASSERT_TRUE(ReadJpegComment(dir.File("q.jpg"), text, ctx));
    EXPECT_EQ(text, "\x83\x81\x83\x82");

    r = Lumra({"convert", src, dir.File("l.jpg"), "--limit-kb", "1"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_LE(test::ReadFile(dir.File("l.jpg")).size(), 1024u);
}

TEST_F(CliJpeg, ExifRows) {
    const std::string src = Jpeg("e.jpg");
    Result r = Lumra({"exif", src});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, src + ": データ読み取りに失敗しました。\n");
    EXPECT_EQ(Shell("exiftool -q -q -overwrite_original -Model=X100 -ISO=800 -FocalLength=23 " + Quote(src)), 0);
    r = Lumra({"exif", src});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "メーカー:\n機種:X100\nシャッター:\n絞り値:\n露出制御:\nISO感度:800\n露出補正:\n"
              "測光方式:\nフラッシュ:OFF\n焦点距離:23.0mm\n開放Ｆ値:\n撮影日時:\n");
    EXPECT_EQ(Lumra({"exif"}).code, 2);
    EXPECT_EQ(Lumra({"exif", src, src}).code, 2);
}

}  // namespace
}  // namespace lumra
