// The refresh relay: a change applied on a worker thread reaches the screen in front and
// the parameter file; a change made between an apply and the save still reaches the
// chips; user-mode saves; the pages the relay leaves alone; the notices; the key LEDs.
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
        std::vector<unsigned char> file = readFile(KrxRamPara::kFile);
        if (file.size() < 2 + KrxRamPara::kSavedBytes)
            return {};
        return std::vector<unsigned char>(file.begin() + 2,
                                          file.begin() + 2 + KrxRamPara::kSavedBytes);
    }
    u16 savedU16(size_t offset) {
        std::vector<unsigned char> image = savedImage();
        const size_t at = offset - para::runtime_end;
        return image.empty() ? 0 : static_cast<u16>(image[at] | (image[at + 1] << 8));
    }
    bool shadowEqualsImage() {
        return std::memcmp(store->ram_para.data(), store->ram_para_shadow.data(),
                           RamParaImage::kSize) == 0;
    }
    bool contains(const std::vector<size_t>& offsets, size_t offset) {
        return std::find(offsets.begin(), offsets.end(), offset) != offsets.end();
    }
};

TEST_F(Sync, ARefreshFromAWorkerThreadReachesTheScreenInFrontAndTheFile) {
    openWindows();
    g_page_focus = page::mainwindow;
    PanelScript script;
    script.run([] { openScreen(g_outputset, page::outputset); })
        .waitPage(page::outputset)
        .run(
            [this] { applyEdit([](RamParaImage& image) { image.setU16(para::led_width, 2560); }); })
        .run([this] { EXPECT_EQ(applyPending(), std::vector<size_t>{para::led_width}); })
        .waitUntil("the info line",
                   [] {
                       auto* info = test::child<QLabel>(g_outputset, "label_info");
                       return info && info->text().contains("2560 x 1080");
                   })
        .run([this] {
            EXPECT_EQ(savedU16(para::led_width), 2560);
            EXPECT_TRUE(shadowEqualsImage());
        })
        .key('O')
        .waitPage(page::mainwindow);
    EXPECT_TRUE(script.play());
}

TEST_F(Sync, AChangeMadeAfterAnApplyButBeforeTheSaveIsNotLost) {
    applyEdit([](RamParaImage& image) { image.setU16(para::led_width, 1280); });
    EXPECT_TRUE(contains(applyPending(), para::led_width));  // refresh queued, not yet run
    applyEdit([](RamParaImage& image) { image.setU16(para::picture_contrast, 70); });

    test::waitFor([] { return false; }, 50);  // the queued refresh runs now
    EXPECT_EQ(c331_manage::para_update, 1);

    const std::vector<size_t> second = applyPending();
    EXPECT_TRUE(contains(second, para::picture_contrast));
    ASSERT_TRUE(test::waitFor([&] { return savedU16(para::picture_contrast) == 70; }));
    EXPECT_EQ(savedU16(para::led_width), 1280);
    EXPECT_TRUE(shadowEqualsImage());
}

TEST_F(Sync, OnlyTheSavedPartOfTheImageIsStored) {
    const std::vector<unsigned char> before = readFile(KrxRamPara::kFile);
    store->ram_para.setU16(para::input_size_at(1), 1920);
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(readFile(KrxRamPara::kFile), before);
    EXPECT_FALSE(shadowEqualsImage());

    store->ram_para.setU16(para::picture_brightness, 40);
    SyncUpdate::pInstance()->para_sync(1);
    const std::vector<unsigned char> file = readFile(KrxRamPara::kFile);
    ASSERT_EQ(file.size(), KrxRamPara::kFileSize);
    EXPECT_EQ(file[0], 0xAA);
    EXPECT_EQ(file[1], 0xAA);
    EXPECT_EQ(savedU16(para::picture_brightness), 40);
    EXPECT_TRUE(shadowEqualsImage());
}

