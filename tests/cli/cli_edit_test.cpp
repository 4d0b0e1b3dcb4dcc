#include "cli/cli_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "formats/bmp/bmp_codec.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;

struct EditCli {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    std::string err;

    // 4 x 3, 8-bit: palette entry i is (i, 2i, 3i); pixel (x, y from top) is x + 4y.
    EditCli() {
        ImageBuffer img;
        EXPECT_TRUE(img.Allocate(4, 3, 8));
        for (int i = 0; i < 256; ++i)
            img.palette[i] = RgbQuad{static_cast<uint8_t>(3 * i), static_cast<uint8_t>(2 * i),
                                     static_cast<uint8_t>(i), 0};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) img.topRow(y)[x] = static_cast<uint8_t>(x + 4 * y);
        DecoderContext ctx;
        EXPECT_TRUE(WriteBmpFile(File("in.bmp"), img, 8, false, 0, ctx));
        // Mask: top row kept (255), the rest fully selected.
        GreyMap m{4, 3, std::vector<uint8_t>(12, 0)};
        std::fill_n(m.bytes.begin(), 4, 255);
        test::WriteFile(File("m0.pgm"), MakePgm(m));
    }
    std::string File(const std::string& n) const { return dir.File(n); }
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "edit");
        std::ostringstream out, e;
        const int code = RunCli(args, out, e);
        err = e.str();
        return code;
    }
    ImageBuffer Read(const std::string& name) {
        DecoderContext ctx;
        EXPECT_TRUE(ReadBmpFile(File(name), ctx)) << name;
        return std::move(ctx.image);
    }
};

TEST(CliEdit, ExitCodesAndNothingWrittenOnFailure) {
    const struct {
        std::vector<std::string> args;
        int code;
        const char* message;
    } cases[] = {
        {{"IN", "out.bmp"}, 0, ""},
        {{"IN", "out.bmp", "--op", "undo", "--op=redo"}, 0, ""},
        {{"missing.bmp", "out.bmp"}, 1, "missing.bmp"},
        {{"IN", "out.bmp", "--mask", "nothing.pgm"}, 1, "nothing.pgm"},
        {{"IN"}, 2, "edit needs IN and OUT"},
        {{"IN", "out.bmp", "--op", "sharpen"}, 2, "unknown operation 'sharpen'"},
        {{"IN", "out.bmp", "--op", "blur"}, 3, "コマンドを実行できません。"},
        {{"IN", "out.bmp", "--op", "undo=1"}, 2, "takes no value"},
        {{"IN", "out.bmp", "--select", "rect=0,0,1,1"}, 2, "MODE new, add or exclude"},
        {{"IN", "out.bmp", "--quality", "101"}, 2, "from 1 to 100"},
        {{"IN", "out.bmp", "--mask", "small.pgm"}, 2, "is 2x2, the picture is 4x3"},
    };
    for (const auto& c : cases) {
        EditCli f;
        test::WriteFile(f.File("small.pgm"), MakePgm(GreyMap{2, 2, std::vector<uint8_t>(4, 0)}));
        std::vector<std::string> args;
        for (const std::string& a : c.args) {
            const bool path = a == "IN" || a.find('.') != std::string::npos;
            args.push_back(a == "IN" ? f.File("in.bmp") : path && a[0] != '-' ? f.File(a) : a);
        }
        EXPECT_EQ(f.Run(args), c.code) << c.args[1] << f.err;
        EXPECT_NE(f.err.find(c.message), std::string::npos) << f.err;
        EXPECT_EQ(fs::exists(f.File("out.bmp")), c.code == 0) << f.err;
    }
}

