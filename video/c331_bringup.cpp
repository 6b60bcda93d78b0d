// Chip bring-up, the parameter defaults and the small chip routines the window, input
// and OSD code use: vertical-sync and field waits, sync polarity, V-by-One lanes and
// frame memory of dot-by-dot windows.
#include <algorithm>
#include <cstring>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_drv.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;

// One register field and its value.
struct RegRow {
    u32 desc;
    u32 value;
};

// A run of one-byte registers first..last of a bank that all take value.
struct RegFill {
    u8 bank;
    u8 first;
    u8 last;
    u8 value;
};

// ---- clock generator, bank 0xFF (full bring-up only)
constexpr RegRow kClockGen[] = {
    {reg(0xFF, 0x00), 8}, {reg(0xFF, 0x01), 0},  {reg(0xFF, 0x02), 200},
    {reg(0xFF, 0x03), 0}, {reg(0xFF, 0x04), 97}, {reg(0xFF, 0x05, 3), 1},
};

// ---- global registers, bank 0x00, before the PLL words
constexpr RegFill kGlobalFillsHead[] = {{0x00, 0x08, 0x0F, 0x11}};
constexpr RegRow kGlobalRowsHead[] = {
    {reg(0x00, 0x18, 2), 0},      {reg(0x00, 0x1A), 4}, {reg(0x00, 0x1B), 4},
    {reg(0x00, 0x1C), 4},         {reg(0x00, 0x1D), 4}, {reg(0x00, 0x1E, 2), 0x0404},
    {reg(0x00, 0x20, 2), 0x0404}, {reg(0x00, 0x38), 0}, {reg(0x00, 0x39, 2), 0x0202},
};
constexpr RegFill kGlobalFillsMid[] = {{0x00, 0x22, 0x27, 0}, {0x00, 0x46, 0x46, 0}};
constexpr RegFill kGlobalFillsTail[] = {{0x00, 0x59, 0x60, 0x11},
                                        {0x00, 0x61, 0x68, 0x18},
                                        {0x00, 0x69, 0x78, 0},
                                        {0x00, 0x79, 0x79, 46}};
constexpr u32 kPllWords = reg(0x00, 0x47);    // five, one byte each
constexpr u32 kPllZero = reg(0x00, 0x4C);     // 0x4C..0x50
constexpr u32 kClockWords = reg(0x00, 0x51);  // four, one byte each
constexpr u32 kOutputPortCtl = reg(0x00, 0x55, 2);
constexpr u32 kFieldSelect = reg(0x00, 0x7A);

// ---- input front end, bank 0x03
// Dual-pixel enable and start of input pair q lie 9 addresses apart.
constexpr u32 kPairDualEnable = reg(0x03, 0x08);
constexpr u32 kPairDualStart = reg(0x03, 0x09, 2);
constexpr int kPairStep = 9;
constexpr int kInputPairs = 4;
constexpr RegRow kInputFront[] = {
    {reg(0x03, 0x1B, 2), 192},
    {reg(0x03, 0x1D, 2), 0x0F00},
    {reg(0x03, 0x42), 9},
    {reg(0x03, 0x43), 9},
};
constexpr u32 kInputHsw[] = {reg(0x03, 0x44), reg(0x03, 0x4C)};
constexpr u32 kInputVsw[] = {reg(0x03, 0x45), reg(0x03, 0x4D)};
constexpr u32 kInputLineStart = reg(0x05, 0x7E, 2);
constexpr u32 kLaneMap[] = {reg(0x03, 0x55, 4), reg(0x03, 0x5E, 4), reg(0x03, 0x62, 4)};

// ---- memory controller
constexpr u32 kOsdMemBase = reg(0x04, 0x2B, 2);
constexpr RegRow kMemController[] = {{reg(0x06, 0x38, 4), 0x07070707},
                                     {reg(0x06, 0x3C, 4), 0x33333333}};

// ---- output channels (bank offset 16 * c)
constexpr u16 kOutputMode[8] = {0x0201, 0x1211, 0x1211, 0x1211, 0x11, 0x11, 0x11, 0x11};
constexpr u8 kOutputSource[8] = {10, 10, 10, 10, 1, 1, 1, 1};
constexpr u8 kOutputPath[8] = {1, 1, 1, 1, 1, 12, 1, 14};
constexpr RegRow kOutputMemory[] = {
    {reg(0x16, 0x65), 1},
    {reg(0x16, 0x66, 3), 0x43210},
    {reg(0x16, 0x6B), 0},
    {reg(0x16, 0x6C, 2), 0x2103},
};
constexpr RegRow kScalerDefaults[] = {
    {reg(0x09, 0x0A, 2), 255},    {reg(0x09, 0x0C, 2), 255},    {reg(0x09, 0x0E, 2), 255},
    {reg(0x09, 0x10, 2), 255},    {reg(0x0C, 0x49, 2), 0x3265}, {reg(0x0C, 0x4B, 2), 0x2000},
    {reg(0x0C, 0x4D, 2), 0},      {reg(0x0C, 0x4F, 2), 0xF105}, {reg(0x0C, 0x51, 2), 0x2000},
    {reg(0x0C, 0x53, 2), 0xFA02}, {reg(0x0C, 0x55, 2), 0},      {reg(0x0C, 0x57, 2), 0x2000},
    {reg(0x0C, 0x59, 2), 0x3B61}, {reg(0x10, 0x10), 128},       {reg(0x10, 0x11), 128},
    {reg(0x10, 0x28), 136},       {reg(0x10, 0x35, 2), 0x4000}, {reg(0x10, 0x37, 2), 0xC5DD},
    {reg(0x10, 0x39, 2), 0xFA23}, {reg(0x10, 0x3B, 2), 0x1B36}, {reg(0x10, 0x3D, 2), 0x5B8C},
    {reg(0x10, 0x3F, 2), 0x093E}, {reg(0x10, 0x41, 2), 0xF155}, {reg(0x10, 0x43, 2), 0xCEAB},
    {reg(0x10, 0x45, 2), 0x4000}, {reg(0x10, 0x47), 0},         {reg(0x10, 0x48), 4},
    {reg(0x10, 0x49), 8},
};

