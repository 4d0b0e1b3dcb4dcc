// `lumra convert --format png` with each save option: pngcheck accepts every file, and libpng
// reads the same colours from it as the program's own reader.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_text.h"
#include "platform/ansi_text.h"
#include "../formats/png_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

int RunLumra(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::ostringstream o, e;
    const int code = RunCli(args, o, e);
    if (out) *out = o.str();
    EXPECT_EQ(e.str(), "");
    return code;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// pngcheck's verdict and its words.
int PngCheck(const std::string& path, std::string& output) {
    const std::string cmd = "pngcheck -v " + Quote(path) + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    output.clear();
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A small photograph-like picture with flat areas, gradients and noise.
ImageBuffer Picture() {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(37, 23, 24));
    uint32_t state = 7;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
            state = state * 1664525 + 1013904223;
            uint8_t* p = img.topRow(y) + 3 * x;
            const bool flat = x < 10 && y < 8;
            p[0] = flat ? 200 : static_cast<uint8_t>(x * 6 + (state >> 28));
            p[1] = flat ? 30 : static_cast<uint8_t>(y * 11);
            p[2] = flat ? 30 : static_cast<uint8_t>((x + y) * 4 + (state >> 29));
        }
    return img;
}

uint32_t LibpngColour(const test::LibpngImage& ref, int x, int y) {
    if (ref.colourType == 3) {
        const auto& e = ref.palette.at(ref.Sample(x, y, 0));
        return uint32_t{e[0]} << 16 | uint32_t{e[1]} << 8 | e[2];
    }
    if (ref.colourType == 0) {
        const uint32_t g = ref.bitDepth == 16 ? ref.Sample(x, y, 0) >> 8 : ref.Sample(x, y, 0);
        return g << 16 | g << 8 | g;
    }
    return uint32_t{ref.Sample(x, y, 0)} << 16 | uint32_t{ref.Sample(x, y, 1)} << 8 | ref.Sample(x, y, 2);
}

class PngConvert : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(PngConvert, ValidAndReadAlike) {
    test::TempDir dir;
    const ImageBuffer source = Picture();
    const std::string in = dir.File("in.bmp"), out = dir.File("out.png");
    DecoderContext wctx;
    ASSERT_TRUE(WriteBmpFile(in, source, 24, false, 0, wctx));
    std::vector<std::string> args = {"convert", in, out, "--format", "png"};
    args.insert(args.end(), GetParam().begin(), GetParam().end());
    ASSERT_EQ(RunLumra(args), 0);

    std::string words;
    EXPECT_EQ(PngCheck(out, words), 0) << words;
    EXPECT_NE(words.find("No errors detected"), std::string::npos) << words;

    const auto file = test::ReadFile(out);
    const test::LibpngImage ref = test::ReadWithLibpng(file);
    ASSERT_TRUE(ref.ok) << ref.error;
    DecoderContext ctx;
    ctx.load.gamma = 0;
    ctx.load.alpha = 0;
    ASSERT_TRUE(DecodePng(file.data(), file.size(), ctx)) << ctx.error;
    ASSERT_EQ(ctx.image.width(), source.width());
    ASSERT_EQ(ctx.image.height(), source.height());
    const bool lossless = ref.colourType == 2;
    int wrong = 0;
    for (int y = 0; y < source.height() && wrong < 3; ++y) {
        for (int x = 0; x < source.width() && wrong < 3; ++x) {
            const uint32_t lib = LibpngColour(ref, x, y), ours = test::PixelAt(ctx.image, x, y);
            if (lib != ours || (lossless && lib != test::PixelAt(source, x, y))) {
                ++wrong;
                ADD_FAILURE() << x << "," << y << std::hex << " libpng " << lib << " reader " << ours;
            }
        }
    }
}

using Args = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Options, PngConvert,
    testing::Values(Args{}, Args{"--interlace"}, Args{"--filter", "none"}, Args{"--filter", "sub"},
                    Args{"--filter", "up"}, Args{"--filter", "average"}, Args{"--filter", "paeth"},
                    Args{"--filter", "auto", "--interlace"}, Args{"--level", "0"}, Args{"--level", "1"},
                    Args{"--save-gamma", "2200"}, Args{"--transparent", "255,0,0"},
                    Args{"--comment", "コメント\r\n二行目"}, Args{"--depth", "8"}, Args{"--depth", "8", "--interlace"},
                    Args{"--depth", "4"}, Args{"--depth", "3"}, Args{"--depth", "2", "--interlace"},
                    Args{"--depth", "1"}, Args{"--depth", "1", "--interlace", "--transparent", "0,0,0"},
                    Args{"--depth", "4", "--dither", "3", "--filter", "paeth", "--save-gamma", "1000", "--comment", "x"},
                    Args{"--depth", "8", "--transparent", "30,30,200"}, Args{"--gray"},
                    Args{"--gray", "--transparent", "10,20,30", "--interlace", "--filter", "average"}));

TEST(PngInfo, FlagsOfAPngFile) {
    test::TempDir dir;
    const std::string in = dir.File("in.bmp"), out = dir.File("out.png");
    DecoderContext wctx;
    ASSERT_TRUE(WriteBmpFile(in, Picture(), 24, false, 0, wctx));
    ASSERT_EQ(RunLumra({"convert", in, out, "--interlace", "--transparent", "1,2,3", "--comment", "メモ"}), 0);
    std::string info;
    ASSERT_EQ(RunLumra({"info", out}, &info), 0);
    EXPECT_NE(info.find("format=2 width=37 height=23 bits=24 source_bits=24"), std::string::npos) << info;
    // A PNG comment is text; the comment flag belongs to the other formats.
    EXPECT_NE(info.find("flags=ITX-"), std::string::npos) << info;
    std::string text;
    int error = 0;
    ASSERT_TRUE(ReadPngComment(out, text, error));
    EXPECT_EQ(AnsiToUtf8(text), "メモ");
}

}  // namespace
}  // namespace lumra
