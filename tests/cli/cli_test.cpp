#include "cli/cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "formats/bmp/bmp_codec.h"
#include "formats/image_buffer.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Lumra(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

ImageBuffer Pattern(int w, int h, int bpp) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, bpp));
    for (int i = 0; i < 256; ++i)
        img.palette[i] = RgbQuad{static_cast<uint8_t>(i * 3), static_cast<uint8_t>(i),
                                 static_cast<uint8_t>(255 - i), 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * bpp / 8; ++x)
            img.storedRow(y)[x] = static_cast<uint8_t>(x * 11 + y * 29);
    return img;
}

void WriteBmp(const std::string& path, const ImageBuffer& img) {
    DecoderContext ctx;
    ASSERT_TRUE(WriteBmpFile(path, img, img.bitCount(), false, 0, ctx));
}

// A 4-bit BMP, 3 x 2, built by hand: top row indices 1 2 3, bottom row 4 5 6.
std::vector<uint8_t> FourBitBmp() {
    std::vector<uint8_t> v = {'B', 'M'};
    test::Put32(v, 54 + 64 + 8);
    test::Put32(v, 0);
    test::Put32(v, 54 + 64);
    test::Put32(v, 40);
    test::Put32(v, 3);
    test::Put32(v, 2);
    test::Put16(v, 1);
    test::Put16(v, 4);
    for (int i = 0; i < 6; ++i) test::Put32(v, 0);
    for (int i = 0; i < 16; ++i) {
        v.push_back(static_cast<uint8_t>(i * 16));  // blue
        v.push_back(static_cast<uint8_t>(i));       // green
        v.push_back(static_cast<uint8_t>(200 - i)); // red
        v.push_back(0);
    }
    const uint8_t rows[8] = {0x45, 0x60, 0, 0, 0x12, 0x30, 0, 0};  // bottom row first
    v.insert(v.end(), rows, rows + 8);
    return v;
}

// Top-down R,G,B of a picture, read independently of the tool.
std::vector<uint8_t> ExpectedRgb(const ImageBuffer& img) {
    std::vector<uint8_t> rgb;
    for (int y = img.height() - 1; y >= 0; --y) {
        const uint8_t* row = img.storedRow(y);
        for (int x = 0; x < img.width(); ++x) {
            if (img.bitCount() == 24) {
                rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
            } else {
                const RgbQuad& c = img.palette[row[x]];
                rgb.insert(rgb.end(), {c.red, c.green, c.blue});
            }
        }
    }
    return rgb;
}

std::vector<uint8_t> Ppm(int w, int h, const std::vector<uint8_t>& rgb) {
    const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    std::vector<uint8_t> v(head.begin(), head.end());
    v.insert(v.end(), rgb.begin(), rgb.end());
    return v;
}

struct CliFixture : testing::Test {
    TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    test::ScopedEnv data{"XDG_DATA_HOME", dir.File("data")};
    test::ScopedEnv home{"HOME", dir.File("home")};
};

using CliInfo = CliFixture;