// ---- input channels 0..3 (bank offset 16 * c)
constexpr RegRow kInputPerChannel[] = {
    {reg(0x14, 0x0D, 2), 16}, {reg(0x14, 0x16), 1}, {reg(0x14, 0x17), 1},  {reg(0x14, 0x18), 2},
    {reg(0x14, 0x19), 8},     {reg(0x14, 0x22), 0}, {reg(0x14, 0x23), 17},
};

// ---- memory PHY, bank 0x01 (full bring-up only)
constexpr RegRow kMemPhy[] = {
    {reg(0x01, 0x08), 48},
    {reg(0x01, 0x09, 4), 0x22222222},
    {reg(0x01, 0x0D, 4), 0x66663445},
    {reg(0x01, 0x11, 4), 0x22222222},
    {reg(0x01, 0x15), 119},
    {reg(0x01, 0x16), 119},
    {reg(0x01, 0x17), 119},
    {reg(0x01, 0x18), 119},
    {reg(0x01, 0x19), 7},
    {reg(0x01, 0x29, 4), 0x88888888},
};
constexpr RegFill kMemPhyFill = {0x01, 0x2D, 0x34, 119};
constexpr u8 kMemPhyTrim[] = {7, 103, 101, 98, 96, 106, 103, 100, 97, 108, 8};  // 0x35..0x3F
constexpr u32 kMemPhyDelayA = 0x924924;  // 0x40.., eight 3-byte fields
constexpr u32 kMemPhyDelayB = 0x6DB6DB;  // 0x58.., eight 3-byte fields
constexpr RegRow kMemPhyTail[] = {{reg(0x01, 0x70, 4), 0x33333333}};

// ---- V-by-One receiver PLLs, bank 0x02 (full bring-up only)
constexpr RegRow kVboRxPll[] = {
    {reg(0x02, 0x7F), 14},  {reg(0x02, 0x7F), 15},  {reg(0x02, 0x40), 5},  {reg(0x02, 0x4F), 128},
    {reg(0x02, 0x4C), 163}, {reg(0x02, 0x7F), 13},  {reg(0x02, 0x7F), 15}, {reg(0x02, 0x5C), 5},
    {reg(0x02, 0x6B), 128}, {reg(0x02, 0x68), 163}, {reg(0x02, 0x7F), 11}, {reg(0x02, 0x7F), 15},
};

// Register-update timing presets (bank 0x00 0x22..0x28) by mode; 4 stands for any other.
constexpr u8 kRtct[5][7] = {
    {0, 0, 0, 0, 0, 0, 0},
    {0x99, 0x99, 0x21, 0x43, 0x55, 0x77, 0x99},
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    {0xFF, 0xFF, 0x21, 0x43, 0x55, 0x77, 0xFF},
    {0x99, 0x99, 0xFF, 0xFF, 0xFF, 0xFF, 0x99},
};

// ---- the built-in multi-window parameter set and the change flag each word raises
enum class Flag : u8 {
    None,
    Win,
    Input,
    Overlay,
    Priority,
    Effect,
    Fade,
    Dbd,
    OsdSet,
    OsdUpdate,
    Extra0,
    Extra1
};
enum class When : u8 { Differs, Nonzero };
struct LoadRow {
    u8 first;
    u8 last;
    Flag flag;
    u8 perWindow;  // words per window; 0: the window is the word index mod 6
    When when;
};
constexpr LoadRow kLoadRows[] = {
    {0, 11, Flag::Win, 2, When::Differs},          {12, 17, Flag::Input, 1, When::Differs},
    {18, 41, Flag::Win, 4, When::Differs},         {42, 65, Flag::Win, 4, When::Differs},
    {66, 71, Flag::Win, 1, When::Differs},         {72, 87, Flag::None, 1, When::Differs},
    {88, 95, Flag::Overlay, 1, When::Differs},     {96, 101, Flag::Priority, 1, When::Differs},
    {102, 113, Flag::Effect, 0, When::Differs},    {114, 119, Flag::Fade, 1, When::Differs},
    {120, 131, Flag::Fade, 0, When::Differs},      {132, 143, Flag::Dbd, 0, When::Differs},
    {144, 146, Flag::OsdSet, 1, When::Differs},    {147, 147, Flag::OsdUpdate, 1, When::Differs},
    {148, 152, Flag::OsdSet, 1, When::Differs},    {153, 156, Flag::OsdUpdate, 1, When::Differs},
    {157, 157, Flag::Extra0, 1, When::Differs},    {158, 158, Flag::Extra1, 1, When::Nonzero},
    {159, 159, Flag::OsdUpdate, 1, When::Nonzero},
};

