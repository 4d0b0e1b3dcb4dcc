// The context menu: texts, key texts from the stored key table, states, the look, and
// how it is opened.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QToolBar>
#include <QWindow>

#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "ui/main_menu.h"
#include "ui/tool_bar_strip.h"
#include "ui/version_dialog.h"
#include "ui_test_support.h"

Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                                    const QString& text, bool autorepeat, ushort count);

namespace lumra::test {
namespace {

class MenuTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        app_->SetMenuFunction([this](QMenu& menu, const QPoint&) -> QAction* {
            ++menus_;
            if (onMenu_) return onMenu_(menu);
            return nullptr;
        });
    }

    // Opens the menu and keeps a copy of what each item shows.
    struct Item {
        QString text;
        QString key;
        bool enabled;
        bool checked;
    };
    std::map<int, Item> OpenMenu() {
        std::map<int, Item> items;
        onMenu_ = [&items](QMenu& menu) -> QAction* {
            std::function<void(QMenu&)> walk = [&](QMenu& m) {
                for (QAction* a : m.actions()) {
                    if (a->isSeparator()) continue;
                    items[a->data().toInt()] =
                        Item{ui::ItemTextOf(*a), ui::KeyTextOf(*a), a->isEnabled(), a->isChecked()};
                    if (a->menu()) walk(*a->menu());
                }
            };
            walk(menu);
            return nullptr;
        };
        app_->ShowMainMenu(QPoint(10, 10), &View());
        onMenu_ = nullptr;
        return items;
    }

    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWindow* handle = View().windowHandle();
        ASSERT_NE(handle, nullptr);
        qt_handleKeyEvent(handle, QEvent::KeyPress, key, modifiers, QString(), false, 1);
        qt_handleKeyEvent(handle, QEvent::KeyRelease, key, modifiers, QString(), false, 1);
        QCoreApplication::processEvents();
    }

    int menus_ = 0;
    std::function<QAction*(QMenu&)> onMenu_;
};

// A SaveKey value as the file holds it, from a table edited by hand.
std::string SaveKeyValue(const std::function<void(AcceleratorTable&)>& edit) {
    AcceleratorTable table = DefaultAccelerators();
    edit(table);
    const auto bytes = EncodeSaveKey(table);
    return EncodeStruct(bytes.data(), bytes.size());
}

AccelEntry& Entry(AcceleratorTable& t, int id) { return t[static_cast<size_t>(AssignableIndex(id))]; }

