// The whole program on the simulated board, worked as a person works it: the panel's keys
// and what its screens show, the PC's frames, and the files the program keeps. Each screen
// reached is saved as a PNG under <build>/screens.
#include <gmock/gmock.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <filesystem>
#include <set>

#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "board/sim/spi_nor_flash.h"
#include "core/global.h"
#include "tests/support/sim_test.h"
#include "tests/system/program.h"
#include "tests/ui/panel_script.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/numberkeyboard.h"
#include "ui/pages.h"
#include "ui/panelkey.h"
#include "ui/syncupdate.h"

using pc::Bytes;
using systest::SystemTest;
using test::PanelScript;

namespace {

// Saves what the screen in front shows.
void shot(const QString& name) {
    QWidget* screen = test::keyTarget();
    ASSERT_NE(screen, nullptr) << name.toStdString();
    QDir().mkpath(QString(KRX_BINARY_DIR) + "/screens");
    EXPECT_TRUE(screen->grab().save(QString(KRX_BINARY_DIR) + "/screens/" + name + ".png"));
}

QString text(QWidget* screen, const char* name) {
    auto* label = screen ? screen->findChild<QLabel*>(name) : nullptr;
    return label ? label->text() : QString();
}

QString inFront(const char* name) {
    return text(test::keyTarget(), name);
}

// Moves the main window's focus to an entry with Right, as a person would.
void focusMainEntry(int index) {
    for (int i = 0; i < 4 && g_mainwindow->ui_select() != index; ++i)
        test::sendKey('R');
}

// The file's bytes from file offset at on; empty when the file is shorter.
Bytes fileBytes(const std::string& devicePath, size_t at, size_t n) {
    Bytes file = systest::readFile(devicePath);
    return file.size() >= at + n ? Bytes(file.begin() + at, file.begin() + at + n) : Bytes{};
}

// The user-mode slot whose button carries the focus frame (the orange border), 0 for none.
int focusedSlot() {
    QWidget* screen = test::keyTarget();
    for (int slot = 1; screen && slot <= 16; ++slot) {
        auto* button = screen->findChild<QWidget*>(QString("Button_mode%1").arg(slot));
        if (button && button->styleSheet().contains("2px solid rgb(255,171,84)"))
            return slot;
    }
    return 0;
}

// Saves the settings as user mode `slot` from the home screen: Mode opens the user modes,
// Right moves the focus frame to the slot, OK shows the actions with Save chosen (the slot
// is empty), OK saves, Back returns home.
bool saveUserModeWithKeys(int slot) {
    PanelScript script;
    script.key('M').waitPage(page::custommode).run([slot] {
        for (int i = 0; i < 16 && focusedSlot() != slot; ++i)
            test::sendKey('R');
        EXPECT_EQ(focusedSlot(), slot);
    });
    script.key('Q').key('Q').key('O').waitPage(page::home);
    return script.play(20000);
}

class Panel : public SystemTest {};

}  // namespace

TEST_F(Panel, OnAnEmptyRootTheProgramWritesItsFilesAndShowsTheHomeScreen) {
    EXPECT_TRUE(systest::exists("/data/configs/tcpip.ini"));
    EXPECT_EQ(systest::setting("config/TcpPort"), "5005");
    // The parameter file: marker AA AA, then image byte x at file offset x - 766 (the
    // LED size at 1378, input 0's EDID size at 896).
    const Bytes file = systest::readFile("/data/ram_device_info");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 2), (Bytes{0xAA, 0xAA}));
    EXPECT_EQ(Bytes(file.begin() + 612, file.begin() + 616), (Bytes{0x80, 0x07, 0x38, 0x04}));
    EXPECT_TRUE(systest::exists("/data/modes"));
    // Nothing that would touch the PC ran; only file commands were carried out.
    const std::set<std::string> fileCommands = {"sync",  "cp",     "mv",      "rm",
                                                "chmod", "chattr", "dos2unix"};
    for (const sim::Command& c : sim::commands()) {
        const std::string word = c.text.substr(0, c.text.find(' '));
        if (!fileCommands.count(word)) {
            EXPECT_FALSE(c.executed) << c.text;
        }
    }
    EXPECT_EQ(SyncUpdate::screenInFront(), g_lockwindow);
    EXPECT_TRUE(g_lockwindow->isVisible());
    EXPECT_EQ(text(g_lockwindow, "label_hint"), "主菜单");
    const QPoint origin = g_mainwindow->pos();
    EXPECT_EQ(g_numberkeyboard->geometry(), QRect(origin + QPoint(160, 0), QSize(160, 240)));
    // No key board is plugged in: no LED report went out.
    EXPECT_EQ(systest::program().keyLedReports, 0);
    const u32 ticks = G_timeTicks;
    EXPECT_TRUE(test::waitFor([&] { return G_timeTicks > ticks + 5; }));
}

