// The tEXt readers of the text viewer and the comment dialogs, and the comment rewrite.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/codec_error.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_text.h"
#include "platform/ansi_text.h"
#include "png_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::PngFile;

std::vector<uint8_t> Text(const std::string& keyword, const std::string& text) {
    std::vector<uint8_t> d(keyword.begin(), keyword.end());
    d.push_back(0);
    d.insert(d.end(), text.begin(), text.end());
    return d;
}

PngFile Start() {
    PngFile f;
    f.Ihdr(1, 1, 8, 0);
    return f;
}
PngFile& Finish(PngFile& f) { return f.Idat({0, 9}).Iend(); }

PngTextTable Texts(const std::vector<uint8_t>& file, int expectError = kCodecOk) {
    PngTextTable t;
    int error = -1;
    EXPECT_EQ(ReadPngTextsFromMemory(file.data(), file.size(), t, error), expectError == kCodecOk);
    EXPECT_EQ(error, expectError);
    return t;
}

TEST(PngTexts, WhatTheViewerLists) {
    PngFile f = Start();
    f.Add("tEXt", Text("Title", "A \x1b[1mbold\x1b[0m title"))
        .Add("tEXt", Text("Bad", "crc"), false)
        .Add("tEXt", {'x'})
        .Add("tEXt", Text("", "no keyword"))
        .Add("tEXt", std::vector<uint8_t>(81, 'k'))
        .Add("zTXt", Text("Zipped", "ignored"))
        .Add("tEXt", Text(std::string(79, 'K'), std::string(2000, 'x')))
        .Add("tEXt", Text("K\x1b" "ey", std::string(2000, 'y')))
        .Add("tEXt", Text("Empty", ""));
    Finish(f).Add("tEXt", Text("After", "IEND"));
    const PngTextTable t = Texts(f.bytes);
    ASSERT_EQ(t.count, 4);
    EXPECT_EQ(t.keywords[0], "Title");
    EXPECT_EQ(t.texts[0], "A [1mbold[0m title");
    // 1103 bytes are looked at: after a 79-byte keyword 1023 bytes of text remain.
    EXPECT_EQ(t.keywords[1], std::string(79, 'K'));
    EXPECT_EQ(t.texts[1], std::string(1023, 'x'));
    EXPECT_EQ(t.keywords[2], "Key");
    EXPECT_EQ(t.texts[2], std::string(1024, 'y'));
    EXPECT_EQ(t.keywords[3], "Empty");
    EXPECT_EQ(t.texts[3], "");
}

TEST(PngTexts, AtMostSixteenAndFailures) {
    PngFile f = Start();
    for (int i = 0; i < 20; ++i) {
        std::string keyword = std::to_string(i);
        keyword.insert(keyword.begin(), 'k');
        f.Add("tEXt", Text(keyword, "t"));
    }
    const PngTextTable t = Texts(Finish(f).bytes);
    EXPECT_EQ(t.count, 16);
    EXPECT_EQ(t.keywords[15], "k15");

    PngFile none = Start();
    Texts(Finish(none).bytes, kCodecRead);
    Texts({}, kCodecRead);
    // A chunk running off the end ends the walk; what came before counts.
    PngFile cut = Start();
    cut.Add("tEXt", Text("One", "1"));
    cut.bytes.insert(cut.bytes.end(), {0, 0, 1, 0, 't', 'E', 'X', 't', 'a'});
    EXPECT_EQ(Texts(cut.bytes).count, 1);

    PngTextTable table;
    int error = 0;
    EXPECT_FALSE(ReadPngTexts("/nonexistent/file.png", table, error));
    EXPECT_EQ(error, kCodecRead);
}

TEST(PngTexts, ViewerRowsInUtf8) {
    PngTextTable t;
    t.count = 2;
    t.keywords[0] = "\x83\x5e\x83\x43\x83\x67\x83\x8b";  // タイトル
    t.texts[0] = "\x93\xfa\x96\x7b";                  // 日本
    for (int i = 0; i < 20; ++i) t.keywords[1] += "\x82\xa0";  // あ
    t.texts[1] = "ok\xff";
    const auto rows = PngTextViewerRows(t);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].keyword, "タイトル");
    EXPECT_EQ(rows[0].text, "日本");
    std::string a20;
    for (int i = 0; i < 20; ++i) a20 += "あ";
    EXPECT_EQ(rows[1].keyword, a20);
    EXPECT_EQ(rows[1].text, "ok?");
    EXPECT_STREQ(kPngTextKeywordColumn, "キーワード");
    EXPECT_STREQ(kPngTextTextColumn, "テキスト");
}

std::string Comment(const std::vector<uint8_t>& file, int expectError = kCodecOk) {
    std::string text = "unchanged";
    int error = -1;
    EXPECT_EQ(ReadPngCommentFromMemory(file.data(), file.size(), text, error), expectError == kCodecOk);
    EXPECT_EQ(error, expectError);
    return text;
}

