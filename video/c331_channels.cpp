// Output and input channels of the window slots: which output channels carry each slot
// and where each composes on the panel, the channels' parameters and enables, the overlay
// order of every panel position, which input channels receive each slot's source, and
// their source selection and dot-by-dot capture.
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
constexpr int kNoWindow = c331plan::kNoSlot;
constexpr int kWideInput = 2560;  // widest picture one input channel's frame memory holds
constexpr int kDualOn = 3;
constexpr u8 kDualStep = 9;

u32 at(u32 desc, int step) {
    return desc + (static_cast<u32>(step) << 8);
}

}  // namespace

// ---- output channels

void c331_manage::krxApi_MultiWinChAlloc(u8 init) {
    c331_log("[krxApi_MultiWinChAlloc] init:%d\r\n", init);
    std::vector<std::string> log;
    c331plan::allocate_output_channels(gWininfo, wincnt, panel_grid(), &log);
    print_log(log);
}

void c331_manage::krxApi_MultiWinChOverlay() {
    std::vector<std::string> log;
    if (c331plan::overlay_channels(gWininfo, wincnt, pm.PM_OVERLAY, &log))
        g_chg_overlay = 1;
    print_log(log);
}

void c331_manage::krxApi_MultiWinChInit() {
    krxApi_MultiWinChOverlay();
    c331_SetWinPriority1(c331_fd);
    // The ports' wide flag, lane count and low-channel flag follow the measured ports
    // (port_needs), so there is no per-port record to clear here.
    for (int j = 0; j < kWindows; ++j) {
        pm.PM_INPUT[j] = kNoWindow;
        pm.PM_WIN_SHAPE[j][0] = pm.PM_WIN_SHAPE[j][1] = 0;
        std::fill(pm.PM_WIN_OFFSET[j], pm.PM_WIN_OFFSET[j] + 4, 0);
        g_chg_win[j] = g_chg_input[j] = g_chg_new[j] = 0;
    }
    const KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    for (int j = 0; j < std::min(wincnt, kWindows); ++j) {
        const ST_WIN_INFO& win = gWininfo[j];
        g_chg_win[j] = g_chg_input[j] = g_chg_new[j] = 1;
        pm.PM_WIN_SHAPE[j][0] = win.och_hcnt;
        pm.PM_WIN_SHAPE[j][1] = win.och_vcnt;
        pm.PM_INPUT[j] = krxApi_inputCvtC331(win.input);
        for (int side = 0; side < 4; ++side)
            pm.PM_WIN_OFFSET[j][side] = krxApi_OchGetWinOffset1(&win, side);
        int* crop = pm.PM_INPUT_OFFSET[j];
        std::fill(crop, crop + 4, 0);
        if (!pm.PM_INPUT_OFFSET_EN[j] || !store || win.crop >= para::crop_count)
            continue;
        const size_t e = para::crop_at(win.crop);
        const RamParaImage& image = store->ram_para;
        const ST_RECT rect{image.u16At(e + 2), image.u16At(e + 4), image.u16At(e + 6),
                           image.u16At(e + 8)};
        c331_log("\t win_%d, crop(%d,%d,%d,%d)\n", j, rect.x, rect.y, rect.w, rect.h);
        for (int side = 0; side < 4; ++side)
            crop[side] = krxApi_CropGetOffset(pm.PM_INPUT[j], rect, side);
    }
    std::vector<std::string> log;
    const c331plan::ChannelTables tables = c331plan::channel_tables(gWininfo, wincnt, &log);
    print_log(log);
    std::copy(tables.winNum, tables.winNum + kOutputChannels, pm.PM_WIN_NUM);
    std::copy(tables.areaNum, tables.areaNum + kOutputChannels, pm.PM_AREA_NUM);
    och_error = tables.error ? 1 : 0;
    for (int c = 0; c < kOutputChannels; ++c)
        wr_mask_changed(at(c331reg::kChannelControl, c), pm.PM_WIN_NUM[c] != kNoWindow, 1);
}

void c331_manage::get_och(int slot, int* och) {
    if (!och)
        return;
    c331plan::ChannelTables t;
    std::copy(pm.PM_WIN_NUM, pm.PM_WIN_NUM + kOutputChannels, t.winNum);
    std::copy(pm.PM_AREA_NUM, pm.PM_AREA_NUM + kOutputChannels, t.areaNum);
    c331plan::channels_of(t, slot, och);
}

