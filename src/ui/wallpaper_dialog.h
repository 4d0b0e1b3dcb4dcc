// The dialog "壁紙に設定" and the wallpaper command behind it.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "formats/image_buffer.h"
#include "output/wallpaper.h"

class QPushButton;
class QRadioButton;

namespace lumra::ui {

class WallpaperDialog : public QDialog {
    Q_OBJECT
public:
    // initial: the arrangement read from the desktop; none selected when unknown.
    WallpaperDialog(QWidget* owner, std::optional<WallpaperStyle> initial);
    std::optional<WallpaperStyle> chosen() const;
    QRadioButton* button(WallpaperStyle style) const { return buttons_[static_cast<int>(style)]; }
    QPushButton* okButton() const { return ok_; }

private:
    QRadioButton* buttons_[3] = {};
    QPushButton* ok_ = nullptr;
};

// What the command needs from its caller; every member has a working default.
struct WallpaperHooks {
    std::function<int(QDialog&)> runDialog;              // exec()
    std::function<void(int showErrorCode)> showError;    // the error box
    std::function<void(const QString& text)> showMessage;  // an error box with this text
    CommandRunner run;                                   // the desktop's tools through QProcess
    std::optional<std::string> desktop;                  // XDG_CURRENT_DESKTOP
};

// Runs a program and waits for it (30 s at most); status -1 when it cannot start.
CommandResult RunDesktopTool(const std::vector<std::string>& argv);

// The wallpaper command: asks for the arrangement, writes save_wp.bmp into settingsFolder
// and makes it the desktop's wallpaper. owner's window shows "wait..." meanwhile.
void RunWallpaperDialog(QWidget* owner, const ImageBuffer& image, const std::string& settingsFolder,
                        const WallpaperHooks& hooks = {});

}  // namespace lumra::ui
