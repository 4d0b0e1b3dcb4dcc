// The dialog "印刷(プレビュー)": the page of the chosen printer with the picture on it.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QPrinter>
#include <functional>
#include <memory>
#include <string>

#include "formats/image_buffer.h"
#include "output/print_layout.h"

class QLineEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace lumra::ui {

// What the dialog needs from its caller; every member has a working default.
struct PrintDialogHooks {
    std::function<int(QDialog&)> runDialog;                // modal dialogs: exec()
    std::function<void(int showErrorCode)> showError;      // the error box
    std::function<QString(QWidget*)> choosePdfFile;        // the PDF printer's file; empty: cancel
    std::function<double()> screenDpi;                     // the screen's logical dpi
};

// The page of a QPrinter in device pixels.
PageDevice MeasurePrinter(const QPrinter& printer);

class PrintPreviewBox : public QFrame {
    Q_OBJECT
public:
    PrintPreviewBox(QWidget* parent, PrintLayout& layout, const QImage& thumbnail, int pictureWidth);
signals:
    void changed();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QPoint Inner(const QPoint& p) const;
    PrintLayout& layout_;
    const QImage& thumbnail_;
    double factor_;  // thumbnail pixels per picture pixel
    PrintDrag drag_;
};

class PrintDialog : public QDialog {
    Q_OBJECT
public:
    PrintDialog(QWidget* owner, const ImageBuffer& image, const std::string& picturePath, PrintDialogHooks hooks);

    const PrintLayout& layout() const { return layout_; }
    QPrinter& printer() { return *printer_; }
    PrintPreviewBox* preview() const { return preview_; }
    QLineEdit* leftEdit() const { return edits_[0]; }
    QLineEdit* topEdit() const { return edits_[1]; }
    QLineEdit* widthEdit() const { return edits_[2]; }
    QLineEdit* heightEdit() const { return edits_[3]; }
    QToolButton* upButton(int edit) const { return ups_[edit]; }
    QToolButton* downButton(int edit) const { return downs_[edit]; }
    QLabel* dpiLabel() const { return dpi_; }
    QRadioButton* normalButton() const { return normal_; }
    QRadioButton* fullButton() const { return full_; }
    QPushButton* setupButton() const { return setup_; }
    QPushButton* printButton() const { return print_; }

    // Prints the page; false after a failure (the error is shown).
    bool PrintPage();
    // The printer setup; true when a new page was taken.
    bool SetUpPrinter();

private:
    void Measure();
    void Relayout();
    void Refill();
    void ApplyEdit(int edit);
    void Step(int edit, int delta);
    void SetMode(PrintMode mode);

    const ImageBuffer& image_;
    std::string path_;
    PrintDialogHooks hooks_;
    std::unique_ptr<QPrinter> printer_;
    PageDevice device_;
    PrintLayout layout_;
    QImage thumbnail_;
    PrintPreviewBox* preview_ = nullptr;
    QLineEdit* edits_[4] = {};
    QToolButton* ups_[4] = {};
    QToolButton* downs_[4] = {};
    QLabel* dpi_ = nullptr;
    QLabel* dpiCaption_ = nullptr;
    QRadioButton* normal_ = nullptr;
    QRadioButton* full_ = nullptr;
    QPushButton* setup_ = nullptr;
    QPushButton* print_ = nullptr;
};

// The print command: opens the dialog for the picture (nothing happens for an empty one).
void RunPrintDialog(QWidget* owner, const ImageBuffer& image, const std::string& picturePath,
                    const PrintDialogHooks& hooks = {});

}  // namespace lumra::ui