void c331_manage::update_overlay_info() {
    for (int w = 0; w < kWindows; ++w) {
        int n = 0;
        std::fill(och_of_win[w], och_of_win[w] + kOutputChannels, -1);
        for (int c = 0; c < kOutputChannels; ++c)
            if (pm.PM_WIN_NUM[c] == w)
                och_of_win[w][n++] = c;
    }
    const c331plan::LayerLists lists =
        c331plan::layer_lists(pm.PM_WIN_NUM, pm.PM_OVERLAY, pm.PM_WIN_PRIORITY);
    for (int u = 0; u < kOutputChannels; ++u) {
        g_och_layer_cnt[u] = lists.count[u];
        std::copy(lists.layer[u], lists.layer[u] + kOutputChannels, g_och_layer[u]);
    }
}

void c331_manage::set_overlay(int) {
    c331plan::LayerLists lists{};
    for (int u = 0; u < kOutputChannels; ++u) {
        lists.count[u] = g_och_layer_cnt[u];
        std::copy(g_och_layer[u], g_och_layer[u] + kOutputChannels, lists.layer[u]);
    }
    for (int u = 0; u < kOutputChannels; ++u)
        wr_changed(c331reg::kOverlayOrder, c331plan::overlay_word(lists, u), kBanks * u);
}

// ---- input channels

c331plan::PortNeeds c331_manage::port_needs(int port) const {
    c331plan::PortNeeds n;
    if (port < 0 || port >= kPorts)
        return n;
    n.lanes = PI_HDMI_INFO[port].lane > 4 ? 8 : 4;
    // A picture wider than one channel's frame memory needs a pair; the V-by-One
    // receivers always deliver on a pair.
    n.wide = port >= 4 || PI_ACT_FULL[port].HW > kWideInput;
    // Interlaced pictures need the de-interlacers of input channels 0..3.
    n.lowOnly = PI_PORT_INFO[port].IP != 0;
    return n;
}

void c331_manage::ich_tables(c331plan::IchTables& t) const {
    std::copy(ich_owner, ich_owner + kInputChannels, t.owner);
    for (int j = 0; j < kWindows; ++j) {
        std::copy(ich_list[j], ich_list[j] + kInputChannels, t.list[j]);
        t.shape[j][0] = pm.PM_WIN_SHAPE[j][0];
        t.shape[j][1] = pm.PM_WIN_SHAPE[j][1];
        t.input[j] = pm.PM_INPUT[j];
        t.dbd[j] = pm.PM_WIN_DBD_MODE[j];
        t.newFlag[j] = g_chg_new[j];
        t.inputFlag[j] = g_chg_input[j];
    }
    for (int p = 0; p < kPorts; ++p)
        t.port[p] = port_needs(p);
}

void c331_manage::take_ich_tables(const c331plan::IchTables& t) {
    std::copy(t.owner, t.owner + kInputChannels, ich_owner);
    for (int j = 0; j < kWindows; ++j) {
        std::copy(t.list[j], t.list[j] + kInputChannels, ich_list[j]);
        g_chg_input[j] = t.inputFlag[j];
    }
}

int c331_manage::check_ich_all(int slot) {
    c331plan::IchTables t;
    ich_tables(t);
    std::vector<std::string> log;
    const int result = c331plan::check_ich_all(t, slot, &log);
    take_ich_tables(t);
    print_log(log);
    return result;
}

int c331_manage::check_ich(int lowOnly, int pair) {
    c331plan::IchTables t;
    ich_tables(t);
    return c331plan::check_ich(t, lowOnly, pair);
}

int c331_manage::adjust_ich(int lowOnly, int pair, int slot) {
    c331plan::IchTables t;
    ich_tables(t);
    std::vector<std::string> log;
    const int result = c331plan::adjust_ich(t, lowOnly, pair, slot, &log);
    c331plan::rebuild_ich_lists(t);
    take_ich_tables(t);
    print_log(log);
    return result;
}

int c331_manage::set_input(int slot, int port) {
    c331plan::IchTables t;
    ich_tables(t);
    std::vector<std::string> log;
    const int result = c331plan::set_input(t, slot, port, &log);
    take_ich_tables(t);
    print_log(log);
    return result;
}

void c331_manage::reset_ich(int slot) {
    if (slot < 0 || slot >= kWindows)
        return;
    c331plan::IchTables t;
    ich_tables(t);
    c331plan::reset_ich(t, slot);
    take_ich_tables(t);
}

int c331_manage::first_ich(int slot) const {
    if (slot < 0 || slot >= kWindows)
        return -1;
    const int ich = ich_list[slot][0];
    return ich >= 0 && ich < kInputChannels ? ich : -1;
}

