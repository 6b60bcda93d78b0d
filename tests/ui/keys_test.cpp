// The panel keys: both codes of each key, the focus ring, Back and Mode through the stack
// of menus, the panel lock and the shortcut letters of the key board.
//
// Pages: 0 home, 1 main menu, 4 user modes, 5 Setting menu, 6 output menu. Function codes:
// 0x01000033 Left, 0x01000034 Right, 0x01000035 OK, 0x010000B7 Back, 0x01000063 Mode. Image
// offsets: 772 panel_lock, 866 current_user_mode, 868 save_user_mode, 2178 picture
// contrast, window w at 2272 + 26 w (enable +0, source +8, output word +18); a user mode's
// data byte k is image byte 896 + k.
#include <gmock/gmock.h>

#include <QLabel>
#include <QStringList>

#include "screens/sources/custommode.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/panel_test.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/option.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/panelkey.h"

namespace {

using test::PanelScript;
using test::UiTest;

std::vector<std::string>& debugLines() {
    static std::vector<std::string> lines;
    return lines;
}

void captureDebug(QtMsgType, const QMessageLogContext&, const QString& text) {
    debugLines().push_back(text.toStdString());
}

class Keys : public UiTest {};

TEST_F(Keys, LetterAndFunctionCodesAreTheSameKeys) {
    const struct {
        int letter;
        int function;
        PanelKey key;
    } table[] = {
        {'S', 0x01000033, PanelKey::Left}, {'R', 0x01000034, PanelKey::Right},
        {'Q', 0x01000035, PanelKey::Ok},   {'O', 0x010000B7, PanelKey::Back},
        {'M', 0x01000063, PanelKey::Mode},
    };
    for (const auto& row : table) {
        EXPECT_EQ(panelKey(row.letter), row.key);
        EXPECT_EQ(panelKey(row.function), row.key);
    }
    EXPECT_EQ(panelKey('B'), PanelKey::None);
    EXPECT_EQ(panelKey(Qt::Key_Enter), PanelKey::None);
}

// Walks the Setting menu with one code set and records where the focus went.
std::vector<int> walkSettingMenu(int left, int right, int back) {
    std::vector<int> seen;
    PanelScript script;
    script.run([] { openScreen(g_option, 5); });
    script.waitPage(5);
    for (int code : {left, left, right, right, right, right, right, right})
        script.key(code).run([&seen] { seen.push_back(g_option->ui_select()); });
    script.key(back).waitPage(1);
    EXPECT_TRUE(script.play());
    return seen;
}

TEST_F(Keys, FocusWrapsAroundTheItemsAndBothCodeSetsAgree) {
    openWindows();
    g_page_focus = 1;
    const std::vector<int> letters = walkSettingMenu('S', 'R', 'O');
    EXPECT_EQ(letters, (std::vector<int>{4, 3, 4, 0, 1, 2, 3, 4}));
    EXPECT_EQ(g_option, nullptr);
    const std::vector<int> functions = walkSettingMenu(0x01000033, 0x01000034, 0x010000B7);
    EXPECT_EQ(functions, letters);
}

TEST_F(Keys, TraceShowsTheFocusBeforeTheMove) {
    openWindows();
    g_page_focus = 1;
    PanelScript script;
    script.run([] { openScreen(g_outputset, 6); })
        .waitPage(6)
        .run([] {
            debugLines().clear();
            qInstallMessageHandler(captureDebug);
        })
        .keys({'S', 'S', 0x01000035})
        .run([] { qInstallMessageHandler(nullptr); })
        .key('O');
    EXPECT_TRUE(script.play());
    EXPECT_THAT(debugLines(),
                testing::ElementsAre("this is left-code [OutputSet][Release] ui_select=0",
                                     "this is left-code [OutputSet][Release] ui_select=0x1",
                                     "this is OK button(OutputSet)[Press]\n",
                                     "this is OK button(OutputSet)[Release]\n"));
}

TEST_F(Keys, ModeFromANestedMenuClosesTheStackAndOpensTheUserModes) {
    openWindows();
    PanelScript script;
    script.key('Q')
        .waitPage(1)
        .keys({'R', 'R', 'Q'})
        .waitPage(5)
        .key('M')
        .waitPage(4)
        .run([] {
            EXPECT_EQ(g_option, nullptr);
            EXPECT_TRUE(MenuScreen::openScreens().empty());
            EXPECT_EQ(g_mode_shortcut_key, 1);
            ASSERT_NE(g_custommode, nullptr);
            EXPECT_TRUE(g_custommode->isVisible());
            EXPECT_NE(g_mainwindow, nullptr);
        })
        .key('O')
        .waitPage(0)
        .run([] {
            EXPECT_EQ(g_custommode, nullptr);
            EXPECT_EQ(g_mode_shortcut_key, 0);
            EXPECT_TRUE(g_lockwindow->isVisible());
        });
    EXPECT_TRUE(script.play());
}

TEST_F(Keys, UserModesOpenedFromTheMainWindowGoBackThere) {
    openWindows();
    PanelScript script;
    script.key('Q')
        .waitPage(1)
        .keys({'R', 'Q'})
        .waitPage(4)
        .run([] { EXPECT_EQ(g_mode_shortcut_key, 0); })
        .key('O')
        .waitPage(1)
        .run([] { EXPECT_FALSE(g_lockwindow->isVisible()); });
    EXPECT_TRUE(script.play());
}

TEST_F(Keys, ModeWhileThePanelIsLockedChangesNothing) {
    openWindows();
    store->ram_para.setU16(772, 1);
    g_page_focus = 1;
    PanelScript script;
    script.run([] { openScreen(g_outputset, 6); })
        .waitPage(6)
        .key('R')
        .key(0x01000063)
        .key('M')
        .run([] {
            EXPECT_EQ(g_page_focus, 6);
            ASSERT_NE(g_outputset, nullptr);
            EXPECT_TRUE(g_outputset->isVisible());
            EXPECT_EQ(g_outputset->ui_select(), 1);
            EXPECT_EQ(g_custommode, nullptr);
            EXPECT_EQ(g_mode_shortcut_key, 0);
        })
        .key('O')
        .waitPage(1);
    EXPECT_TRUE(script.play());
}

// A menu whose Back records what its parent's refresh saw.
class ProbeScreen : public MenuScreen {
public:
    ProbeScreen() : MenuScreen("ProbeScreen", nullptr) { bindPointer(current); }
    void slot_Button_back_clicked() override {
        backTo(
            [this] {
                refreshSawPage = g_page_focus;
                refreshSawOpen = isVisible();
                refreshSawPointer = current != nullptr;
            },
            5);
    }
    static ProbeScreen* current;
    int refreshSawPage = -1;
    bool refreshSawOpen = true;
    bool refreshSawPointer = true;
};
ProbeScreen* ProbeScreen::current = nullptr;

TEST_F(Keys, BackRefreshesTheParentAfterClosingAndBeforeThePageChanges) {
    auto* probe = new ProbeScreen();
    ProbeScreen::current = probe;
    g_page_focus = 77;
    probe->show();
    QKeyEvent release(QEvent::KeyRelease, 'O', Qt::NoModifier);
    QCoreApplication::sendEvent(probe, &release);
    EXPECT_EQ(probe->refreshSawPage, 77);
    EXPECT_FALSE(probe->refreshSawOpen);
    EXPECT_FALSE(probe->refreshSawPointer);
    EXPECT_EQ(g_page_focus, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(Keys, BackShowsTheLanguageChosenBelow) {
    openWindows();
    PanelScript script;
    script.key('Q')
        .waitPage(1)
        .keys({'R', 'R', 'R', 'Q'})
        .waitPage(6)
        .run([] { g_language = 1; })
        .key('O')
        .waitPage(1)
        .run([] {
            auto* title = test::child<QLabel>(g_mainwindow, "label_title");
            EXPECT_EQ(title->text(), "Main menu");
        });
    EXPECT_TRUE(script.play());
}

TEST_F(Keys, ShortcutLettersEditTheCurrentWindow) {
    openWindows();
    const size_t w1 = 2272 + 26;
    store->ram_para.setU16(w1, 1);
    store->ram_para.setU16(2272 + 52, 0);
    krx_keyboard keyboard;
    int refreshes = 0;
    auto counter = QObject::connect(store, &KrxRamPara::sig_update_para, [&](int) { ++refreshes; });

    keyboard.update_usb_keyEvent('E');  // window 2 is off
    EXPECT_EQ(g_image_current, 0);
    keyboard.update_usb_keyEvent('C');
    EXPECT_EQ(g_image_current, 1);
    EXPECT_EQ(refreshes, 1);
    keyboard.update_usb_keyEvent('C');  // already current
    EXPECT_EQ(refreshes, 1);

    keyboard.update_usb_keyEvent('L');
    EXPECT_EQ(store->ram_para[w1 + 8], 2);
    EXPECT_EQ(c331_manage::para_update, 1);
    keyboard.update_usb_keyEvent('N');
    EXPECT_EQ(store->ram_para.u16At(w1 + 18), 0x2) << "freeze is bit 1";
    keyboard.update_usb_keyEvent('P');
    EXPECT_EQ(store->ram_para.u16At(w1 + 18), 0x3) << "black is bit 0";
    keyboard.update_usb_keyEvent('N');
    EXPECT_EQ(store->ram_para.u16At(w1 + 18), 0x1);

    store->ram_para.setU16(772, 1);
    keyboard.update_usb_keyEvent('N');
    keyboard.update_usb_keyEvent('B');
    EXPECT_EQ(store->ram_para.u16At(w1 + 18), 0x1);
    EXPECT_EQ(g_image_current, 1);
    QObject::disconnect(counter);
}

TEST_F(Keys, UserModeScreenRecallsSavesAndDeletesSlots) {
    openWindows();
    UserModeSlot& slot3 = store->user_mode[2];
    slot3.bytes[0] = slot3.bytes[1] = 0xAA;
    const size_t contrast = 2178 - 896;
    slot3.bytes[2 + contrast] = 77;
    slot3.bytes[3 + contrast] = 0;
    PanelScript script;
    script.key('M')
        .waitPage(4)
        .keys({'R', 'R', 'Q', 'Q'})  // slot 3, Load
        .run([this] {
            EXPECT_EQ(store->ram_para.u16At(2178), 77);
            EXPECT_EQ(store->ram_para.u16At(866), 3);
            EXPECT_EQ(c331_manage::para_update, 1);
            EXPECT_FALSE(g_custommode->actionsShown());
        })
        .keys({'R', 'Q'})  // slot 4 is empty: the actions start on Save
        .key('Q')
        .run([this] { EXPECT_EQ(store->ram_para.u16At(868), 4); })
        .keys({'S', 'Q', 'R', 'R', 'Q'})  // slot 3, Delete
        .run([this] { EXPECT_FALSE(store->KrxUserModeSaved(2)); })
        .key('O')
        .waitPage(0);
    EXPECT_TRUE(script.play());
}

}  // namespace