TEST_F(Panel, ThePanelIsWorkedWithKeys) {
    PanelScript script;
    script.run([] { shot("home-zh"); })
        .key('Q')
        .waitPage(page::mainwindow)
        .run([] {
            EXPECT_EQ(inFront("label_title"), "主菜单");
            shot("mainwindow-zh");
            focusMainEntry(2);
        })
        .key('Q')
        .waitPage(page::option)
        .run([] { shot("option-zh"); })
        .keys({'R', 'S', 'S'})
        .key('O')
        .waitPage(page::mainwindow)
        .run([] { focusMainEntry(3); })
        .key('Q')
        .waitPage(page::outputset)
        .run([] {
            EXPECT_EQ(inFront("label_info"), "LED尺寸: 1920 x 1080");
            shot("outputset-zh");
        })
        .key('M')
        .waitPage(page::custommode)
        .run([] { shot("custommode-zh"); })
        .key('O')
        .waitPage(page::home)
        .key(keycode::ok_fn)
        .waitPage(page::mainwindow)
        .key(keycode::back_fn)
        .waitPage(page::home);
    EXPECT_TRUE(script.play(20000));
    EXPECT_EQ(systest::program().keyLedReports, 0);
    EXPECT_TRUE(MenuScreen::openScreens().empty());
}

