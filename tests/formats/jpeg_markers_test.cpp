#include "formats/jpeg/jpeg_markers.h"

#include <gtest/gtest.h>

#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg_test_util.h"
#include "platform/ansi_text.h"
#include "test_util.h"

namespace lumra {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Segment(uint8_t marker, const std::string& data) {
    const size_t n = data.size() + 2;
    Bytes s(n + 2);
    s[0] = 0xFF;
    s[1] = marker;
    s[2] = static_cast<uint8_t>(n >> 8);
    s[3] = static_cast<uint8_t>(n);
    std::copy(data.begin(), data.end(), s.begin() + 4);
    return s;
}

// SOI, the given segments, then SOS with some data and EOI.
Bytes File(std::initializer_list<Bytes> segments) {
    Bytes f{0xFF, 0xD8};
    for (const Bytes& s : segments) f.insert(f.end(), s.begin(), s.end());
    const Bytes tail{0xFF, 0xDA, 0, 2, 1, 2, 3, 0xFF, 0xFE, 9, 9, 0xFF, 0xD9};
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
}

std::string Read(const Bytes& f, int* error = nullptr) {
    std::string text = "unset";
    DecoderContext ctx;
    const bool ok = ReadJpegCommentBytes(f.data(), f.size(), text, ctx);
    if (error) *error = ok ? 0 : ctx.error;
    return text;
}

TEST(JpegComment, ReadsTheFirstCommentBeforeTheScan) {
    EXPECT_EQ(Read(File({})), "");
    EXPECT_EQ(Read(File({Segment(0xE0, "JFIF"), Segment(0xFE, "one"), Segment(0xFE, "two")})), "one");
    // Fill bytes and stray bytes before a marker are skipped.
    Bytes f = File({Segment(0xFE, "x")});
    f.insert(f.begin() + 2, {0x00, 0x12, 0xFF, 0xFF});
    EXPECT_EQ(Read(f), "x");
    // ESC bytes go, a lone LF becomes CR LF, CR LF stays.
    EXPECT_EQ(Read(File({Segment(0xFE, "a\x1b" "b\nc\r\nd\n")})), "ab\r\nc\r\nd\r\n");
    EXPECT_EQ(Read(File({Segment(0xFE, "\n")})), "\r\n");
}

TEST(JpegComment, LengthLimits) {
    EXPECT_EQ(Read(File({Segment(0xFE, std::string(20000, 'z'))})).size(), 9999u);
    // The last LF that would not fit as CR LF is left out.
    std::string lf(9998, 'q');
    lf += "\n";
    EXPECT_EQ(Read(File({Segment(0xFE, lf)})), std::string(9998, 'q'));
    std::string many(9999, '\n');
    const std::string got = Read(File({Segment(0xFE, many)}));
    EXPECT_EQ(got.size(), 9998u);
    EXPECT_EQ(got.substr(0, 4), "\r\n\r\n");
}

TEST(JpegComment, BrokenWalks) {
    int error = 0;
    Bytes f = File({Segment(0xFE, "abc")});
    f[5] = 200;  // the COM length points past the end
    Read(f, &error);
    EXPECT_EQ(error, kCodecRead);
    const Bytes noScan{0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 1, 2};
    Read(noScan, &error);
    EXPECT_EQ(error, kCodecRead);
    const Bytes badLength{0xFF, 0xD8, 0xFF, 0xE0, 0, 1, 0xFF, 0xD9};
    Read(badLength, &error);
    EXPECT_EQ(error, kCodecRead);
    Read(Bytes{}, &error);
    EXPECT_EQ(error, kCodecRead);
    Read(Bytes{0xFF, 0xD8, 0xFF, 0xD9}, &error);
    EXPECT_EQ(error, 0);
}

struct Rewritten {
    bool ok, written, exists;
    Bytes out;
};

Rewritten Rewrite(const Bytes& f, const std::string& text) {
    Rewritten r{};
    DecoderContext ctx;
    r.ok = RewriteJpegCommentBytes(f.data(), f.size(), text, r.out, r.written, r.exists, ctx);
    return r;
}

TEST(JpegComment, RewriteReplacesInsertsAndRemoves) {
    const Bytes app0 = Segment(0xE0, "JFIF");
    const Bytes app1 = Segment(0xE1, "Exif");
    const Bytes dqt = Segment(0xDB, "qq");
    // Replacing keeps everything around the old comment.
    Rewritten r = Rewrite(File({app0, Segment(0xFE, "old"), dqt}), "new\r\ntext");
    ASSERT_TRUE(r.ok && r.written && r.exists);
    EXPECT_EQ(r.out, File({app0, Segment(0xFE, "new\ntext"), dqt}));
    // Inserted after the last APP0/APP1 met before the scan.
    r = Rewrite(File({app0, dqt, app1, dqt}), "c");
    EXPECT_EQ(r.out, File({app0, dqt, app1, Segment(0xFE, "c"), dqt}));
    // Or right after SOI when there is none.
    r = Rewrite(File({dqt}), "c");
    EXPECT_EQ(r.out, File({Segment(0xFE, "c"), dqt}));
    // The empty text removes the comment.
    r = Rewrite(File({app0, Segment(0xFE, "old"), dqt}), "");
    ASSERT_TRUE(r.ok && r.written);
    EXPECT_FALSE(r.exists);
    EXPECT_EQ(r.out, File({app0, dqt}));
    // An empty text and no comment: nothing to write.
    r = Rewrite(File({app0, dqt}), "\r");
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.written);
    EXPECT_FALSE(r.exists);
    EXPECT_TRUE(r.out.empty());
    // A broken walk.
    Bytes broken = File({app0});
    broken[5] = 100;
    r = Rewrite(broken, "c");
    EXPECT_FALSE(r.ok);
}

