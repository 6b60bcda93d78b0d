// Window model and environment: the enabled window records of the live image become the
// chip's window slots with their rectangles, sources, layers and output bits, or, when a
// record cannot be shown, the default layout of the panel's arrangement; and each slot's
// input window (the part of the source it shows) and output window (where it lands inside
// its output channels).
#include <algorithm>
#include <cstdio>

#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"
#include "video/c331_window_plan.h"

namespace {

constexpr int kBanks = c331reg::kChannelBanks;
constexpr u32 kForcedBackground = 0xFF00;
constexpr int kDefaultPreset = 0;

}  // namespace

c331plan::PanelGrid c331_manage::panel_grid() const {
    c331plan::PanelGrid g;
    g.unitW = pnl.och.width;
    g.unitH = pnl.och.height;
    g.across = pnl.och_hnum;
    g.down = pnl.och_vnum;
    g.arrang = pnl.arrang;
    g.xoffs = pnl.xoffs;
    g.yoffs = pnl.yoffs;
    g.splice = pnl.splice;
    return g;
}

void c331_manage::print_log(const std::vector<std::string>& log) const {
    for (const std::string& line : log)
        c331_log("%s", line.c_str());
}

int c331_manage::slot_of(int imageWindow) const {
    if (imageWindow < 0 || imageWindow >= kWindows)
        return -1;
    return window_slot[imageWindow];
}

void c331_manage::reset_window_state() {
    std::fill(std::begin(ich_owner), std::end(ich_owner), -1);
    std::fill(std::begin(prev_win_num), std::end(prev_win_num), kWindows);
    for (int j = 0; j < kWindows; ++j) {
        std::fill(std::begin(prev_ich_list[j]), std::end(prev_ich_list[j]), -1);
        for (int r = 0; r < 5; ++r)
            fb_rec[j][r] = r;
        freeze_mark[j] = 0;
        PM_MEM_WMODE[j] = PS_MEM_WMODE;
    }
    forget_all_written();
}

void c331_manage::krxApi_MultiWinGet(ST_MWIN* out) {
    if (!out || !out->pwin)
        return;
    const ST_MWIN& preset = multi_win[kDefaultPreset];
    out->cnt = preset.cnt;
    std::copy(preset.pwin, preset.pwin + std::clamp(preset.cnt, 0, kWindows), out->pwin);
    krxApi_PreviewCh();
}

namespace {

// The manager's slot tables as the planner's model, and back.
c331plan::WindowModel model_of(const c331_manage& m) {
    c331plan::WindowModel model;
    model.cnt = m.wincnt;
    for (int j = 0; j < c331_manage::kWindows; ++j) {
        model.rect[j] = m.gMwin_rect[j];
        model.info[j] = m.gWininfo[j];
        c331plan::SlotExtra& e = model.extra[j];
        e.imageWindow = m.slot_window[j];
        e.cropEnabled = m.pm.PM_INPUT_OFFSET_EN[j];
        e.dbdMode = m.pm.PM_WIN_DBD_MODE[j];
        e.fadeIn = m.pm.PM_WIN_FADE_IN[j];
        e.fadeOut = m.pm.PM_WIN_FADE_OUT[j];
        e.switchEffect = m.win_switch_effect[j];
        e.hMirror = m.win_hmirror[j];
        e.vMirror = m.win_vmirror[j];
        model.slotOf[j] = m.window_slot[j];
    }
    return model;
}

}  // namespace

void c331_manage::krxApi_initEnvC331() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store) {
        krxApi_initEnvC331Default();
        return;
    }
    krxApi_MultiWinInit();
    std::vector<std::string> log;
    const ST_MWIN& preset = multi_win[kDefaultPreset];
    const c331plan::WindowModel model = c331plan::load_windows(
        store->ram_para, panel_grid(), model_of(*this), preset.pwin, preset.cnt, &log);
    print_log(log);
    gMwin.pwin = gMwin_rect;
    gMwin.cnt = wincnt = model.cnt;
    for (int j = 0; j < kWindows; ++j) {
        gMwin_rect[j] = model.rect[j];
        gWininfo[j] = model.info[j];
        const c331plan::SlotExtra& e = model.extra[j];
        slot_window[j] = j < model.cnt ? e.imageWindow : -1;
        window_slot[j] = model.slotOf[j];
        pm.PM_INPUT_OFFSET_EN[j] = e.cropEnabled;
        pm.PM_WIN_DBD_MODE[j] = e.dbdMode;
        pm.PM_WIN_FADE_IN[j] = e.fadeIn;
        pm.PM_WIN_FADE_OUT[j] = e.fadeOut;
        win_switch_effect[j] = e.switchEffect;
        if (j >= model.cnt)
            continue;
        g_chg_new[j] = 1;
        g_chg_attr[j] = 1;
        // A default window is not mirrored.
        win_hmirror[j] = model.fallback ? 0 : e.hMirror;
        win_vmirror[j] = model.fallback ? 0 : e.vMirror;
    }
}