TEST_F(Panel, TheLanguageWrittenOverUdpIsReadBackOverTcpSavedBy81OverSerialAndShown) {
    ASSERT_TRUE(systest::waitForOutputRunning());
    auto pcUdp = systest::udp();
    auto pcTcp = systest::tcp();
    auto pcSerial = systest::serial();

    // A PC keeps the LED screen's size in the FPGA's parameter RAM (bytes 60..63), which
    // 81 stores and takes as the LED size. Until a PC writes it, it is 1280 x 1024; the
    // PC writes 1920 x 1080, the size the device has.
    auto r = pcTcp->exchange(0x61, pc::access(0x3003C, 4));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->values(), (Bytes{0x00, 0x05, 0x00, 0x04}));
    r = pcUdp->exchange(0x60, pc::access(0x3003C, 4, {0x80, 0x07, 0x38, 0x04}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(sim::get<sim::FpgaModel>("fpga0")->ram(1, 60, 4), (Bytes{0x80, 0x07, 0x38, 0x04}));

    // English (image byte 768 = 1), read back over another link.
    r = pcUdp->exchange(0x60, pc::access(768, 2, {0x01, 0x00}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(r->data(), pc::access(768, 2));
    r = pcTcp->exchange(0x61, pc::access(768, 2));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(r->values(), (Bytes{0x01, 0x00}));

    r = pcSerial->exchange(0x81, {0xFF, 0x00});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_TRUE(r->data().empty());
    // Applied: the panel speaks English. Saved: image offset 768 is file offset 2.
    EXPECT_TRUE(test::waitFor([] { return text(g_lockwindow, "label_hint") == "Main menu"; }));
    EXPECT_TRUE(test::waitFor([] { return fileBytes("/data/ram_device_info", 2, 1) == Bytes{1}; }));
    // 81 stored the parameter RAM in the FPGA's configuration flash (marker AA at
    // 0x308000, the RAM from 0x308001) and left the LED size as it was.
    auto flash = sim::get<sim::SpiNorFlash>("fpga0-flash");
    EXPECT_EQ(flash->contents(0x308000, 1), Bytes{0xAA});
    EXPECT_EQ(flash->contents(0x308001 + 60, 4), (Bytes{0x80, 0x07, 0x38, 0x04}));
    r = pcTcp->exchange(0x61, pc::access(1378, 4));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->values(), (Bytes{0x80, 0x07, 0x38, 0x04}));

    PanelScript script;
    script.run([] { shot("home-en"); })
        .key('Q')
        .waitPage(page::mainwindow)
        .run([] {
            EXPECT_EQ(inFront("label_title"), "Main menu");
            shot("mainwindow-en");
            focusMainEntry(2);
        })
        .key('Q')
        .waitPage(page::option)
        .run([] {
            EXPECT_EQ(inFront("label_title"), "Setting");
            shot("option-en");
        })
        .key('O')
        .waitPage(page::mainwindow)
        .run([] { focusMainEntry(3); })
        .key('Q')
        .waitPage(page::outputset)
        .run([] {
            EXPECT_EQ(inFront("label_info"), "LED size: 1920 x 1080");
            shot("outputset-en");
        })
        .key('O')
        .waitPage(page::mainwindow)
        .run([] { focusMainEntry(1); })
        .key('Q')
        .waitPage(page::custommode)
        .run([] {
            EXPECT_EQ(inFront("label_title"), "User mode");
            shot("custommode-en");
        })
        .key('O')
        .waitPage(page::mainwindow)
        .key('O')
        .waitPage(page::home);
    EXPECT_TRUE(script.play(20000));

    // Back to Chinese the same way.
    r = pcUdp->exchange(0x60, pc::access(768, 2, {0x00, 0x00}));
    ASSERT_TRUE(r);
    r = pcSerial->exchange(0x81, {0xFF, 0x00});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_TRUE(test::waitFor([] { return text(g_lockwindow, "label_hint") == "主菜单"; }));
    EXPECT_TRUE(test::waitFor([] { return fileBytes("/data/ram_device_info", 2, 1) == Bytes{0}; }));
}

TEST_F(Panel, SavingUserMode1WithThePanelKeysWritesItsFile) {
    ASSERT_FALSE(systest::exists("/data/modes/custom_mode1"));
    ASSERT_TRUE(saveUserModeWithKeys(1));
    // The file holds the slot's first 4096 bytes.
    ASSERT_TRUE(
        test::waitFor([] { return systest::readFile("/data/modes/custom_mode1").size() == 4096; }));
    // Marker AA AA, then image bytes 896..4095 as the PC reads them.
    const Bytes mode = systest::readFile("/data/modes/custom_mode1");
    EXPECT_EQ(Bytes(mode.begin(), mode.begin() + 2), (Bytes{0xAA, 0xAA}));
    auto r = systest::tcp()->exchange(0x61, pc::access(896, 3200));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status(), 0);
    EXPECT_EQ(Bytes(mode.begin() + 2, mode.begin() + 3202), r->values());
    // The PC reads slot 1 as saved.
    auto slot = systest::tcp()->exchange(0x61, pc::access(0x1000, 2));
    ASSERT_TRUE(slot);
    EXPECT_EQ(slot->values(), (Bytes{0xAA, 0xAA}));
}

TEST_F(Panel, AnImageBytePcWroteWithoutSavingIsSavedByTheNextSaveTheDeviceMakes) {
    // Contrast (image 2178) over UDP, neither applied nor saved by the PC.
    auto r = systest::udp()->exchange(0x60, pc::access(2178, 2, {0x2A, 0x00}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    // The device saves for a reason of its own: a user mode saved on the panel.
    ASSERT_FALSE(systest::exists("/data/modes/custom_mode2"));
    ASSERT_TRUE(saveUserModeWithKeys(2));
    // Image 2178 is file offset 1412 of the parameter file, and mode byte 1284.
    EXPECT_TRUE(test::waitFor([] {
        return fileBytes("/data/ram_device_info", 1412, 2) == Bytes{0x2A, 0};
    }));
    EXPECT_TRUE(test::waitFor([] {
        return fileBytes("/data/modes/custom_mode2", 1284, 2) == Bytes{0x2A, 0};
    }));
}

namespace {

// Every image name the program's sources use.
std::set<QString> imagesTheCodeUses() {
    std::set<QString> names;
    const QRegularExpression literal(":/png/[A-Za-z0-9_]+\\.png");
    for (const char* folder : {"core", "video", "inputs", "fpga", "ui", "remote", "screens"}) {
        QDirIterator it(QString(KRX_SOURCE_DIR) + "/" + folder, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile source(it.next());
            source.open(QIODevice::ReadOnly);
            auto matches = literal.globalMatch(QString::fromUtf8(source.readAll()));
            while (matches.hasNext())
                names.insert(matches.next().captured(0));
        }
    }
    return names;
}

}  // namespace

TEST_F(Panel, EveryImageTheCodeAndTheDevicesScreensNameLoads) {
    std::set<QString> names = imagesTheCodeUses();
    EXPECT_GE(names.size(), 20u);
    for (const char* name :
         {"DVI",          "dvilv",       "HDMI13",    "HDMI13_1",      "HDMI13_lv",
          "HDMI20",       "HDMI20_lv",   "OK_Enter",  "back_return",   "back",
          "button_on",    "button_off",  "check_180", "version_state", "en_version_state",
          "output_state", "input_state", "ltri",      "rtri",          "next",
          "previous",     "online",      "offline",   "online_up",     "offline_up",
          "warning"})
        names.insert(QString(":/png/%1.png").arg(name));
    for (int i = 1; i <= 8; ++i)
        names.insert(QString(":/png/img_test%1.png").arg(i));
    for (int i = 1; i <= 16; ++i)
        names.insert(QString(":/png/line%1.png").arg(i));
    for (const QString& name : names)
        EXPECT_FALSE(QPixmap(name).isNull()) << name.toStdString();
}