TEST_F(MenuTest, KeysFromTheSettingsFile) {
    const std::string value = SaveKeyValue([](AcceleratorTable& t) {
        Entry(t, kCmdOpen) = {kFVirtKey, kVkF1 + 1, kCmdOpen};                 // F2
        Entry(t, kCmdCopy) = {kFVirtKey | kFControl | kFShift, 'C', kCmdCopy};  // Ctrl+Shift+C
        Entry(t, kCmdDelete) = {kFVirtKey | kFAlt, kVkDelete, kCmdDelete};     // Alt: loads as plain
        Entry(t, kCmdVersion) = {kFVirtKey | kFShift, kVkOem3, kCmdVersion};   // Shift+@
    });
    // Key 300 for Exit: written by hand into the record.
    std::string text = value;
    const size_t exitRecord = static_cast<size_t>(AssignableIndex(kCmdExit)) * 24;
    text.replace(exitRecord + 8, 8, "2C010000");
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 2 < text.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    text = EncodeStruct(bytes.data(), bytes.size());

    WriteIni("[Awin]\nMouseInfo=0\n[Akey]\nSaveKey=" + text + "\n");
    ASSERT_TRUE(Start());
    const auto items = OpenMenu();
    EXPECT_EQ(items.at(kCmdOpen).text.toStdString(), "開く(&O)...");
    EXPECT_EQ(items.at(kCmdOpen).key.toStdString(), "F2");
    EXPECT_EQ(items.at(kCmdCopy).key.toStdString(), "Ctrl+Shift+C");
    EXPECT_EQ(items.at(kCmdDelete).key.toStdString(), "Delete");
    EXPECT_EQ(items.at(kCmdVersion).key.toStdString(), "Shift+@");
    EXPECT_EQ(items.at(kCmdExit).key.toStdString(), "");
    EXPECT_EQ(items.at(kCmdExit).text.toStdString(), "終了(&X)");
    // Untouched commands keep their defaults.
    EXPECT_EQ(items.at(kCmdSaveAs).key.toStdString(), "Ctrl+S");
    EXPECT_EQ(items.at(kCmdFullScreen).key.toStdString(), "Enter");
    EXPECT_EQ(items.count(5420), 0u);  // no tool registered
    EXPECT_EQ(items.at(kCmdNoTool).key.toStdString(), "");

    // The keys work as shown: F2 opens, Ctrl+O no longer does, Esc no longer exits.
    View().activateWindow();
    Press(Qt::Key_F2);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0], "QFileDialog");
    Press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs_.size(), 1u);
    Press(Qt::Key_Escape);
    EXPECT_EQ(quits_, 0);
    Press(Qt::Key_QuoteLeft, Qt::ShiftModifier);  // Shift+@ on a Japanese keyboard
    ASSERT_EQ(dialogs_.size(), 2u);
    EXPECT_EQ(dialogs_[1], "lumra::ui::VersionDialog");

    // New keys from the key customisation show at once; they are written at exit.
    AcceleratorTable table = app_->accelerators();
    Entry(table, kCmdExit) = {kFVirtKey | kFControl, 'Q', kCmdExit};
    app_->SetAccelerators(table);
    EXPECT_EQ(OpenMenu().at(kCmdExit).key.toStdString(), "Ctrl+Q");
    ASSERT_TRUE(app_->CloseRequested());
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    const std::vector<std::string> sections = ini.SectionNames();
    const auto akey = std::find(sections.begin(), sections.end(), "Akey");
    const auto awin = std::find(sections.begin(), sections.end(), "Awin");
    ASSERT_NE(akey, sections.end());
    EXPECT_LT(akey - sections.begin(), awin - sections.begin());
    EXPECT_EQ(LoadAccelerators(ini), table);
}