TEST_F(Sync, SavingAUserModeFillsTheSlotAndItsFile) {
    store->ram_para.setU16(para::picture_saturation, 33);
    store->ram_para.setU16(para::save_user_mode, 5);
    SyncUpdate::pInstance()->para_sync(1);
    const UserModeSlot& slot = store->user_mode[4];
    EXPECT_TRUE(store->KrxUserModeSaved(4));
    EXPECT_EQ(std::memcmp(slot.bytes + 2, store->ram_para.data() + para::mode_copy_start, 3200), 0);
    EXPECT_EQ(store->ram_para.u16At(para::current_user_mode), 5);
    EXPECT_EQ(store->ram_para.u16At(para::save_user_mode), 0);
    const std::vector<unsigned char> file = readFile("/data/modes/custom_mode5");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[0], 0xAA);
    const size_t at = 2 + para::picture_saturation - para::mode_copy_start;
    EXPECT_EQ(file[at], 33);
    EXPECT_EQ(savedU16(para::current_user_mode), 5);
    EXPECT_EQ(savedU16(para::save_user_mode), 0);
}

TEST_F(Sync, ASaveRequestOutOfRangeIsClearedWithoutWriting) {
    store->ram_para.setU16(para::save_user_mode, 17);
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(store->ram_para.u16At(para::save_user_mode), 0);
    EXPECT_EQ(store->ram_para.u16At(para::current_user_mode), 0);
    for (int slot = 0; slot < KrxRamPara::kUserModes; ++slot)
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
    store->ram_para[para::language] = 1;
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(g_language, 0);  // nobody asked for the language

    store->ram_para[para::language] = 1;
    store->ram_para_shadow[para::language] = 0;
    g_page_focus = page::linkcom;
    SyncUpdate::pInstance()->para_sync(1);
    EXPECT_EQ(g_language, 1);
    EXPECT_EQ(SyncUpdate::screenInFront(), nullptr);
    g_page_focus = page::mainwindow;
    EXPECT_EQ(SyncUpdate::screenInFront(), g_mainwindow);
}

TEST_F(Sync, TheCurrentWindowFallsBackToWindowZeroWhenItIsSwitchedOff) {
    g_image_current = 2;
    store->ram_para.setU16(para::window_at(2) + para::win_enable, 0);
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
    g_page_focus = page::linkoption;
    u32 restartedAt = 0;
    PanelScript script;
    script.run([] { SyncUpdate::pInstance()->para_sync(1); })
        .waitUntil("the notice", [] { return g_tip->isVisible(); })
        .run([] { EXPECT_EQ(g_tip->kind(), TIP::kCheckMark); })
        .waitUntil("150 ticks", [] { return G_timeTicks >= 150; })
        .run([&] {
            restartedAt = G_timeTicks;
            SyncUpdate::pInstance()->para_sync(1);  // returns at once: no nested notice
            EXPECT_TRUE(g_tip->isVisible());
        })
        .waitUntil("the notice to close", [] { return !g_tip->isVisible(); })
        .run([&] {
            EXPECT_GE(G_timeTicks - restartedAt, static_cast<u32>(TIP::kShownTicks));
            EXPECT_EQ(g_tip_flag, 0);
        });
    EXPECT_TRUE(script.play(20000));
}

TEST_F(Sync, UsbNoticesBelongToTheUsbPages) {
    openWindows();
    startTick();
    g_page_focus = page::firmware_usbgrade;
    PanelScript script;
    script.run([] { SyncUpdate::pInstance()->para_sync(101); })
        .waitUntil("the notice", [] { return g_tip->isVisible(); })
        .run([] {
            EXPECT_EQ(g_tip->kind(), TIP::kUsbRemoved);
            g_tip->hide();
            g_tip_flag = 0;
        })
        .run([] {
            g_page_focus = page::option;
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

    g_krx_keys = 1;
    const size_t w1 = para::window_at(1);
    store->ram_para.setU16(w1 + para::win_enable, 1);
    store->ram_para.setU16(w1 + para::win_source, 3);
    store->ram_para.setU16(w1 + para::win_output, 0x3);
    g_image_current = 1;
    SyncUpdate::pInstance()->para_sync(1);
    SyncUpdate::pInstance()->para_sync(1);
    ASSERT_GE(sent.size(), 1u);
    const KeyLedReport expected = {0x02, 0x08, 0x03, 0x00, 0x00};
    EXPECT_EQ(sent.back(), expected);
    const size_t count = sent.size();
    store->ram_para.setU16(para::panel_lock, 1);
    SyncUpdate::pInstance()->para_sync(105);
    EXPECT_EQ(sent.size(), count + 1);
    EXPECT_EQ(sent.back()[3], 1);
    EXPECT_EQ(sent.back()[4], 1);
}

}  // namespace
