// The window output pass: after a window, source or layout change, input channels are
// allocated, every changed slot's input side (capture, shrink, frame memory) and output
// side (output areas, memory reads, zoom) are programmed, then the overlay order and layer
// blend, all behind a freeze of the changed windows or, when one window alone changes its
// source and asks for it, a fade.
#include <algorithm>
#include <cstdio>

#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"
#include "video/c331_window_plan.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;
constexpr int kNarrowWidth = 2176;  // widest picture memory mode 2 zooms vertically
constexpr int kOne = 65536;
constexpr int kRtctHold = 2;
constexpr int kRtctRun = 1;

u32 at(u32 desc, int step) {
    return desc + (static_cast<u32>(step) << 8);
}

// The vertical zoom kernel of the output scaler, 24 taps.
constexpr u8 kVzoomTable[24] = {0,   0,   0,   0, 0, 0,  0,  0,  0,  255, 254, 253,
                                252, 252, 253, 0, 5, 13, 24, 35, 46, 56,  62,  64};
constexpr u8 kVzoomOff = 0x40;

// Output-channel stitching codes by the slot's stitching type.
u32 stitch_code(int type) {
    switch (type) {
        case 1:
            return 0x80;
        case 2:
            return 0x01;
        case 3:
            return 0x11;
        default:
            return 0;
    }
}

}  // namespace

bool c331_manage::window_shown(int slot) const {
    return slot >= 0 && slot < kWindows && pm.PM_WIN_SHAPE[slot][0] != 0 &&
           pm.PM_WIN_SHAPE[slot][1] != 0;
}

// ---- stitching (every slot stitches to itself unless the parameter set pairs it)

int c331_manage::check_stitching_win(int* slot, int* partner) {
    if (!slot || !partner || *slot < 0 || *slot >= kWindows)
        return 0;
    *partner = -1;
    auto partnerOf = [this](int leader) {
        for (int j = 0; j < kWindows; ++j)
            if (j != leader && PM_WIN_STITCHING[j] == leader)
                return j;
        return -1;
    };
    if (PM_WIN_STITCHING[*slot] == *slot) {
        *partner = partnerOf(*slot);
        return *partner >= 0 ? 1 : 0;
    }
    const int leader = PM_WIN_STITCHING[*slot];
    if (leader < 0 || leader >= kWindows)
        return 0;
    *slot = leader;
    *partner = partnerOf(leader);
    return *partner >= 0 ? 2 : 0;
}

void c331_manage::check_stitching_chg() {
    for (int j = 0; j < kWindows; ++j) {
        if (g_chg_stitch[j] || g_chg_stitch_load[j])
            g_chg_win[j] = 1;
        g_chg_stitch_load[j] = 0;
    }
}

void c331_manage::set_oscwct(int, int och) {
    if (och < 0 || och >= kOutputChannels)
        return;
    int slot = pm.PM_WIN_NUM[och];
    int partner = -1;
    const int type = slot >= 0 && slot < kWindows ? check_stitching_win(&slot, &partner) : 0;
    wr_changed(at(c331reg::kOutputStitch, och), stitch_code(type));
}

void c331_manage::set_iscwct(int, int slot) {
    if (slot < 0 || slot >= kWindows)
        return;
    int leader = slot, partner = -1;
    const u32 code = stitch_code(check_stitching_win(&leader, &partner));
    for (int i = 0; i < kInputChannels && ich_list[slot][i] >= 0; ++i)
        wr_changed(at(c331reg::kInputLink, ich_list[slot][i]), code);
}

void c331_manage::set_lut_vzoom_4sym(int, int on, int och) {
    if (och < 0 || och >= kOutputChannels)
        return;
    const int o = kBanks * och;
    for (int i = 0; i < 24; ++i) {
        const u32 value = on ? kVzoomTable[i] : (i == 0 ? kVzoomOff : 0);
        wr_changed(at(c331reg::kVZoomTable, i), value, o);
    }
}

// ---- the two sides of a slot