// Ports a dot-by-dot mode reads (bit p for port p), and whether it takes its memory slots
// from the top.
struct DbdRow {
    int mode;
    u8 ports;
    bool downward;
};
constexpr DbdRow kDbdModes[] = {
    {20, 0x03, false}, {21, 0x01, true}, {22, 0x0C, false}, {23, 0x04, true}, {30, 0x07, false},
    {40, 0x0F, false}, {41, 0x03, true}, {50, 0x30, false}, {51, 0x10, true},
};

constexpr int kSyncPolls = 45;
constexpr int kOutputSyncPolls = 70000;
constexpr int kInputFieldPolls = 90;
constexpr int kOutputFieldPolls = 70;
constexpr int kFrangePolls = 250;
constexpr double kFrangeSplitHz = 50000000.0;
constexpr double kFastestWaitHz = 120.0;
constexpr int kSyncFallbackMs = 45;
constexpr int kDbdWidthParallel = 2560;
constexpr int kDbdWidthVbo = 5120;
constexpr int kDbdHeight = 2176;
constexpr int kDbdLineUnit = 320;

u32 with_address(u32 desc, int step) {
    return desc + (static_cast<u32>(step) << 8);
}

}  // namespace

const u32 c331_manage::parameters_txt[kParameterWords] = {
    // PM_WIN_SHAPE
    2,
    1,
    2,
    1,
    1,
    1,
    1,
    1,
    1,
    1,
    1,
    1,
    // PM_INPUT
    4,
    5,
    1,
    2,
    3,
    0,
    // PM_WIN_OFFSET
    100,
    100,
    100,
    100,
    0,
    0,
    0,
    0,
    0,
    0,
    540,
    0,
    0,
    0,
    1080,
    0,
    0,
    0,
    1080,
    0,
    0,
    0,
    540,
    0,
    // PM_INPUT_OFFSET
    100,
    100,
    200,
    200,
    0,
    0,
    0,
    0,
    400,
    0,
    200,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // PM_INPUT_OFFSET_EN
    1,
    0,
    0,
    0,
    0,
    0,
    // PM_WIN_NUM, PM_AREA_NUM, PM_OVERLAY
    0,
    0,
    1,
    1,
    2,
    3,
    4,
    5,
    0,
    1,
    0,
    1,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    1,
    2,
    3,
    4,
    // window priorities, the two effect words
    1,
    0,
    2,
    3,
    4,
    5,
    0,
    0,
    0,
    1,
    1,
    1,
    0,
    0,
    1,
    0,
    1,
    0,
    // PM_WIN_FADE_EN, PM_WIN_FADE_IN, PM_WIN_FADE_OUT
    0,
    1,
    1,
    1,
    0,
    1,
    60,
    60,
    60,
    60,
    60,
    60,
    60,
    60,
    60,
    60,
    60,
    60,
    // dot-by-dot mode and its second word
    0,
    0,
    1,
    0,
    1,
    1,
    0,
    0,
    0,
    0,
    0,
    0,
    // OSD enable, zooms, data mode, scroll mode, output and input offsets
    0,
    0,
    0,
    1,
    2,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // two further words, OSD update button
    1,
    0,
    0,
};

// ---- bring-up

void c331_manage::c331_bringup() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    // The bring-up reads the image as the apply cycle does, under the apply lock.
    ParaLock lock;
    RamParaImage image{};
    if (store) {
        image = store->live_copy();
        applied = store->ram_para_shadow;
    }
    load_system_param();
    define_param();
    p_c331_drv->init_reg_acc_param();
    write_initial_setting(c331_fd, 1);
    set_rtct(c331_fd, 1);
    load_param();
    if (image.u16At(para::osd_enable) == 1)
        g_osd_update = 1;
    check_input_port(c331_fd);
    load_char();
    read_c331_font(c331_fd);
    update_font(c331_fd);
    if (g_force_bkcolor == 1) {
        for (int c = 0; c < kOutputChannels; ++c) {
            wr(c331reg::kBackgroundColour, 0xFF00, kBanks * c);
            wr(c331reg::kBackgroundEnable, 1, kBanks * c);
        }
    }
    krxApi_PnlInit2(image.u16At(para::led_width), image.u16At(para::led_height),
                    image.u16At(para::out1_width), image.u16At(para::out1_height),
                    image.u16At(para::splice_mode));
    c331_SetBrightness(50);
    c331_SetContrast(image.u16At(para::picture_contrast));
    c331_SetSharpness(image.u16At(para::picture_sharpness));
    c331_SetColorTemp(static_cast<u32>(image[para::colour_temp_type]) |
                      static_cast<u32>(image[para::colour_temp_b]) << 8 |
                      static_cast<u32>(image[para::colour_temp_g]) << 16 |
                      static_cast<u32>(image[para::colour_temp_r]) << 24);
    c331_SetSaturation(image.u16At(para::picture_saturation));
    c331_debugEnv();
    set_output(c331_fd);
}

