#include "shell/messages.h"

#include <gtest/gtest.h>

#include "shell/file_filters.h"

namespace lumra {
namespace {

TEST(ShowErrorTexts, TableAndOutOfRange) {
    const char* expected[] = {
        "メモリ確保に失敗しました。",     "データ読み取りに失敗しました。",
        "画像の表示に失敗しました。",     "ファイルが変更されています。\nこのコマンドは実行できません。",
        "コマンドを実行できません。",     "一時ファイル作成に失敗しました。",
        "一時ファイル削除に失敗しました。", "ファイル作成に失敗しました。",
        "ファイル実行に失敗しました。",   "ファイル削除に失敗しました。",
        "印刷プレビューに失敗しました。", "印刷実行に失敗しました。",
        "履歴の保存に失敗しました。",     "履歴の実行に失敗しました。",
    };
    for (int code = 0; code < 14; ++code) {
        const BoxRequest box = ErrorBox(code);
        EXPECT_EQ(box.text, expected[code]) << code;
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.icon, BoxIcon::Error);
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
    }
    for (int code : {-1, 14, 255, 1 << 30}) EXPECT_EQ(ErrorBox(code).text, "Error") << code;
    EXPECT_EQ(ErrorBox(kErrDisplay).text, "画像の表示に失敗しました。");
    EXPECT_EQ(StartupFailureBox(), ErrorBox(kErrFileExec));
}

TEST(SaveChangesQuestion, TextAndAnswers) {
    const BoxRequest box = SaveChangesBox("a.jpg");
    EXPECT_EQ(box.text, "a.jpg への変更を保存しますか?");
    EXPECT_EQ(box.caption, "Lumra Ex");
    EXPECT_EQ(box.icon, BoxIcon::Warning);
    EXPECT_EQ(box.buttons, BoxButtons::YesNoCancel);
    EXPECT_EQ(SaveChangesAnswer(BoxResult::Cancel), 0);
    EXPECT_EQ(SaveChangesAnswer(BoxResult::No), 1);
    EXPECT_EQ(SaveChangesAnswer(BoxResult::Yes), 2);
    // A box closed any other way counts as cancel.
    EXPECT_EQ(SaveChangesAnswer(BoxResult::Ok), 0);
}

TEST(CodecErrorBox, OwnTextFirstThenLibraryText) {
    EXPECT_EQ(CodecErrorBox(5, "ignored").text, "ファイル作成に失敗しました。");
    EXPECT_EQ(CodecErrorBox(5, "").caption, "Error");
    const BoxRequest lib = CodecErrorBox(0, "Bogus marker length");
    EXPECT_EQ(lib.text, "Bogus marker length");
    EXPECT_EQ(lib.caption, "JPEG Library Error");
    EXPECT_TRUE(CodecErrorBox(99, "").text.empty());
}

TEST(MouseInfoTexts, SixLinesWithTabs) {
    ASSERT_EQ(kMouseInfoLines.size(), 6u);
    EXPECT_STREQ(kMouseInfoLines[3], "画像を右ボタンでドラッグ\t\t= スクロール");
    for (const char* line : kMouseInfoLines) EXPECT_NE(std::string(line).find("\t="), std::string::npos);
}

TEST(FileFilters, OpenListWithAndWithoutPlugins) {
    const std::vector<FileFilter> plain = OpenFilters("");
    ASSERT_EQ(plain.size(), 7u);
    EXPECT_EQ(plain[0].text, "イメージ ファイル (*.bmp;*.png;*.jpg;*.tif;*.gif; etc)");
    EXPECT_EQ(plain[0].patterns, "*.bmp;*.png;*.jpg;*.jpeg;*.jpe;*.tif;*.tiff;*.gif");
    EXPECT_EQ(plain[1], (FileFilter{"ビットマップ ファイル (*.bmp)", "*.bmp"}));
    EXPECT_EQ(plain[3], (FileFilter{"JPEG ファイル (*.jpg;*.jpeg;*.jpe)", "*.jpg;*.jpeg;*.jpe"}));
    EXPECT_EQ(plain[6], (FileFilter{"すべて (*.*)", "*.*"}));

    const std::vector<FileFilter> withPlugins = OpenFilters("*.pi;*.mag");
    ASSERT_EQ(withPlugins.size(), 8u);
    EXPECT_EQ(withPlugins[0].text, plain[0].text);
    EXPECT_EQ(withPlugins[0].patterns, plain[0].patterns + ";*.pi;*.mag");
    EXPECT_EQ(withPlugins[1], (FileFilter{"プラグイン対応 ファイル (*.pi;*.mag)", "*.pi;*.mag"}));
}

TEST(FileFilters, SaveListAndIndex) {
    const std::vector<FileFilter> five = SaveFilters(false);
    ASSERT_EQ(five.size(), 5u);
    EXPECT_EQ(five[0], (FileFilter{"BMP ファイル (*.bmp)", "*.bmp"}));
    EXPECT_EQ(five[3], (FileFilter{"TIFF ファイル (*.tif;*.tiff)", "*.tif;*.tiff"}));
    const std::vector<FileFilter> six = SaveFilters(true);
    ASSERT_EQ(six.size(), 6u);
    EXPECT_EQ(six[5], (FileFilter{"JPEG/TRANS (*.jpg;*.jpeg;*.jpe)", "*.jpg;*.jpeg;*.jpe"}));
    EXPECT_EQ(SaveFormatForFilterIndex(1), 0);
    EXPECT_EQ(SaveFormatForFilterIndex(6), 5);
    EXPECT_EQ(SaveFormatForFilterIndex(0), -1);
    EXPECT_EQ(SaveFormatForFilterIndex(7), -1);
}

TEST(FileFilters, PatternsAndExtensions) {
    EXPECT_EQ(DialogPatterns("*.jpg;*.jpeg; *.jpe ;;"), (std::vector<std::string>{"*.jpg", "*.jpeg", "*.jpe"}));
    EXPECT_EQ(DialogPatterns("*.*"), (std::vector<std::string>{"*"}));
    EXPECT_TRUE(DialogPatterns("").empty());
    EXPECT_EQ(StripExtension("photo.png"), "photo");
    EXPECT_EQ(StripExtension("a.b.c"), "a.b");
    EXPECT_EQ(StripExtension("photo"), "photo");
    EXPECT_EQ(StripExtension(".hidden"), ".hidden");
    EXPECT_EQ(StripExtension("dir.x/name"), "dir.x/name");
    EXPECT_EQ(StripExtension("dir/写真.jpeg"), "dir/写真");
    EXPECT_EQ(StripExtension(""), "");
}

}  // namespace
}  // namespace lumra
