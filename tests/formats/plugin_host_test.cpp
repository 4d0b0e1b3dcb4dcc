#include "formats/plugin_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/load_save.h"
#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string TestPlugin(const std::string& name) { return std::string(LUMRA_TEST_SPI_DIR) + "/" + name + ".spi"; }
std::string ReferencePlugin() { return std::string(LUMRA_PLUGIN_DIR) + "/ifpnm.spi"; }

// A folder of plug-ins, each copied under the name given.
struct PluginFolder {
    TempDir dir;
    std::string path;
    explicit PluginFolder(const std::string& name = "spi") : path(dir.File(name)) { fs::create_directories(path); }
    void Add(const std::string& source, const std::string& as) {
        fs::copy_file(source, path + "/" + as, fs::copy_options::overwrite_existing);
    }
    void AddTest(const std::string& variant, const std::string& as) { Add(TestPlugin(variant), as); }
    std::string File(const std::string& name) const { return dir.File(name); }
};

// A file for the test plug-in: its settings, one per line.
std::string FakeFile(const PluginFolder& f, const std::string& name, const std::string& settings) {
    const std::string path = f.File(name);
    test::WriteText(path, "SPITEST\n" + settings);
    return path;
}

bool Decode(const PluginFolder& f, const std::string& file, ImageBuffer& out) {
    return DecodeWithPlugins(f.path, file, out);
}

// What the test plug-in writes: bytes i*7+3, palette entry i = (i/2, 255-i, i) as R,G,B.
uint8_t FakeByte(size_t i) { return static_cast<uint8_t>(i * 7 + 3); }

void ExpectFakePixels(const ImageBuffer& img) {
    const size_t stride = img.stride();
    for (int y = 0; y < img.height(); ++y)
        for (size_t x = 0; x < stride; ++x)
            ASSERT_EQ(img.storedRow(y)[x], FakeByte(static_cast<size_t>(y) * stride + x)) << y << "," << x;
}

TEST(PluginHost, AcceptsEveryDepthAndKeepsIt) {
    PluginFolder f;
    f.AddTest("fake", "fake.spi");
    for (const int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        // Odd widths: rows padded to 4 bytes.
        const std::string file = FakeFile(f, "p.fake", "width=13\nheight=5\nbits=" + std::to_string(bits) + "\n");
        ImageBuffer img;
        ASSERT_TRUE(Decode(f, file, img));
        EXPECT_EQ(img.width(), 13);
        EXPECT_EQ(img.height(), 5);
        EXPECT_EQ(img.bitCount(), bits);
        EXPECT_EQ(img.sourceFormat, kFormatUnknown);
        EXPECT_EQ(img.sourceBitDepth, bits);  // GetPictureInfo says 0: the picture's own depth
        EXPECT_EQ(img.fileSize, static_cast<int32_t>(fs::file_size(file)));
        EXPECT_EQ(img.header.biXPelsPerMeter, 2835);
        EXPECT_EQ(img.header.biCompression, 0u);
        EXPECT_EQ(img.header.biClrUsed, 0u);
        ExpectFakePixels(img);
        if (bits <= 8) {
            const int colours = 1 << bits;
            for (int i = 0; i < colours; ++i) {
                EXPECT_EQ(img.palette[i], (RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                                   static_cast<uint8_t>(i / 2), 0}));
            }
            if (colours < 256) {
                EXPECT_EQ(img.palette[colours], RgbQuad{});
            }
        }
    }
    // The depth from GetPictureInfo; its text block is released by the host.
    const std::string file = FakeFile(f, "d.fake", "bits=24\ndepth=48\nhinfo=1\n");
    ImageBuffer img;
    ASSERT_TRUE(Decode(f, file, img));
    EXPECT_EQ(img.sourceBitDepth, 48);
    EXPECT_EQ(img.bitCount(), 24);

    // The largest side there is.
    ASSERT_TRUE(Decode(f, FakeFile(f, "w.fake", "width=25000\nheight=1\nbits=8\n"), img));
    EXPECT_EQ(img.width(), 25000);
    ASSERT_TRUE(Decode(f, FakeFile(f, "h.fake", "width=1\nheight=25000\nbits=1\n"), img));
    EXPECT_EQ(img.height(), 25000);
}

