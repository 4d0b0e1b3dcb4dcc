// The comment and Exif dialogs and the lossless rotate commands, driven as a user would.
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_markers.h"
#include "platform/ansi_text.h"
#include "ui/comment_exif_dialogs.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class CommentExifTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        data_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", dir_.File("data"));
        tmp_ = std::make_unique<ScopedEnv>("TMPDIR", dir_.path());
    }
    // A 48 x 32 JPEG with Exif data and a comment, opened as the current picture.
    std::string OpenJpeg() {
        const std::string path = dir_.File("photo.jpg");
        ImageBuffer img;
        img.Allocate(48, 32, 24);
        for (int y = 0; y < 32; ++y)
            for (size_t x = 0; x < img.stride(); ++x) img.storedRow(y)[x] = static_cast<uint8_t>(x * 5 + y * 3);
        JpegEncodeOptions o;
        o.comment = Utf8ToAnsi("元のコメント");
        std::vector<uint8_t> jpeg;
        DecoderContext ctx;
        EXPECT_TRUE(EncodeJpegToMemory(img, o, jpeg, ctx));
        WriteFile(path, jpeg);
        const std::string cmd = "exiftool -q -q -overwrite_original -Make=Lumra -FNumber=8 -EXIF:Flash#=1 '" + path + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_TRUE(StartQuiet({path}));
        return path;
    }
    std::unique_ptr<ScopedEnv> data_, tmp_;
};

TEST_F(CommentExifTest, ExifDialogRowsAndCopy) {
    OpenJpeg();
    std::string copied;
    onDialog_ = [&](QDialog& d) {
        auto& dialog = dynamic_cast<ui::ExifDialog&>(d);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Exif 撮影データ");
        QTreeWidget* list = dialog.list();
        EXPECT_EQ(list->headerItem()->text(0).toStdString(), "項目");
        EXPECT_EQ(list->headerItem()->text(1).toStdString(), "データ");
        EXPECT_EQ(list->columnWidth(0), 70);
        EXPECT_EQ(list->columnWidth(1), 201);
        EXPECT_EQ(list->topLevelItemCount(), 12);
        EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "Lumra");
        EXPECT_EQ(list->topLevelItem(3)->text(0).toStdString(), "絞り値");
        EXPECT_EQ(list->topLevelItem(3)->text(1).toStdString(), "8.0");
        EXPECT_EQ(list->topLevelItem(8)->text(1).toStdString(), "ON");
        EXPECT_EQ(dialog.copyButton()->text().toStdString(), "クリップボードにコピー");
        dialog.copyButton()->click();
        copied = QGuiApplication::clipboard()->text().toStdString();
        return int(QDialog::Accepted);
    };
    ui::ShowExifViewer(*app_);
    ASSERT_EQ(dialogs_, std::vector<std::string>{"lumra::ui::ExifDialog"});
    EXPECT_EQ(copied.rfind("メーカー:Lumra\n機種:\n", 0), 0u) << copied;
    EXPECT_NE(copied.find("\nフラッシュ:ON\n焦点距離:mm\n"), std::string::npos) << copied;
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(CommentExifTest, CommentEditSavesThroughTheTrash) {
    const std::string path = OpenJpeg();
    onDialog_ = [&](QDialog& d) {
        auto& dialog = dynamic_cast<ui::CommentEditDialog&>(d);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "コメント表示/編集");
        EXPECT_EQ(dialog.editor()->toPlainText().toStdString(), "元のコメント");
        EXPECT_EQ(dialog.saveButton()->text().toStdString(), "保存");
        dialog.editor()->setPlainText(QString::fromStdString(std::string(10005, 'x')));
        EXPECT_EQ(dialog.editor()->toPlainText().size(), 10000);
        dialog.editor()->setPlainText(QStringLiteral("一行目\n二行目"));
        return int(QDialog::Accepted);
    };
    ui::ShowCommentEditor(*app_);
    EXPECT_TRUE(boxes_.empty());
    std::string text;
    DecoderContext ctx;
    ASSERT_TRUE(ReadJpegComment(path, text, ctx));
    EXPECT_EQ(AnsiToUtf8(text), "一行目\r\n二行目");
    EXPECT_TRUE(app_->session().picture.flags.hasComment);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("data/Trash/files")),
                            std::filesystem::directory_iterator()),
              1);

    // Emptied: the comment goes and the flag with it.
    onDialog_ = [&](QDialog& d) {
        dynamic_cast<ui::CommentEditDialog&>(d).editor()->clear();
        return int(QDialog::Accepted);
    };
    ui::ShowCommentEditor(*app_);
    ASSERT_TRUE(ReadJpegComment(path, text, ctx));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(app_->session().picture.flags.hasComment);

    // The file gone: the read error, no dialog.
    std::filesystem::remove(path);
    dialogs_.clear();
    ui::ShowCommentEditor(*app_);
    EXPECT_TRUE(dialogs_.empty());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request.text, "データ読み取りに失敗しました。");
}

TEST_F(CommentExifTest, CommentCreationSwitch) {
    OpenJpeg();
    onDialog_ = [&](QDialog& d) {
        auto& dialog = dynamic_cast<ui::CommentCreateDialog&>(d);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "コメント作成");
        dialog.editor()->setPlainText(QStringLiteral("保存時のコメント"));
        return int(QDialog::Accepted);
    };
    ui::ToggleCommentCreation(*app_);
    EXPECT_TRUE(app_->session().picture.writeComment);
    EXPECT_EQ(app_->session().picture.commentText, "保存時のコメント");
    ui::ToggleCommentCreation(*app_);  // on: just off, no dialog
    EXPECT_FALSE(app_->session().picture.writeComment);
    EXPECT_EQ(dialogs_.size(), 1u);
    onDialog_ = [](QDialog& d) {
        dynamic_cast<ui::CommentCreateDialog&>(d).editor()->clear();
        return int(QDialog::Accepted);
    };
    ui::ToggleCommentCreation(*app_);
    EXPECT_FALSE(app_->session().picture.writeComment);
}

TEST_F(CommentExifTest, LosslessRotateCommands) {
    OpenJpeg();
    ASSERT_TRUE(ui::RotateJpegLosslessly(*app_, 1));
    EXPECT_EQ(app_->session().picture.image.width(), 32);
    EXPECT_EQ(app_->session().picture.image.height(), 48);
    EXPECT_TRUE(app_->session().picture.flags.hasText);  // markers kept
    ASSERT_TRUE(ui::RotateJpegLosslessly(*app_, 3));
    EXPECT_EQ(app_->session().picture.image.width(), 48);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(dialogs_.empty());
}

}  // namespace
}  // namespace lumra::test
