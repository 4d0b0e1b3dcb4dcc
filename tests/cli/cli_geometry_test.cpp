// lumra edit with the geometric operations, the quarter turns and mirrors.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "document/error_codes.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/jpeg_test_util.h"
#include "shell/show_error.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::Shell;

struct Geometry : ::testing::Test {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    test::ScopedEnv data{"XDG_DATA_HOME", dir.File("data")};
    std::string err;

    // 4 x 3, 8-bit: pixel (x, y from the top) is x + 4y, palette entry i is (i, 2i, 3i).
    void SetUp() override {
        ImageBuffer img;
        ASSERT_TRUE(img.Allocate(4, 3, 8));
        for (int i = 0; i < 256; ++i)
            img.palette[i] = RgbQuad{static_cast<uint8_t>(3 * i), static_cast<uint8_t>(2 * i), static_cast<uint8_t>(i), 0};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) img.topRow(y)[x] = static_cast<uint8_t>(x + 4 * y);
        DecoderContext ctx;
        ASSERT_TRUE(WriteBmpFile(File("in.bmp"), img, 8, false, 0, ctx));
        GreyMap m{4, 3, std::vector<uint8_t>(12, 0)};
        test::WriteFile(File("m0.pgm"), MakePgm(m));
    }
    std::string File(const std::string& n) const { return dir.File(n); }
    int Edit(const std::string& in, const std::string& out, const std::vector<std::string>& extra) {
        std::vector<std::string> args{"edit", in, out};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream o, e;
        const int code = RunCli(args, o, e);
        err = e.str();
        return code;
    }
    ImageBuffer Read(const std::string& name) {
        DecoderContext ctx;
        EXPECT_TRUE(ReadBmpFile(File(name), ctx)) << name;
        return std::move(ctx.image);
    }
};

TEST_F(Geometry, OpsSizesDepthsAndPixels) {
    const struct {
        std::vector<std::string> ops;
        int w, h, bits;
        int topLeft;  // palette index, or blue byte of a 24-bit picture
    } cases[] = {
        {{"trim=1,0,2,1"}, 2, 2, 8, 1},
        {{"rot90"}, 3, 4, 8, 8},
        {{"rot180"}, 4, 3, 8, 11},
        {{"rot270"}, 3, 4, 8, 3},
        {{"mirror_lr"}, 4, 3, 8, 3},
        {{"mirror_tb"}, 4, 3, 8, 8},
        // Neutral values leave the picture as it was, 8-bit included.
        {{"resize=4,3", "trim=0,0,3,2", "rotate=0.04"}, 4, 3, 8, 0},
        {{"resize=8,6"}, 8, 6, 24, 0},
        {{"resize=2,3"}, 2, 3, 24, 1},  // blues 0 and 3 averaged, truncated
        {{"rotate=90"}, 8, 9, 24, 255},
        {{"rotate=-90,1,2,3"}, 8, 9, 24, 3},
        {{"rot90", "undo"}, 4, 3, 8, 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args;
        for (const std::string& op : c.ops) args.insert(args.end(), {"--op", op});
        ASSERT_EQ(Edit(File("in.bmp"), File("out.bmp"), args), 0) << c.ops[0] << err;
        const ImageBuffer out = Read("out.bmp");
        EXPECT_EQ(out.width(), c.w) << c.ops[0];
        EXPECT_EQ(out.height(), c.h) << c.ops[0];
        EXPECT_EQ(out.bitCount(), c.bits) << c.ops[0];
        EXPECT_EQ(out.topRow(0)[0], c.topLeft) << c.ops[0];
        if (c.bits == 8) {
            EXPECT_EQ(out.palette[5], (RgbQuad{15, 10, 5, 0})) << c.ops[0];
        }
    }
}

TEST_F(Geometry, BadArgumentsAreUsageErrors) {
    for (const char* op : {"resize=9,3", "resize=0,3", "resize=4", "resize=4,3,1", "trim=2,0,1,0", "trim=0,0,4,0",
                           "trim=0,0,3", "rotate=180.1", "rotate=x", "rotate=10,1,2", "rotate=10,256,0,0",
                           "rotate=", "rot90=1"}) {
        EXPECT_EQ(Edit(File("in.bmp"), File("out.bmp"), {"--op", op}), 2) << op;
        EXPECT_FALSE(fs::exists(File("out.bmp"))) << op;
    }
    EXPECT_NE(err.find("takes no value"), std::string::npos);
    Edit(File("in.bmp"), File("out.bmp"), {"--op", "resize=9,3"});
    EXPECT_NE(err.find("1..8"), std::string::npos) << err;
}

TEST_F(Geometry, ChangedPicturesDropTheSelection) {
    const struct {
        const char* op;
        bool kept;
    } cases[] = {{"rot90", false}, {"mirror_lr", false}, {"trim=0,0,1,1", false}, {"rotate=0", true}, {"resize=4,3", true}};
    for (const auto& c : cases) {
        fs::remove(File("m1.pgm"));
        ASSERT_EQ(Edit(File("in.bmp"), File("out.bmp"), {"--mask", File("m0.pgm"), "--op", c.op, "--write-mask", File("m1.pgm")}), 0)
            << c.op << err;
        EXPECT_EQ(fs::exists(File("m1.pgm")), c.kept) << c.op;
    }
}

TEST_F(Geometry, RotationBeyondTheLimitIsRefused) {
    ImageBuffer row;
    ASSERT_TRUE(row.Allocate(25000, 1, 24));
    DecoderContext ctx;
    ASSERT_TRUE(WriteBmpFile(File("row.bmp"), row, 24, false, 0, ctx));
    EXPECT_EQ(Edit(File("row.bmp"), File("out.bmp"), {"--op", "rotate=90"}), 3);
    EXPECT_NE(err.find(ShowErrorText(kErrDisplay)), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(File("out.bmp")));
}

TEST_F(Geometry, TurnsOfAJpegSaveLosslessly) {
    test::WritePpm(File("src.ppm"), test::JpegPattern(100, 75));
    ASSERT_EQ(Shell("cjpeg -sample 2x2 -outfile " + Quote(File("a.jpg")) + " " + Quote(File("src.ppm"))), 0);
    const struct {
        std::vector<std::string> ops;
        const char* jpegtran;  // nullptr: no longer a lossless transform
    } cases[] = {
        {{"rot90", "rot90"}, "-rotate 180 -trim"},
        {{"rot270"}, "-rotate 270 -trim"},
        {{"rot90", "rot180"}, "-rotate 270 -trim"},
        {{"mirror_tb", "rot180"}, "-flip horizontal -trim"},
        {{"mirror_lr", "mirror_lr"}, ""},
        {{"rot90", "undo"}, ""},
        {{"mirror_lr", "rot90"}, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--format", "jpeg-trans"};
        for (const std::string& op : c.ops) args.insert(args.end(), {"--op", op});
        fs::remove(File("o.jpg"));
        const int code = Edit(File("a.jpg"), File("o.jpg"), args);
        if (!c.jpegtran) {
            EXPECT_EQ(code, 1) << c.ops[0];
            EXPECT_FALSE(fs::exists(File("o.jpg")));
            continue;
        }
        ASSERT_EQ(code, 0) << c.ops[0] << err;
        ASSERT_EQ(Shell(std::string("jpegtran ") + c.jpegtran + " -copy all -outfile " + Quote(File("r.jpg")) + " " +
                        Quote(File("a.jpg"))),
                  0);
        EXPECT_EQ(test::Djpeg(File("o.jpg")), test::Djpeg(File("r.jpg"))) << c.jpegtran;
    }
}

}  // namespace
}  // namespace lumra