void c331_manage::set_ichsel(int, int slot) {
    if (slot < 0 || slot >= kWindows)
        return;
    const int mode = pm.PM_WIN_DBD_MODE[slot];
    c331_log("[set_ichsel] PM_WIN_DBD_MODE[win_%d]:%d\n", slot, mode);
    const int* ichs = ich_list[slot];
    std::vector<u32> codes;
    if (mode == 0 || mode == 1) {
        const int p = pm.PM_INPUT[slot];
        if (p >= 0 && p <= 3) {
            codes.push_back(static_cast<u32>(2 * p));
            if (port_needs(p).wide && mode == 0)
                codes.push_back(static_cast<u32>(2 * p));
        } else if (p == 4 || p == 5) {
            const u32 first = static_cast<u32>(4 * (p - 2));
            codes = {first, first + (port_needs(p).lanes > 4 ? 2u : 1u)};
        }
    } else {
        auto vbo = [this](int port) {
            const bool eight = PI_HDMI_INFO[port].lane >= 5;
            c331_log(eight ? "\t port_%d 8 lane\n" : "\t port_%d 4 lane\n", port);
            return eight ? 2u : 1u;
        };
        switch (mode) {
            case 20:
            case 21:
                codes = {0, 2};
                break;
            case 22:
            case 23:
                codes = {4, 6};
                break;
            case 30:
                codes = {0, 2, 4};
                break;
            case 40:
            case 41:
                codes = {0, 2, 4, 6};
                break;
            case 50:
            case 51:
                codes = {8, 8 + vbo(4), 12, 12 + vbo(5)};
                break;
            default:
                break;
        }
    }
    for (size_t i = 0; i < codes.size() && i < static_cast<size_t>(kInputChannels); ++i) {
        const int ich = ichs[i];
        if (ich < 0 || ich >= kInputChannels)
            break;
        wr_changed(at(c331reg::kInputSelect, ich), codes[i]);
    }
}

void c331_manage::set_idual(int, int ich, int on, int port) {
    if (ich < 0 || ich >= kInputChannels)
        return;
    const int q = ich / 2;
    const int step = kDualStep * q;
    if (!on || port < 0 || port >= kPorts) {
        wr_changed(at(c331reg::kDualControl, step), 0);
        return;
    }
    wr_changed(at(c331reg::kDualControl, step), kDualOn);
    wr_changed(at(c331reg::kDualStart, step), static_cast<u32>(PI_ACT[port].HST));
    wr_changed(at(c331reg::kDualWidth, step), static_cast<u32>(2 * PI_ACT[port].HW));
}

namespace {

constexpr int kIdle = -1;  // DbdCapture::port of an input channel that takes nothing

// A capture of one input channel of a dot-by-dot slot, and where it lies in the picture.
struct DbdCapture {
    int port;
    int x, y;   // inside the joined picture
    bool half;  // half of a two-pixel-a-clock picture
};

// The V-by-One ports of a slot, two input channels each, in list order. A port the chip
// takes two pixels a clock (state 3 and below) comes in halves, one on each channel; any
// other port comes whole on its first channel, and its second takes nothing: its
// receiver's second line brings the same picture again, which the joined picture has no
// room for.
std::vector<DbdCapture> vbo_captures(std::initializer_list<int> ports, bool stacked,
                                     const _ImageWindowDef_st* A, const PiPortInfo* info) {
    std::vector<DbdCapture> out;
    int x = 0, y = 0;
    for (int p : ports) {
        if (info[p].STATE <= 3) {
            out.push_back({p, x, y, true});
            out.push_back({p, x + A[p].HW / 2, y, true});
        } else {
            out.push_back({p, x, y, false});
            out.push_back({kIdle, 0, 0, false});
        }
        if (stacked)
            y += A[p].VW;
        else
            x += A[p].HW;
    }
    return out;
}

std::vector<DbdCapture> dbd_captures(int mode, int port, const _ImageWindowDef_st* A,
                                     const PiPortInfo* info) {
    auto across = [&](std::initializer_list<int> ports) {
        std::vector<DbdCapture> out;
        int x = 0;
        for (int p : ports) {
            out.push_back({p, x, 0, false});
            x += A[p].HW;
        }
        return out;
    };
    switch (mode) {
        case 1:
            if (port >= 4 && port < 6)
                return vbo_captures({port}, false, A, info);
            return {{port, 0, 0, false}};
        case 20:
            return across({0, 1});
        case 21:
            return {{0, 0, 0, false}, {1, 0, A[0].VW, false}};
        case 22:
            return across({2, 3});
        case 23:
            return {{2, 0, 0, false}, {3, 0, A[2].VW, false}};
        case 30:
            return across({0, 1, 2});
        case 40:
            return across({0, 1, 2, 3});
        case 41:
            return {{0, 0, 0, false},
                    {1, A[0].HW, 0, false},
                    {2, 0, A[0].VW, false},
                    {3, A[0].HW, A[0].VW, false}};
        case 50:
            return vbo_captures({4, 5}, false, A, info);
        case 51:
            return vbo_captures({4, 5}, true, A, info);
        default:
            return {};
    }
}

}  // namespace