TEST_F(MenuTest, StatesFollowThePicture) {
    ASSERT_TRUE(StartQuiet());
    QGuiApplication::clipboard()->clear();
    auto items = OpenMenu();
    EXPECT_FALSE(items.at(kMenuImage).enabled);
    EXPECT_FALSE(items.at(kMenuView).enabled);
    for (int id : {5011, 5012, 5020, 5030, 5031, 5032, 5040, 5041, 5050, 5060, 5311}) {
        EXPECT_FALSE(items.at(id).enabled) << id;
    }
    EXPECT_TRUE(items.at(kCmdOpen).enabled);
    EXPECT_EQ(items.at(kCmdNoTool).text.toStdString(), "<未登録>");
    EXPECT_FALSE(items.at(kCmdNoTool).enabled);
    EXPECT_TRUE(items.at(kCmdBgGray).checked);
    EXPECT_FALSE(items.at(kCmdBgWhite).checked);
    EXPECT_TRUE(items.at(kCmdTitleBar).checked);
    EXPECT_FALSE(items.at(kCmdWindowFrame).enabled);

    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 4, 4, 0x102030)));
    QGuiApplication::clipboard()->setImage(QImage(2, 2, QImage::Format_RGB32));
    items = OpenMenu();
    EXPECT_TRUE(items.at(kMenuImage).enabled);
    for (int id : {5011, 5012, 5030, 5031, 5032, 5050, 5060, 5311}) EXPECT_TRUE(items.at(id).enabled) << id;
    // A BMP file: no lossless rotation, no comment, no text data.
    for (int id : {5020, 5021, 5040, 5041}) EXPECT_FALSE(items.at(id).enabled) << id;
    EXPECT_FALSE(items.at(kCmdUndo).enabled);

    // A pasted picture has no file: Reopen and Delete are grey, Save as is not.
    app_->PasteFromClipboard();
    ASSERT_EQ(app_->session().picture.fileName, "clip");
    items = OpenMenu();
    EXPECT_FALSE(items.at(kCmdReopen).enabled);
    EXPECT_FALSE(items.at(kCmdDelete).enabled);
    EXPECT_TRUE(items.at(kCmdSaveAs).enabled);
    QGuiApplication::clipboard()->clear();

    // Window commands and the background colour follow their settings.
    View().Command(kCmdBgBlack);
    View().Command(kCmdAlwaysOnTop);
    View().Command(kCmdToolBar);
    items = OpenMenu();
    EXPECT_TRUE(items.at(kCmdBgBlack).checked);
    EXPECT_FALSE(items.at(kCmdBgGray).checked);
    EXPECT_TRUE(items.at(kCmdAlwaysOnTop).checked);
    EXPECT_FALSE(items.at(kCmdToolBar).checked);
    EXPECT_EQ(app_->session().settings.vwin.bgColor, 4);
    View().Command(kCmdAlwaysOnTop);

    // Full screen changes a text and greys the window-frame items.
    app_->EnterFullScreen();
    items = OpenMenu();
    EXPECT_EQ(items.at(kCmdFullScreen).text.toStdString(), "通常表示(&M)");
    EXPECT_EQ(items.at(kCmdFullScreen).key.toStdString(), "Enter");
    for (int id : {kCmdCenter, kCmdTitleBar, kCmdWindowFrame}) EXPECT_FALSE(items.at(id).enabled) << id;
    app_->LeaveFullScreenToReturnMode();
    items = OpenMenu();
    EXPECT_EQ(items.at(kCmdFullScreen).text.toStdString(), "全画面表示(&M)");
    EXPECT_EQ(items.at(kCmdEditWindow).text.toStdString(), "編集ウィンドウ(&W)");
}

TEST_F(MenuTest, RegisteredToolsAndChosenCommand) {
    WriteIni("[Awin]\nMouseInfo=0\n[Path]\nAPP1=/usr/bin/true\nAN1=True tool\nAPP4=/bin\nAN4=bin\n");
    ASSERT_TRUE(Start());
    const auto items = OpenMenu();
    EXPECT_EQ(items.count(kCmdNoTool), 0u);
    EXPECT_EQ(items.at(5421).text.toStdString(), "True tool(&2)");
    EXPECT_EQ(items.at(5421).key.toStdString(), "2");
    EXPECT_EQ(items.at(5424).text.toStdString(), "bin(&5)");
    EXPECT_TRUE(items.at(5424).enabled);

    // The item chosen runs its command.
    onMenu_ = [](QMenu& menu) { return ui::FindMenuAction(menu, kCmdVersion); };
    app_->ShowMainMenu(QPoint(0, 0), &View());
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0], "lumra::ui::VersionDialog");
    EXPECT_FALSE(app_->menuSuppressed());
}

TEST_F(MenuTest, ZoomPopUp) {
    const std::string value = SaveKeyValue([](AcceleratorTable& t) {
        Entry(t, kCmdZoom50) = {kFVirtKey | kFControl, '5', kCmdZoom50};
    });
    WriteIni("[Awin]\nMouseInfo=0\n[Akey]\nSaveKey=" + value + "\n");
    ASSERT_TRUE(Start());
    std::vector<int> edit;
    app_->SetEditCommandHandler([&edit](int id) { edit.push_back(id); });
    app_->session().displayMode = kEditWindow;
    std::vector<std::string> texts;
    onMenu_ = [&texts](QMenu& menu) -> QAction* {
        for (QAction* a : menu.actions()) texts.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        return ui::FindMenuAction(menu, kCmdZoom25);
    };
    app_->ShowZoomMenu(QPoint(0, 0));
    EXPECT_EQ(texts, (std::vector<std::string>{"1000%(&B)", "400%(&F)", "200%(&D)", "-", "50%(&H)\tCtrl+5", "25%(&Q)",
                                               "10%(&S)"}));
    EXPECT_EQ(edit, (std::vector<int>{kCmdZoom25}));
    app_->session().displayMode = kMainWindow;
}