void c331_manage::c331_debugEnv() {}

void c331_manage::load_system_param() {
    const int refclk[4] = {32000000, 800000000, 27000000, 27000000};
    std::copy(refclk, refclk + 4, PS_REFCLK);
    PS_ACTHW = 1920;
    PS_ACTVW = 2160;
    PS_HTOTAL = 2200;
    PS_VTOTAL = 2250;
    PS_HSW = 88;
    PS_HBP = 88;
    PS_VSW = 10;
    PS_VBP = 72;
    PS_VBOTX_MODE = 0;
    PS_VBOTX_LAYOUT = 0;
    const int pll[5] = {0, 137, 0, 1, 22};
    std::copy(pll, pll + 5, PS_PLL);
    const int clk[4] = {137, 0, 2, 24};
    std::copy(clk, clk + 4, PS_CLK);
    const u32 region[5] = {0, 0x08800000, 0x11000000, 0x19800000, 0x22000000};
    for (u32 k = 0; k < 8; ++k)
        for (int i = 0; i < 5; ++i)
            PS_MEM_BLOCK[k][i] = region[i] + 0x2000 * k;
    PS_LINE_PITCH = 64;
    const u32 dbd[5] = {0x2A800000, 0x35A80000, 0x40D00000, 0x4BF80000, 0x57200000};
    std::copy(dbd, dbd + 5, PS_DBD_BASE);
    PS_DBD_SLOT_SIZE = 0x01DC0000;
    const u32 osd[4] = {0x70000000, 0x725C0000, 0x74B80000, 0x7F000000};
    std::copy(osd, osd + 4, PS_OSD_MEM);
}

void c331_manage::define_param() {
    PS_MEASURE_CLK = PS_REFCLK[1] / 4;
    PS_OAOIHST = PS_ACTHST = PS_HSW + PS_HBP;
    PS_OAOIHED = PS_OAOIHST + PS_ACTHW;
    PS_OAOIVST = PS_ACTVST = PS_VSW + PS_VBP;
    PS_OAOIVED = PS_OAOIVST + PS_ACTVW;
    const bool stacked = PS_VBOTX_LAYOUT != 0;
    int across;
    if (PS_VBOTX_MODE == 0)
        across = 4;
    else if (PS_VBOTX_MODE == 2)
        across = 2;
    else
        across = 8;
    // A stacked layout trades half the channels across for two rows.
    PS_PANEL_HSHAPE = stacked ? across / 2 : across;
    PS_PANEL_VSHAPE = stacked ? 2 : 1;
    PS_PANEL_HW = PS_PANEL_HSHAPE * PS_ACTHW;
    PS_PANEL_VW = PS_PANEL_VSHAPE * PS_ACTVW;

    for (int w = 0; w < kWindows; ++w) {
        std::fill(std::begin(ich_list[w]), std::end(ich_list[w]), -1);
        std::fill(std::begin(win_area_list[w]), std::end(win_area_list[w]), -1);
        std::fill(std::begin(win_mem_slot[w]), std::end(win_mem_slot[w]), -1);
        win_index[w] = w;
    }
    std::fill(std::begin(mem_slot_owner), std::end(mem_slot_owner), -1);
    std::fill(std::begin(och_owner), std::end(och_owner), -1);
    reset_window_state();
    osd_char_64dot = 1;
    osd_scroll_speed = 32;
}

namespace {

// The change flag a row of the parameter table raises, for window w.
int* change_flag(c331_manage& m, Flag flag, int w) {
    switch (flag) {
        case Flag::None:
            return nullptr;
        case Flag::Win:
            return &m.g_chg_win[w];
        case Flag::Input:
            return &m.g_chg_input[w];
        case Flag::Overlay:
            return &m.g_chg_overlay;
        case Flag::Priority:
            return &m.g_chg_priority;
        case Flag::Effect:
            return &m.g_chg_effect[w];
        case Flag::Fade:
            return &m.g_chg_fade[w];
        case Flag::Dbd:
            return &m.g_chg_dbd[w];
        case Flag::OsdSet:
            return &m.g_chg_osd_set;
        case Flag::OsdUpdate:
            return &m.g_chg_osd_update;
        case Flag::Extra0:
            return &m.g_chg_extra[0];
        case Flag::Extra1:
            return &m.g_chg_extra[1];
    }
    return nullptr;
}

}  // namespace

