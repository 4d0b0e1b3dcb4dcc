// "ファイルリスト": the tool window beside the main window that holds the folder's list.
// There is one list view; it moves between the main window's and the edit window's
// list windows.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QWidget>

#include "view/file_list.h"

namespace lumra::ui {

inline constexpr int kFileListWidth = 180;
inline constexpr int kFileListHeight = 300;

// The names of a FileList for the view.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileListModel(const FileList& list, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The names changed.
    void Reload();

private:
    const FileList& list_;
};

// The list itself: its selection follows the FileList; a user's change is reported.
class FileListView : public QListView {
    Q_OBJECT
public:
    FileListView(FileListModel* model, QWidget* parent = nullptr);
    // Shows the FileList's selection without reporting it.
    void ShowSelection(int row);
signals:
    void userSelected(int row);

private:
    bool programmatic_ = false;
};

class FileListWindow : public QWidget {
    Q_OBJECT
public:
    explicit FileListWindow(QWidget* owner);

    // Takes the list view from other: this window gets the other's outer size, and is
    // shown where place puts it when the other was visible.
    void TakeList(FileListView* list, FileListWindow* other, const std::function<void()>& place);
    FileListView* list() const { return list_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    FileListView* list_ = nullptr;
};

}  // namespace lumra::ui