TEST(PngComment, Reading) {
    PngFile f = Start();
    f.Add("tEXt", Text("Commentary", "no"))
        .Add("tEXt", Text("Comment", "bad crc"), false)
        .Add("tEXt", Text("Comment", "one\ntwo\r\nthree\x1b\n"))
        .Add("tEXt", Text("Comment", "second"));
    EXPECT_EQ(Comment(Finish(f).bytes), "one\r\ntwo\r\nthree\r\n");

    PngFile none = Start();
    EXPECT_EQ(Comment(Finish(none).bytes), "");
    PngFile cut = Start();
    cut.bytes.insert(cut.bytes.end(), {0, 0, 1, 0, 't', 'E', 'X', 't', 'a'});
    EXPECT_EQ(Comment(cut.bytes, kCodecRead), "");
    // Running to the end of the file without IEND is not an error.
    PngFile open = Start();
    open.Add("tEXt", Text("Comment", "x"));
    EXPECT_EQ(Comment(open.bytes), "x");
    EXPECT_EQ(Comment(std::vector<uint8_t>(20, 0), kCodecRead), "");

    // At most 9999 bytes; a CR LF pair is not split.
    PngFile longer = Start();
    longer.Add("tEXt", Text("Comment", std::string(12000, 'a')));
    EXPECT_EQ(Comment(Finish(longer).bytes).size(), 9999u);
    PngFile lines = Start();
    lines.Add("tEXt", Text("Comment", std::string(6000, '\n')));
    EXPECT_EQ(Comment(Finish(lines).bytes).size(), 9998u);
}

TEST(PngComment, Rewriting) {
    auto rewrite = [](const std::vector<uint8_t>& in, const std::string& text, bool& write, size_t& length) {
        std::vector<uint8_t> out;
        int error = -1;
        EXPECT_TRUE(RewritePngCommentInMemory(in.data(), in.size(), text, out, write, length, error));
        EXPECT_EQ(error, kCodecOk);
        return out;
    };
    bool write = false;
    size_t length = 0;

    // Two comments: only the first is replaced, in place.
    PngFile two = Start();
    two.Add("tEXt", Text("Title", "t")).Add("tEXt", Text("Comment", "first")).Add("tEXt", Text("Comment", "second"));
    Finish(two);
    auto out = rewrite(two.bytes, "new\r\ntext", write, length);
    EXPECT_TRUE(write);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Comment(out), "new\r\ntext");
    const test::LibpngImage ref = test::ReadWithLibpng(out);
    ASSERT_TRUE(ref.ok);
    ASSERT_EQ(ref.texts.size(), 3u);
    EXPECT_EQ(ref.texts[0].second, "t");
    EXPECT_EQ(ref.texts[1], std::make_pair(std::string("Comment"), std::string("new\ntext")));
    EXPECT_EQ(ref.texts[2].second, "second");

    // Removing it brings the second one forward.
    out = rewrite(two.bytes, "", write, length);
    EXPECT_TRUE(write);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(Comment(out), "second");
    EXPECT_EQ(out.size(), two.bytes.size() - (12 + 13));

    // Without a comment: inserted before IEND; trailing bytes after IEND are kept.
    PngFile plain = Start();
    Finish(plain).bytes.insert(plain.bytes.end(), {'x', 'y'});
    out = rewrite(plain.bytes, "added", write, length);
    EXPECT_TRUE(write);
    EXPECT_EQ(Comment(out), "added");
    EXPECT_EQ(std::vector<uint8_t>(out.end() - 14, out.end()),
              (std::vector<uint8_t>{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82, 'x', 'y'}));
    DecoderContext ctx;
    EXPECT_TRUE(DecodePng(out.data(), out.size(), ctx));
    EXPECT_TRUE(ctx.flags.hasComment);

    // Nothing to remove: nothing is written.
    out = rewrite(plain.bytes, "", write, length);
    EXPECT_FALSE(write);
    EXPECT_TRUE(out.empty());

    // Files on disk.
    test::TempDir dir;
    const std::string path = dir.File("a.png"), temp = dir.File("tmp");
    test::WriteFile(path, two.bytes);
    bool written = false;
    int error = -1;
    ASSERT_TRUE(RewritePngComment(path, temp, "disk", length, written, error));
    EXPECT_TRUE(written);
    std::string text;
    ASSERT_TRUE(ReadPngComment(temp, text, error));
    EXPECT_EQ(text, "disk");
    EXPECT_FALSE(RewritePngComment(path, dir.File("no/such/folder"), "x", length, written, error));
    EXPECT_EQ(error, kCodecCreate);
    EXPECT_FALSE(written);
    EXPECT_FALSE(RewritePngComment(dir.File("missing.png"), temp, "x", length, written, error));
    EXPECT_EQ(error, kCodecRead);
}

TEST(AnsiText, Cp932BothWays) {
    EXPECT_EQ(Utf8ToAnsi("コメント"), "\x83\x52\x83\x81\x83\x93\x83\x67");
    EXPECT_EQ(AnsiToUtf8("\x83\x52\x83\x81\x83\x93\x83\x67"), "コメント");
    EXPECT_EQ(AnsiToUtf8("abc"), "abc");
    // Half-width katakana are single bytes.
    EXPECT_EQ(Utf8ToAnsi("ｶﾗｰ"), "\xb6\xd7\xb0");
    // What CP932 lacks, and broken input, become '?'.
    EXPECT_EQ(Utf8ToAnsi("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToAnsi("a\xff" "b"), "a?b");
    EXPECT_EQ(AnsiToUtf8("a\x83"), "a?");
    // A limit never splits a double-byte character.
    EXPECT_EQ(Utf8ToAnsi("aコ", 2), "a");
    EXPECT_EQ(Utf8ToAnsi("aコ", 3), "a\x83\x52");
    EXPECT_EQ(Utf8Prefix("日本語", 2), "日本");
    EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
}

}  // namespace
}  // namespace lumra