void c331_manage::set_display_window_ich_dbd(int dev, int slot, int dbdMode) {
    if (slot < 0 || slot >= kWindows)
        return;
    const int* ichs = ich_list[slot];
    int n = 0;
    while (n < kInputChannels && ichs[n] >= 0 && ichs[n] < kInputChannels)
        ++n;
    if (n == 0)
        return;
    for (int i = 0; i < n; ++i)
        set_idual(dev, ichs[i], 0, 0);
    if (set_dbd_mem(dev, slot) == -1) {
        g_chg_input[slot] = g_chg_new[slot] = 0;
        c331_log("[set_display_window_ich_dbd] g_chg_dbd[%d]:%d\n", slot, g_chg_dbd[slot]);
        reset_dbd_mem(slot);
        return;
    }
    set_ichsel(dev, slot);
    const int port = pm.PM_INPUT[slot];
    if (dbdMode == 1 && (port < 0 || port >= kPorts))
        return;
    const std::vector<DbdCapture> captures = dbd_captures(dbdMode, port, PI_ACT_FULL, PI_PORT_INFO);
    if (captures.empty() || static_cast<int>(captures.size()) > n)
        return;
    PM_MEM_WMODE[slot] = PS_MEM_WMODE;
    const c331plan::MemoryUnits m = c331plan::memory_units(PM_MEM_WMODE[slot]);
    const long long P = static_cast<long long>(win_mem_line[slot]) * 1024;
    const int ich0 = ichs[0];
    for (int i = 0; i < n; ++i) {
        const int ich = ichs[i];
        const int o = kBanks * ich;
        const u32 control = i == 0 ? 1u : static_cast<u32>(ich0 + 8);
        // A channel of the slot with nothing to take captures nothing, so that it writes
        // into no other channel's picture.
        if (static_cast<size_t>(i) >= captures.size() ||
            captures[static_cast<size_t>(i)].port == kIdle) {
            wr_changed(c331reg::kInputControl, control, o);
            wr_changed(c331reg::kCaptureWidth, 0, o);
            wr_changed(at(c331reg::kInputLink, ich), 0);
            continue;
        }
        const DbdCapture& cap = captures[static_cast<size_t>(i)];
        const _ImageWindowDef_st& a = PI_ACT_FULL[cap.port];
        const int start = cap.half ? a.HST / 2 : a.HST;
        const int width = cap.half ? a.HW / 2 : a.HW;
        wr_changed(c331reg::kInputControl, control, o);
        wr_changed(c331reg::kCaptureHStart, static_cast<u32>(start - 7), o);
        wr_changed(c331reg::kCaptureWidth, static_cast<u32>(width), o);
        wr_changed(c331reg::kCaptureVStart, static_cast<u32>(a.VST + 1), o);
        wr_changed(c331reg::kCaptureHeight, static_cast<u32>(a.VW), o);
        for (u32 desc : c331reg::kShrinkSetup)
            wr_changed(desc, 0, o);
        const long long offset = static_cast<long long>(m.u) * cap.x / m.d + cap.y * P;
        for (int b = 0; b < 5; ++b)
            wr_changed(at(c331reg::kWriteBase, 4 * b),
                       static_cast<u32>(win_mem_base[slot][b] + offset), o);
        wr_changed(c331reg::kWritePitch, static_cast<u32>(win_mem_line[slot]), o);
        wr_changed(c331reg::kWriteMode, static_cast<u32>(PM_MEM_WMODE[slot]), o);
        wr_changed(c331reg::kMemoryControl, c331plan::memory_control_word(fb_rec[slot]), o);
        wr_changed(at(c331reg::kInputLink, ich), 0);
    }
    set_mct(dev, slot, 0);
    if (dbdMode == 1)
        set_ip(dev, ich0);
}
