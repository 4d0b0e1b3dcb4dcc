#include "ui/file_list_window.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace lumra::ui {

FileListModel::FileListModel(const FileList& list, QObject* parent) : QAbstractListModel(parent), list_(list) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.names.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(list_.names.size())) {
        return QVariant();
    }
    return QString::fromStdString(list_.names[static_cast<size_t>(index.row())]);
}

void FileListModel::Reload() {
    beginResetModel();
    endResetModel();
}

FileListView::FileListView(FileListModel* model, QWidget* parent) : QListView(parent) {
    setModel(model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::StyledPanel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (!programmatic_ && current.isValid()) emit userSelected(current.row());
            });
}

void FileListView::ShowSelection(int row) {
    programmatic_ = true;
    if (row >= 0 && row < model()->rowCount()) {
        const QModelIndex index = model()->index(row, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    programmatic_ = false;
}

FileListWindow::FileListWindow(QWidget* owner) : QWidget(owner, Qt::Tool) {
    setWindowTitle(QStringLiteral("ファイルリスト"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    resize(kFileListWidth, kFileListHeight);
}

void FileListWindow::TakeList(FileListView* list, FileListWindow* other, const std::function<void()>& place) {
    if (!list || list_ == list) return;
    const bool wasVisible = other && other->isVisible();
    if (other) {
        resize(other->size());
        other->list_ = nullptr;
        other->hide();
    }
    list_ = list;
    list->setParent(this);
    layout()->addWidget(list);
    list->show();
    if (wasVisible) {
        if (place) place();
        show();
    }
}

void FileListWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides it.
    event->ignore();
    hide();
}

}  // namespace lumra::ui
