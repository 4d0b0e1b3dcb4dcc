// The main window's commands: what each command number does while the view window is
// the main window. Whether a command may run at all is the menu model's item state.
#pragma once

namespace lumra::ui {

class Application;
class ViewWindow;

class CommandRouter {
public:
    CommandRouter(Application& app, ViewWindow& view) : app_(app), view_(view) {}

    // Carries out an enabled command (in edit mode the edit window's handler takes it).
    void Run(int id);
    // The commands both windows share, without the main window's own gestures and zoom
    // (the edit window's handler passes them here).
    void RunShared(int id);

private:
    void RunPrint();
    void RunWallpaper();
    // The Window menu's toggles and the background colours.
    void WindowSetting(int id);
    void FullScreen();
    void Minimise();

    Application& app_;
    ViewWindow& view_;
};

}  // namespace lumra::ui
