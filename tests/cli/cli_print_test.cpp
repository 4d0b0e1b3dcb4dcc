#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <sstream>

#include "cli/cli.h"
#include "formats/bmp/bmp_codec.h"
#include "test_util.h"

namespace lumra {
namespace {

struct Pdf {
    std::string mediaBox, placement;  // "[0 0 W H]" and "W 0 0 H X Y cm"
    int imageWidth = 0, imageHeight = 0;
    std::vector<uint8_t> rgb;
};

std::string Between(const std::string& s, const std::string& a, const std::string& b) {
    const size_t i = s.find(a);
    if (i == std::string::npos) return {};
    const size_t j = s.find(b, i + a.size());
    return j == std::string::npos ? std::string{} : s.substr(i + a.size(), j - i - a.size());
}

Pdf ReadPdf(const std::string& path) {
    const std::string s = test::ReadText(path);
    Pdf p;
    p.mediaBox = Between(s, "/MediaBox [", "]");
    p.placement = Between(s, "stream\nq\n", " cm");
    p.imageWidth = std::stoi(Between(s, "/Width ", " "));
    p.imageHeight = std::stoi(Between(s, "/Height ", " "));
    const size_t start = s.find("stream\n", s.find("/Subtype /Image")) + 7;
    const int length = std::stoi(Between(s.substr(s.find("/Subtype /Image")), "/Length ", " "));
    uLongf size = static_cast<uLongf>(p.imageWidth) * p.imageHeight * 3;
    p.rgb.resize(size);
    EXPECT_EQ(uncompress(p.rgb.data(), &size, reinterpret_cast<const Bytef*>(s.data() + start),
                         static_cast<uLong>(length)),
              Z_OK);
    return p;
}

// 960 x 480 at 96 dpi; red = x mod 256, green = x / 256, blue = y.
std::string WritePicture(const test::TempDir& dir) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(960, 480, 24));
    img.header.biXPelsPerMeter = img.header.biYPelsPerMeter = 3780;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 960; ++x) {
            uint8_t* p = img.topRow(y) + x * 3;
            p[0] = static_cast<uint8_t>(y);
            p[1] = static_cast<uint8_t>(x / 256);
            p[2] = static_cast<uint8_t>(x % 256);
        }
    const std::string path = dir.File("in.bmp");
    DecoderContext ctx;
    EXPECT_TRUE(WriteBmpFile(path, img, 24, false, 0, ctx));
    return path;
}

int Print(std::vector<std::string> args) {
    std::ostringstream out, err;
    return RunCli(args, out, err);
}

TEST(CliPrint, PageSizeAndPicturePlacement) {
    test::TempDir dir;
    const std::string in = WritePicture(dir), out = dir.File("out.pdf");
    struct Case {
        std::vector<std::string> options;
        const char* mediaBox;
        const char* placement;
        int imageWidth, firstX;
    } cases[] = {
        // 254.0 mm at 96 dpi is wider than Letter: fitted to the page width.
        {{"--paper", "letter"}, "0 0 612 792", "612 0 0 306.1 0 485.9", 960, 0},
        // Placed at 10 mm, 20 mm, 100 mm x 50 mm on A4.
        {{"--place", "100,200,1100,700"}, "0 0 595.3 841.9", "283.5 0 0 141.7 28.3 643.5", 960, 0},
        // Below the 20 mm minimum: raised to it.
        {{"--place=0,0,10,5"}, "0 0 595.3 841.9", "56.7 0 0 28.3 0 813.6", 960, 0},
        // Full page on landscape A4: cropped left and right, centred, filling the page.
        {{"--mode", "full", "--landscape"}, "0 0 841.9 595.3", "841.9 0 0 595.3 0 0", 679, 141},
        {{"--mode", "full", "--crop", "200,0,679,480", "--landscape"}, "0 0 841.9 595.3", "841.9 0 0 595.3 0 0",
         679, 200},
        // Margins: the printable area starts 10 mm in.
        {{"--margins", "100,100,100,100", "--place", "0,0,1000,500"}, "0 0 595.3 841.9",
         "283.5 0 0 141.7 28.3 671.9", 960, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"print", in, out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Print(args), 0) << c.options[0];
        const Pdf pdf = ReadPdf(out);
        EXPECT_EQ(pdf.mediaBox, c.mediaBox) << c.options[0];
        EXPECT_EQ(pdf.placement, c.placement) << c.options[0];
        EXPECT_EQ(pdf.imageWidth, c.imageWidth);
        EXPECT_EQ(pdf.imageHeight, 480);
        EXPECT_EQ(pdf.rgb[0] + 256 * pdf.rgb[1], c.firstX);  // the crop's first column
    }
}

TEST(CliPrint, ExitCodes) {
    test::TempDir dir;
    const std::string in = WritePicture(dir), out = dir.File("out.pdf");
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"print", in}, 2},
        {{"print", in, out, "--mode", "wide"}, 2},
        {{"print", in, out, "--mode", "full", "--place", "0,0,1,1"}, 2},
        {{"print", in, out, "--crop", "0,0,10,10"}, 2},
        {{"print", in, out, "--mode", "full", "--crop", "900,0,100,10"}, 2},
        {{"print", in, out, "--place", "1,2,3"}, 2},
        {{"print", in, out, "--paper", "A9"}, 2},
        {{"print", in, out, "--margins", "1100,0,1100,0"}, 2},
        {{"print", in, out, "--colour"}, 2},
        {{"print", dir.File("missing.bmp"), out}, 1},
        {{"print", in, dir.File("no/such/folder.pdf")}, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(Print(c.args), c.code) << c.args.back();
}

}  // namespace
}  // namespace lumra
