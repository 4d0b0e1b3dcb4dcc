#include "ui/png_text_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/paths.h"
#include "shell/messages.h"
#include "shell/show_error.h"
#include "ui/app.h"

namespace lumra::ui {

PngTextDialog::PngTextDialog(QWidget* owner, const std::string& fileName, const PngTextTable& table)
    : QDialog(owner) {
    setWindowTitle(QString::fromStdString(fileName));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QString::fromUtf8(kPngTextKeywordColumn), QString::fromUtf8(kPngTextTextColumn)});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, kPngTextKeywordWidth);
    list_->setColumnWidth(1, kPngTextTextWidth);
    for (const PngTextRow& row : PngTextViewerRows(table)) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(row.keyword));
        item->setText(1, QString::fromStdString(row.text));
        item->setToolTip(1, item->text(1));
    }
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8(kOkText));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(kPngTextKeywordWidth + kPngTextTextWidth + 60, 260);
}

void ShowPngTextViewer(Application& app, QWidget* owner, const std::string& path) {
    PngTextTable table;
    int error = 0;
    if (!ReadPngTexts(path, table, error)) {
        app.ShowError(owner, kErrRead);
        return;
    }
    PngTextDialog dialog(owner, FileNamePart(path), table);
    app.RunDialog(dialog);
}

}  // namespace lumra::ui