TEST(PluginHost, RefusesPicturesItCannotTrust) {
    PluginFolder f;
    f.AddTest("fake", "fake.spi");
    const char* cases[] = {
        "result=2\n",                             // GetPicture failed
        "result=-1\n",
        "bits=16\n",                              // 16-bit
        "bits=32\n",
        "bits=2\n",
        "height=-3\n",                            // top-down
        "width=0\n",
        "width=-4\n",
        "width=25001\nheight=1\n",                // over the largest side
        "width=1\nheight=25001\nbits=8\n",
        "compression=3\n",                        // not BI_RGB
        "compression=1\nbits=8\n",
        "header_size=20\n",
        "header_size=5000\ninfo_bytes=100\n",     // header claims more than its block
        "throw=1\n",                              // an exception through the interface
    };
    for (const char* settings : cases) {
        SCOPED_TRACE(settings);
        ImageBuffer img;
        EXPECT_FALSE(Decode(f, FakeFile(f, "bad.fake", settings), img));
        EXPECT_TRUE(img.empty());
    }
    // (Blocks are measured by the allocator, which may round a request up by a few bytes:
    // the sizes above are short by more than that.)
    // A block exactly as large as the picture, and a short palette that the header admits.
    ImageBuffer img;
    EXPECT_TRUE(Decode(f, FakeFile(f, "ok.fake", "width=200\nheight=100\nbits_bytes=60000\n"), img));
    EXPECT_TRUE(Decode(f, FakeFile(f, "pal.fake", "bits=8\nclr_used=3\n"), img));
    EXPECT_EQ(img.palette[2], (RgbQuad{2, 253, 1, 0}));
    EXPECT_EQ(img.palette[3], RgbQuad{});
}

TEST(PluginHost, ShortBlocksGiveWhatTheyHold) {
    PluginFolder f;
    f.AddTest("fake", "fake.spi");
    // (The allocator may round a block up by a few bytes: only bytes well inside or well
    // past the block are checked.)
    struct Case {
        const char* settings;
        size_t bitsHeld;     // leading bytes of the bits block that are copied
        size_t coloursHeld;  // leading palette entries present
    };
    const Case cases[] = {
        {"width=200\nheight=100\nbits_bytes=30000\n", 30000, 0},
        {"width=64\nheight=64\nbits=8\nbits_bytes=16\n", 16, 256},
        {"bits=8\ninfo_bytes=100\n", 12, 15},               // 15 of 256 colours
        {"bits=4\nclr_used=16\ninfo_bytes=48\n", 12, 2},   // 16 claimed, 2 present
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        ImageBuffer img;
        ASSERT_TRUE(Decode(f, FakeFile(f, "short.fake", c.settings), img));
        for (size_t i = 0; i < c.bitsHeld; ++i)
            ASSERT_EQ(img.bits()[i], static_cast<uint8_t>(i * 7 + 3)) << i;
        for (size_t i = c.bitsHeld + 64; i < img.imageBytes(); ++i) ASSERT_EQ(img.bits()[i], 0) << i;
        for (size_t i = 0; i < c.coloursHeld; ++i) {
            EXPECT_EQ(img.palette[i].blue, static_cast<uint8_t>(i)) << i;
        }
        if (c.coloursHeld < 256 && img.bitCount() <= 8) {
            EXPECT_EQ(img.palette[(size_t{1} << img.bitCount()) - 1], RgbQuad{});
        }
    }
}

