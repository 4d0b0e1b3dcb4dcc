// The PNG text viewer: the tEXt keywords and texts of a file in a two-column list.
#pragma once

#include <QDialog>
#include <string>

#include "formats/png/png_text.h"

class QTreeWidget;

namespace lumra::ui {

class Application;

class PngTextDialog : public QDialog {
    Q_OBJECT
public:
    PngTextDialog(QWidget* owner, const std::string& fileName, const PngTextTable& table);
    QTreeWidget* list() const { return list_; }

private:
    QTreeWidget* list_ = nullptr;
};

// The text viewer command: reads the file's texts and shows them; ShowError ErrRead when the
// file cannot be read or holds no text.
void ShowPngTextViewer(Application& app, QWidget* owner, const std::string& path);

}  // namespace lumra::ui