TEST_F(MenuTest, OpeningGestures) {
    ASSERT_TRUE(StartQuiet());
    // The gesture that closes the menu does not open it again.
    onMenu_ = [this](QMenu&) -> QAction* {
        EXPECT_TRUE(app_->menuSuppressed());
        app_->ShowMainMenu(QPoint(0, 0), &View());
        EXPECT_FALSE(app_->menuSuppressed());
        return nullptr;
    };
    app_->ShowMainMenu(QPoint(0, 0), &View());
    EXPECT_EQ(menus_, 1);
    onMenu_ = nullptr;
    // Closed without a click: the next gesture opens it.
    app_->ShowMainMenu(QPoint(0, 0), &View());
    EXPECT_EQ(menus_, 2);

    // A right click in the window.
    QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(5, 5), View().mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&View(), &context);
    EXPECT_EQ(menus_, 3);

    // Alt pressed and released alone; not when another key came between.
    View().activateWindow();
    QWindow* handle = View().windowHandle();
    qt_handleKeyEvent(handle, QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier, QString(), false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier, QString(), false, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(menus_, 4);
    qt_handleKeyEvent(handle, QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier, QString(), false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyPress, Qt::Key_X, Qt::AltModifier, QString(), false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, Qt::Key_X, Qt::AltModifier, QString(), false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier, QString(), false, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(menus_, 4);
}

TEST_F(MenuTest, OwnerDrawnLook) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 4, 4, 0x102030)));
    QImage plain;
    QImage selected;
    QImage window;
    QRect topItem;
    QRect checkedItem;
    onMenu_ = [&](QMenu& menu) -> QAction* {
        menu.popup(QPoint(20, 20));
        QCoreApplication::processEvents();
        plain = menu.grab().toImage();
        QAction* file = menu.actions().at(0);
        topItem = menu.actionGeometry(file);
        // Items are as wide as the widest text with its key, plus 20 and the check column.
        const QFontMetrics fm(menu.font());
        int widest = 0;
        for (QAction* a : menu.actions()) {
            if (!a->isSeparator()) widest = std::max(widest, fm.horizontalAdvance(ui::ItemTextOf(*a).remove(QLatin1Char('&')) + ui::KeyTextOf(*a)));
        }
        EXPECT_EQ(topItem.width(), widest + 20 + 16);
        menu.setActiveAction(file);
        QCoreApplication::processEvents();
        selected = menu.grab().toImage();
        plain.save(QStringLiteral("/tmp/lumra_menu.png"));
        selected.save(QStringLiteral("/tmp/lumra_menu_selected.png"));
        menu.hide();
        // The window sub-menu with its checked items.
        QMenu* windowMenu = ui::FindMenuAction(menu, kMenuWindow)->menu();
        windowMenu->popup(QPoint(20, 20));
        QCoreApplication::processEvents();
        checkedItem = windowMenu->actionGeometry(ui::FindMenuAction(*windowMenu, kCmdTitleBar));
        window = windowMenu->grab().toImage();
        window.save(QStringLiteral("/tmp/lumra_menu_window.png"));
        windowMenu->hide();
        return nullptr;
    };
    app_->ShowMainMenu(QPoint(20, 20), &View());
    ASSERT_FALSE(plain.isNull());
    const qreal dpr = plain.devicePixelRatio();
    auto at = [dpr](const QImage& image, int x, int y) {
        return image.pixelColor(int(x * dpr), int(y * dpr)).rgb() & 0xFFFFFF;
    };
    // The selected item: the light fill inside, the outline on its edge.
    EXPECT_EQ(at(selected, topItem.left() + 3, topItem.center().y()), 0xE8FFFFu);
    EXPECT_EQ(at(selected, topItem.left(), topItem.center().y()), 0x489090u);
    EXPECT_EQ(at(selected, topItem.center().x(), topItem.top()), 0x489090u);
    EXPECT_NE(at(plain, topItem.left() + 3, topItem.center().y()), 0xE8FFFFu);
    // The check box: white inside, the purple outline and cross.
    const int l = checkedItem.left();
    const int t = checkedItem.top();
    EXPECT_EQ(at(window, l + 4, t + 8), 0xC060C0u);
    EXPECT_EQ(at(window, l + 13, t + 8), 0xC060C0u);
    EXPECT_EQ(at(window, l + 6, t + 8), 0xFFFFFFu);
    EXPECT_EQ(at(window, l + 8, t + 8), 0xC060C0u);  // the cross
    // Items are a text height plus 6 high.
    EXPECT_EQ(topItem.height(), QFontMetrics(QApplication::font("QMenu")).height() + 6);
}