TEST(PluginHost, MissingExportsAndArchivePlugins) {
    PluginFolder f;
    const std::string file = FakeFile(f, "p.fake", "bits=8\ndepth=7\n");
    ImageBuffer img;
    for (const char* variant : {"fake_archive", "fake_no_plugininfo", "fake_no_issupported", "fake_no_picture"}) {
        SCOPED_TRACE(variant);
        PluginFolder one;
        one.AddTest(variant, "a.spi");
        EXPECT_FALSE(Decode(one, file, img));
        PluginContext ctx;
        const bool found = FindPluginFor(one.path, ctx, file);
        // Only the plug-in without GetPicture gets as far as accepting the file.
        EXPECT_EQ(found, std::string(variant) == "fake_no_picture");
    }
    // GetPictureInfo is optional.
    PluginFolder noInfo;
    noInfo.AddTest("fake_no_pictureinfo", "a.spi");
    ASSERT_TRUE(Decode(noInfo, file, img));
    EXPECT_EQ(img.sourceBitDepth, 8);

    // Broken plug-ins ahead of a good one do not stop the search.
    PluginFolder mixed;
    mixed.AddTest("fake_archive", "a.spi");
    mixed.AddTest("fake_no_issupported", "b.spi");
    mixed.AddTest("fake_no_plugininfo", "c.spi");
    mixed.AddTest("fake", "d.spi");
    test::WriteText(mixed.path + "/junk.spi", "not a library");
    test::WriteText(mixed.path + "/e.so", "");
    EXPECT_EQ(ListPlugins(mixed.path, false), (std::vector<std::string>{"b.spi", "d.spi"}));
    PluginContext ctx;
    ASSERT_TRUE(FindPluginFor(mixed.path, ctx, file));
    EXPECT_EQ(ctx.pluginName, "d.spi");
    EXPECT_EQ(ctx.offset, 0);
    ASSERT_TRUE(Decode(mixed, file, img));
    EXPECT_EQ(img.sourceBitDepth, 7);
}

TEST(PluginHost, FirstAcceptingPluginInNameOrder) {
    PluginFolder f;
    f.AddTest("fake_no_picture", "b.spi");
    f.AddTest("fake", "c.spi");
    const std::string file = FakeFile(f, "p.fake", "");
    PluginContext ctx;
    ASSERT_TRUE(FindPluginFor(f.path, ctx, file));
    EXPECT_EQ(ctx.pluginName, "b.spi");
    // The first one to accept is the one used, even when it then fails.
    ImageBuffer img;
    EXPECT_FALSE(Decode(f, file, img));
    f.AddTest("fake", "a.spi");
    EXPECT_TRUE(Decode(f, file, img));
    // Upper-case extensions count as plug-ins too.
    PluginFolder upper;
    upper.AddTest("fake", "UPPER.SPI");
    EXPECT_EQ(ListPlugins(upper.path, false), (std::vector<std::string>{"UPPER.SPI"}));
}

TEST(PluginHost, FilesItCannotRead) {
    PluginFolder f;
    f.AddTest("fake", "fake.spi");
    ImageBuffer img;
    test::WriteFile(f.File("empty"), {});
    EXPECT_FALSE(Decode(f, f.File("empty"), img));
    EXPECT_FALSE(Decode(f, f.File("missing"), img));
    EXPECT_FALSE(Decode(f, f.dir.path(), img));  // a folder
    test::WriteText(f.File("other"), "something else");
    EXPECT_FALSE(Decode(f, f.File("other"), img));
    // Not a folder of plug-ins.
    EXPECT_FALSE(DecodeWithPlugins(f.File("other"), FakeFile(f, "p.fake", ""), img));
    EXPECT_FALSE(DecodeWithPlugins("", FakeFile(f, "p.fake", ""), img));
}

