#include "ui/history_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QVBoxLayout>

#include "view/edit_panes.h"

namespace lumra::ui {

HistoryWindow::HistoryWindow(std::function<bool(int)> step, std::function<void()> closed)
    : QWidget(nullptr, Qt::Tool), step_(std::move(step)), closed_(std::move(closed)) {
    // Move, size and close only.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("変更履歴"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(this);
    list_->setObjectName(QString::number(kHistoryListId));
    list_->installEventFilter(this);
    layout->addWidget(list_);
    resize(kHistoryWindowWidth, kHistoryWindowHeight);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { Chosen(row); });
}

void HistoryWindow::Fill(const HistoryStore& store) {
    // The list is not rebuilt under its own selection change.
    if (stepping_) return;
    filling_ = true;
    list_->clear();
    for (int i = 0; i < store.entries; ++i) list_->addItem(QString::fromStdString(store.NameAt(i)));
    current_ = store.position;
    list_->setCurrentRow(current_);
    filling_ = false;
}

void HistoryWindow::Chosen(int row) {
    if (filling_ || row < 0 || row == current_) return;
    // The history moves; on failure the selection goes back to the entry shown.
    stepping_ = true;
    const bool moved = step_ && step_(row - current_);
    stepping_ = false;
    if (moved) {
        current_ = row;
    } else {
        filling_ = true;
        list_->setCurrentRow(current_);
        filling_ = false;
    }
}

void HistoryWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closed_) closed_();
}

void HistoryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace lumra::ui