TEST_F(CliInfo, OneLinePerFile) {
    WriteBmp(dir.File("rgb.bmp"), Pattern(13, 7, 24));
    WriteBmp(dir.File("pal.bmp"), Pattern(5, 3, 8));
    test::WriteFile(dir.File("four.bmp"), FourBitBmp());
    const Result r = Lumra({"info", dir.File("rgb.bmp"), dir.File("pal.bmp"), dir.File("four.bmp")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              dir.File("rgb.bmp") +
                  " format=1 width=13 height=7 bits=24 source_bits=24 file_size=334 flags=----\n" +
                  dir.File("pal.bmp") +
                  " format=1 width=5 height=3 bits=8 source_bits=8 file_size=1102 flags=----\n" +
                  dir.File("four.bmp") +
                  " format=1 width=3 height=2 bits=8 source_bits=4 file_size=126 flags=----\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliInfo, FailuresNameTheirError) {
    WriteBmp(dir.File("good.bmp"), Pattern(2, 2, 24));
    test::WriteFile(dir.File("empty.png"), {});
    test::WriteFile(dir.File("unknown.gif"), {'I', 'I', 0x2B, 0, 1, 2, 3, 4});
    // An RLE8 file: the own reader refuses the form.
    std::vector<uint8_t> rle = FourBitBmp();
    rle[28] = 8;
    rle[30] = 1;
    test::WriteFile(dir.File("rle.bmp"), rle);

    const Result r = Lumra({"info", dir.File("missing.bmp"), dir.File("empty.png"),
                          dir.File("unknown.gif"), dir.File("rle.bmp"), dir.path(),
                          dir.File("good.bmp")});
    EXPECT_EQ(r.code, 1);
    const std::string lines[] = {
        dir.File("missing.bmp") + " error 4: ファイルから読み取りに失敗しました。",
        dir.File("empty.png") + " error 0: 画像の表示に失敗しました。",
        dir.File("unknown.gif") + " error 0: 画像の表示に失敗しました。",
        dir.File("rle.bmp") + " error 2: 未対応の形式です。",
        dir.path() + " error 4: ファイルから読み取りに失敗しました。",
        dir.File("good.bmp") + " format=1 width=2 height=2 bits=24 source_bits=24 file_size=70 flags=----",
    };
    std::string expected;
    for (const auto& l : lines) expected += l + "\n";
    EXPECT_EQ(r.out, expected);

    // Load options are taken by info.
    const Result opts = Lumra({"info", "--no-alpha", "--background", "0,0,0", "--no-gamma",
                             "--display-gamma=1000", "--no-file-background", "--plugins",
                             dir.path(), dir.File("good.bmp")});
    EXPECT_EQ(opts.code, 0) << opts.err;
}

using CliDecode = CliFixture;

TEST_F(CliDecode, WritesPpmTopToBottom) {
    for (const int bpp : {24, 8}) {
        SCOPED_TRACE(bpp);
        const ImageBuffer img = Pattern(7, 5, bpp);  // odd width: padded rows
        WriteBmp(dir.File("in.bmp"), img);
        const Result r = Lumra({"decode", dir.File("in.bmp"), dir.File("out.ppm")});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(test::ReadFile(dir.File("out.ppm")), Ppm(7, 5, ExpectedRgb(img)));
    }
    test::WriteFile(dir.File("four.bmp"), FourBitBmp());
    ASSERT_EQ(Lumra({"decode", dir.File("four.bmp"), dir.File("four.ppm")}).code, 0);
    std::vector<uint8_t> rgb;
    for (const int i : {1, 2, 3, 4, 5, 6})
        rgb.insert(rgb.end(), {static_cast<uint8_t>(200 - i), static_cast<uint8_t>(i),
                               static_cast<uint8_t>(i * 16)});
    EXPECT_EQ(test::ReadFile(dir.File("four.ppm")), Ppm(3, 2, rgb));
}

TEST_F(CliDecode, Failures) {
    Result r = Lumra({"decode", dir.File("missing.bmp"), dir.File("out.ppm")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, dir.File("missing.bmp") + " error 4: ファイルから読み取りに失敗しました。\n");
    EXPECT_FALSE(fs::exists(dir.File("out.ppm")));

    WriteBmp(dir.File("in.bmp"), Pattern(3, 3, 24));
    r = Lumra({"decode", dir.File("in.bmp"), dir.File("no/folder/out.ppm")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no/folder/out.ppm"), std::string::npos) << r.err;
}

using CliConvert = CliFixture;

TEST_F(CliConvert, BmpToBmp) {
    const ImageBuffer rgb = Pattern(9, 4, 24);
    const ImageBuffer pal = Pattern(9, 4, 8);
    WriteBmp(dir.File("rgb.bmp"), rgb);
    WriteBmp(dir.File("pal.bmp"), pal);

    // Same depth: the file comes out as it went in.
    ASSERT_EQ(Lumra({"convert", dir.File("rgb.bmp"), dir.File("a.bmp")}).code, 0);
    EXPECT_EQ(test::ReadFile(dir.File("a.bmp")), test::ReadFile(dir.File("rgb.bmp")));
    ASSERT_EQ(Lumra({"convert", dir.File("pal.bmp"), dir.File("b.BMP"), "--depth=8"}).code, 0);
    EXPECT_EQ(test::ReadFile(dir.File("b.BMP")), test::ReadFile(dir.File("pal.bmp")));

    // 8 to 24 bits expands through the palette.
    ASSERT_EQ(Lumra({"convert", dir.File("pal.bmp"), dir.File("c.out"), "--format", "bmp"}).code, 0);
    ASSERT_EQ(Lumra({"info", dir.File("c.out")}).out,
              dir.File("c.out") +
                  " format=1 width=9 height=4 bits=24 source_bits=24 file_size=166 flags=----\n");
    ASSERT_EQ(Lumra({"decode", dir.File("c.out"), dir.File("c.ppm")}).code, 0);
    EXPECT_EQ(test::ReadFile(dir.File("c.ppm")), Ppm(9, 4, ExpectedRgb(pal)));
}

TEST_F(CliConvert, ExistingOutputGoesToTheTrash) {
    WriteBmp(dir.File("in.bmp"), Pattern(4, 4, 24));
    test::WriteText(dir.File("out.bmp"), "older");
    const Result r = Lumra({"convert", dir.File("in.bmp"), dir.File("out.bmp")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir.File("out.bmp")), test::ReadFile(dir.File("in.bmp")));
    EXPECT_EQ(test::ReadText(dir.File("data/Trash/files/out.bmp")), "older");
    EXPECT_TRUE(fs::exists(dir.File("data/Trash/info/out.bmp.trashinfo")));
    // No temporary file stays behind.
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string().rfind("tmp", 0), 0u) << e.path();
}

TEST_F(CliConvert, FileFailuresExitWithOne) {
    WriteBmp(dir.File("in.bmp"), Pattern(4, 4, 24));
    Result r = Lumra({"convert", dir.File("missing.bmp"), dir.File("o.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, dir.File("missing.bmp") + " error 4: ファイルから読み取りに失敗しました。\n");

    r = Lumra({"convert", dir.File("in.bmp"), dir.File("no/folder/o.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("ファイル作成に失敗しました。"), std::string::npos) << r.err;

    // JPEG/TRANS needs a JPEG file to transform.
    test::WriteText(dir.File("o.jpg"), "keep");
    r = Lumra({"convert", dir.File("in.bmp"), dir.File("o.jpg"), "--format", "jpeg-trans"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(" error "), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadText(dir.File("o.jpg")), "keep");

    // A trash that cannot take the old file: it stays.
    test::WriteText(dir.File("blocker"), "");
    test::ScopedEnv blocked("XDG_DATA_HOME", dir.File("blocker"));
    test::WriteText(dir.File("old.bmp"), "old");
    r = Lumra({"convert", dir.File("in.bmp"), dir.File("old.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(test::ReadText(dir.File("old.bmp")), "old");
}

TEST_F(CliConvert, UsageErrorsExitWithTwo) {
    WriteBmp(dir.File("in.bmp"), Pattern(4, 4, 24));
    const std::string in = dir.File("in.bmp");
    const std::string out = dir.File("out.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frob"},
        {"info"},
        {"decode", in},
        {"decode", in, dir.File("a.ppm"), dir.File("b.ppm")},
        {"convert", in},
        {"convert", in, out, dir.File("extra.bmp")},
        {"convert", in, dir.File("out.xyz")},
        {"convert", in, dir.File("noext")},
        {"convert", in, dir.File("dir.bmp/noext")},
        {"info", in, "--quality", "50"},
        {"decode", in, dir.File("a.ppm"), "--gray"},
        {"convert", in, out, "--format", "webp"},
        {"convert", in, out, "--format"},
        {"convert", in, out, "--depth", "0"},
        {"convert", in, out, "--depth", "9"},
        {"convert", in, out, "--depth", "25"},
        {"convert", in, out, "--depth", "8x"},
        {"convert", in, out, "--depth", "+8"},
        {"convert", in, out, "--depth", " 8"},
        {"convert", in, out, "--depth", "99999999999"},
        {"convert", in, out, "--depth="},
        {"convert", in, out, "--dither", "4"},
        {"convert", in, out, "--level", "10"},
        {"convert", in, out, "--level", "-1"},
        {"convert", in, out, "--filter", "6"},
        {"convert", in, out, "--filter", "median"},
        {"convert", in, out, "--save-gamma", "0"},
        {"convert", in, out, "--save-gamma", "2.2"},
        {"convert", in, out, "--transparent", "1,2"},
        {"convert", in, out, "--transparent", "1,2,3,4"},
        {"convert", in, out, "--transparent", "1,2,256"},
        {"convert", in, out, "--transparent", ",,"},
        {"convert", in, out, "--transparent", "1,,3"},
        {"convert", in, out, "--quality", "0"},
        {"convert", in, out, "--quality", "101"},
        {"convert", in, out, "--sampling", "3"},
        {"convert", in, out, "--markers", "3"},
        {"convert", in, out, "--markers", "some"},
        {"convert", in, out, "--limit-kb", "0"},
        {"convert", in, out, "--comment"},
        {"convert", in, out, "--gray=1"},
        {"convert", in, out, "--display-gamma", "x"},
        {"convert", in, out, "--background", "a,b,c"},
        {"convert", in, out, "--plugins", ""},
        {"convert", in, out, "--unknown"},
        {"convert", in, out, "-x"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        const Result r = Lumra(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_FALSE(r.err.empty());
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST_F(CliConvert, EveryOptionIsAccepted) {
    WriteBmp(dir.File("in.bmp"), Pattern(4, 4, 24));
    // All options at once; BMP ignores the ones of other formats. "--" ends the options.
    fs::create_directories(dir.File("plug"));
    const Result r = Lumra({"convert", "--depth", "24", "--dither", "3", "--level", "0", "--filter",
                          "Paeth", "--interlace", "--save-gamma", "1000", "--transparent",
                          "0,255,0", "--quality", "100", "--sampling", "2", "--progressive",
                          "--markers", "comments", "--no-trim", "--trim", "--limit-kb", "5",
                          "--comment", "コメント", "--no-gamma", "--display-gamma", "2200",
                          "--no-alpha", "--no-file-background", "--background", "1,2,3",
                          "--plugins", dir.File("plug"), "--format", "BMP", "--",
                          dir.File("in.bmp"), dir.File("-out.bmp")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir.File("-out.bmp")), test::ReadFile(dir.File("in.bmp")));
}

TEST(CliHelp, HelpAndNoArguments) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"convert", "a", "--help"}}) {
        const Result r = Lumra(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out.rfind("Usage:", 0), 0u);
        for (const char* word : {"info", "decode", "convert", "--format", "--limit-kb",
                                 "--plugins", "--background", "--markers", "--no-trim"})
            EXPECT_NE(r.out.find(word), std::string::npos) << word;
        EXPECT_EQ(r.err, "");
    }
    const Result none = Lumra({});
    EXPECT_EQ(none.code, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err.rfind("Usage:", 0), 0u);
}

// The built tool as a process: exit codes and streams.
std::string Quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result RunTool(const std::vector<std::string>& args, const std::string& errFile) {
    std::string cmd = Quote(LUMRA_CLI_PATH);
    for (const auto& a : args) cmd.append(1, ' ').append(Quote(a));
    cmd.append(" 2>").append(Quote(errFile));
    Result r{-1, "", ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = test::ReadText(errFile);
    return r;
}

using CliTool = CliFixture;

TEST_F(CliTool, ExitCodesOfTheProcess) {
    const std::string err = dir.File("stderr.txt");
    WriteBmp(dir.File("in.bmp"), Pattern(3, 2, 24));

    Result r = RunTool({"--help"}, err);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("Usage:", 0), 0u);

    r = RunTool({}, err);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("Usage:", 0), 0u);

    r = RunTool({"convert", dir.File("in.bmp"), dir.File("o.bmp"), "--quality", "x"}, err);
    EXPECT_EQ(r.code, 2);

    r = RunTool({"info", dir.File("in.bmp")}, err);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, dir.File("in.bmp") +
                         " format=1 width=3 height=2 bits=24 source_bits=24 file_size=78 flags=----\n");

    r = RunTool({"info", dir.File("missing")}, err);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, dir.File("missing") + " error 4: ファイルから読み取りに失敗しました。\n");

    r = RunTool({"convert", dir.File("in.bmp"), dir.File("o.bmp")}, err);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir.File("o.bmp")), test::ReadFile(dir.File("in.bmp")));

    r = RunTool({"decode", dir.File("in.bmp"), dir.File("none/o.ppm")}, err);
    EXPECT_EQ(r.code, 1);
}

}  // namespace
}  // namespace lumra