TEST(PluginHost, PrefixOf128Bytes) {
    PluginFolder f;
    f.AddTest("fake", "fake.spi");
    // A 128-byte prefix ahead of what the plug-in reads.
    std::string data(128, '\x55');
    data += "SPITEST\nbits=8\nwidth=3\nheight=2\n";
    test::WriteText(f.File("prefixed"), data);
    PluginContext ctx;
    ASSERT_TRUE(FindPluginFor(f.path, ctx, f.File("prefixed")));
    EXPECT_EQ(ctx.offset, 128);
    ASSERT_TRUE(DecodeWithPlugin(ctx, f.File("prefixed")));
    EXPECT_EQ(ctx.base.image.width(), 3);
    EXPECT_EQ(ctx.base.image.fileSize, static_cast<int32_t>(data.size()));

    // At offset 0 the plain file is preferred; a prefix of another length is not found.
    ASSERT_TRUE(FindPluginFor(f.path, ctx, FakeFile(f, "plain", "")));
    EXPECT_EQ(ctx.offset, 0);
    test::WriteText(f.File("shifted"), std::string(100, ' ') + "SPITEST\n");
    EXPECT_FALSE(FindPluginFor(f.path, ctx, f.File("shifted")));
    EXPECT_FALSE(ctx.library.loaded());

    // A file shorter than the header: what follows its end reads as zeros.
    test::WriteText(f.File("short"), std::string(128, '\0') + "SPITEST\n");
    EXPECT_TRUE(FindPluginFor(f.path, ctx, f.File("short")));
}

TEST(PluginHost, PatternList) {
    PluginFolder f;
    f.AddTest("fake", "a.spi");
    f.AddTest("fake_second", "b.spi");
    f.AddTest("fake_archive", "c.spi");
    // Kept as given but lower-cased; built-in extensions left out (".JPG", ".TIFF", ".Jpeg")
    // and repeats once.
    const std::vector<std::string> expected = {"*.fake", "*.foo", " *.bar ", "*",      "*.*",
                                               "*.a b",  "*.x(y)", "*.second"};
    EXPECT_EQ(ListPlugins(f.path, true), expected);
    EXPECT_EQ(PluginFilePatterns(f.path), expected);
    EXPECT_EQ(PluginPatternText(f.path), "*.fake;*.foo; *.bar ;*;*.*;*.a b;*.x(y);*.second");
    EXPECT_EQ(PluginPatternText(f.File("none")), "");
    EXPECT_TRUE(PluginFilePatterns("").empty());

    // A plug-in for upper-case JPG files adds nothing to the list.
    PluginFolder jpg;
    jpg.AddTest("fake_jpg", "a.spi");
    EXPECT_EQ(ListPlugins(jpg.path, false), (std::vector<std::string>{"a.spi"}));
    EXPECT_EQ(PluginPatternText(jpg.path), "");

    EXPECT_TRUE(IsBuiltInExtension("*.jpeg"));
    EXPECT_TRUE(IsBuiltInExtension("*.x.tif"));
    EXPECT_FALSE(IsBuiltInExtension("*.jpgx"));
    EXPECT_FALSE(IsBuiltInExtension("*.JPG"));  // compared after lower-casing
}

TEST(PluginHost, LimitsOfOneHundred) {
    // A plug-in that never stops offering patterns: 100 are kept, and the host stops asking.
    PluginFolder endless;
    endless.AddTest("fake_endless", "a.spi");
    endless.AddTest("fake", "b.spi");
    const std::vector<std::string> patterns = ListPlugins(endless.path, true);
    ASSERT_EQ(patterns.size(), 100u);
    EXPECT_EQ(patterns.front(), "*.e2");
    EXPECT_EQ(patterns.back(), "*.e200");

    // One that repeats itself for ever cannot hold the host either.
    PluginFolder same;
    same.AddTest("fake_same_forever", "a.spi");
    EXPECT_EQ(ListPlugins(same.path, true), (std::vector<std::string>{"*.same"}));

    // 101 plug-ins: the first 100 in name order are listed and tried; archive
    // plug-ins do not count.
    PluginFolder many;
    many.AddTest("fake_archive", "a.spi");
    for (int i = 0; i < 101; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.spi", i);
        many.AddTest(i == 100 ? "fake" : "fake_other", name);
    }
    const std::vector<std::string> names = ListPlugins(many.path, false);
    ASSERT_EQ(names.size(), 100u);
    EXPECT_EQ(names.front(), "p000.spi");
    EXPECT_EQ(names.back(), "p099.spi");
    // Only the 101st reads this file, and it is never asked.
    const std::string file = FakeFile(many, "p.fake", "");
    PluginContext ctx;
    EXPECT_FALSE(FindPluginFor(many.path, ctx, file));
    fs::remove(many.path + "/p000.spi");
    ASSERT_TRUE(FindPluginFor(many.path, ctx, file));
    EXPECT_EQ(ctx.pluginName, "p100.spi");
}

