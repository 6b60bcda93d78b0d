// The refresh relay: a change applied on a worker thread reaches the screen in front and
// the parameter file; a change made between an apply and the save still reaches the
// chips; user-mode saves; the pages the relay leaves alone; the notices; the key LEDs.
//
// Image offsets used here: 262 input_size entry 1, 768 language, 772 panel_lock, 866
// current_user_mode, 868 save_user_mode, 896 the first byte a user mode copies, 1378
// led_width, 2176/2178/2182 picture brightness/contrast/saturation, window w at 2272 + 26 w
// (enable +0, source +8, output word +18). Pages: 0 home, 1 main menu, 5 Setting menu, 6
// output menu, 10 Communication, 21 serial-port page, 26 USB upgrade.
#include <gmock/gmock.h>

#include <QLabel>
#include <algorithm>
#include <cstring>
#include <thread>

#include "board/sim/sim.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/panel_test.h"
#include "ui/mainwindow.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/syncupdate.h"
#include "ui/tip.h"

namespace {

using test::PanelScript;
using test::UiTest;

class Sync : public UiTest {
protected:
    // Image bytes 768..4095 as the parameter file holds them.
    std::vector<unsigned char> savedImage() {
        std::vector<unsigned char> file = readFile("/data/ram_device_info");
        if (file.size() < 2 + 3328)
            return {};
        return std::vector<unsigned char>(file.begin() + 2, file.begin() + 2 + 3328);
    }
    u16 savedU16(size_t offset) {
        std::vector<unsigned char> image = savedImage();
        const size_t at = offset - 768;
        return image.empty() ? 0 : static_cast<u16>(image[at] | (image[at + 1] << 8));
    }
    bool shadowEqualsImage() {
        return std::memcmp(store->ram_para.data(), store->ram_para_shadow.data(), 4096) == 0;
    }
    bool contains(const std::vector<size_t>& offsets, size_t offset) {
        return std::find(offsets.begin(), offsets.end(), offset) != offsets.end();
    }
};

TEST_F(Sync, ARefreshFromAWorkerThreadReachesTheScreenInFrontAndTheFile) {
    openWindows();
    g_page_focus = 1;
    PanelScript script;
    script.run([] { openScreen(g_outputset, 6); })
        .waitPage(6)
        .run([this] { applyEdit([](RamParaImage& image) { image.setU16(1378, 2560); }); })
        .run([this] { EXPECT_EQ(applyPending(), std::vector<size_t>{1378}); })
        .waitUntil("the info line",
                   [] {
                       auto* info = test::child<QLabel>(g_outputset, "label_info");
                       return info && info->text().contains("2560 x 1080");
                   })
        .run([this] {
            EXPECT_EQ(savedU16(1378), 2560);
            EXPECT_TRUE(shadowEqualsImage());
        })
        .key('O')
        .waitPage(1);
    EXPECT_TRUE(script.play());
}

TEST_F(Sync, AChangeMadeAfterAnApplyButBeforeTheSaveIsNotLost) {
    // Queued after the relay's own connection, so it runs right after the relay.
    int refreshes = 0;
    QObject context;
    QObject::connect(store, &KrxRamPara::sig_update_para, &context, [&](int) { ++refreshes; });
    applyEdit([](RamParaImage& image) { image.setU16(1378, 1280); });
    EXPECT_TRUE(contains(applyPending(), 1378));  // refresh queued, not yet run
    applyEdit([](RamParaImage& image) { image.setU16(2178, 70); });

    ASSERT_TRUE(test::waitFor([&] { return refreshes == 1; }));
    EXPECT_EQ(c331_manage::para_update, 1) << "the second edit is still to be applied";

    const std::vector<size_t> second = applyPending();
    EXPECT_TRUE(contains(second, 2178));
    ASSERT_TRUE(test::waitFor([&] { return savedU16(2178) == 70; }));
    EXPECT_EQ(savedU16(1378), 1280);
    EXPECT_TRUE(shadowEqualsImage());
}

TEST_F(Sync, OnlyTheSavedPartOfTheImageIsStored) {
    const std::vector<unsigned char> before = readFile("/data/ram_device_info");
    store->ram_para.setU16(262, 1920);
    store->ram_para[767] = 9;  // the last runtime byte
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(readFile("/data/ram_device_info"), before);
    EXPECT_FALSE(shadowEqualsImage());

    // A change of the first saved byte alone is saved, at file offset 2.
    store->ram_para[768] = 1;
    SyncUpdate::pInstance()->para_sync(1);
    ASSERT_EQ(readFile("/data/ram_device_info").size(), 4096u);
    EXPECT_EQ(readFile("/data/ram_device_info")[2], 1);
    EXPECT_EQ(store->ram_para_shadow[768], 1);

    store->ram_para.setU16(2176, 40);
    SyncUpdate::pInstance()->para_sync(1);
    const std::vector<unsigned char> file = readFile("/data/ram_device_info");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[0], 0xAA);
    EXPECT_EQ(file[1], 0xAA);
    EXPECT_EQ(savedU16(2176), 40);
    EXPECT_TRUE(shadowEqualsImage());
}

