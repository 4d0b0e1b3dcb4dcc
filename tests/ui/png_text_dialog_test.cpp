// The PNG text viewer: its list, and the error box when there is nothing to show.
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "formats/png/png_chunks.h"
#include "formats/png/png_text.h"
#include "platform/ansi_text.h"
#include "shell/command_catalogue.h"
#include "ui/comment_exif_dialogs.h"
#include "ui/png_text_dialog.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

void AddChunk(std::vector<uint8_t>& file, const char* type, const std::string& data) {
    const size_t at = file.size();
    file.resize(at + 12 + data.size());
    WriteBe32(file.data() + at, static_cast<uint32_t>(data.size()));
    std::memcpy(file.data() + at + 4, type, 4);
    std::memcpy(file.data() + at + 8, data.data(), data.size());
    WriteBe32(file.data() + at + 8 + data.size(), PngCrc(file.data() + at + 4, data.size() + 4));
}

// A 1 x 1 grey PNG with the given tEXt bodies.
std::vector<uint8_t> PngWithTexts(const std::vector<std::string>& texts) {
    std::vector<uint8_t> file(kPngSignature, kPngSignature + 8);
    AddChunk(file, "IHDR", std::string("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13));
    for (const auto& t : texts) AddChunk(file, "tEXt", t);
    // zlib stream of the row {0, 0}.
    AddChunk(file, "IDAT", std::string("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10));
    AddChunk(file, "IEND", "");
    return file;
}

using PngTextViewerTest = AppFixture;

TEST_F(PngTextViewerTest, ListsKeywordsAndTexts) {
    ASSERT_TRUE(StartQuiet());
    const std::string path = dir_.File("texts.png");
    WriteFile(path, PngWithTexts({std::string("Title\0\x93\xfa\x96\x7b", 10), std::string("Comment\0hello", 13)}));
    std::vector<std::pair<std::string, std::string>> rows;
    std::vector<std::string> headings;
    std::vector<int> widths;
    bool fullRow = false;
    onDialog_ = [&](QDialog& dialog) {
        auto* viewer = qobject_cast<ui::PngTextDialog*>(&dialog);
        if (!viewer) return int(QDialog::Rejected);
        QTreeWidget* list = viewer->list();
        for (int c = 0; c < list->columnCount(); ++c) {
            headings.push_back(list->headerItem()->text(c).toStdString());
            widths.push_back(list->columnWidth(c));
        }
        fullRow = list->selectionBehavior() == QAbstractItemView::SelectRows;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows.emplace_back(list->topLevelItem(i)->text(0).toStdString(), list->topLevelItem(i)->text(1).toStdString());
        return int(QDialog::Accepted);
    };
    ui::ShowPngTextViewer(*app_, &View(), path);
    EXPECT_EQ(dialogs_, std::vector<std::string>{"lumra::ui::PngTextDialog"});
    EXPECT_EQ(headings, (std::vector<std::string>{"キーワード", "テキスト"}));
    EXPECT_EQ(widths, (std::vector<int>{74, 197}));
    EXPECT_TRUE(fullRow);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], std::make_pair(std::string("Title"), std::string("日本")));
    EXPECT_EQ(rows[1], std::make_pair(std::string("Comment"), std::string("hello")));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(PngTextViewerTest, NothingToShowIsAReadError) {
    ASSERT_TRUE(StartQuiet());
    const std::string empty = dir_.File("plain.png");
    WriteFile(empty, PngWithTexts({}));
    for (const std::string& path : {empty, dir_.File("missing.png")}) {
        boxes_.clear();
        ui::ShowPngTextViewer(*app_, &View(), path);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].request.text, "データ読み取りに失敗しました。");
        EXPECT_EQ(boxes_[0].request.caption, "Error");
    }
    EXPECT_TRUE(dialogs_.empty());
}

TEST_F(PngTextViewerTest, TextDataCommandForPngPictures) {
    const std::string path = dir_.File("texts.png");
    WriteFile(path, PngWithTexts({std::string("Author\0me", 9)}));
    ASSERT_TRUE(StartQuiet({path}));
    EXPECT_TRUE(app_->session().picture.flags.hasText);
    int rows = -1;
    onDialog_ = [&](QDialog& dialog) {
        if (auto* viewer = qobject_cast<ui::PngTextDialog*>(&dialog)) rows = viewer->list()->topLevelItemCount();
        return int(QDialog::Accepted);
    };
    View().Command(kCmdTextData);
    EXPECT_EQ(dialogs_, std::vector<std::string>{"lumra::ui::PngTextDialog"});
    EXPECT_EQ(rows, 1);
}

TEST_F(PngTextViewerTest, CommentEditorRewritesThePngFile) {
    const std::string path = dir_.File("commented.png");
    WriteFile(path, PngWithTexts({std::string("Comment\0\x8c\xb3\x82\xcc\n", 13)}));  // 元の
    ScopedEnv data("XDG_DATA_HOME", dir_.File("data"));
    ScopedEnv tmp("TMPDIR", dir_.path());
    ASSERT_TRUE(StartQuiet({path}));
    std::string shown;
    onDialog_ = [&](QDialog& d) {
        auto& dialog = dynamic_cast<ui::CommentEditDialog&>(d);
        shown = dialog.editor()->toPlainText().toStdString();
        dialog.editor()->setPlainText(QStringLiteral("新しい\n二行"));
        return int(QDialog::Accepted);
    };
    ui::ShowCommentEditor(*app_);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(shown, "元の\n");
    std::string text;
    int error = 0;
    ASSERT_TRUE(ReadPngComment(path, text, error));
    EXPECT_EQ(AnsiToUtf8(text), "新しい\r\n二行");
}

}  // namespace
}  // namespace lumra::test