TEST(PluginHost, DescribePlugin) {
    std::string patterns, descriptions;
    ASSERT_TRUE(DescribePlugin(TestPlugin("fake"), patterns, descriptions));
    EXPECT_EQ(patterns, "*.fake;*.JPG;*.Foo; *.bar ;*.foo;*;*.*;*.a b;*.TIFF;*.Jpeg;*.x(y)");
    EXPECT_EQ(descriptions, "Fake format 1/Fake format 2/Fake format 3");
    ASSERT_TRUE(DescribePlugin(TestPlugin("fake_endless"), patterns, descriptions));
    EXPECT_EQ(patterns.size(), 259u);
    EXPECT_EQ(descriptions.size(), 259u);
    EXPECT_EQ(patterns.rfind("*.e2;*.e4;", 0), 0u);
    EXPECT_FALSE(DescribePlugin(TestPlugin("fake_no_plugininfo"), patterns, descriptions));
    EXPECT_FALSE(DescribePlugin(TestPlugin("missing"), patterns, descriptions));
    EXPECT_TRUE(patterns.empty());
}

TEST(PluginHost, InstalledPluginFolder) {
    TempDir dir;
    EXPECT_EQ(InstalledPluginFolder(dir.File("lumra")), "");
    fs::create_directories(dir.File("plugins"));
    EXPECT_EQ(InstalledPluginFolder(dir.File("lumra")), dir.File("plugins"));
    EXPECT_EQ(InstalledPluginFolder("lumra"), "");
    EXPECT_EQ(InstalledPluginFolder(""), "");
}

// ---- the reference plug-in (Netpbm, written without a library) ----

class ReferencePluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(LUMRA_PLUGIN_DIR).empty()) GTEST_SKIP() << "built without the plug-ins";
        f.Add(ReferencePlugin(), "ifpnm.spi");
    }
    bool Load(const std::string& name, const std::string& data, ImageBuffer& img) {
        test::WriteText(f.File(name), data);
        return Decode(f, f.File(name), img);
    }
    // R,G,B of the pixel at (x, y) from the top.
    static std::vector<int> Rgb(const ImageBuffer& img, int x, int y) {
        const uint8_t* row = img.topRow(y);
        if (img.bitCount() == 24) return {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
        const RgbQuad& q = img.palette[row[x]];
        return {q.red, q.green, q.blue};
    }
    PluginFolder f;
};

