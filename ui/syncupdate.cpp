#include "ui/syncupdate.h"

#include <pthread.h>

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "screens/cardtools/rcv_recovery.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/maintenance/factory.h"
#include "screens/maintenance/factoryage.h"
#include "screens/maintenance/firmware_usbgrade.h"
#include "screens/maintenance/othersetup.h"
#include "screens/maintenance/test_chart.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/ledset.h"
#include "screens/settings/linkoption.h"
#include "screens/settings/linkwlan.h"
#include "screens/settings/machinestate.h"
#include "screens/settings/netset.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"
#include "screens/sources/custommode.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/option.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/tip.h"
#include "video/c331_manage.h"

SyncUpdate* SyncUpdate::p_SyncUpdate = nullptr;

namespace {

// The screens the relay refreshes, by page; a screen is called only while its global
// pointer is set. Pages that are not listed have no screen yet and get nothing.
struct PageScreen {
    u8 page;
    QWidget* (*screen)();
    void (*refresh)(int reason);
};

const PageScreen kPages[] = {
    {page::home, [] { return static_cast<QWidget*>(g_lockwindow); },
     [](int) { g_lockwindow->syncUpdate(); }},
    {page::mainwindow, [] { return static_cast<QWidget*>(g_mainwindow); },
     [](int) { g_mainwindow->syncUpdate(); }},
    {page::custommode, [] { return static_cast<QWidget*>(g_custommode); },
     [](int) { g_custommode->syncUpdate(); }},
    {page::option, [] { return static_cast<QWidget*>(g_option); },
     [](int) { g_option->syncUpdate(); }},
    {page::outputset, [] { return static_cast<QWidget*>(g_outputset); },
     [](int) { g_outputset->syncUpdate(); }},
    {page::machinestate, [] { return static_cast<QWidget*>(g_machinestate); },
     [](int reason) { g_machinestate->syncUpdate(reason); }},
    {page::linkoption, [] { return static_cast<QWidget*>(g_linkoption); },
     [](int) { g_linkoption->syncUpdate(); }},
    {page::imagequality, [] { return static_cast<QWidget*>(g_imagequality); },
     [](int) { g_imagequality->syncUpdate(); }},
    {page::advancedoption, [] { return static_cast<QWidget*>(g_advancedoption); },
     [](int) { g_advancedoption->syncUpdate(); }},
    {page::ledset, [] { return static_cast<QWidget*>(g_ledset); },
     [](int) { g_ledset->syncUpdate(); }},
    {page::netset, [] { return static_cast<QWidget*>(g_netset); },
     [](int) { g_netset->syncUpdate(); }},
    {page::quality, [] { return static_cast<QWidget*>(g_quality); },
     [](int) { g_quality->syncUpdate(); }},
    {page::temperature, [] { return static_cast<QWidget*>(g_temperature); },
     [](int) { g_temperature->syncUpdate(); }},
    {page::linkwlan, [] { return static_cast<QWidget*>(g_linkwlan); },
     [](int) { g_linkwlan->syncUpdate(); }},
    {page::firmware_usbgrade, [] { return static_cast<QWidget*>(g_firmware_usbgrade); },
     [](int reason) { g_firmware_usbgrade->syncUpdate(reason); }},
    {page::smartmapping, [] { return static_cast<QWidget*>(g_smartmapping); },
     [](int reason) { g_smartmapping->syncUpdate(reason); }},
    {page::rcv_recovery, [] { return static_cast<QWidget*>(g_rcv_recovery); },
     [](int reason) { g_rcv_recovery->syncUpdate(reason); }},
    {page::test_chart, [] { return static_cast<QWidget*>(g_test_chart); },
     [](int) { g_test_chart->syncUpdate(); }},
    {page::othersetup, [] { return static_cast<QWidget*>(g_othersetup); },
     [](int) { g_othersetup->syncUpdate(); }},
    {page::factory, [] { return static_cast<QWidget*>(g_factory); },
     [](int) { g_factory->syncUpdate(); }},
    {page::factoryage, [] { return static_cast<QWidget*>(g_factoryage); },
     [](int) { g_factoryage->syncUpdate(); }},
};

const PageScreen* pageScreen(u8 page) {
    for (const PageScreen& entry : kPages)
        if (entry.page == page)
            return &entry;
    return nullptr;
}

// Pages whose screens keep no refresh of their own: the relay only checks the language.
bool languageOnly(u8 page) {
    return page == page::lcdshow || page == page::linkcom || page > page::last;
}

// The apply lock, taken only when it comes free soon. The user-interface thread may hold
// it itself around a modal notice, and the refresh must not wait for that.
class TryParaLock {
public:
    TryParaLock() {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (pthread_mutex_trylock(&c331_manage::para_mutex) == 0) {
                held_ = true;
                return;
            }
            board::usleep(1000);
        }
    }
    ~TryParaLock() {
        if (held_)
            pthread_mutex_unlock(&c331_manage::para_mutex);
    }
    TryParaLock(const TryParaLock&) = delete;
    TryParaLock& operator=(const TryParaLock&) = delete;
    explicit operator bool() const { return held_; }

private:
    static constexpr int kAttempts = 50;
    bool held_ = false;
};

SyncUpdate::KeyLedWriter& keyLedWriter() {
    static SyncUpdate::KeyLedWriter writer = writeKeyLedReport;
    return writer;
}

}  // namespace

SyncUpdate::SyncUpdate() {
    setObjectName("SyncUpdate");
}