void c331_manage::set_display_window_ich(int dev, _ImageWindowDef_st iwin, _ImageWindowDef_st owin,
                                         int slot) {
    const int ich0 = first_ich(slot);
    const int port = slot >= 0 && slot < kWindows ? pm.PM_INPUT[slot] : -1;
    if (ich0 < 0 || port < 0 || port >= kPorts)
        return;
    int n = 0;
    while (n < kInputChannels && ich_list[slot][n] >= 0)
        ++n;
    const int state = PI_PORT_INFO[port].STATE;
    const int pairMode = n > 1 && state < 3 ? (port_needs(port).lanes < 5 ? 2 : 1) : 0;
    PM_MEM_WMODE[slot] = PS_MEM_WMODE;
    int leader = slot, partner = -1;
    check_stitching_win(&leader, &partner);
    set_ichsel(dev, slot);
    set_idual(dev, ich0, pairMode != 0, port);

    c331plan::InputSideInput in;
    in.iwin = iwin;
    in.owin = owin;
    std::copy(ich_list[slot], ich_list[slot] + kInputChannels, in.ichs);
    in.port.act = PI_ACT[port];
    in.port.dbd = PI_ACT_FULL[port];
    in.port.state = state;
    in.port.interlaced = PI_PORT_INFO[port].IP;
    std::copy(PS_MEM_BLOCK[ich0], PS_MEM_BLOCK[ich0] + 5, in.bases);
    in.writeMode = PM_MEM_WMODE[slot];
    in.pitch = PS_LINE_PITCH;
    // A window frozen from the panel keeps its input channel holding its frame.
    const u32 frozen = (gWininfo[slot].output & 2) ? 2u : 1u;
    for (const c331plan::CaptureProgramme& c : c331plan::plan_input_side(in)) {
        const int o = kBanks * c.ich;
        wr_changed(c331reg::kInputControl, c.ich == ich0 ? frozen : c.control, o);
        wr_changed(c331reg::kCaptureHStart, c.hStart, o);
        wr_changed(c331reg::kCaptureWidth, c.width, o);
        wr_changed(c331reg::kCaptureVStart, c.vStart, o);
        wr_changed(c331reg::kCaptureHeight, c.height, o);
        const bool hShrink = c.hShrink < static_cast<u32>(kOne);
        const bool vShrink = c.vShrink < static_cast<u32>(kOne);
        for (u32 desc : c331reg::kShrinkSetup)
            wr_changed(desc, 0, o);
        wr_changed(c331reg::kHShrinkOn, hShrink, o);
        wr_changed(c331reg::kHShrinkRatio, hShrink ? c.hShrink : 0, o);
        wr_changed(c331reg::kVShrinkOn, vShrink, o);
        wr_changed(c331reg::kVShrinkRatio, vShrink ? c.vShrink : 0, o);
        for (int b = 0; b < 5; ++b)
            wr_changed(at(c331reg::kWriteBase, 4 * b), c.base[b], o);
        wr_changed(c331reg::kWritePitch, static_cast<u32>(PS_LINE_PITCH), o);
        wr_changed(c331reg::kWriteMode, static_cast<u32>(PM_MEM_WMODE[slot]), o);
        wr_changed(c331reg::kMemoryControl, c331plan::memory_control_word(fb_rec[slot]), o);
    }
    const int hs = c331plan::input_shrink(iwin.HW, owin.HW);
    const int vs = c331plan::input_shrink(iwin.VW, owin.VW);
    set_lut_hshrnk(dev, hs, ich0, n > 1);
    set_lut_vshrnk_4sym(dev, vs, ich0, n > 1);
    set_iscwct(dev, slot);
    set_mct(dev, slot, 0);
    set_ip(dev, ich0);
}