TEST_F(Sync, SavingAUserModeFillsTheSlotAndItsFile) {
    store->ram_para.setU16(2182, 33);
    store->ram_para.setU16(868, 5);
    SyncUpdate::pInstance()->para_sync(1);
    const UserModeSlot& slot = store->user_mode[4];
    EXPECT_TRUE(store->KrxUserModeSaved(4));
    EXPECT_EQ(std::memcmp(slot.bytes + 2, store->ram_para.data() + 896, 3200), 0);
    EXPECT_EQ(store->ram_para.u16At(866), 5);
    EXPECT_EQ(store->ram_para.u16At(868), 0);
    const std::vector<unsigned char> file = readFile("/data/modes/custom_mode5");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[0], 0xAA);
    const size_t at = 2 + 2182 - 896;
    EXPECT_EQ(file[at], 33);
    EXPECT_EQ(savedU16(866), 5);
    EXPECT_EQ(savedU16(868), 0);
}

TEST_F(Sync, ASaveRequestOutOfRangeIsClearedWithoutWriting) {
    store->ram_para.setU16(868, 17);
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(store->ram_para.u16At(868), 0);
    EXPECT_EQ(store->ram_para.u16At(866), 0);
    for (int slot = 0; slot < 16; ++slot)
        EXPECT_FALSE(store->KrxUserModeSaved(slot));
    EXPECT_FALSE(exists("/data/modes/custom_mode17"));
}

TEST_F(Sync, TheModeFileCheckRewritesSavedSlotsAndDeletesTheOthers) {
    writeFile("/data/modes/custom_mode2", std::vector<unsigned char>(4096, 0xAA));
    store->user_mode[6].bytes[0] = store->user_mode[6].bytes[1] = 0xAA;
    store->user_mode[6].bytes[2] = 0x42;
    SyncUpdate::pInstance()->para_sync(2);
    EXPECT_FALSE(exists("/data/modes/custom_mode2"));
    const std::vector<unsigned char> file = readFile("/data/modes/custom_mode7");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[2], 0x42);
}

TEST_F(Sync, PagesWithoutAScreenGetNothingAndLanguageOnlyPagesOnlyTheLanguage) {
    openWindows();
    g_page_focus = 3;
    store->ram_para[768] = 1;
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(g_language, 0);  // nobody asked for the language

    store->ram_para[768] = 1;
    store->ram_para_shadow[768] = 0;
    g_page_focus = 21;
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(g_language, 1);
    EXPECT_EQ(SyncUpdate::screenInFront(), nullptr);
    g_page_focus = 1;
    EXPECT_EQ(SyncUpdate::screenInFront(), g_mainwindow);
}

TEST_F(Sync, TheCurrentWindowFallsBackToWindowZeroWhenItIsSwitchedOff) {
    g_image_current = 2;
    store->ram_para.setU16(2272 + 52, 0);
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(g_image_current, 0);
    g_image_current = 2;
    g_page_focus = 9;
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(g_image_current, 2);
}

