// The other-settings screen (audio window, switch effect, WiFi, dot-by-dot) and the LCD
// display time-outs: lists filled from the image, editing in place, what each choice
// writes, the commands it runs and what it saves.
//
// Other settings, items: 0 window list, 1 audio, 2 switch effect, (3 hidden projection),
// 4 WiFi, 5 dot-by-dot.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "board/sim/sim.h"
#include "remote/t47_wifi_config.h"
#include "screens/maintenance/lcdshow.h"
#include "screens/maintenance/othersetup.h"
#include "tests/ui/maintenance_test.h"

namespace {

using test::MaintenanceTest;
using test::textOf;
using Lines = std::vector<std::string>;

QStringList entries(QWidget* screen, const char* list) {
    QStringList texts;
    auto* box = test::child<QComboBox>(screen, list);
    for (int i = 0; box && i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

class OtherSettings : public MaintenanceTest {
protected:
    void SetUp() override {
        MaintenanceTest::SetUp();
        QObject::connect(store, &KrxRamPara::sig_update_para, &counter, [this] { ++refreshes; });
    }
    void TearDown() override {
        delete screen;
        T47_WIFI_CONFIG::p_wifi = nullptr;
        g_wifi_reset_flag = 0;
        MaintenanceTest::TearDown();
    }
    othersetup* open() {
        screen = new othersetup(nullptr);
        g_othersetup = screen;
        g_page_focus = 17;
        return screen;
    }
    // Windows shown: bit w of mask.
    void useWindows(int mask, u8 current) {
        for (int w = 0; w < 6; ++w)
            store->ram_para.setU16(2272 + 26 * w, (mask >> w) & 1);
        store->ram_para[2112] = current;
        store->ram_para_shadow = store->ram_para;
    }
    // The parameter file's copy of an image byte (empty when there is no file).
    std::vector<u8> savedFile() const {
        std::ifstream file(rooted("/data/ram_device_info"), std::ios::binary);
        return std::vector<u8>((std::istreambuf_iterator<char>(file)), {});
    }
    static Lines commands() {
        Lines texts;
        for (const sim::Command& command : sim::commands())
            texts.push_back(command.text);
        return texts;
    }

    QPointer<othersetup> screen;
    QObject counter;
    int refreshes = 0;
};

TEST_F(OtherSettings, TheListsShowTheImage) {
    useWindows(0x05, 2);  // windows 1 and 3 shown, the third current
    store->ram_para[2272 + 26 * 2 + 21] = 0x80;
    store->ram_para.setU16(2118, 1);
    store->ram_para.setU16(774, 1);
    store->ram_para.setU16(2114, 0);
    useLanguage(1);
    open();
    EXPECT_EQ(entries(screen, "ImageVolume"), (QStringList{"image1", "image3"}));
    EXPECT_EQ(textOf(screen, "ImageVolume"), "image3");
    EXPECT_EQ(screen->entryCount(0), 2);
    EXPECT_EQ(textOf(screen, "volume_state"), "ON");
    EXPECT_EQ(entries(screen, "volume_state"), (QStringList{"OFF", "ON"}));
    EXPECT_EQ(entries(screen, "switch_state"), (QStringList{"Seamless", "Fade"}));
    EXPECT_EQ(textOf(screen, "switch_state"), "Fade");
    EXPECT_EQ(entries(screen, "wifi_state"), (QStringList{"ON", "OFF"}));
    EXPECT_EQ(textOf(screen, "wifi_state"), "OFF");
    EXPECT_EQ(textOf(screen, "dbd_state"), "OFF");
    EXPECT_FALSE(test::child<QWidget>(screen, "mode_state")->isVisibleTo(screen));
    EXPECT_FALSE(test::child<QWidget>(screen, "label_name_mode")->isVisibleTo(screen));
    EXPECT_EQ(c331_manage::para_update, 0);
}

TEST_F(OtherSettings, ACurrentWindowThatIsNotShownBecomesWindowZeroUnapplied) {
    useLanguage(1);
    useWindows(0x03, 4);
    open();
    EXPECT_EQ(store->ram_para.u16At(2112), 0);
    EXPECT_EQ(textOf(screen, "ImageVolume"), "image1");
    EXPECT_EQ(c331_manage::para_update, 0);
    delete screen;
    store->ram_para.setU16(2112, 0x0107);
    open();
    EXPECT_EQ(store->ram_para.u16At(2112), 0);
}

TEST_F(OtherSettings, TheFocusStepsOverTheHiddenRow) {
    useLanguage(1);
    open();
    keys(screen, {'S'});
    EXPECT_EQ(screen->ui_select(), 5) << "Left from the window list is dot-by-dot";
    keys(screen, {'R'});
    EXPECT_EQ(screen->ui_select(), 0);
    keys(screen, {'R', 'R'});
    EXPECT_EQ(screen->ui_select(), 2);
    keys(screen, {'R'});
    EXPECT_EQ(screen->ui_select(), 4) << "Right from the switch effect is WiFi";
    keys(screen, {'S'});
    EXPECT_EQ(screen->ui_select(), 2);
    EXPECT_EQ(test::child<QComboBox>(screen, "switch_state")->styleSheet(),
              "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
              "rgb(255,171,84);\n}\nQComboBox::drop-down{\nwidth:0px;\nborder-style:none\n}");
}

TEST_F(OtherSettings, AudioOnTheThirdWindowMakesItCurrent) {
    useWindows(0x05, 0);
    useLanguage(1);
    open();
    keys(screen, {'Q', 'R', 'Q'});  // the window list: the second entry, "image3"
    EXPECT_EQ(textOf(screen, "ImageVolume"), "image3");
    EXPECT_EQ(c331_manage::para_update, 0) << "the window list applies nothing";
    keys(screen, {'R', 'Q', 'R', 'Q'});  // audio ON
    const size_t third = 2272 + 26 * 2;
    EXPECT_EQ(store->ram_para[third + 20], 255);
    EXPECT_EQ(store->ram_para[third + 21], 128);
    EXPECT_EQ(store->ram_para[2112], 2);
    EXPECT_EQ(store->ram_para[2113], 0);
    EXPECT_EQ(store->ram_para[2272 + 20], 0) << "the first window's audio is untouched";
    EXPECT_EQ(c331_manage::para_update, 1);

    // ON again: nothing to write, the request all the same.
    c331_manage::para_update = 0;
    store->ram_para[2112] = 0;
    keys(screen, {'Q', 'Q'});
    EXPECT_EQ(store->ram_para[2112], 0);
    EXPECT_EQ(c331_manage::para_update, 1);

    // OFF.
    keys(screen, {'Q', 'S', 'Q'});
    EXPECT_EQ(store->ram_para[third + 20], 0);
    EXPECT_EQ(store->ram_para[third + 21], 0);
    EXPECT_EQ(store->ram_para[2112], 2);
}

TEST_F(OtherSettings, BackWhileEditingPutsTheListBackAndWritesNothing) {
    useLanguage(1);
    open();
    const RamParaImage before = store->ram_para;
    keys(screen, {'R', 'Q', 'R'});
    EXPECT_TRUE(screen->editing());
    EXPECT_EQ(textOf(screen, "volume_state"), "ON");
    EXPECT_EQ(test::child<QComboBox>(screen, "volume_state")->styleSheet(),
              "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
              "rgb(255,0,0);\n}\nQComboBox::drop-down{\nwidth:0px;\nborder-style:none\n}");
    keys(screen, {'O'});
    EXPECT_FALSE(screen->editing());
    EXPECT_EQ(textOf(screen, "volume_state"), "OFF");
    EXPECT_EQ(g_othersetup, screen.data()) << "the first Back only leaves the editing";
    EXPECT_EQ(std::memcmp(before.data(), store->ram_para.data(), 4096), 0);
    EXPECT_EQ(c331_manage::para_update, 0);
}

TEST_F(OtherSettings, FadeSetsTheEffectBitAndTheFadeTimesAndIsSaved) {
    openWindows();
    for (int w = 0; w < 6; ++w)
        store->ram_para.setU16(2272 + 26 * w + 18, 0x0103);
    store->ram_para.setU16(2816, 0x1234);
    store->ram_para_shadow = store->ram_para;
    open();
    keys(screen, {'R', 'R', 'Q', 'R', 'Q'});
    EXPECT_EQ(store->ram_para[2118], 1);
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(store->ram_para.u16At(2272 + 26 * w + 18), 0x0107) << "window " << w;
    EXPECT_EQ(store->ram_para.u16At(2816), 0x123C) << "low byte 60, high byte kept";
    for (size_t k = 0; k < 16; ++k) {
        EXPECT_EQ(store->ram_para[2816 + 4 * k], 60) << k;
        EXPECT_EQ(store->ram_para[2818 + 4 * k], 60) << k;
    }
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(refreshes, 1) << "a save asked for at once";
    applied();
    std::vector<u8> file = savedFile();
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[2118 - 766], 1);

    // Seamless clears the bit and leaves the fade times.
    keys(screen, {'Q', 'S', 'Q'});
    EXPECT_EQ(store->ram_para[2118], 0);
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(store->ram_para.u16At(2272 + 26 * w + 18), 0x0103) << "window " << w;
    EXPECT_EQ(store->ram_para[2816], 60);
    EXPECT_EQ(refreshes, 3);
    applied();
    ASSERT_EQ(savedFile().size(), 4096u);
    EXPECT_EQ(savedFile()[2118 - 766], 0);
}

TEST_F(OtherSettings, WifiOffStopsTheAccessPointAndOnRestartsIt) {
    openWindows();
    T47_WIFI_CONFIG wifi;
    T47_WIFI_CONFIG::p_wifi = &wifi;
    sim::clearCommands();
    open();
    keys(screen, {'S', 'S', 'Q', 'R', 'Q'});
    EXPECT_EQ(screen->ui_select(), 4);
    EXPECT_EQ(store->ram_para[774], 1);
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(commands(), (Lines{"kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`",
                                 "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`"}));
    EXPECT_EQ(refreshes, 0) << "no save asked for";
    EXPECT_EQ(g_wifi_reset_flag, 0);

    sim::clearCommands();
    keys(screen, {'Q', 'R', 'Q'});
    EXPECT_EQ(store->ram_para[774], 0);
    EXPECT_EQ(g_wifi_reset_flag, 1);
    EXPECT_TRUE(commands().empty()) << "the WiFi thread restarts it";
}

TEST_F(OtherSettings, DotByDotOnSetsTheHighByteOfEveryOutputWord) {
    openWindows();
    for (int w = 0; w < 6; ++w)
        store->ram_para.setU16(2272 + 26 * w + 18, 0x8205);
    store->ram_para_shadow = store->ram_para;
    open();
    keys(screen, {'S', 'Q', 'R', 'Q'});
    EXPECT_EQ(store->ram_para[2114], 1);
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(store->ram_para.u16At(2272 + 26 * w + 18), 0x0105) << "window " << w;
    EXPECT_EQ(refreshes, 1) << "a save asked for at once";
    applied();
    ASSERT_EQ(savedFile().size(), 4096u);
    EXPECT_EQ(savedFile()[2114 - 766], 1);
    keys(screen, {'Q', 'R', 'Q'});
    EXPECT_EQ(store->ram_para[2114], 0);
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(store->ram_para.u16At(2272 + 26 * w + 18), 0x0005) << "window " << w;
}

TEST_F(OtherSettings, ALanguageChangeRetranslatesTheCaptionsButNotTheLists) {
    openWindows();
    useLanguage(1);
    open();
    changeLanguage(2);
    EXPECT_EQ(textOf(screen, "label_other"), QString::fromUtf8("Другие настройки"));
    EXPECT_EQ(textOf(screen, "label_name_DBD"), QString::fromUtf8("Пиксель к пикселю"));
    EXPECT_EQ(textOf(screen, "dbd_state"), "OFF");
}

class LcdShow : public MaintenanceTest {
protected:
    void TearDown() override {
        delete screen;
        g_back_to_mainwindow_time = 3000;
        g_auto_lock_time = 30000;
        MaintenanceTest::TearDown();
    }
    lcdshow* open() {
        screen = new lcdshow(nullptr);
        g_lcdshow = screen;
        g_page_focus = 15;
        return screen;
    }
    QPointer<lcdshow> screen;
};

TEST_F(LcdShow, TheDefaultsShowThirtyAndFiveMinutes) {
    useLanguage(1);
    open();
    EXPECT_EQ(textOf(screen, "comboBox_back"), "30");
    EXPECT_EQ(textOf(screen, "comboBox_lock"), "5min");
    EXPECT_EQ(screen->ui_select(), 0);
    EXPECT_EQ(test::child<QComboBox>(screen, "comboBox_back")->styleSheet(),
              "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
              "rgb(255,171,84);\n}\nQComboBox:drop-down{\nborder-style:none\n}");
    EXPECT_EQ(entries(screen, "comboBox_lock"), (QStringList{"5min", "10min", "Never"}));
}

TEST_F(LcdShow, OkRightRightOkStoresNever) {
    useLanguage(1);
    open();
    keys(screen, {'Q', 'R', 'R'});
    EXPECT_EQ(textOf(screen, "comboBox_back"), "Never");
    EXPECT_EQ(g_back_to_mainwindow_time, 3000) << "stored only at the OK";
    keys(screen, {'Q'});
    EXPECT_EQ(g_back_to_mainwindow_time, 120000);
    EXPECT_FALSE(screen->editing());
    delete screen;
    open();
    EXPECT_EQ(textOf(screen, "comboBox_back"), "Never");
}

TEST_F(LcdShow, LeftFromTheFirstEntryShowsTheThird) {
    useLanguage(0);
    open();
    keys(screen, {'Q', 'S'});
    EXPECT_EQ(textOf(screen, "comboBox_back"), QString::fromUtf8("从不"));
    keys(screen, {'S', 'Q'});
    EXPECT_EQ(g_back_to_mainwindow_time, 6000);
}

TEST_F(LcdShow, TheLockBoxStartsFromItsOwnEntry) {
    g_back_to_mainwindow_time = 6000;
    g_auto_lock_time = 120000;
    useLanguage(1);
    open();
    keys(screen, {'R', 'Q', 'Q'});
    EXPECT_EQ(g_auto_lock_time, 120000) << "OK at once keeps what the box shows";
    keys(screen, {'Q', 'R', 'Q'});
    EXPECT_EQ(g_auto_lock_time, 30000);
    EXPECT_EQ(g_back_to_mainwindow_time, 6000);
}

TEST_F(LcdShow, BackWhileEditingStoresNothing) {
    useLanguage(1);
    open();
    keys(screen, {'Q', 'R', 'O'});
    EXPECT_EQ(g_back_to_mainwindow_time, 3000);
    EXPECT_EQ(g_lcdshow, nullptr);
    EXPECT_EQ(g_page_focus, 12);
}

}  // namespace