TEST_F(MenuTest, FontFollowsTheDesktop) {
    ASSERT_TRUE(StartQuiet());
    const QFont before = QApplication::font();
    QFont larger = before;
    larger.setPointSize(before.pointSize() + 6);
    QApplication::setFont(larger);
    QCoreApplication::processEvents();
    QMenu* menu = app_->mainMenu();
    EXPECT_EQ(menu->font().pointSize(), larger.pointSize());
    EXPECT_EQ(ui::FindMenuAction(*menu, kMenuWindow)->menu()->font().pointSize(), larger.pointSize());
    QApplication::setFont(before);
}

TEST_F(MenuTest, EveryRouteClearsTheDoubleOpenFlag) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 4, 4, 0x102030)));
    View().activateWindow();
    View().ShowToolBarStrip(true);
    // Space fits the picture, the tool bar's 100 % button takes it back.
    QWidget* fitButton =
        View().toolBarStrip()->toolBar()->widgetForAction(View().toolBarStrip()->ActionFor(kCmdActualSize));
    ASSERT_NE(fitButton, nullptr);
    const std::pair<const char*, std::function<void()>> routes[] = {
        {"key", [this] { Press(Qt::Key_Space); }},
        {"tool bar", [fitButton] {
             const QPointF at = QRectF(fitButton->rect()).center();
             QMouseEvent press(QEvent::MouseButtonPress, at, fitButton->mapToGlobal(at), Qt::LeftButton,
                               Qt::LeftButton, Qt::NoModifier);
             QMouseEvent release(QEvent::MouseButtonRelease, at, fitButton->mapToGlobal(at), Qt::LeftButton,
                                 Qt::NoButton, Qt::NoModifier);
             QApplication::sendEvent(fitButton, &press);
             QApplication::sendEvent(fitButton, &release);
         }},
    };
    for (const auto& [name, route] : routes) {
        const int zoom = View().zoom();
        onMenu_ = [&](QMenu&) -> QAction* {
            EXPECT_TRUE(app_->menuSuppressed()) << name;
            route();
            EXPECT_FALSE(app_->menuSuppressed()) << name;
            return nullptr;
        };
        app_->ShowMainMenu(QPoint(0, 0), &View());
        EXPECT_NE(View().zoom(), zoom) << name;  // the command ran
    }
}

TEST_F(MenuTest, AGreyCommandDoesNothingFromAKey) {
    const std::string value = SaveKeyValue([](AcceleratorTable& t) {
        Entry(t, kCmdComment) = {kFVirtKey, 'K', kCmdComment};
    });
    WriteIni("[Awin]\nMouseInfo=0\n[Akey]\nSaveKey=" + value + "\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 4, 4, 0x102030)));
    View().activateWindow();
    // A BMP has no comment: grey in the menu, and the key does nothing either.
    EXPECT_FALSE(OpenMenu().at(kCmdComment).enabled);
    Press(Qt::Key_K);
    EXPECT_TRUE(dialogs_.empty());
    EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace lumra::test