void c331_manage::set_display_window_och(int dev, _ImageWindowDef_st iwin, _ImageWindowDef_st owin,
                                         int slot) {
    int partner = -1;
    if (check_stitching_win(&slot, &partner) == 2) {
        iwin = IWIN[slot];
        owin = OWIN[slot];
    }
    const int ich0 = first_ich(slot);
    // A slot without an input channel has no picture to read.
    if (ich0 < 0)
        return;
    const int mode = pm.PM_WIN_DBD_MODE[slot];
    const int port = pm.PM_INPUT[slot];
    if (mode == 1 && (port < 0 || port >= kPorts || PI_PORT_INFO[port].STATE == 0))
        return;
    c331plan::OutputSideInput in;
    in.iwin = iwin;
    in.owin = owin;
    in.ochW = pnl.och.width;
    in.ochH = pnl.och.height;
    in.hcnt = gWininfo[slot].och_hcnt;
    in.vcnt = gWininfo[slot].och_vcnt;
    get_och(slot, in.och);
    in.firstIch = ich0;
    const bool dbd = mode != 0;
    const u32* bases = dbd ? win_mem_base[slot] : PS_MEM_BLOCK[ich0];
    std::copy(bases, bases + 5, in.bases);
    in.writeMode = PM_MEM_WMODE[slot];
    in.pitch = dbd ? win_mem_line[slot] : PS_LINE_PITCH;
    in.hMirror = win_hmirror[slot];
    in.vMirror = win_vmirror[slot];
    in.noVzoom = no_vzoom[slot];
    in.hOffset = PS_ACTHST;
    in.vOffset = PS_ACTVST;
    in.hOffset2 = PS_OAOIHST;
    in.vOffset2 = PS_OAOIVST;
    for (const c331plan::ChannelProgramme& p : c331plan::plan_output_side(in)) {
        const int o = kBanks * p.och;
        wr_changed(c331reg::kOutputControl, p.control, o);
        for (int b = 0; b < 5; ++b)
            wr_changed(at(c331reg::kReadStart, 4 * b), p.readStart[b], o);
        wr_changed(c331reg::kReadPitch, p.pitch, o);
        wr_changed(c331reg::kOutHStart, p.hStart, o);
        wr_changed(c331reg::kOutHSize, p.hSize, o);
        wr_changed(c331reg::kOutVStart, p.vStart, o);
        wr_changed(c331reg::kOutVSize, p.vSize, o);
        wr_changed(c331reg::kOutHMirror, p.hMirror, o);
        wr_changed(c331reg::kOutHEnd, p.hEnd, o);
        wr_changed(c331reg::kOutVEnd, p.vEnd, o);
        wr_changed(c331reg::kHZoomControl, p.hZoomCtl, o);
        wr_changed(c331reg::kHZoomPhase, p.hPhase, o);
        wr_changed(at(c331reg::kHZoomPhase, 1), p.hPhase, o);
        wr_changed(c331reg::kHZoomRatio, p.hZoom, o);
        wr_changed(c331reg::kVZoomControl, p.vZoomCtl, o);
        for (int i = 0; i < 3; ++i)
            wr_changed(at(c331reg::kVZoomPhase, i), p.vPhase, o);
        wr_changed(c331reg::kVZoomRatio, p.vZoom, o);
        set_oscwct(dev, p.och);
        set_lut_vzoom_4sym(dev, p.vZoomTable, p.och);
    }
}

// ---- the pass

void c331_manage::set_output_inputs() {
    for (int j = 0; j < kWindows; ++j) {
        const int i = g_chg_input[j];
        const bool noIch = first_ich(j) < 0;
        if (!(i == 1 || i == 3 || g_chg_new[j] || (g_chg_win[j] && noIch)))
            continue;
        if (set_input(j, pm.PM_INPUT[j]) == 2)
            g_chg_input[j] = g_chg_new[j] = 0;
    }
}

// How many slots change only their source with a fade (the last of them in `fading`).
int c331_manage::fade_count(int& fading) {
    int count = 0;
    bool forced = false;
    fading = -1;
    for (int j = 0; j < kWindows; ++j) {
        const int i = g_chg_input[j];
        if (i == 1 && win_switch_effect[j]) {
            ++count;
            fading = j;
        }
        forced = forced || i == 2 || i == 3 || g_chg_new[j] == 1 ||
                 (i == 1 && !win_switch_effect[j]) || g_chg_win[j] == 1;
    }
    return forced ? 0 : count;
}

