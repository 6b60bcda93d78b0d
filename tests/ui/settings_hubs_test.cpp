// The three hubs under the Setting menu and the serial-port page: focus order, what OK
// opens, Back and Mode through the stack, the refresh while they are in front, and the
// service code of the Advanced Settings menu.
//
// Pages: 0 home, 1 main menu, 4 user modes, 5 Setting menu, 10 Communication, 11 Image
// quality, 12 Advanced Settings, 19 picture quality, 20 colour temperature, 21 serial port,
// 22 output ports.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>

#include "screens/maintenance/firmware_usbgrade.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/linkcom.h"
#include "screens/settings/linkoption.h"
#include "screens/settings/linkwlan.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"
#include "screens/sources/custommode.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/numberkeyboard.h"
#include "ui/option.h"
#include "ui/pages.h"
#include "ui/tip.h"

namespace {

using test::PanelScript;
using test::SettingsTest;
using test::textOf;

class Hubs : public SettingsTest {
protected:
    // The Setting menu in front of the main window, with the focus on its entry.
    static PanelScript fromSettingMenu(int entry) {
        PanelScript script;
        script.run([] { openScreen(g_option, 5); }).waitPage(5);
        for (int i = 0; i < entry; ++i)
            script.key('R');
        return script;
    }
};

const char kIdle[] =
    "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px "
    "4px;color:rgb(255,255,255)";
const char kGrey[] =
    "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
const char kGreyFocused[] =
    "background-color: gray; border:2px solid rgb(255,171,84);border-radius:10px;padding:2px "
    "4px;color:rgb(255,255,255)";

TEST_F(Hubs, ImageQualityWalksItsTwoScreens) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(1);
    script.key('Q')
        .waitPage(11)
        .run([] { EXPECT_EQ(g_imagequality->ui_select(), 0); })
        .keys({'R', 'R'})
        .run([] { EXPECT_EQ(g_imagequality->ui_select(), 0) << "two items, wrapped"; })
        .key('Q')
        .waitPage(19)
        .run([] { EXPECT_NE(g_quality, nullptr); })
        .key('O')
        .waitPage(11)
        .run([] { EXPECT_EQ(g_quality, nullptr); })
        .keys({'S', 'Q'})
        .waitPage(20)
        .key('O')
        .waitPage(11)
        .key('O')
        .waitPage(5)
        .run([] { EXPECT_EQ(g_imagequality, nullptr); });
    EXPECT_TRUE(script.play());
}

TEST_F(Hubs, CommunicationMenuWrapsAndOpensItsThreeScreens) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(0);
    script.key('Q')
        .waitPage(10)
        .key('S')
        .run([] {
            EXPECT_EQ(g_linkoption->ui_select(), 2) << "Left on the first is USB UPDATE";
            auto* usb = test::child<QAbstractButton>(g_linkoption, "Button_usb");
            EXPECT_EQ(usb->styleSheet(),
                      "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:2px "
                      "solid rgb(255,171,84);border-radius:10px;padding:2px 4px");
        })
        .key('Q')
        .waitPage(26)
        .run([] { EXPECT_NE(g_firmware_usbgrade, nullptr); })
        .key('O')
        .waitPage(10)
        .run([] { EXPECT_EQ(g_firmware_usbgrade, nullptr); })
        .key('R')
        .run([] { EXPECT_EQ(g_linkoption->ui_select(), 0); })
        .key('Q')
        .waitPage(21)
        .keys({'S', 'R', 'Q'})
        .run([] {
            EXPECT_EQ(g_page_focus, 21);
            EXPECT_NE(g_linkcom, nullptr);
        })
        .key('O')
        .waitPage(10)
        .run([] { EXPECT_EQ(g_linkcom, nullptr); })
        .keys({'R', 'Q'})
        .waitPage(22)
        .key(0x010000B7)
        .waitPage(10)
        .key('O')
        .waitPage(5)
        .run([] { EXPECT_EQ(g_linkoption, nullptr); });
    EXPECT_TRUE(script.play());
}

// The serial page shows its language as it was opened; Back refreshes the menus below it
// (the Setting menu too) in the language chosen meanwhile.
TEST_F(Hubs, ALanguageChangedOnTheSerialPageShowsOnTheWayBack) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(0);
    script.key('Q')
        .waitPage(10)
        .key('Q')
        .waitPage(21)
        .run([this] { changeLanguage(1); })
        .run([] {
            EXPECT_EQ(g_language, 1);
            EXPECT_EQ(textOf(g_linkcom, "label_com"), QString::fromUtf8("串口连接"));
        })
        .key('O')
        .waitPage(10)
        .run([] { EXPECT_EQ(textOf(g_linkoption, "label_title"), "Communication"); })
        .key('O')
        .waitPage(5)
        .run([] { EXPECT_EQ(textOf(g_option, "label_title"), "Setting"); });
    EXPECT_TRUE(script.play());
}

TEST_F(Hubs, ARefreshOnTheCommunicationMenuShowsTheCheckMark) {
    openWindows();
    startTick();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(0);
    script.key('Q')
        .waitPage(10)
        .run([this] {
            applyEdit([](RamParaImage& image) { image.setU16(2176, 80); });
            applyPending();
        })
        .waitUntil("the check mark", [] { return g_tip->isVisible(); })
        .run([] { EXPECT_EQ(g_tip->kind(), 1) << "the check mark"; })
        .waitUntil("the check mark to go", [] { return !g_tip->isVisible(); })
        .run([] { EXPECT_EQ(g_page_focus, 10); })
        .key('O')
        .waitPage(5);
    EXPECT_TRUE(script.play());
}

