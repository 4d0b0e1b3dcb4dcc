#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "formats/bmp/bmp_codec.h"
#include "test_util.h"

namespace lumra {
namespace {

// 6 x 4, 8-bit, every pixel palette entry 0 = (R 30, G 20, B 10).
struct BrushCli {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    std::string err;
    BrushCli() {
        ImageBuffer img;
        EXPECT_TRUE(img.Allocate(6, 4, 8));
        img.palette[0] = RgbQuad{10, 20, 30, 0};
        DecoderContext ctx;
        EXPECT_TRUE(WriteBmpFile(dir.File("in.bmp"), img, 8, false, 0, ctx));
    }
    int Run(std::vector<std::string> ops) {
        std::vector<std::string> args{"edit", dir.File("in.bmp"), dir.File("out.bmp")};
        for (std::string& op : ops) args.insert(args.end(), {"--op", op});
        std::ostringstream out, e;
        const int code = RunCli(args, out, e);
        err = e.str();
        return code;
    }
    ImageBuffer Out() {
        DecoderContext ctx;
        EXPECT_TRUE(ReadBmpFile(dir.File("out.bmp"), ctx));
        return std::move(ctx.image);
    }
};

TEST(CliBrush, BadArgumentsAreRefused) {
    const struct {
        const char* op;
        const char* message;
    } cases[] = {
        {"stroke=paint,3,50,256,0,0,1,1", "0 to 255"},
        {"stroke=paint,3,50,0,0,0,1", "X1,Y1"},
        {"stroke=paint,3,x,0,0,0,1,1", "X1,Y1"},
        {"stroke=correct,sharp,3,50,1,1", "MODE"},
        {"stroke=erase,3,1,1", "stroke=paint"},
        {"stroke=correct,blur,3,50,1,1000000", "point"},
        {"fill=50,0,0", "fill=OPACITY"},
        {"ok=1", "takes no value"},
        {"text=0,0,12,500,0,0,0,0,0,100,0,1,1,0,0,0,IPAGothic,A", "WEIGHT"},
        {"text=0,0,12,400,2,0,0,0,0,100,0,1,1,0,0,0,IPAGothic,A", "ITALIC"},
        {"text=0,0,12,400,0,0,0,0,0,100,0,1,1,0,0,0", "text=X,Y"},
    };
    for (const auto& c : cases) {
        BrushCli f;
        EXPECT_EQ(f.Run({c.op}), 2) << c.op;
        EXPECT_NE(f.err.find(c.message), std::string::npos) << c.op << ": " << f.err;
        EXPECT_FALSE(test::ReadFile(f.dir.File("out.bmp")).size()) << c.op;
    }
}

TEST(CliBrush, SessionRules) {
    const struct {
        std::vector<std::string> ops;
        bool widened;  // a stroke was committed
    } cases[] = {
        {{"stroke=paint,1,100,255,0,0,1,1"}, true},  // the open session ends with OK
        {{"stroke=paint,3,100,255,0,0,-9,-9,-9,20"}, false},  // nothing on the picture
        {{"fill=0,255,0,0"}, false},
        {{"stroke=paint,3,100,255,0,0,1,1", "cancel"}, false},
        {{"stroke=paint,3,100,255,0,0,1,1", "undo", "ok"}, false},
        {{"stroke=paint,3,100,255,0,0,1,1", "undo", "redo"}, true},
        {{"stroke=paint,3,100,255,0,0,1,1", "ok", "undo"}, false},  // the history's undo
        {{"stroke=paint,3,100,255,0,0,1,1", "stroke=correct,blur,3,50,3,2", "undo", "ok"}, true},
        {{"ok", "cancel"}, false},
        {{"text=1,0,12,400,0,0,255,255,255,100,1,1,1,0,0,0,IPAGothic,"}, false},
        {{"text=1,0,12,400,0,0,255,255,255,100,1,1,1,0,0,0,IPAGothic,A,B"}, true},
        {{"text=-90,90,720,700,1,99,0,0,0,0,1,99,99,0,0,0,No Such Face,\xff\xfe\xed\xa0\x80"}, true},
    };
    for (const auto& c : cases) {
        BrushCli f;
        ASSERT_EQ(f.Run(c.ops), 0) << c.ops[0] << f.err;
        const ImageBuffer out = f.Out();
        EXPECT_EQ(out.bitCount(), c.widened ? 24 : 8) << c.ops.back();
    }
}

TEST(CliBrush, StrokesAndFillWriteThePicture) {
    BrushCli f;
    // The paint session ends when the correction tool opens; the fill reopens paint.
    ASSERT_EQ(f.Run({"stroke=paint,1,100,255,0,0,1,1", "fill=100,0,0,255", "undo",
                     "stroke=correct,brighten,3,100,0,3"}),
              0)
        << f.err;
    const ImageBuffer out = f.Out();
    const uint8_t* red = out.topRow(1) + 3;
    EXPECT_EQ(std::vector<int>(red, red + 3), (std::vector<int>{0, 0, 255}));
    const uint8_t* plain = out.topRow(1) + 3 * 4;
    EXPECT_EQ(std::vector<int>(plain, plain + 3), (std::vector<int>{10, 20, 30}));
    const uint8_t* bright = out.topRow(3);
    EXPECT_GT(bright[0], 10);
}

}  // namespace
}  // namespace lumra
