// Window attributes of the shown window slots: layer priority and overlay order, the
// output word (black, freeze, source-switch effect, dot-by-dot), dot-by-dot mode, mirror
// and crop source. The apply cycle passes slots (slot_of of the image window).
#include <algorithm>
#include <cstdio>

#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_window_plan.h"

namespace {

constexpr int kLayers = 6;
constexpr int kTopPriority = 5;
constexpr int kDbdOutput = 0x100;

const char* dbd_name(int dbdMode) {
    static const char* const kNames[] = {
        "DBD_SINGLE_INPUT", "DBD_CMOS_IN12",  "DBD_CMOS_IN12V",  "DBD_CMOS_IN34",
        "DBD_CMOS_IN34V",   "DBD_CMOS_IN123", "DBD_CMOS_IN1234", "DBD_CMOS_IN1234Q",
        "DBD_VBO_IN12",     "DBD_VBO_IN12V",
    };
    return dbdMode >= 0 && dbdMode <= 9 ? kNames[dbdMode] : nullptr;
}

// The image's record of the window a slot shows, or null.
const RamParaImage* live_image() {
    const KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    return store ? &store->ram_para : nullptr;
}

}  // namespace

void c331_manage::c331_SetWinPriority(int w, int value) {
    if (w < 0 || w >= kWindows)
        return;
    const int layer = ((value % kLayers) + kLayers) % kLayers;
    c331_log("[c331_SetWinPriority] win_%d, pri_%d\n", w, layer);
    gWininfo[w].layer = static_cast<u8>(layer);
}

void c331_manage::c331_SetWinPriority1(int fd) {
    c331_log("[c331_SetWinPriority1] wincnt:%d\n", wincnt);
    for (int w = 0; w < kWindows; ++w) {
        if (w >= wincnt) {
            pm.PM_WIN_PRIORITY[w] = 0;
            continue;
        }
        c331_log("\t win_%d, krx_layer_%d ==> ", w, gWininfo[w].layer);
        pm.PM_WIN_PRIORITY[w] = kTopPriority - gWininfo[w].layer;
        c331_log("layer_%d\n", pm.PM_WIN_PRIORITY[w]);
    }
    update_overlay_info();
    set_overlay(fd);
    reset_layer_coef(fd, 0);
}

void c331_manage::c331_SetInputsourceCrop(int w, int cropIdx) {
    if (w < 0 || w >= std::min(wincnt, kWindows)) {
        c331_log("[%s] win:%d oor\n", "c331_SetInputsourceCrop", w);
        return;
    }
    const RamParaImage* image = live_image();
    if (cropIdx < 0 || cropIdx >= para::crop_count || !image) {
        c331_log("\t !!!!!!!!!cropIdx OOR,return !!!!!!!!!!!!!");
        return;
    }
    gWininfo[w].crop = static_cast<u8>(cropIdx);
    gWininfo[w].input = static_cast<u8>((*image)[para::crop_at(cropIdx)] & 0x0F);
}

void c331_manage::c331_SetWinOutput(int fd, u8 w, int value) {
    const int slot = static_cast<u8>(w);
    if (slot >= kWindows)
        return;
    if (slot >= wincnt)
        c331_log("[c331_SetWinOutput], win OOR");
    ST_WIN_INFO& win = gWininfo[slot];
    const int now = value & 3;
    const int old = win.output;
    if ((now ^ old) & 1) {
        win.output = static_cast<u8>((win.output & ~1) | (now & 1));
        set_input_bkg2(fd, slot, now & 1);
        c331_log("\t change win_%d output:%s\n", slot, (now & 1) ? "Black" : "Normal");
    }
    if ((now ^ old) & 2) {
        win.output = static_cast<u8>(win.output & ~2);
        const int port = pm.PM_INPUT[slot];
        // A port that never had a signal has no no-signal flag raised, but nothing to freeze.
        const bool noSignal = port < 0 || port >= kPorts || PI_PORT_INFO[port].NOSIG == 1 ||
                              PI_PORT_INFO[port].STATE == 0;
        if (noSignal) {
            c331_log("\t change win_%d no signal, disable freeze\n", slot);
        } else {
            win.output = static_cast<u8>(win.output | (now & 2));
            win_freeze_sel(fd, slot, now);
            c331_log("\t change win_%d freeze:%s\n", slot, (now & 2) ? "Freeze" : "Normal");
            return;
        }
    }
    const int effect = (value >> 2) & 1;
    if (effect != win_switch_effect[slot])
        c331_log("\t change win_%d switch effect:%d\n", slot, effect);
    win_switch_effect[slot] = effect;
    const int before = pm.PM_WIN_DBD_MODE[slot];
    if (value & kDbdOutput) {
        const RamParaImage* image = live_image();
        const int w0 = slot_window[slot];
        const int mode =
            image && w0 >= 0 ? image->u16At(para::window_at(w0) + para::win_dbd_mode) : 0;
        pm.PM_WIN_DBD_MODE[slot] = c331plan::dbd_chip_code(mode);
    } else {
        pm.PM_WIN_DBD_MODE[slot] = 0;
        c331_log("\t change win_%d DBD_MODE: DBD_DISABLE\n", slot);
    }
    // A dot-by-dot change needs other input channels: the slot is set up anew.
    if (pm.PM_WIN_DBD_MODE[slot] != before)
        g_chg_new[slot] = 1;
    else
        g_chg_win[slot] = 1;
    set_output(fd);
}

void c331_manage::c331_SetWinDbdMode(int fd, int w, int value) {
    if (w < 0 || w >= std::min(wincnt, kWindows))
        return;
    const char* name = dbd_name(value);
    if (name)
        c331_log("\t %s\n", name);
    else
        c331_log("\t !!!!!!!!DBD_MODE OOR!!!!!!!, set it to DBD_SINGLE_INPUT");
    // The mode takes effect only while dot-by-dot is on for the window.
    const RamParaImage* image = live_image();
    const int w0 = slot_window[w];
    if (!image || w0 < 0 || !(image->u16At(para::window_at(w0) + para::win_output) & kDbdOutput))
        return;
    pm.PM_WIN_DBD_MODE[w] = c331plan::dbd_chip_code(value);
    g_chg_new[w] = 1;
    set_output(fd);
}

void c331_manage::c331_SetWinAttr(int w, int value) {
    if (w < 0 || w >= std::min(wincnt, kWindows))
        return;
    c331_log("[c331_SetWinAttr] win:%d, data:%x\r\n", w, value);
    gWininfo[w].rotate = static_cast<u8>(value & 3);
    win_hmirror[w] = value & 1;
    win_vmirror[w] = (value >> 1) & 1;
    g_chg_attr[w] = 1;
    set_output(c331_fd);
}