TEST_F(Hubs, ImageQualityFollowsALanguageChangedWhileInFront) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(1);
    script.key('Q')
        .waitPage(11)
        .run([this] { changeLanguage(2); })
        .run([] {
            EXPECT_EQ(textOf(g_imagequality, "label_title"), QString::fromUtf8("Изображение"));
        })
        .key('O')
        .waitPage(5)
        .run([] { EXPECT_EQ(textOf(g_option, "label_title"), QString::fromUtf8("Настройки")); });
    EXPECT_TRUE(script.play());
}

TEST_F(Hubs, AdvancedSettingsFollowsALanguageChangedWhileInFront) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(2);
    script.key('Q').waitPage(12).run([this] { changeLanguage(4); }).run([] {
        EXPECT_EQ(textOf(g_advancedoption, "label_title"), QString::fromUtf8("高級設置"));
        EXPECT_EQ(textOf(g_advancedoption, "Button_age"), QString::fromUtf8("工廠老化"));
    });
    EXPECT_TRUE(script.play());
}

TEST_F(Hubs, ModeFromAHubOpensTheUserModesAndClosesTheMenus) {
    openWindows();
    for (int entry : {0, 1, 2}) {
        g_page_focus = 1;
        PanelScript script = fromSettingMenu(entry);
        script.key('Q')
            .waitUntil("the hub", [] { return g_page_focus >= 10; })
            .key('M')
            .waitPage(4)
            .run([] {
                EXPECT_EQ(g_linkoption, nullptr);
                EXPECT_EQ(g_imagequality, nullptr);
                EXPECT_EQ(g_advancedoption, nullptr);
                EXPECT_EQ(g_option, nullptr);
                EXPECT_EQ(g_mode_shortcut_key, 1);
            })
            .key('O')
            .waitPage(0);
        EXPECT_TRUE(script.play()) << "entry " << entry;
    }
}

// Without the FPGA manager there is no reader of recovery packages: the entry stays grey.
TEST_F(Hubs, AdvancedSettingsShowsTheRecoveryEntryGreyWithoutAnFpgaManager) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu(2);
    script.key('Q')
        .waitPage(12)
        .run([] {
            auto* other = test::child<QAbstractButton>(g_advancedoption, "Button_other");
            auto* recovery = test::child<QAbstractButton>(g_advancedoption, "Button_rcv_recovery");
            EXPECT_EQ(other->styleSheet(), kIdle);
            EXPECT_EQ(recovery->styleSheet(), kGrey);
            EXPECT_TRUE(test::child<QLabel>(g_advancedoption, "label_note_OK"));
        })
        .keys({'R', 'R'})
        .run([] {
            auto* other = test::child<QAbstractButton>(g_advancedoption, "Button_other");
            auto* recovery = test::child<QAbstractButton>(g_advancedoption, "Button_rcv_recovery");
            EXPECT_EQ(other->styleSheet(), kIdle);
            EXPECT_EQ(recovery->styleSheet(), kGreyFocused);
        })
        .key('Q')
        .run([] { EXPECT_EQ(g_page_focus, 12); })
        .key('O')
        .waitPage(5)
        .run([] { EXPECT_EQ(g_advancedoption, nullptr); });
    EXPECT_TRUE(script.play());
}

// The aging log is opened only once the keypad has closed with the code confirmed.
TEST_F(Hubs, TheServiceCodeIsAcceptedOnlyWhenTypedAndConfirmed) {
    openWindows();
    std::vector<int> answers;
    bool keypadClosedFirst = true;
    PanelScript script;
    script.run([] { openScreen(g_advancedoption, 12); }).waitPage(12);
    auto ask = [&] {
        const bool accepted = g_advancedoption->askServiceCode();
        keypadClosedFirst = keypadClosedFirst && !g_numberkeyboard->isVisible();
        answers.push_back(accepted);
    };
    auto keypadOpen = [] { return g_numberkeyboard->isVisible(); };
    script.run(ask)
        .waitUntil("the keypad", keypadOpen)
        .run([] {
            EXPECT_EQ(textOf(g_numberkeyboard, "label_title"), "key");
            EXPECT_EQ(g_numberkeyboard->entry(), "**********");
        })
        .keys({'5', '1', '8', '3'})
        .run(test::pressKeypadOk)
        .waitUntil("the answer", [&] { return answers.size() == 1; })
        .run(ask)
        .waitUntil("the keypad", keypadOpen)
        .run(test::pressKeypadOk)  // the asterisks as they stand
        .waitUntil("the answer", [&] { return answers.size() == 2; })
        .run(ask)
        .waitUntil("the keypad", keypadOpen)
        .keys({'5', '1', '8', '3', '0'})
        .run(test::pressKeypadOk)
        .waitUntil("the answer", [&] { return answers.size() == 3; })
        .run(ask)
        .waitUntil("the keypad", keypadOpen)
        .keys({'5', '1', '8', '3'})
        .key('O')  // the keypad's close key
        .waitUntil("the answer", [&] { return answers.size() == 4; })
        .run([] { EXPECT_EQ(g_page_focus, 12); });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(answers, (std::vector<int>{1, 0, 0, 0}));
    EXPECT_TRUE(keypadClosedFirst);
}

}  // namespace