TEST(CliEdit, DepthAndMaskRules) {
    const struct {
        bool mask;
        const char* depth;
        int bits;
    } cases[] = {{false, nullptr, 8}, {true, nullptr, 24}, {false, "24", 24}};
    for (const auto& c : cases) {
        EditCli f;
        std::vector<std::string> args{f.File("in.bmp"), f.File("out.bmp"), "--write-mask",
                                      f.File("m1.pgm"), "--write-overlay", f.File("ov.bmp")};
        test::WriteText(f.File("m1.pgm"), "old");
        test::WriteText(f.File("ov.bmp"), "old");
        if (c.mask) args.insert(args.end(), {"--mask", f.File("m0.pgm")});
        if (c.depth) args.insert(args.end(), {"--depth", c.depth});
        ASSERT_EQ(f.Run(args), 0) << f.err;
        EXPECT_EQ(f.Read("out.bmp").bitCount(), c.bits);
        // The selection's files exist only with a selection; old ones are removed.
        EXPECT_EQ(fs::exists(f.File("m1.pgm")), c.mask);
        EXPECT_EQ(fs::exists(f.File("ov.bmp")), c.mask);
        if (!c.mask) continue;
        EXPECT_EQ(test::ReadFile(f.File("m1.pgm")), test::ReadFile(f.File("m0.pgm")));
        // PGM row 0 is the top row: kept pixels there are shown grey, the rest in colour.
        const ImageBuffer ov = f.Read("ov.bmp");
        const uint8_t* top = ov.topRow(0) + 3;  // pixel 1: (3, 2, 1)
        EXPECT_EQ(top[0], top[1]);
        EXPECT_EQ(top[0], 64);
        const uint8_t* below = ov.topRow(1) + 3;  // pixel 5: (15, 10, 5)
        EXPECT_EQ(below[0], 15);
        EXPECT_EQ(below[2], 5);
    }
}

TEST(CliEdit, ToneArgumentsOutOfRange) {
    const struct {
        const char* op;
        const char* message;
    } cases[] = {
        {"gamma=1,2", "V or R,G,B"},           {"gamma=101", "-100..100"},
        {"brightness=1,x,3", "-255..255"},     {"contrast=-101", "-100..100"},
        {"levels=R,10,5", "not below MAX"},    {"levels=X,1,2", "not a channel"},
        {"levels=R,1", "MIN from 0 to 254"},   {"levels=RGB,255,255", "0..254"},
        {"hls=181,0,0", "-180..180"},          {"hls=0,0,0,1,2,3", "HUE,LIGHT,SAT"},
        {"hls=0,0,0,1,2,3,151", "0..150"},     {"replace=1,2,3,4,5,6,7,256", "0..255"},
        {"replace=1,2,3,4", "R0,G0,B0,RANGE"}, {"invert=1", "takes no value"},
    };
    for (const auto& c : cases) {
        EditCli f;
        EXPECT_EQ(f.Run({f.File("in.bmp"), f.File("out.bmp"), "--op", c.op}), 2) << c.op;
        EXPECT_NE(f.err.find(c.message), std::string::npos) << f.err;
        EXPECT_FALSE(fs::exists(f.File("out.bmp")));
    }
}

TEST(CliEdit, ToneOperationsInOrder) {
    const struct {
        std::vector<std::string> ops;
        bool mask;
        int bits;
        int pixel1[3], pixel5[3];  // B, G, R of pixels (1, 0) and (1, 1)
    } cases[] = {
        {{"brightness=10"}, false, 8, {13, 12, 11}, {25, 20, 15}},
        {{"brightness=10"}, true, 24, {3, 2, 1}, {25, 20, 15}},
        {{"brightness=10", "undo", "invert"}, false, 8, {252, 253, 254}, {240, 245, 250}},
        {{"equalize"}, false, 24, {-1}, {-1}},
    };
    for (const auto& c : cases) {
        EditCli f;
        std::vector<std::string> args{f.File("in.bmp"), f.File("out.bmp")};
        if (c.mask) args.insert(args.end(), {"--mask", f.File("m0.pgm")});
        for (const std::string& op : c.ops) args.insert(args.end(), {"--op", op});
        ASSERT_EQ(f.Run(args), 0) << f.err;
        const ImageBuffer out = f.Read("out.bmp");
        EXPECT_EQ(out.bitCount(), c.bits);
        if (c.pixel1[0] < 0) continue;
        for (int y : {0, 1}) {
            const int* want = y ? c.pixel5 : c.pixel1;
            const uint8_t* p = out.topRow(y) + (c.bits == 8 ? 1 : 3);
            const RgbQuad q = c.bits == 8 ? out.palette[*p] : RgbQuad{p[0], p[1], p[2], 0};
            EXPECT_EQ(q.blue, want[0]);
            EXPECT_EQ(q.green, want[1]);
            EXPECT_EQ(q.red, want[2]);
            if (c.bits == 8) {
                EXPECT_EQ(*p, 1 + 4 * y);
            }
        }
    }
}

TEST(CliEdit, PgmHeaders) {
    const struct {
        std::string head;
        bool ok;
    } cases[] = {{"P5\n2 1\n255\n", true}, {"P5 # c\n2 1 255 ", true}, {"P5\n2 1\n15\n", false},
                 {"P2\n2 1\n255\n", false}, {"P5\n3 1\n255\n", false}};
    for (const auto& c : cases) {
        std::vector<uint8_t> file(c.head.begin(), c.head.end());
        file.insert(file.end(), {7, 9});
        const std::optional<GreyMap> map = ParsePgm(file);
        EXPECT_EQ(map.has_value(), c.ok) << c.head;
        if (map) {
            EXPECT_EQ(map->bytes, (std::vector<uint8_t>{7, 9}));
        }
    }
}