void c331_manage::set_output_windows(int dev) {
    for (int& byte : no_vzoom)
        byte = 1;
    for (int j = 0; j < kWindows; ++j) {
        if (!g_chg_input[j] && !g_chg_new[j] && !g_chg_win[j])
            continue;
        calc_iwin2(j);
        calc_owin2(j);
        if (pm.PM_WIN_DBD_MODE[j] != 0) {
            set_display_window_ich_dbd(dev, j, pm.PM_WIN_DBD_MODE[j]);
            continue;
        }
        _ImageWindowDef_st owin = OWIN[j];
        if (mem_mode == 2 && IWIN[j].VW < OWIN[j].VW) {
            no_vzoom[j] = 0;
            if (IWIN[j].HW > kNarrowWidth && OWIN[j].HW > kNarrowWidth)
                owin.HW = kNarrowWidth;
        }
        set_display_window_ich(dev, IWIN[j], owin, j);
    }
}

void c331_manage::release_dbd_memory() {
    for (int j = 0; j < kWindows; ++j) {
        const int mode = pm.PM_WIN_DBD_MODE[j];
        if (mode == 0 || (mode == 1 && !check_dbd_input(c331_fd, pm.PM_INPUT[j])))
            reset_dbd_mem(j);
    }
}

void c331_manage::clear_change_flags() {
    for (int j = 0; j < kWindows; ++j)
        g_chg_win[j] = g_chg_input[j] = g_chg_new[j] = g_chg_attr[j] = g_chg_stitch[j] = 0;
}

void c331_manage::set_output(int dev) {
    ++output_passes;
    for (int j = 0; j < kWindows; ++j)
        reset_ich(j);
    set_output_inputs();
    int fading = -1;
    const int count = fade_count(fading);
    check_stitching_chg();
    // One decision for both ends: what the pass froze it releases, what it faded out it
    // fades in.
    const bool fade = !g_chg_overlay && count == 1;
    if (fade)
        set_layer_coef(dev, fading, pm.PM_WIN_FADE_OUT[fading], 0);
    else
        set_freeze(dev, 1);
    set_output_windows(dev);
    reset_act(dev, 0);
    wait1_pivs2(dev);
    wait1_pivs2(dev);
    set_rtct(dev, kRtctHold);
    for (int j = 0; j < kWindows; ++j) {
        if (!g_chg_input[j] && !g_chg_new[j] && !g_chg_win[j] && !g_chg_attr[j])
            continue;
        _ImageWindowDef_st iwin = IWIN[j];
        if (mem_mode == 2 && no_vzoom[j] == 0 && IWIN[j].HW > kNarrowWidth &&
            OWIN[j].HW > kNarrowWidth)
            iwin.HW = kNarrowWidth;
        if (window_shown(j) && first_ich(j) < 0) {
            // Shown without an input channel: its channels show the background.
            set_input_bkg2(dev, j, 1);
            continue;
        }
        set_display_window_och(dev, iwin, OWIN[j], j);
        set_input_bkg2(dev, j, 0);
    }
    if (g_chg_overlay || g_chg_stitching) {
        update_overlay_info();
        set_overlay(dev);
        reset_layer_coef(dev, 0);
        g_chg_overlay = g_chg_stitching = 0;
    }
    reset_act(dev, 1);
    if (fade)
        set_layer_coef(dev, fading, pm.PM_WIN_FADE_IN[fading], 1);
    else
        set_freeze(dev, 0);
    set_rtct(dev, kRtctRun);
    std::copy(pm.PM_WIN_NUM, pm.PM_WIN_NUM + kOutputChannels, prev_win_num);
    for (int j = 0; j < kWindows; ++j)
        std::copy(ich_list[j], ich_list[j] + kInputChannels, prev_ich_list[j]);
    release_dbd_memory();
    clear_change_flags();
}