void c331_manage::load_param() {
    std::fill(std::begin(g_chg_win), std::end(g_chg_win), 0);
    std::fill(std::begin(g_chg_input), std::end(g_chg_input), 0);
    std::fill(std::begin(g_chg_effect), std::end(g_chg_effect), 0);
    std::fill(std::begin(g_chg_fade), std::end(g_chg_fade), 0);
    std::fill(std::begin(g_chg_dbd), std::end(g_chg_dbd), 0);
    std::fill(std::begin(g_chg_extra), std::end(g_chg_extra), 0);
    g_chg_overlay = g_chg_priority = g_chg_osd_set = g_chg_osd_update = 0;

    int held[kParameterWords];
    std::memcpy(held, &pm, sizeof held);
    for (const LoadRow& row : kLoadRows) {
        for (int i = row.first; i <= row.last; ++i) {
            int value = static_cast<int>(parameters_txt[i]);
            bool raise = row.when == When::Differs ? value != held[i] : value != 0;
            if (!raise)
                continue;
            int k = i - row.first;
            int w = row.perWindow ? k / row.perWindow : k % kWindows;
            if (int* flag = change_flag(*this, row.flag, w))
                *flag = 1;
        }
    }
    std::memcpy(&pm, parameters_txt, sizeof pm);
    for (int w = 0; w < kWindows; ++w) {
        PM_WIN_STITCHING[w] = w;
        c331_log("[load_param] ....data = %#x, [PM_WIN_STITCHING][%#x]=%#x \n", w, w, w);
    }
    for (int w = 0; w < kWindows; ++w)
        c331_log("load_param  WIN[%d]  win=%d  dbd=%d  input=%d  pri=%d\n", w, g_chg_win[w],
                 g_chg_dbd[w], g_chg_input[w], g_chg_priority);
}

// ---- the register programme

void c331_manage::write_initial_setting(int, int full) {
    write_initial_clock(full);
    int band = 0;
    if (full) {
        double d = PS_VBOTX_MODE == 1 ? 2000000.0 : 4000000.0;
        double r = PS_PLL[3] ? PS_PLL[4] * 27000000.0 / (d * PS_PLL[3]) : 0.0;
        band = r < 21 ? 68 : r < 41 ? 72 : 76;
    }
    write_initial_global();
    write_initial_input();
    wr(kOsdMemBase, (PS_OSD_MEM[0] >> 16) | 0x8000);
    for (const RegRow& row : kMemController)
        wr(row.desc, row.value);
    write_initial_channels();
    write_initial_memory_map();
    for (int c = 0; c < 4; ++c)
        for (const RegRow& row : kInputPerChannel)
            wr(row.desc, row.value, kBanks * c);
    if (full)
        write_initial_release(band);
}

void c331_manage::write_initial_clock(int full) {
    if (!full)
        return;
    for (const RegRow& row : kClockGen)
        wr(row.desc, row.value);
    Sleep(20);
}

void c331_manage::write_initial_global() {
    auto fill = [this](const RegFill& f) {
        for (int a = f.first; a <= f.last; ++a)
            wr(reg(f.bank, static_cast<u8>(a)), f.value);
    };
    for (const RegFill& f : kGlobalFillsHead)
        fill(f);
    for (int k = 0; k < 8; ++k)
        wr(with_address(reg(0x00, 0x10), k), 2 * k);
    for (const RegRow& row : kGlobalRowsHead)
        wr(row.desc, row.value);
    for (const RegFill& f : kGlobalFillsMid)
        fill(f);
    for (int i = 0; i < 5; ++i)
        wr(with_address(kPllWords, i), PS_PLL[i]);
    for (int i = 0; i < 5; ++i)
        wr(with_address(kPllZero, i), 0);
    for (int i = 0; i < 4; ++i)
        wr(with_address(kClockWords, i), PS_CLK[i]);
    wr(kOutputPortCtl, 0);
    for (const RegFill& f : kGlobalFillsTail)
        fill(f);
    for (int j = 0; j < 8; ++j) {
        wr(kFieldSelect, 128 + 4 * j);
        wr(kFieldSelect, 128 + 4 * j + 1);
    }
}

void c331_manage::write_initial_input() {
    for (int q = 0; q < kInputPairs; ++q) {
        wr(with_address(kPairDualEnable, kPairStep * q), 0);
        wr(with_address(kPairDualStart, kPairStep * q), 0);
    }
    for (const RegRow& row : kInputFront)
        wr(row.desc, row.value);
    for (u32 desc : kInputHsw)
        wr(desc, PS_HSW / 2 - 1);
    for (u32 desc : kInputVsw)
        wr(desc, PS_VSW - 1);
    wr(kInputLineStart, 64);
    u32 first = 0x73625140;
    u32 rest = 0x73625140;
    if (PS_VBOTX_MODE == 1) {
        first = rest = 0x76543210;
    } else if (PS_VBOTX_MODE == 2) {
        first = 0x00010000;
        rest = 0x76543210;
    }
    wr(kLaneMap[0], first);
    wr(kLaneMap[1], rest);
    wr(kLaneMap[2], rest);
}

