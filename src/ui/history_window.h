// "変更履歴": the tool window that lists the history's entries; choosing one steps the
// history to it.
#pragma once

#include <QWidget>
#include <functional>

#include "document/history_store.h"

class QListWidget;

namespace lumra::ui {

inline constexpr int kHistoryListId = 1011;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // step: move the history by delta entries (false: it did not move); closed: the window
    // was closed.
    HistoryWindow(std::function<bool(int)> step, std::function<void()> closed);

    // One line per entry, the current one selected (nothing is reported).
    void Fill(const HistoryStore& store);
    QListWidget* list() const { return list_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Chosen(int row);

    QListWidget* list_;
    std::function<bool(int)> step_;
    std::function<void()> closed_;
    int current_ = 0;
    bool filling_ = false;
    bool stepping_ = false;
};

}  // namespace lumra::ui