TEST_F(ReferencePluginTest, ReadsEveryForm) {
    ImageBuffer img;
    // Raw colour, odd width.
    ASSERT_TRUE(Load("a.ppm", std::string("P6\n# comment\n3 2\n255\n") +
                                  "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12",
                     img));
    EXPECT_EQ(img.bitCount(), 24);
    EXPECT_EQ(img.sourceBitDepth, 24);
    EXPECT_EQ(Rgb(img, 0, 0), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Rgb(img, 2, 1), (std::vector<int>{16, 17, 18}));
    // Plain grey with its own maximum: an 8-bit grey picture.
    ASSERT_TRUE(Load("g.pgm", "P2 2 2 4\n0 1\n2 4\n", img));
    EXPECT_EQ(img.bitCount(), 8);
    EXPECT_EQ(Rgb(img, 1, 0), (std::vector<int>{64, 64, 64}));
    EXPECT_EQ(Rgb(img, 0, 1), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(Rgb(img, 1, 1), (std::vector<int>{255, 255, 255}));
    // Bitmaps: 1 is black.
    ASSERT_TRUE(Load("b.pbm", "P1\n3 1\n1 0 1\n", img));
    EXPECT_EQ(Rgb(img, 0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::vector<int>{255, 255, 255}));
    ASSERT_TRUE(Load("r.pbm", std::string("P4\n9 2\n") + std::string("\x80\x80\x00\x00", 4), img));
    EXPECT_EQ(img.sourceBitDepth, 1);
    EXPECT_EQ(Rgb(img, 0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Rgb(img, 8, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::vector<int>{255, 255, 255}));
    // 16-bit samples, big-endian.
    ASSERT_TRUE(Load("w.ppm", std::string("P6 1 1 65535\n") + std::string("\xff\xff\x80\x00\x00\x00", 6), img));
    EXPECT_EQ(img.sourceBitDepth, 48);
    EXPECT_EQ(Rgb(img, 0, 0), (std::vector<int>{255, 128, 0}));
    // PAM with alpha: composed onto white.
    ASSERT_TRUE(Load("a.pam",
                     std::string("P7\nWIDTH 3\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n") +
                         std::string("\xff\x00\x00\xff\xff\x00\x00\x00\x00\x00\xff\x80", 12),
                     img));
    EXPECT_EQ(img.bitCount(), 24);
    EXPECT_EQ(img.sourceBitDepth, 32);
    EXPECT_EQ(Rgb(img, 0, 0), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(Rgb(img, 1, 0), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(Rgb(img, 2, 0), (std::vector<int>{127, 127, 255}));
    ASSERT_TRUE(Load("ga.pam",
                     std::string("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nENDHDR\n") + std::string("\x00\x00", 2),
                     img));
    EXPECT_EQ(img.bitCount(), 8);
    EXPECT_EQ(Rgb(img, 0, 0), (std::vector<int>{255, 255, 255}));
}

TEST_F(ReferencePluginTest, RefusesMalformedFiles) {
    const std::string cases[] = {
        "P6\n3 2\n255\n" + std::string(17, 'x'),    // one byte short
        "P6\n3 2\n0\n" + std::string(18, 'x'),      // maximum 0
        "P6\n3 2\n65536\n" + std::string(36, 'x'),  // maximum too large
        "P6\n0 2\n255\n",
        "P6\n25001 1\n255\n" + std::string(75003, 'x'),
        "P6\n3",
        "P6\n3 2\n255",                             // no blank after the header
        "P2\n2 1\n10\n3 11\n",                      // a sample over the maximum
        "P2\n2 1\n10\n3 x\n",
        "P1\n2 1\n1 2\n",
        std::string("P4\n9 2\n\x80\x80\x00", 10),
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 5\nMAXVAL 255\nENDHDR\n" + std::string(5, 'x'),
        "P7\nWIDTH 1\nHEIGHT 1\nMAXVAL 255\nENDHDR\nxxx",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nBOGUS 1\nENDHDR\nxxx",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\n",
        "P6\n99999999999999999999 1\n255\n",
        "P5\n4294967297 1\n255\nx",
    };
    for (const std::string& data : cases) {
        SCOPED_TRACE(data.substr(0, 40));
        ImageBuffer img;
        EXPECT_FALSE(Load("bad.pnm", data, img));
    }
    // Every cut of a good file fails cleanly, except the whole file.
    const std::string good = "P7\nWIDTH 2\nHEIGHT 2\nDEPTH 3\nMAXVAL 65535\nENDHDR\n" + std::string(24, '\x7f');
    for (size_t n = 1; n < good.size(); ++n) {
        ImageBuffer img;
        EXPECT_FALSE(Load("cut.pam", good.substr(0, n), img)) << n;
    }
    ImageBuffer img;
    EXPECT_TRUE(Load("whole.pam", good, img));
}

// LoadPicture: own codecs first, then the plug-ins; the picture, path and history.
TEST_F(ReferencePluginTest, LoadPictureFallsBackToThePlugins) {
    Session s;
    s.settings.path.spi = f.path;
    const std::string first = f.File("first.ppm");
    test::WriteText(first, std::string("P6 1 1 255\n") + "\x0a\x14\x1e");
    s.picture.flags.hasComment = true;
    ASSERT_TRUE(LoadPicture(s, first));
    EXPECT_EQ(s.picture.path, first);
    EXPECT_EQ(s.picture.fileName, "first.ppm");
    EXPECT_EQ(s.picture.flags, PictureFlags{});
    EXPECT_EQ(s.picture.image.sourceFormat, kFormatUnknown);
    EXPECT_NE(s.picture.image.fileTime, 0);

    // A failing file leaves the picture alone.
    test::WriteText(f.File("bad.ppm"), "P6 1 1 255\n");
    EXPECT_FALSE(LoadPicture(s, f.File("bad.ppm")));
    EXPECT_EQ(s.picture.path, first);

    // Preview mode fills the preview only.
    test::WriteText(f.File("second.pgm"), std::string("P5 2 1 255\n") + "\x01\x02");
    ImageBuffer preview;
    ASSERT_TRUE(LoadWithPlugins(s, f.File("second.pgm"), &preview));
    EXPECT_EQ(preview.width(), 2);
    EXPECT_EQ(s.picture.image.width(), 1);

    // A file that starts like a TIFF but is not one still reaches the plug-ins' judgement.
    test::WriteText(f.File("ii.ppm"), "II+ not a tiff");
    EXPECT_FALSE(LoadPicture(s, f.File("ii.ppm")));

    // Without the folder nothing is tried.
    s.settings.path.spi = f.File("missing");
    EXPECT_FALSE(LoadPicture(s, f.File("second.pgm")));
}

TEST_F(ReferencePluginTest, JapaneseNames) {
    PluginFolder jp("プラグイン フォルダ");
    jp.Add(ReferencePlugin(), "参照用.spi");
    fs::create_directories(jp.File("写真"));
    const std::string file = jp.File("写真/夏の空 (1).ppm");
    test::WriteText(file, std::string("P6 1 1 255\n") + "\x01\x02\x03");
    EXPECT_EQ(ListPlugins(jp.path, false), (std::vector<std::string>{"参照用.spi"}));
    ImageBuffer img;
    ASSERT_TRUE(DecodeWithPlugins(jp.path, file, img));
    EXPECT_EQ(img.width(), 1);
    std::string patterns, descriptions;
    ASSERT_TRUE(DescribePlugin(jp.path + "/参照用.spi", patterns, descriptions));
    EXPECT_EQ(patterns, "*.pnm;*.pbm;*.pgm;*.ppm;*.pam");
}

}  // namespace
}  // namespace lumra

namespace lumra {
namespace {

TEST(PluginConfiguration, CallsTheDialogWithItsParentOnlyWhenExported) {
    TempDir dir;
    const std::string log = dir.File("config.log");
    test::ScopedEnv env("FAKE_CONFIG_LOG", log);
    EXPECT_EQ(RunPluginConfiguration(TestPlugin("fake"), 77), PluginConfiguration::NoDialog);
    EXPECT_FALSE(fs::exists(log));
    EXPECT_EQ(RunPluginConfiguration(TestPlugin("fake_second"), 77), PluginConfiguration::Shown);
    EXPECT_EQ(test::ReadText(log), "77 1");
    EXPECT_EQ(RunPluginConfiguration(dir.File("missing.spi"), 0), PluginConfiguration::NotLoaded);
}

}  // namespace
}  // namespace lumra