void c331_manage::write_initial_channels() {
    for (int c = 0; c < kOutputChannels; ++c) {
        const int o = kBanks * c;
        wr(reg(0x08, 0x08, 2), kOutputMode[c], o);
        wr(reg(0x0E, 0x08), kOutputSource[c], o);
        wr(reg(0x0E, 0x09, 4), 8 + c, o);
        wr(reg(0x0E, 0x0D, 2), 85, o);
        if (c < 4)
            wr(reg(0x0E, 0x17), 128, o);
        wr(reg(0x10, 0x09), kOutputPath[c], o);
        for (const RegRow& row : kOutputMemory)
            wr(row.desc, row.value, o);
    }
    const RegRow timing[] = {
        {reg(0x08, 0x0A, 2), static_cast<u32>(PS_HTOTAL - 2)},
        {reg(0x08, 0x0C, 2), static_cast<u32>(PS_VTOTAL - 2)},
        {reg(0x08, 0x1D, 2), 64},
        {reg(0x08, 0x28, 2), static_cast<u32>(PS_OAOIHST)},
        {reg(0x08, 0x2A, 2), static_cast<u32>(PS_OAOIHED)},
        {reg(0x08, 0x2C, 2), static_cast<u32>(PS_OAOIVST)},
        {reg(0x08, 0x2E, 2), static_cast<u32>(PS_OAOIVED)},
        {reg(0x08, 0x30, 2), static_cast<u32>(PS_OAOIHST)},
        {reg(0x08, 0x32, 2), static_cast<u32>(PS_OAOIHED)},
        {reg(0x08, 0x34, 2), static_cast<u32>(PS_OAOIVST)},
        {reg(0x08, 0x36, 2), static_cast<u32>(PS_OAOIVED)},
        {reg(0x08, 0x40, 2), static_cast<u32>(PS_ACTHST)},
        {reg(0x08, 0x42, 2), 0},
        {reg(0x08, 0x44, 2), static_cast<u32>(PS_ACTVST)},
        {reg(0x08, 0x46, 2), static_cast<u32>(PS_ACTVW + 1)},
    };
    for (int c = 0; c < kOutputChannels; ++c) {
        for (const RegRow& row : timing)
            wr(row.desc, row.value, kBanks * c);
        for (const RegRow& row : kScalerDefaults)
            wr(row.desc, row.value, kBanks * c);
    }
}

void c331_manage::write_initial_memory_map() {
    constexpr u8 kBaseRegs[4] = {0x1C, 0x20, 0x24, 0x28};
    constexpr int kBlocks = 8;
    // Banks 0x16 + 16k take blocks 0..4 as they are; the last three use blocks 4 and 5,
    // two of them shifted by 0x1E00.
    const int block[kBlocks] = {0, 1, 2, 3, 4, 4, 5, 5};
    const u32 shift[kBlocks] = {0, 0, 0, 0, 0, 0x1E00, 0, 0x1E00};
    for (int k = 0; k < kBlocks; ++k)
        for (int i = 0; i < 4; ++i)
            wr(reg(0x16, kBaseRegs[i], 4), PS_MEM_BLOCK[block[k]][i] + shift[k], kBanks * k);
    for (int k = 0; k < kBlocks; ++k) {
        wr(reg(0x16, 0x30), PS_LINE_PITCH, kBanks * k);
        wr(reg(0x16, 0x31), PS_LINE_PITCH, kBanks * k);
    }
}

void c331_manage::write_initial_release(int band) {
    wr(c331reg::kClockGenControl, 0);
    wr(c331reg::kClockGenPll, 0);
    wr(reg(0x01, 0x26), 0);
    Sleep(1);
    for (const RegRow& row : kMemPhy)
        wr(row.desc, row.value);
    for (int a = kMemPhyFill.first; a <= kMemPhyFill.last; ++a)
        wr(reg(kMemPhyFill.bank, static_cast<u8>(a)), kMemPhyFill.value);
    for (size_t i = 0; i < sizeof kMemPhyTrim; ++i)
        wr(with_address(reg(0x01, 0x35), static_cast<int>(i)), kMemPhyTrim[i]);
    for (int i = 0; i < 8; ++i)
        wr(with_address(reg(0x01, 0x40, 3), 3 * i), kMemPhyDelayA);
    for (int i = 0; i < 8; ++i)
        wr(with_address(reg(0x01, 0x58, 3), 3 * i), kMemPhyDelayB);
    for (const RegRow& row : kMemPhyTail)
        wr(row.desc, row.value);
    wr(c331reg::kClockGenControl, 136);
    Sleep(1);
    wr(c331reg::kClockGenControl, 200);
    wr(c331reg::kClockGenPll, 97);
    Sleep(20);
    for (const RegRow& row : kVboRxPll)
        wr(row.desc, row.value);
    const u32 txMode = PS_VBOTX_MODE == 1 ? 5 : 9;
    const RegRow transmitters[] = {
        {reg(0x02, 0x1C), 0},
        {reg(0x02, 0x0A, 2), 17},
        {reg(0x02, 0x10), 255},
        {reg(0x02, 0x13), 17},
        {reg(0x02, 0x18), static_cast<u32>(band)},
        {reg(0x02, 0x1C), 1},
        {reg(0x02, 0x08), txMode},
        {reg(0x02, 0x0A, 2), 0x8011},
        {reg(0x02, 0x7F), 7},
        {reg(0x02, 0x7F), 15},
        {reg(0x02, 0x34), 0},
        {reg(0x02, 0x7A, 2), 17},
        {reg(0x02, 0x28), 255},
        {reg(0x02, 0x2B), 17},
        {reg(0x02, 0x78), static_cast<u32>(band)},
        {reg(0x02, 0x34), 1},
        {reg(0x02, 0x78), txMode},
        {reg(0x02, 0x7A, 2), 0x8011},
    };
    for (const RegRow& row : transmitters)
        wr(row.desc, row.value);
}

