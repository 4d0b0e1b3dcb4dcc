#include "ui/comment_exif_dialogs.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "document/comment_save.h"
#include "document/jpeg_rotate.h"
#include "document/document.h"
#include "platform/file_io.h"
#include "shell/show_error.h"
#include "ui/app.h"
#include "ui/view_window.h"

namespace lumra::ui {

// Plain text of at most 10000 characters; anything beyond is cut off as it is typed.
class CommentTextEdit : public QPlainTextEdit {
public:
    explicit CommentTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
        connect(this, &QPlainTextEdit::textChanged, this, [this] {
            const QString t = toPlainText();
            if (t.size() <= kCommentMaxChars) return;
            const QSignalBlocker block(this);
            setPlainText(t.left(kCommentMaxChars));
            moveCursor(QTextCursor::End);
        });
    }
};

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// An edit control and two buttons under it.
CommentTextEdit* BuildCommentDialog(QDialog& dialog, const char* title, const std::string& text,
                                    const char* okText, QPushButton*& ok) {
    dialog.setWindowTitle(Text(title));
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new CommentTextEdit(&dialog);
    edit->setPlainText(QString::fromStdString(text));
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(edit);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    ok = new QPushButton(Text(okText), &dialog);
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text("キャンセル"), &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    dialog.resize(420, 260);
    return edit;
}

void RefreshAfterLoad(Application& app) {
    if (app.session().displayMode == kEditWindow) app.RefreshEditWindow();
    else if (app.viewWindow()) app.viewWindow()->RefreshAfterLoad(true);
}

}  // namespace

CommentEditDialog::CommentEditDialog(QWidget* owner, const std::string& utf8) : QDialog(owner) {
    edit_ = BuildCommentDialog(*this, "コメント表示/編集", utf8, "保存", save_);
}

std::string CommentEditDialog::text() const { return edit_->toPlainText().toStdString(); }
QPlainTextEdit* CommentEditDialog::editor() const { return edit_; }

CommentCreateDialog::CommentCreateDialog(QWidget* owner, const std::string& utf8) : QDialog(owner) {
    edit_ = BuildCommentDialog(*this, "コメント作成", utf8, "OK", ok_);
}

std::string CommentCreateDialog::text() const { return edit_->toPlainText().toStdString(); }
QPlainTextEdit* CommentCreateDialog::editor() const { return edit_; }

ExifDialog::ExifDialog(QWidget* owner, const ExifRows& rows) : QDialog(owner), text_(ExifRowsText(rows)) {
    setWindowTitle(Text("Exif 撮影データ"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({Text("項目"), Text("データ")});
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    for (const ExifRow& row : rows)
        list_->addTopLevelItem(new QTreeWidgetItem({Text(row.label), QString::fromStdString(row.value)}));
    list_->setColumnWidth(0, 70);
    list_->setColumnWidth(1, 201);
    list_->setMinimumWidth(70 + 201 + 8);
    layout->addWidget(list_);
    auto* buttons = new QHBoxLayout();
    copy_ = new QPushButton(Text("クリップボードにコピー"), this);
    auto* ok = new QPushButton(Text("OK"), this);
    ok->setDefault(true);
    connect(copy_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(QString::fromStdString(text_)); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(copy_);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    resize(320, 330);
}

void ShowCommentEditor(Application& app) {
    Session& s = app.session();
    std::string text;
    int error = kErrRead;
    if (!ReadCurrentComment(s, text, error)) {
        app.ShowError(app.viewWindow(), error);
        return;
    }
    CommentEditDialog dialog(app.viewWindow(), text);
    if (app.RunDialog(dialog) != QDialog::Accepted) return;
    SaveEditedComment(s, dialog.text());
    app.UpdateTitles();
}

void ToggleCommentCreation(Application& app) {
    Session& s = app.session();
    if (s.picture.writeComment) {
        s.picture.writeComment = false;
        return;
    }
    CommentCreateDialog dialog(app.viewWindow(), s.picture.commentText);
    if (app.RunDialog(dialog) != QDialog::Accepted) return;
    SetPendingComment(s, dialog.text());
}

void ShowExifViewer(Application& app) {
    const CurrentPicture& pic = app.session().picture;
    ExifRecord record;
    if (!pic.HasPicture() || pic.path.empty() || !FileExists(pic.path) || !ReadExifFile(pic.path, record)) {
        app.ShowError(app.viewWindow(), kErrRead);
        return;
    }
    ExifDialog dialog(app.viewWindow(), MakeExifRows(record));
    app.RunDialog(dialog);
}

bool RotateJpegLosslessly(Application& app, int direction) {
    Session& s = app.session();
    if (!CanRotateJpegInPlace(s)) return false;
    switch (app.AskSaveChanges()) {
        case 0: return false;
        case 2:
            if (!app.SavePictureAs()) return false;
            break;
        default: break;
    }
    bool loadFailed = false;
    if (!RotateJpegInPlace(s, direction, &loadFailed)) {
        // A failed save was shown by the save itself; a failed load is shown here.
        if (loadFailed) app.ShowError(app.viewWindow(), kErrDisplay);
        app.UpdateTitles();
        return false;
    }
    RefreshAfterLoad(app);
    app.UpdateTitles();
    return true;
}

}  // namespace lumra::ui