void c331_manage::krxApi_initEnvC331Default() {
    krxApi_MultiWinInit();
    const ST_MWIN& preset = multi_win[kDefaultPreset];
    c331plan::WindowModel model = model_of(*this);
    c331plan::load_default(model, panel_grid(), preset.pwin, preset.cnt);
    gMwin.pwin = gMwin_rect;
    gMwin.cnt = wincnt = model.cnt;
    for (int j = 0; j < kWindows; ++j) {
        gMwin_rect[j] = model.rect[j];
        gWininfo[j] = model.info[j];
        window_slot[j] = -1;
        slot_window[j] = -1;
    }
}

// ---- input and output windows

void c331_manage::calc_iwin2(int slot) {
    if (slot < 0 || slot >= kWindows)
        return;
    c331plan::IwinInput in;
    in.hcnt = pm.PM_WIN_SHAPE[slot][0];
    in.vcnt = pm.PM_WIN_SHAPE[slot][1];
    in.port = pm.PM_INPUT[slot];
    in.dbdMode = pm.PM_WIN_DBD_MODE[slot];
    in.cropEnabled = pm.PM_INPUT_OFFSET_EN[slot];
    std::copy(pm.PM_INPUT_OFFSET[slot], pm.PM_INPUT_OFFSET[slot] + 4, in.crop);
    in.firstIch = ich_list[slot][0];
    for (int p = 0; p < kPorts; ++p) {
        in.ports[p].act = PI_ACT[p];
        in.ports[p].dbd = PI_ACT_FULL[p];
        in.ports[p].state = PI_PORT_INFO[p].STATE;
        in.ports[p].interlaced = PI_PORT_INFO[p].IP;
    }
    IWIN[slot] = c331plan::calc_iwin(in);
    const _ImageWindowDef_st& w = IWIN[slot];
    c331_log("calc_iwin2 IWIN[%d]  HST=%4d  HW=%4d  VST=%4d  VW=%4d\n", slot, w.HST, w.HW, w.VST,
             w.VW);
}

void c331_manage::calc_owin2(int slot) {
    if (slot < 0 || slot >= kWindows)
        return;
    c331plan::OwinInput in;
    in.ochW = pnl.och.width;
    in.ochH = pnl.och.height;
    in.hcnt = gWininfo[slot].och_hcnt;
    in.vcnt = gWininfo[slot].och_vcnt;
    std::copy(pm.PM_WIN_OFFSET[slot], pm.PM_WIN_OFFSET[slot] + 4, in.offset);
    in.dbdMode = pm.PM_WIN_DBD_MODE[slot];
    int leader = slot, partner = -1;
    in.stitched = check_stitching_win(&leader, &partner) != 0;
    OWIN[slot] = c331plan::calc_owin(in, IWIN[slot]);
}

// ---- backgrounds

void c331_manage::set_input_bkg2(int, int slot, int onoff) {
    if (slot < 0 || slot >= kWindows)
        return;
    c331_log("[set_input_bkg2] win_%d, onoff:%d\n", slot, onoff);
    int v = 1;
    if (!onoff) {
        const int port = pm.PM_INPUT[slot];
        const bool noInput = port < 0 || port >= kPorts || PI_PORT_INFO[port].STATE == 0;
        v = krxApi_IsPatternGen() ? 0 : (noInput ? 1 : 0);
    }
    int enable = v;
    if (pm.PM_WIN_DBD_MODE[slot] != 0)
        enable = 0;
    else if (g_force_bkcolor == 1)
        enable = 1;
    const bool black = gWininfo[slot].output & 1;
    for (int c = 0; c < kOutputChannels; ++c) {
        if (pm.PM_WIN_NUM[c] != slot)
            continue;
        wr_changed(c331reg::kBackgroundColour, g_force_bkcolor == 1 ? kForcedBackground : 0,
                   kBanks * c);
        wr_changed(c331reg::kBackgroundEnable, black ? 1u : static_cast<u32>(enable), kBanks * c);
    }
}
