#include "tests/ui/panel_test.h"

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>

#include "board/sim/sim.h"

#include "screens/sources/custommode.h"
#include "tests/ui/panel_script.h"
#include "ui/check_hiddev.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/menuscreen.h"
#include "ui/numberkeyboard.h"
#include "ui/pages.h"
#include "ui/syncupdate.h"
#include "ui/tip.h"

namespace test {

namespace {

RamParaImage& defaults() {
    static RamParaImage image;
    return image;
}

template <class T>
void drop(T*& pointer) {
    delete pointer;
    pointer = nullptr;
}

}  // namespace

void UiTest::SetUp() {
    SimTest::SetUp();
    sim::setSleepDivisor(100);
    std::filesystem::create_directories(rooted("/data/modes"));
    std::filesystem::create_directories(rooted("/data/configs"));
    g_debugSwitch = 0;
    g_lcd_lang_valid = 0x1001F;
    static bool loaded = false;
    if (!loaded) {
        KrxRamPara::pInstance();
        defaults() = KrxRamPara::p_krxrampara_config->ram_para;
        loaded = true;
    }
    store = KrxRamPara::p_krxrampara_config;
    store->ram_para = defaults();
    store->ram_para_shadow = defaults();
    for (UserModeSlot& slot : store->user_mode) {
        slot.bytes[0] = 0xFF;
        slot.bytes[1] = 0xFF;
    }
    c331_manage::para_update = 0;
    g_page_focus = 0;
    g_image_current = 0;
    g_language = 0;
    g_krx_keys = 0;
    g_mode_shortcut_key = 0;
    g_mode_select = 0;
    g_tip_flag = 0;
    g_update_flag = 0;
    g_app_reset_flag = 0;
    pc_cmd_valid = 0;
    G_timeTicks = 0;
    G_reboot_tickTicks = 0;
    G_factoryage_ticks = 0;
    SyncUpdate::setKeyLedWriter(writeKeyLedReport);
    QObject::connect(store, &KrxRamPara::sig_update_para, SyncUpdate::pInstance(),
                     &SyncUpdate::para_sync, Qt::UniqueConnection);
}

void UiTest::TearDown() {
    unwindPanel();
    if (g_timer) {
        g_timer->stop();
        drop(g_timer);
    }
    if (g_custommode) {
        g_custommode->hide();
        drop(g_custommode);
    }
    drop(g_lockwindow);
    drop(g_mainwindow);
    drop(g_numberkeyboard);
    drop(g_tip);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    SimTest::TearDown();
}

void UiTest::openWindows() {
    g_mainwindow = new MainWindow(nullptr);
    g_lockwindow = new LockWindow(nullptr);
    g_mainwindow->show();
    g_page_focus = 0;
    g_lockwindow->show();
}

void UiTest::startTick() {
    g_timer = new QTimer(nullptr);
    QObject::connect(g_timer, &QTimer::timeout, g_mainwindow, &MainWindow::slot_update_timer_ticks);
    g_timer->start(1);
}

std::vector<size_t> UiTest::applyPending() {
    std::vector<size_t> differing;
    ParaLock lock;
    const u8 reason = c331_manage::para_update;
    if (reason == 0)
        return differing;
    for (size_t at = 768; at < 4096; at += 2)
        if (!store->ram_para.sameU16(store->ram_para_shadow, at))
            differing.push_back(at);
    std::thread worker([this, reason] { store->test_signal(reason); });
    worker.join();
    c331_manage::para_update = 0;
    return differing;
}

}  // namespace test