void c331_manage::set_rtct(int, int mode) {
    const u8* values = kRtct[(mode >= 0 && mode <= 3) ? mode : 4];
    wr_mask(c331reg::kRegUpdateHold, c331reg::kHoldBit, c331reg::kHoldBit);
    for (int i = 0; i < 7; ++i)
        wr(with_address(c331reg::kRegUpdateTime, i), values[i]);
    wr_mask(c331reg::kRegUpdateHold, 0, c331reg::kHoldBit);
}

void c331_manage::Sleep(int ms) {
    board::msleep(static_cast<unsigned>(ms));
}

// ---- vertical-sync and field waits

void c331_manage::wait1_pivs(int, int ch) {
    if (ch < 0 || ch >= kInputChannels)
        return;
    const u8 bit = static_cast<u8>(1u << ch);
    const u32 status = with_address(c331reg::kInputStatus, 5 * ch);
    wr(c331reg::kRegUpdateHold, c331reg::kStatusLatch);
    wr(c331reg::kInputSyncArm, bit);
    for (int polls = 0; polls < kSyncPolls; ++polls) {
        if ((rd(c331reg::kInputSync) & bit) || rd(status) == 0xFF)
            break;
    }
    wr(c331reg::kInputSyncArm, 0);
    wr(c331reg::kRegUpdateHold, 0);
}

void c331_manage::wait1_pivs2(int fd) {
    int chosen = -1;
    double slowest = kFastestWaitHz;
    for (int w = 0; w < kWindows; ++w) {
        if (!g_chg_win[w] && !g_chg_input[w] && !g_chg_dbd[w])
            continue;
        int port = pm.PM_INPUT[w];
        if (port < 0 || port >= kPorts || PI_FV[port] >= slowest)
            continue;
        slowest = PI_FV[port];
        chosen = w;
    }
    int ch = chosen < 0 ? -1 : ich_list[chosen][0];
    if (ch >= 0 && ch < kInputChannels)
        wait1_pivs(fd, ch);
    else
        Sleep(kSyncFallbackMs);
}

int c331_manage::wait1_povs(int, int ch) {
    if (ch < 0 || ch >= kOutputChannels)
        return 1;
    const u8 bit = static_cast<u8>(1u << ch);
    wr(c331reg::kOutputSyncArm, bit);
    int sleeps = 0;
    int seen = 1;
    while (!(rd(c331reg::kOutputSync) & bit)) {
        if (sleeps >= kOutputSyncPolls) {
            c331_log("\n\n\n\n tavrin error .....wait1_povs = %d \n\n\n", sleeps);
            seen = 0;
            break;
        }
        Sleep(1);
        ++sleeps;
    }
    wr(c331reg::kOutputSyncArm, 0);
    return seen;
}

int c331_manage::wait_ifld_change(int, int ch) {
    if (ch < 0 || ch >= kPorts)
        return 0;
    const u32 desc = with_address(c331reg::kFieldPhase, ch < 4 ? ch : 2 * (ch - 2));
    const int old = (rd(desc) >> 2) & 3;
    for (int polls = 0; polls < kInputFieldPolls; ++polls) {
        int field = (rd(desc) >> 2) & 3;
        if (field != old)
            return field;
    }
    return (old + 1) & 3;
}

int c331_manage::wait_ofld_change(int, int ch) {
    if (ch < 0 || ch >= kOutputChannels)
        return 0;
    const u32 desc = with_address(c331reg::kFieldPhase, ch);
    const int old = rd(desc) & 3;
    for (int polls = 0; polls < kOutputFieldPolls; ++polls) {
        int field = rd(desc) & 3;
        if (field != old)
            return field;
    }
    return (old + 1) & 3;
}

// ---- input-side routines

void c331_manage::set_sypol(int, int which, int ch) {
    // Parallel ports 0..3 by channel; V-by-One receivers 0..1 are ports 4 and 5.
    if (ch < 0 || ch >= (which ? 2 : 4))
        return;
    const PiHdmiInfo& timing = PI_HDMI_INFO[which ? 4 + ch : ch];
    const u32 p = static_cast<u32>((timing.Vpol & 1) | (timing.Hpol & 1) << 1);
    wr(c331reg::kRegUpdateHold, c331reg::kStatusLatch);
    if (which) {
        const int shift = 16 * ch;
        wr_mask(c331reg::kSyncPolarityVbo, (p * 0x1111) << shift, 0xFFFFu << shift);
    } else {
        const int shift = 8 * ch;
        wr_mask(c331reg::kSyncPolarity, (p | 4) << shift, 0xFFu << shift);
    }
    wr(c331reg::kRegUpdateHold, 0);
}

void c331_manage::set_VBOInput(int fd, int ch) {
    if (ch < 0 || ch > 1)
        return;
    set_sypol(fd, 1, ch);
    u32 word = 0x0404;
    u32 lanes = 2;
    switch (PI_HDMI_INFO[4 + ch].lane) {
        case 1:
            word = 0;
            lanes = 0;
            break;
        case 2:
            word = 1;
            lanes = 0x10;
            break;
        case 4:
            word = 17;
            lanes = 4;
            break;
        default:
            break;
    }
    const int shift = 8 * ch;
    wr(with_address(c331reg::kVboLaneMode, 2 * ch), word);
    wr_mask(c331reg::kVboLaneSelect, lanes << shift, 0xFFu << shift);
}

