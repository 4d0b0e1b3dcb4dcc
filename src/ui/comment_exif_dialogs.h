// The comment dialogs ("コメント表示/編集", "コメント作成"), the Exif dialog
// ("Exif 撮影データ") and the lossless rotate commands, with their entry points.
#pragma once

#include <QDialog>
#include <string>

#include "formats/jpeg/exif.h"

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace lumra::ui {

class Application;

// ---- entry points for the commands ----

// 5040 "コメント表示/編集": view and edit the current PNG/JPEG file's comment.
void ShowCommentEditor(Application& app);
// 5890 "コメント作成/保存": switch the pending comment off, or open "コメント作成".
void ToggleCommentCreation(Application& app);
// The Exif viewer for a JPEG picture (5041 for JPEG pictures).
void ShowExifViewer(Application& app);
// 5020 (direction 1, clockwise) and 5021 (direction 3, counter-clockwise).
bool RotateJpegLosslessly(Application& app, int direction);

// ---- the dialogs ----

// An edit control of at most 10000 characters.
class CommentTextEdit;

class CommentEditDialog : public QDialog {
    Q_OBJECT
public:
    CommentEditDialog(QWidget* owner, const std::string& utf8);
    std::string text() const;
    QPlainTextEdit* editor() const;
    QPushButton* saveButton() const { return save_; }

private:
    CommentTextEdit* edit_ = nullptr;
    QPushButton* save_ = nullptr;
};

class CommentCreateDialog : public QDialog {
    Q_OBJECT
public:
    CommentCreateDialog(QWidget* owner, const std::string& utf8);
    std::string text() const;
    QPlainTextEdit* editor() const;
    QPushButton* okButton() const { return ok_; }

private:
    CommentTextEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

class ExifDialog : public QDialog {
    Q_OBJECT
public:
    ExifDialog(QWidget* owner, const ExifRows& rows);
    QTreeWidget* list() const { return list_; }
    QPushButton* copyButton() const { return copy_; }
    // The text the copy button puts on the clipboard.
    const std::string& clipboardText() const { return text_; }

private:
    QTreeWidget* list_ = nullptr;
    QPushButton* copy_ = nullptr;
    std::string text_;
};

}  // namespace lumra::ui