SyncUpdate* SyncUpdate::pInstance() {
    if (!p_SyncUpdate)
        p_SyncUpdate = new SyncUpdate();
    return p_SyncUpdate;
}

void SyncUpdate::setKeyLedWriter(KeyLedWriter writer) {
    keyLedWriter() = std::move(writer);
}

QWidget* SyncUpdate::screenInFront() {
    const PageScreen* entry = pageScreen(g_page_focus);
    return entry ? entry->screen() : nullptr;
}

void SyncUpdate::para_sync(int reason) {
    resetCurrentWindow();
    if (reason == sync_reason::remote_upgrade_start)
        remoteUpgrade_ = true;
    else if (reason == sync_reason::remote_upgrade_end)
        remoteUpgrade_ = false;
    if (g_krx_keys)
        update_usb_keyLed();
    if (reason == sync_reason::remote_upgrade_start || reason == sync_reason::remote_upgrade_end)
        return;
    refreshScreenInFront(reason);
    showNotice(reason);
    serveModeSave();
    if (reason == sync_reason::mode_files)
        checkModeFiles();
    saveImage();
}

void SyncUpdate::resetCurrentWindow() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store || g_page_focus == 9)
        return;
    const u8 window = g_image_current;
    if (window >= para::window_count ||
        store->ram_para.u16At(para::window_at(window) + para::win_enable) == 0)
        g_image_current = 0;
}

void SyncUpdate::refreshScreenInFront(int reason) {
    const u8 page = g_page_focus;
    if (const PageScreen* entry = pageScreen(page)) {
        if (entry->screen())
            entry->refresh(reason);
        return;
    }
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (languageOnly(page) && store)
        store->KrxLanguageChanged();
}

void SyncUpdate::showNotice(int reason) {
    if (!g_tip)
        return;
    const u8 page = g_page_focus;
    if (page == page::linkoption) {
        g_tip->tip_create(TIP::kCheckMark);
        return;
    }
    if (page != page::smartmapping && page != page::firmware_usbgrade)
        return;
    if (reason == sync_reason::usb_added)
        g_tip->tip_create(TIP::kUsbConnected);
    else if (reason == sync_reason::usb_removed)
        g_tip->tip_create(TIP::kUsbRemoved);
    else if (reason == sync_reason::usb_ready)
        g_tip->tip_create(TIP::kUsbReading);
}

void SyncUpdate::serveModeSave() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    int slot = -1;
    {
        TryParaLock lock;
        if (!lock)
            return;
        const u16 mode = store->ram_para.u16At(para::save_user_mode);
        if (mode == 0)
            return;
        store->ram_para.setU16(para::save_user_mode, 0);
        if (mode > KrxRamPara::kUserModes)
            return;
        slot = mode - 1;
        UserModeSlot& saved = store->user_mode[slot];
        saved.bytes[0] = 0xAA;
        saved.bytes[1] = 0xAA;
        std::memcpy(saved.bytes + 2, store->ram_para.data() + para::mode_copy_start,
                    RamParaImage::kSize - para::mode_copy_start);
        store->ram_para.setU16(para::current_user_mode, mode);
    }
    store->mode_file_write(slot, 0);
}

void SyncUpdate::checkModeFiles() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    for (int slot = 0; slot < KrxRamPara::kUserModes; ++slot) {
        if (store->KrxUserModeSaved(slot))
            store->mode_file_write(slot, 2);
        else
            store->mode_file_deal(slot, 1);
    }
}

void SyncUpdate::saveImage() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    RamParaImage snapshot;
    {
        TryParaLock lock;
        // A change still waiting for its apply must not be hidden from the video thread by
        // a shadow that already holds it: the refresh of that apply saves it.
        if (!lock || c331_manage::para_update != 0)
            return;
        const size_t saved = para::runtime_end;
        const bool changed =
            std::memcmp(store->ram_para.data() + saved, store->ram_para_shadow.data() + saved,
                        RamParaImage::kSize - saved) != 0;
        if (!changed && !savePending_)
            return;
        snapshot = store->live_copy();
        store->ram_para_shadow = snapshot;
    }
    savePending_ = store->ram_para_file_write(snapshot) != 0;
    if (savePending_ && debugOn())
        std::printf("\n save %s failed, kept for the next refresh \n", KrxRamPara::kFile);
}

KeyLedReport SyncUpdate::keyLedReport() const {
    KeyLedReport report{};
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return report;
    const u8 window = g_image_current;
    if (window < 4)
        report[0] = static_cast<u8>(1u << window);
    if (window < para::window_count) {
        short isCrop = 0;
        u8 cropIndex = 0;
        const int input =
            store->KrxGetImageSource(store->ram_para.data(), window, &isCrop, &cropIndex, 0);
        if (input >= 0 && input < 4)
            report[1] = static_cast<u8>(1u << input);
        const u16 output = store->ram_para.u16At(para::window_at(window) + para::win_output);
        report[2] = static_cast<u8>(((output >> 1) & 1) | ((output & 1) << 1));
    }
    report[3] = store->ram_para.u16At(para::panel_lock) != 0 ? 1 : 0;
    report[4] = (g_update_flag || remoteUpgrade_) ? 1 : 0;
    return report;
}

void SyncUpdate::update_usb_keyLed() {
    if (!g_krx_keys)
        return;
    const KeyLedReport report = keyLedReport();
    if (reportSent_ && report == lastReport_)
        return;
    if (!keyLedWriter() || !keyLedWriter()(report))
        return;
    lastReport_ = report;
    reportSent_ = true;
}