TEST_F(Sync, TheCheckMarkClosesAfterThreeSecondsAndARepeatRestartsItsCount) {
    openWindows();
    startTick();
    g_page_focus = 10;
    u32 restartedAt = 0;
    PanelScript script;
    script.run([] { SyncUpdate::pInstance()->para_sync(1); })
        .waitUntil("the notice", [] { return g_tip->isVisible(); })
        .run([] { EXPECT_EQ(g_tip->kind(), 1); })
        .waitUntil("150 ticks", [] { return G_timeTicks >= 150; })
        .run([&] {
            restartedAt = G_timeTicks;
            SyncUpdate::pInstance()->para_sync(1);  // returns at once: no nested notice
            EXPECT_TRUE(g_tip->isVisible());
        })
        .waitUntil("the notice to close", [] { return !g_tip->isVisible(); })
        .run([&] {
            EXPECT_GE(G_timeTicks - restartedAt, 300u);
            EXPECT_EQ(g_tip_flag, 0);
        });
    EXPECT_TRUE(script.play(20000));
}

TEST_F(Sync, UsbNoticesBelongToTheUsbPages) {
    openWindows();
    startTick();
    g_page_focus = 26;
    PanelScript script;
    script.run([] { SyncUpdate::pInstance()->para_sync(101); })
        .waitUntil("the notice", [] { return g_tip->isVisible(); })
        .run([] {
            EXPECT_EQ(g_tip->kind(), 4);
            g_tip->hide();
            g_tip_flag = 0;
        })
        .run([] {
            g_page_focus = 5;
            SyncUpdate::pInstance()->para_sync(102);
            EXPECT_FALSE(g_tip->isVisible());
        });
    EXPECT_TRUE(script.play());
}

TEST_F(Sync, KeyLedsAreReportedOnlyWithTheKeyBoardAndOnlyWhenTheyChange) {
    std::vector<KeyLedReport> sent;
    SyncUpdate::setKeyLedWriter([&](const KeyLedReport& report) {
        sent.push_back(report);
        return true;
    });
    SyncUpdate::pInstance()->para_sync(1);
    SyncUpdate::pInstance()->update_usb_keyLed();
    EXPECT_TRUE(sent.empty());

    // The report: window LEDs, input LEDs, freeze (bit 0) and black (bit 1), panel lock,
    // upgrade running.
    g_krx_keys = 1;
    const size_t w1 = 2272 + 26;
    store->ram_para.setU16(w1, 1);
    store->ram_para.setU16(w1 + 8, 3);
    store->ram_para.setU16(w1 + 18, 0x2);  // frozen
    g_image_current = 1;
    SyncUpdate::pInstance()->para_sync(1);
    SyncUpdate::pInstance()->para_sync(1);
    ASSERT_EQ(sent.size(), 1u) << "the same report is sent once";
    EXPECT_EQ(sent.back(), (KeyLedReport{0x02, 0x08, 0x01, 0x00, 0x00}));
    store->ram_para.setU16(w1 + 18, 0x1);  // black
    SyncUpdate::pInstance()->para_sync(1);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent.back(), (KeyLedReport{0x02, 0x08, 0x02, 0x00, 0x00}));
    // Window 0 on input 2: neither LED may follow the other's number.
    store->ram_para.setU16(2272 + 8, 2);
    g_image_current = 0;
    SyncUpdate::pInstance()->para_sync(1);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent.back(), (KeyLedReport{0x01, 0x04, 0x00, 0x00, 0x00}));
    const size_t count = sent.size();
    store->ram_para.setU16(772, 1);
    SyncUpdate::pInstance()->para_sync(105);
    EXPECT_EQ(sent.size(), count + 1);
    EXPECT_EQ(sent.back()[3], 1);
    EXPECT_EQ(sent.back()[4], 1);
}

}  // namespace
