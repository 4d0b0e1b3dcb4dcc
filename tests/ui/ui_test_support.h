// A started application with recorded boxes and scripted dialogs, plus picture files.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/messages.h"
#include "test_util.h"
#include "ui/app.h"
#include "ui/view_window.h"

namespace lumra::test {

// A bottom-up 24-bit BMP; colour(x, y) gives 0xRRGGBB with y counted from the top.
inline std::vector<uint8_t> Bmp24(int w, int h, const std::function<uint32_t(int, int)>& colour) {
    const uint32_t stride = static_cast<uint32_t>((w * 3 + 3) & ~3);
    std::vector<uint8_t> v = {'B', 'M'};
    Put32(v, 54 + stride * h);
    Put32(v, 0);
    Put32(v, 54);
    Put32(v, 40);
    Put32(v, w);
    Put32(v, h);
    Put16(v, 1);
    Put16(v, 24);
    for (int i = 0; i < 6; ++i) Put32(v, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            v.push_back(static_cast<uint8_t>(c));
            v.push_back(static_cast<uint8_t>(c >> 8));
            v.push_back(static_cast<uint8_t>(c >> 16));
        }
        for (uint32_t p = w * 3; p < stride; ++p) v.push_back(0);
    }
    return v;
}

// A bottom-up 8-bit BMP with the given palette (0xRRGGBB) and index(x, y).
inline std::vector<uint8_t> Bmp8(int w, int h, const std::vector<uint32_t>& palette,
                                 const std::function<uint8_t(int, int)>& index) {
    const uint32_t stride = static_cast<uint32_t>((w + 3) & ~3);
    const uint32_t offset = 54 + 4 * static_cast<uint32_t>(palette.size());
    std::vector<uint8_t> v = {'B', 'M'};
    Put32(v, offset + stride * h);
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, w);
    Put32(v, h);
    Put16(v, 1);
    Put16(v, 8);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, static_cast<uint32_t>(palette.size()));
    Put32(v, 0);
    for (uint32_t c : palette) Put32(v, c & 0xFFFFFF);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) v.push_back(index(x, y));
        for (uint32_t p = w; p < stride; ++p) v.push_back(0);
    }
    return v;
}

struct RecordedBox {
    QWidget* owner = nullptr;
    BoxRequest request;
    int cursorShown = -1;           // the flag when the box came up
    bool viewCursorBlank = false;   // the view's cursor when the box came up
    bool listEnabled = true;        // the file-list window's state when the box came up
};

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        env_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", dir_.File("config"));
        MakeApp();
    }

    // A fresh application object with the recording hooks.
    void MakeApp() {
        app_.reset();
        app_ = std::make_unique<ui::Application>();
        app_->SetBoxFunction([this](QWidget* owner, const BoxRequest& request) {
            RecordedBox box;
            box.owner = owner;
            box.request = request;
            box.cursorShown = app_->cursorShown();
            if (ui::ViewWindow* view = app_->viewWindow()) {
                box.viewCursorBlank = view->pictureView()->viewport()->cursor().shape() == Qt::BlankCursor;
            }
            if (QWidget* list = app_->activeFileList()) box.listEnabled = list->isEnabled();
            boxes_.push_back(box);
            if (answers_.empty()) return BoxResult::Ok;
            const BoxResult answer = answers_.front();
            answers_.pop_front();
            return answer;
        });
        app_->SetDialogFunction([this](QDialog& dialog) {
            dialogs_.push_back(dialog.metaObject()->className());
            return onDialog_ ? onDialog_(dialog) : int(QDialog::Rejected);
        });
        app_->SetQuitFunction([this] { ++quits_; });
    }

    void TearDown() override {
        app_.reset();
        QCoreApplication::processEvents();
    }

    std::string IniPath() const { return dir_.File("config") + "/Lumra/LumraEx.ini"; }

    void WriteIni(const std::string& text) {
        std::filesystem::create_directories(dir_.File("config") + "/Lumra");
        WriteText(IniPath(), text);
    }

    // Starts as the real executable would, with the given arguments after the name.
    bool Start(std::vector<std::string> args = {}) {
        ui::StartOptions options;
        options.executablePath = LUMRA_EXE_PATH;
        options.args = {"LumraEx"};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.currentFolder = dir_.path();
        return app_->StartUp(options);
    }

    // The usual start: no mouse-operations dialog, no single instance.
    bool StartQuiet(std::vector<std::string> args = {}) {
        WriteIni("[Awin]\nMouseInfo=0\n");
        return Start(std::move(args));
    }

    std::string Picture(const std::string& name, int w, int h, uint32_t colour) {
        const std::string path = dir_.File(name);
        WriteFile(path, Bmp24(w, h, [colour](int, int) { return colour; }));
        return path;
    }

    ui::ViewWindow& View() { return *app_->viewWindow(); }
    std::string Title() { return View().windowTitle().toStdString(); }

    TempDir dir_;
    std::unique_ptr<ScopedEnv> env_;
    std::unique_ptr<ui::Application> app_;
    std::vector<RecordedBox> boxes_;
    std::deque<BoxResult> answers_;
    std::vector<std::string> dialogs_;
    std::function<int(QDialog&)> onDialog_;
    int quits_ = 0;
};

}  // namespace lumra::test