TEST(JpegComment, RewriteLimitKeepsWholeCharacters) {
    // Two-byte characters after three ASCII bytes: 10000 bytes would split the last one.
    std::string text = "abc";
    for (int i = 0; i < 5000; ++i) text += "\x93\xfa";  // 日
    Rewritten r = Rewrite(File({}), text);
    ASSERT_TRUE(r.written);
    const size_t length = static_cast<size_t>(r.out[4] << 8 | r.out[5]);
    EXPECT_EQ(length - 2, 9999u);
}

TEST(JpegComment, FilesEditedAndReadByExiftool) {
    test::TempDir dir;
    const std::string path = dir.File("c.jpg"), out = dir.File("out.jpg");
    std::vector<uint8_t> jpeg;
    DecoderContext ctx;
    ASSERT_TRUE(EncodeJpegToMemory(test::JpegPattern(40, 24), JpegEncodeOptions{}, jpeg, ctx));
    test::WriteFile(path, jpeg);
    bool written = false, exists = false;
    const std::string text = Utf8ToAnsi("日本語のコメント\r\n二行目");
    ASSERT_TRUE(RewriteJpegComment(path, out, text, written, exists, ctx));
    ASSERT_TRUE(written && exists);
    // exiftool finds the comment with its bytes as written (CR removed).
    test::Shell("exiftool -b -Comment " + test::Quote(out) + " > " + test::Quote(dir.File("c.txt")));
    EXPECT_EQ(test::ReadText(dir.File("c.txt")), Utf8ToAnsi("日本語のコメント\n二行目"));
    std::string back;
    ASSERT_TRUE(ReadJpegComment(out, back, ctx));
    EXPECT_EQ(AnsiToUtf8(back), "日本語のコメント\r\n二行目");
    EXPECT_EQ(test::Decode(out), test::Decode(path));
    // An unwritable temporary path.
    DecoderContext bad;
    EXPECT_FALSE(RewriteJpegComment(path, dir.File("no/dir/x"), text, written, exists, bad));
    EXPECT_EQ(bad.error, kCodecCreate);
}

TEST(AnsiText, Cp932RoundTrip) {
    EXPECT_EQ(Utf8ToAnsi("日本"), "\x93\xfa\x96\x7b");
    EXPECT_EQ(AnsiToUtf8("\x93\xfa\x96\x7b"), "日本");
    EXPECT_EQ(AnsiToUtf8("\xb1"), "ｱ");  // half-width katakana is one byte
    EXPECT_EQ(Utf8ToAnsi("ａ😀b"), "\x82\x81?b");
    EXPECT_EQ(Utf8ToAnsi("a日本", 4), "a\x93\xfa");  // no half character
    EXPECT_EQ(AnsiToUtf8(std::string("x\x81", 2)), "x?");
}

}  // namespace
}  // namespace lumra