TEST(CliEdit, SelectionSessionThenFilter) {
    EditCli f;
    // 6 x 5, 24-bit, every pixel different.
    ImageBuffer img;
    ASSERT_TRUE(img.Allocate(6, 5, 24));
    for (int y = 0; y < 5; ++y)
        for (int i = 0; i < 18; ++i) img.topRow(y)[i] = static_cast<uint8_t>((y * 18 + i) * 37 % 256);
    DecoderContext ctx;
    ASSERT_TRUE(WriteBmpFile(f.File("big.bmp"), img, 24, false, 0, ctx));
    // The --select items run first whatever their place on the line.
    ASSERT_EQ(f.Run({f.File("big.bmp"), f.File("out.bmp"), "--op", "blur=1,10", "--select", "rect=new,1,1,3,2",
                     "--write-mask", f.File("m1.pgm")}),
              0)
        << f.err;
    const ImageBuffer out = f.Read("out.bmp");
    EXPECT_EQ(f.Run({f.File("big.bmp"), f.File("bad.bmp"), "--op", "denoise=1,2"}), 2);
    EXPECT_NE(f.err.find("denoise takes LEVEL"), std::string::npos) << f.err;
    const std::optional<GreyMap> m = ParsePgm(test::ReadFile(f.File("m1.pgm")));
    ASSERT_TRUE(m);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool in = x >= 1 && x <= 3 && y >= 1 && y <= 2;
            EXPECT_EQ(m->bytes[static_cast<size_t>(y * 6 + x)], in ? 0 : 255);
            const bool same = std::equal(out.topRow(y) + 3 * x, out.topRow(y) + 3 * x + 3, img.topRow(y) + 3 * x);
            EXPECT_EQ(same, !in) << x << "," << y;
        }
}

TEST(CliEdit, SelectionAndFilterRules) {
    const struct {
        std::vector<std::string> args;
        int code;
        int bits;  // of OUT; 0 when not written
        const char* message;
    } cases[] = {
        {{"--select", "all"}, 0, 24, ""},                         // an 8-bit picture becomes 24-bit
        {{"--select", "rect=new,1,1,1,1"}, 0, 8, ""},             // a click changes nothing
        {{"--select", "feather=5"}, 0, 8, ""},                    // nothing to feather
        {{"--op", "blur=0,0"}, 3, 0, "コマンドを実行できません。"},  // 4 x 3, even at level 0
        {{"--op", "usm=1,1", "--mask", "m0.pgm"}, 3, 0, "コマンドを実行できません。"},
        {{"--select", "rect=new,1,2,3"}, 2, 0, "rect=MODE,X1,Y1,X2,Y2"},
        {{"--select", "ellipse=old,1,2,3,4"}, 2, 0, "MODE new, add or exclude"},
        {{"--select", "lasso=add,1"}, 2, 0, "lasso=MODE"},
        {{"--select", "brush=add,3,1"}, 2, 0, "brush=MODE"},
        {{"--select", "range=new,1,1,5,2"}, 2, 0, "ADJ 0 or 1"},
        {{"--select", "feather=x"}, 2, 0, "feather takes LEVEL"},
        {{"--select", "all=1"}, 2, 0, "takes no value"},
        {{"--select", "circle=new,1,1,2,2"}, 2, 0, "unknown item 'circle'"},
        {{"--select", "lasso=new,0,0,5000000,0"}, 2, 0, "coordinates from"},
        {{"--select", "lasso=new,-3,-3,900000,-3,3,3"}, 0, 24, ""},
    };
    for (const auto& c : cases) {
        EditCli f;
        std::vector<std::string> args{f.File("in.bmp"), f.File("out.bmp")};
        for (const std::string& a : c.args) args.push_back(a == "m0.pgm" ? f.File(a) : a);
        EXPECT_EQ(f.Run(args), c.code) << c.args[1] << f.err;
        EXPECT_NE(f.err.find(c.message), std::string::npos) << f.err;
        EXPECT_EQ(fs::exists(f.File("out.bmp")), c.bits != 0);
        if (c.bits) {
            EXPECT_EQ(f.Read("out.bmp").bitCount(), c.bits) << c.args[1];
        }
    }
}

}  // namespace
}  // namespace lumra
