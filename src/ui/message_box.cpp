#include "ui/message_box.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <QWidget>

namespace lumra::ui {

BoxResult RunMessageBox(QWidget* owner, const BoxRequest& request) {
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(request.text));
    switch (request.icon) {
        case BoxIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
        case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
        case BoxIcon::None: break;
    }
    switch (request.buttons) {
        case BoxButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case BoxButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case BoxButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case BoxButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    UseDialogFrame(box);
    // A box without an owner must not end up behind other windows.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, owner == nullptr);
    box.show();
    box.raise();
    box.activateWindow();
    switch (box.exec()) {
        case QMessageBox::Yes: return BoxResult::Yes;
        case QMessageBox::No: return BoxResult::No;
        case QMessageBox::Ok: return BoxResult::Ok;
        default: return request.buttons == BoxButtons::Ok ? BoxResult::Ok : BoxResult::Cancel;
    }
}

void UseDialogFrame(QWidget& dialog) {
    Qt::WindowFlags flags = dialog.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    flags &= ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint);
    if (flags != dialog.windowFlags()) dialog.setWindowFlags(flags);
}

std::unique_ptr<QTranslator> LoadQtJapanese() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return nullptr;
    return translator;
}

}  // namespace lumra::ui