void c331_manage::set_VBORXfrange(int, int rx, double freq, int toggle) {
    if (rx < 0 || rx > 1)
        return;
    const u32 frange = with_address(c331reg::kVboRxFrange, 0x1C * rx);
    if (toggle == 1)
        wr(frange, rd(frange) ^ c331reg::kFrangeBit);
    else
        wr_mask(frange, freq < kFrangeSplitHz ? c331reg::kFrangeBit : 0, c331reg::kFrangeBit);
    const u8 lock = static_cast<u8>(1u << (5 + 2 * rx));
    const u32 fvm = with_address(c331reg::kVboFvm, 0x0C * rx);
    for (int polls = 0; polls < kFrangePolls; ++polls) {
        if (rd(c331reg::kVboLock) & lock)
            return;
        if (rd(fvm) + 1 < 0xFFFFFF)
            return;
    }
}

void c331_manage::set_pict(int, int on, int ch) {
    if (ch < 0 || ch > 3)
        return;
    const u32 bit = 1u << (4 * ch);
    wr_mask(c331reg::kPictEnable, on ? bit : 0, bit);
}

void c331_manage::set_input_bkg(int fd, int port, int on) {
    c331_log("[set_input_bkg] port_%d, onoff:%d\n", port, on);
    set_rtct(fd, 2);
    const bool forced = g_force_bkcolor == 1;
    for (int w = 0; w < kWindows; ++w) {
        if (pm.PM_INPUT[w] != port)
            continue;
        int e = on ? 1 : (port >= 0 && port < kPorts && PI_PORT_INFO[port].STATE == 0);
        if (pm.PM_WIN_DBD_MODE[w] != 0)
            e = 0;
        for (int c = 0; c < kOutputChannels; ++c) {
            if (pm.PM_WIN_NUM[c] != w)
                continue;
            wr(c331reg::kBackgroundColour, forced ? 0xFF00 : 0, kBanks * c);
            wr(c331reg::kBackgroundEnable, forced ? 1 : e, kBanks * c);
        }
    }
    set_rtct(fd, 1);
}

// ---- frame memory of dot-by-dot windows

void c331_manage::reset_dbd_mem(int w) {
    if (w < 0 || w >= kWindows)
        return;
    for (int& owner : mem_slot_owner)
        if (owner == w)
            owner = -1;
    std::fill(std::begin(win_mem_slot[w]), std::end(win_mem_slot[w]), -1);
}

int c331_manage::check_dbd_input(int, int port) {
    if (port < 0 || port >= kPorts)
        return 0;
    const _ImageWindowDef_st& act = PI_ACT_FULL[port];
    const int widest = port < 4 ? kDbdWidthParallel : kDbdWidthVbo;
    return act.HW > widest || act.VW > kDbdHeight;
}

int c331_manage::take_mem_slots(int w, int mode, int needed, bool downward, int& lowest) {
    int taken = 0;
    lowest = kMemSlots;
    for (int i = 0; i < kMemSlots && taken < needed; ++i) {
        int slot = downward ? kMemSlots - 1 - i : i;
        if (mem_slot_owner[slot] != -1)
            continue;
        mem_slot_owner[slot] = w;
        win_mem_slot[w][taken++] = slot;
        lowest = std::min(lowest, slot);
    }
    if (taken == needed)
        return 0;
    reset_dbd_mem(w);
    std::printf("Dot-By-Dot memory assignment error!!!   win=%d  mode=%d  mem_cnt=%d  blk_cnt=%d\n",
                w, mode, needed, taken);
    return -1;
}

int c331_manage::set_dbd_mem(int fd, int w) {
    if (w < 0 || w >= kWindows)
        return -1;
    reset_dbd_mem(w);
    const int mode = pm.PM_WIN_DBD_MODE[w];
    const int ich = ich_list[w][0];
    if (mode == 0 || ich < 0 || ich >= kInputChannels)
        return -1;
    int needed;
    bool downward = false;
    u8 ports = 0;
    if (mode == 1) {
        const int port = pm.PM_INPUT[w];
        if (!check_dbd_input(fd, port)) {
            std::copy(PS_MEM_BLOCK[ich], PS_MEM_BLOCK[ich] + 5, win_mem_base[w]);
            win_mem_line[w] = PS_LINE_PITCH;
            return 0;
        }
        needed = port < 4 ? 1 : 2;
        ports = static_cast<u8>(1u << port);
    } else {
        needed = mode < 30 ? 2 : mode < 40 ? 3 : 4;
        for (const DbdRow& row : kDbdModes) {
            if (row.mode == mode) {
                ports = row.ports;
                downward = row.downward;
            }
        }
    }
    int lowest;
    if (take_mem_slots(w, mode, needed, downward, lowest) != 0)
        return -1;
    for (int i = 0; i < 5; ++i)
        win_mem_base[w][i] = PS_DBD_BASE[i] + static_cast<u32>(lowest) * PS_DBD_SLOT_SIZE;
    int width = 0;
    for (int p = 0; p < kPorts; ++p)
        if (ports >> p & 1)
            width += PI_ACT_FULL[p].HW;
    win_mem_line[w] = (width + kDbdLineUnit - 1) / kDbdLineUnit;
    return 0;
}
