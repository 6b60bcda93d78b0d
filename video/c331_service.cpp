// Service sequences (test bars, V-by-One receiver kicks, lock tests) and console dumps of
// the chip's parameters and registers, for bench work and remote diagnosis. The
// sequences run from the apply cycle on request of the processor's own register bytes.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "board/board.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;

struct RegRow {
    u32 desc;
    u32 value;
};

// Moving-bar generator of an output channel.
constexpr RegRow kSlideBarOn[] = {
    {reg(0x08, 0x57), 9},     {reg(0x08, 0x58), 0},       {reg(0x08, 0x59), 0},
    {reg(0x08, 0x5A), 0},     {reg(0x08, 0x5B, 2), 160},  {reg(0x08, 0x5D, 2), 0},
    {reg(0x08, 0x5F, 2), 32}, {reg(0x08, 0x61, 2), 1376},
};
struct BarColour {
    u8 rgb[3];
    u8 enable[3];
};
constexpr BarColour kOutputBars[4] = {
    {{255, 255, 255}, {3, 3, 3}},
    {{255, 0, 0}, {3, 0, 0}},
    {{0, 255, 0}, {0, 3, 0}},
    {{0, 0, 255}, {0, 0, 3}},
};
constexpr u8 kInputBarColours[2][3] = {{255, 255, 255}, {0, 255, 0}};  // channels 4, 5

constexpr RegRow kVboRx1Kick[] = {{reg(0x02, 0x7F), 14},
                                  {reg(0x02, 0x7F), 15},
                                  {reg(0x02, 0x40), 5},
                                  {reg(0x02, 0x4F), 255},
                                  {reg(0x02, 0x4C), 171}};
constexpr RegRow kVboRx2Kick[] = {{reg(0x02, 0x7F), 13},
                                  {reg(0x02, 0x7F), 15},
                                  {reg(0x02, 0x5C), 5},
                                  {reg(0x02, 0x6B), 255},
                                  {reg(0x02, 0x68), 171}};

constexpr RegRow kTestInput[] = {{reg(0x00, 0x48), 137},  {reg(0x00, 0x49), 67},
                                 {reg(0x00, 0x4A), 2},    {reg(0x00, 0x4B), 16},
                                 {reg(0x08, 0x18, 2), 1}, {reg(0x08, 0x0F), 196}};
constexpr u32 kOutputTestCtl = reg(0x08, 0x0F);
constexpr RegRow kTestFrameLock[] = {
    {reg(0x08, 0x0F), 4}, {reg(0x08, 0x08, 2), 3}, {reg(0x08, 0x18, 2), 1}};
constexpr u32 kOutputVtotal = reg(0x08, 0x0C, 2);
constexpr u32 kFrameLockVtotal = 0x15EC;  // a vertical total of 5614 lines, less 2

constexpr u32 kInputActiveStartCh5 = reg(0x50, 0x17, 2);
constexpr u32 kDualControl = reg(0x03, 0x1A);

constexpr char kGroupNames[14][20] = {"c331_param", "c331_win", "c331_mem", "c331_mwi", "c331_mw1s",
                                      "c331_PI",    "none",     "none",     "none",     "none",
                                      "none",       "none",     "none",     "none"};

// The register map c331_print walks: rows of fields, the first at `first`, each next one
// `step` addresses further; per-channel rows repeat in `channels` blocks 16 banks apart.
// The chip's banks run up to 0xB2, then the clock generator's 0xFF.
struct MapRow {
    u8 bank;
    u8 first;
    u8 count;
    u8 fields;
    u8 step;
    u8 channels;
};
constexpr MapRow kRegisterMap[] = {
    // global control
    {0x00, 0x08, 1, 16, 1, 1},
    {0x00, 0x18, 2, 1, 2, 1},
    {0x00, 0x1A, 1, 4, 1, 1},
    {0x00, 0x1E, 2, 2, 2, 1},
    {0x00, 0x22, 1, 8, 1, 1},
    {0x00, 0x38, 1, 1, 1, 1},
    {0x00, 0x39, 2, 1, 2, 1},
    {0x00, 0x46, 1, 15, 1, 1},
    {0x00, 0x55, 2, 1, 2, 1},
    {0x00, 0x59, 1, 34, 1, 1},
    // memory PHY
    {0x01, 0x08, 1, 1, 1, 1},
    {0x01, 0x09, 4, 3, 4, 1},
    {0x01, 0x15, 1, 5, 1, 1},
    {0x01, 0x26, 1, 1, 1, 1},
    {0x01, 0x29, 4, 1, 4, 1},
    {0x01, 0x2D, 1, 19, 1, 1},
    {0x01, 0x40, 3, 16, 3, 1},
    {0x01, 0x70, 4, 1, 4, 1},
    // V-by-One transmitters and receivers
    {0x02, 0x08, 1, 1, 1, 1},
    {0x02, 0x0A, 2, 1, 2, 1},
    {0x02, 0x10, 1, 1, 1, 1},
    {0x02, 0x13, 1, 1, 1, 1},
    {0x02, 0x18, 1, 1, 1, 1},
    {0x02, 0x1C, 1, 1, 1, 1},
    {0x02, 0x28, 1, 1, 1, 1},
    {0x02, 0x2B, 1, 1, 1, 1},
    {0x02, 0x34, 1, 1, 1, 1},
    {0x02, 0x40, 1, 2, 0x1C, 1},
    {0x02, 0x4C, 1, 2, 0x1C, 1},
    {0x02, 0x4F, 1, 2, 0x1C, 1},
    {0x02, 0x78, 1, 1, 1, 1},
    {0x02, 0x7A, 2, 1, 2, 1},
    {0x02, 0x7F, 1, 1, 1, 1},
    // input front end
    {0x03, 0x08, 1, 4, 9, 1},
    {0x03, 0x09, 2, 4, 9, 1},
    {0x03, 0x0B, 2, 4, 9, 1},
    {0x03, 0x42, 1, 4, 1, 1},
    {0x03, 0x4C, 1, 2, 1, 1},
    {0x03, 0x55, 4, 1, 4, 1},
    {0x03, 0x5E, 4, 2, 4, 1},
    // OSD engine, blitter and serial-flash controller
    {0x04, 0x08, 1, 1, 1, 1},
    {0x04, 0x0B, 2, 1, 2, 1},
    {0x04, 0x0D, 4, 2, 4, 1},
    {0x04, 0x17, 1, 1, 1, 1},
    {0x04, 0x1B, 1, 2, 1, 1},
    {0x04, 0x1E, 2, 2, 2, 1},
    {0x04, 0x22, 1, 5, 1, 1},
    {0x04, 0x27, 2, 1, 2, 1},
    {0x04, 0x29, 1, 2, 1, 1},
    {0x04, 0x2B, 2, 1, 2, 1},
    {0x04, 0x47, 1, 7, 1, 1},
    {0x04, 0x4E, 4, 1, 4, 1},
    {0x04, 0x52, 1, 4, 1, 1},
    {0x04, 0x56, 4, 1, 4, 1},
    {0x04, 0x5A, 1, 1, 1, 1},
    {0x04, 0x5F, 1, 2, 1, 1},
    // sync status, flash pins, sync polarity
    {0x05, 0x08, 1, 2, 1, 1},
    {0x05, 0x22, 1, 2, 1, 1},
    {0x05, 0x3C, 2, 2, 2, 1},
    {0x05, 0x42, 3, 1, 3, 1},
    {0x05, 0x45, 2, 1, 2, 1},
    {0x05, 0x7E, 2, 1, 2, 1},
    {0x06, 0x38, 4, 2, 4, 1},
    // output channels
    {0x08, 0x08, 2, 3, 2, 8},
    {0x08, 0x0F, 1, 1, 1, 1},
    {0x08, 0x18, 2, 1, 2, 1},
    {0x08, 0x1D, 2, 1, 2, 8},
    {0x08, 0x22, 1, 1, 1, 8},
    {0x08, 0x28, 2, 8, 2, 8},
    {0x08, 0x40, 2, 4, 2, 8},
    {0x08, 0x48, 1, 1, 1, 8},
    {0x08, 0x49, 3, 1, 3, 8},
    {0x08, 0x57, 1, 4, 1, 8},
    {0x08, 0x5B, 2, 4, 2, 8},
    {0x08, 0x63, 1, 6, 1, 8},
    // OSD windows
    {0x09, 0x08, 2, 9, 2, 8},
    {0x09, 0x1A, 4, 1, 4, 8},
    {0x09, 0x1E, 1, 1, 1, 8},
    {0x09, 0x1F, 1, 2, 1, 1},
    {0x09, 0x3C, 1, 2, 1, 8},
    {0x09, 0x40, 2, 2, 2, 8},
    // zoom, sharpness, colour
    {0x0A, 0x44, 1, 5, 1, 8},
    {0x0A, 0x49, 2, 1, 2, 8},
    {0x0A, 0x4B, 1, 3, 1, 8},
    {0x0A, 0x4E, 2, 1, 2, 8},
    {0x0A, 0x68, 1, 24, 1, 8},
    {0x0B, 0x08, 1, 2, 1, 8},
    {0x0B, 0x0C, 1, 7, 1, 8},
    {0x0B, 0x15, 1, 5, 1, 8},
    {0x0B, 0x5E, 1, 1, 1, 8},
    {0x0C, 0x14, 1, 1, 1, 8},
    {0x0C, 0x1B, 2, 3, 2, 8},
    {0x0C, 0x21, 1, 1, 1, 8},
    {0x0C, 0x28, 2, 3, 2, 8},
    {0x0C, 0x3A, 2, 3, 2, 8},
    {0x0C, 0x49, 2, 18, 2, 8},
    // composition and layer blend
    {0x0E, 0x08, 1, 1, 1, 8},
    {0x0E, 0x09, 4, 1, 4, 8},
    {0x0E, 0x0D, 2, 1, 2, 8},
    {0x0E, 0x0F, 2, 1, 2, 4},
    {0x0E, 0x11, 1, 80, 1, 4},
    // input channels, shrink, input processors and noise reduction
    {0x10, 0x09, 1, 1, 1, 8},
    {0x10, 0x10, 1, 2, 1, 8},
    {0x10, 0x17, 2, 4, 2, 8},
    {0x10, 0x28, 1, 1, 1, 8},
    {0x10, 0x35, 2, 9, 2, 8},
    {0x10, 0x47, 1, 3, 1, 8},
    {0x50, 0x4A, 1, 1, 1, 8},
    {0x50, 0x4B, 3, 1, 3, 8},
    {0x11, 0x42, 1, 5, 1, 8},
    {0x11, 0x47, 2, 1, 2, 8},
    {0x11, 0x49, 1, 3, 1, 8},
    {0x11, 0x4C, 2, 1, 2, 8},
    {0x11, 0x68, 1, 24, 1, 9},
    {0x12, 0x08, 1, 13, 1, 4},
    {0x14, 0x08, 2, 2, 2, 4},
    {0x14, 0x0C, 1, 1, 1, 4},
    {0x14, 0x0D, 2, 4, 2, 4},
    {0x14, 0x15, 1, 15, 1, 4},
    {0x14, 0x2A, 1, 1, 1, 4},
    {0x14, 0x2C, 1, 18, 1, 4},
    {0x14, 0x42, 1, 9, 1, 4},
    {0x14, 0x50, 1, 20, 1, 4},
    {0x14, 0x67, 1, 2, 1, 4},
    {0x14, 0x6D, 2, 1, 2, 4},
    {0x15, 0x08, 1, 1, 1, 8},
    {0x15, 0x09, 1, 30, 1, 4},
    {0x15, 0x28, 1, 7, 1, 4},
    {0x15, 0x39, 2, 1, 2, 4},
    {0x15, 0x3B, 1, 18, 1, 4},
    {0x15, 0x4D, 2, 2, 2, 4},
    {0x15, 0x51, 1, 3, 1, 4},
    {0x15, 0x54, 2, 2, 2, 4},
    {0x15, 0x58, 1, 4, 1, 4},
    {0x15, 0x5C, 2, 4, 2, 4},
    {0x15, 0x64, 1, 3, 1, 4},
    {0x15, 0x67, 2, 1, 2, 4},
    {0x15, 0x69, 1, 8, 1, 4},
    // frame memory
    {0x16, 0x08, 4, 10, 4, 8},
    {0x16, 0x30, 1, 2, 1, 8},
    {0x16, 0x5B, 1, 1, 1, 8},
    {0x16, 0x65, 1, 1, 1, 8},
    {0x16, 0x66, 3, 1, 3, 8},
    {0x16, 0x6B, 1, 1, 1, 8},
    {0x16, 0x6C, 2, 1, 2, 8},
    {0x17, 0x08, 4, 8, 4, 4},
    {0x17, 0x58, 1, 1, 1, 4},
    {0x17, 0x59, 2, 1, 2, 4},
    {0x17, 0x5B, 4, 1, 4, 4},
    // status
    {0xA8, 0x08, 2, 2, 2, 1},
    {0xA8, 0x3E, 1, 8, 5, 1},
    {0xAB, 0x47, 1, 8, 1, 1},
    {0xAE, 0x08, 2, 4, 2, 1},
    {0xAE, 0x10, 2, 2, 8, 1},
    {0xAE, 0x20, 2, 4, 2, 1},
    {0xAE, 0x28, 2, 2, 8, 1},
    {0xAE, 0x38, 2, 12, 2, 1},
    {0xAE, 0x50, 3, 12, 3, 1},
    {0xAF, 0x08, 2, 4, 2, 1},
    {0xAF, 0x10, 2, 2, 8, 1},
    {0xB2, 0x08, 1, 1, 1, 1},
    {0xB2, 0x63, 1, 1, 1, 1},
    // clock generator
    {0xFF, 0x01, 1, 4, 1, 1},
    {0xFF, 0x05, 3, 1, 3, 1},
};
constexpr int kLastChipBank = 0xB2;
constexpr int kClockBank = 0xFF;

std::vector<u32> register_map() {
    std::vector<u32> list;
    for (const MapRow& row : kRegisterMap) {
        for (int c = 0; c < row.channels; ++c) {
            const int bank = row.bank + kBanks * c;
            if (bank > kLastChipBank && bank != kClockBank)
                continue;
            for (int f = 0; f < row.fields; ++f)
                list.push_back(reg(static_cast<u8>(bank), static_cast<u8>(row.first + row.step * f),
                                   row.count));
        }
    }
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
}

u32 at_address(u32 desc, int step) {
    return desc + (static_cast<u32>(step) << 8);
}

}  // namespace

// ---- sequences

void c331_manage::output_slidebar() {
    for (int c = 0; c < 4; ++c) {
        for (const RegRow& row : kSlideBarOn)
            wr(row.desc, row.value, kBanks * c);
        for (int i = 0; i < 3; ++i) {
            wr(at_address(c331reg::kSlideBarColour, i), kOutputBars[c].rgb[i], kBanks * c);
            wr(at_address(c331reg::kSlideBarEnable, i), kOutputBars[c].enable[i], kBanks * c);
        }
    }
    c331_log("\n output_slidebar over ");
}

void c331_manage::input_slidebar() {
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            wr(at_address(c331reg::kSlideBarColour, i), kInputBarColours[k][i], kBanks * (4 + k));
    c331_log("\n input_slidebar over ");
}

void c331_manage::disable_slidebar() {
    wr(c331reg::kSlideBar, 0, kBanks * 1);
    c331_log("\n disable_slidebar over ");
}

void c331_manage::vbyone_rx_ch1_seq() {
    for (const RegRow& row : kVboRx1Kick)
        wr(row.desc, row.value);
    c331_log("\n vbyone_rx_ch1_seq over ");
}

void c331_manage::vbyone_rx_ch2_seq() {
    for (const RegRow& row : kVboRx2Kick)
        wr(row.desc, row.value);
    c331_log("\n vbyone_rx_ch2_seq over ");
}

void c331_manage::read_c331_b174bug() {
    static const char* const kFhm[4] = {"VI11FHM", "VI13FHM", "VI15FHM", "VI17FHM"};
    static const char* const kFvm[4] = {"VI11FVM", "VI13FVM", "VI15FVM", "VI17FVM"};
    for (int lane = 0; lane < 4; ++lane)
        c331_log("\n read_c331_b174bug(B174_%s=%d ) over \n", kFhm[lane],
                 rd(at_address(c331reg::kVboFhm, 2 * lane)) + 1);
    for (int lane = 0; lane < 4; ++lane)
        c331_log("\n read_c331_b174bug(B174_%s=%d ) over \n", kFvm[lane],
                 rd(at_address(c331reg::kVboFvm, 3 * lane)) + 1);
    c331_log("\n read_c331_b174bug(B3_IDUALCTCH56=%d ) over \n", rd(kDualControl));
}

void c331_manage::write_read_c331_b80_iacthstch5() {
    u32 value = rd(kInputActiveStartCh5);
    c331_log("\n write_read_c331_b80_iacthstch5(B80_IACTHSTCH5=%d ) read \n", value);
    u32 written = value + 100;
    wr(kInputActiveStartCh5, written);
    u32 back = rd(kInputActiveStartCh5);
    c331_log("\n write_read_c331_b80_iacthstch5(B80_IACTHSTCH5=%d ) write=%#x,read=%#x \n", back,
             written, back);
}

void c331_manage::sync_c331_device_test_input() {
    for (const RegRow& row : kTestInput)
        wr(row.desc, row.value);
    Sleep(100);
    wr(kOutputTestCtl, 0);
    c331_log("\n sync_c331_device_test_input over ");
}

void c331_manage::sync_c331_device_test_frame_lock() {
    for (const RegRow& row : kTestFrameLock)
        wr(row.desc, row.value);
    for (int c = 0; c < kOutputChannels; ++c)
        wr(kOutputVtotal, kFrameLockVtotal, kBanks * c);
    c331_log("\n sync_c331_device_test_frame_lock over ");
}

// ---- dumps

void c331_manage::krxDbg_c331_param() {
    c331_log("[krxDbg_c331_param]");
    struct Named {
        const char* name;
        int value;
    };
    const Named system[] = {
        {"PS_ACTHW", PS_ACTHW},     {"PS_HSW", PS_HSW},
        {"PS_HBP", PS_HBP},         {"PS_HFP", PS_HTOTAL - PS_ACTHW - PS_HSW - PS_HBP},
        {"PS_HTOTAL", PS_HTOTAL},   {"PS_VTOTAL", PS_VTOTAL},
        {"PS_ACTVW", PS_ACTVW},     {"PS_VSW", PS_VSW},
        {"PS_VBP", PS_VBP},         {"PS_OAOIHST", PS_OAOIHST},
        {"PS_OAOIHED", PS_OAOIHED}, {"PS_OAOIVST", PS_OAOIVST},
        {"PS_OAOIVED", PS_OAOIVED}, {"PS_ACTHST", PS_ACTHST},
        {"PS_ACTVST", PS_ACTVST},
    };
    c331_log("<<===OCH SPEC\r\n");
    for (const Named& n : system)
        c331_log("\t %s  :%d \r\n", n.name, n.value);
    c331_log("<<===PS VBO\r\n");
    c331_log("\t PS_VBOTX_MODE  :%d \r\n\t PS_VBOTX_LAYOUT  :%d \r\n", PS_VBOTX_MODE,
             PS_VBOTX_LAYOUT);
    c331_log("\t PS_PANEL_HW  :%d \r\n\t PS_PANEL_VW  :%d \r\n", PS_PANEL_HW, PS_PANEL_VW);
    c331_log("\t PS_PANEL_HSHAPE  :%d \r\n\t PS_PANEL_VSHAPE  :%d \r\n", PS_PANEL_HSHAPE,
             PS_PANEL_VSHAPE);
    c331_log("<<===PM_WIN_SHAPE\r\n");
    for (int w = 0; w < kWindows; ++w)
        c331_log("\t PM_WIN_SHAPE[%d] = %d, %d\r\n", w, pm.PM_WIN_SHAPE[w][0],
                 pm.PM_WIN_SHAPE[w][1]);
    c331_log("<<===PM_WIN_FAD\r\n");
    for (int w = 0; w < kWindows; ++w) {
        c331_log("\t PM_WIN_FADE_EN[%d] = %d\r\n", w, pm.PM_WIN_FADE_EN[w]);
        c331_log("\t PM_WIN_FADE_IN[%d] = %d\r\n", w, pm.PM_WIN_FADE_IN[w]);
        c331_log("\t PM_WIN_FADE_OUT[%d] = %d\r\n", w, pm.PM_WIN_FADE_OUT[w]);
    }
    c331_log("<<===PM_INPUT\r\n");
    for (int w = 0; w < kWindows; ++w)
        c331_log("\t PM_INPUT[%d] = %d\r\n", w, pm.PM_INPUT[w]);
    c331_log("<<===PM_WIN_OFFSET\r\n");
    for (int w = 0; w < kWindows; ++w)
        c331_log("\t PM_WIN_OFFSET[%d] = %d, %d, %d, %d\r\n", w, pm.PM_WIN_OFFSET[w][0],
                 pm.PM_WIN_OFFSET[w][1], pm.PM_WIN_OFFSET[w][2], pm.PM_WIN_OFFSET[w][3]);
    c331_log("<<===PM_INPUT_OFFSET_EN\r\n");
    for (int w = 0; w < kWindows; ++w)
        c331_log("\t PM_INPUT_OFFSET_EN[%d] = %d  PM_INPUT_OFFSET = %d, %d, %d, %d\r\n", w,
                 pm.PM_INPUT_OFFSET_EN[w], pm.PM_INPUT_OFFSET[w][0], pm.PM_INPUT_OFFSET[w][1],
                 pm.PM_INPUT_OFFSET[w][2], pm.PM_INPUT_OFFSET[w][3]);
    c331_log("<<===PM_WIN_NUM\r\n");
    for (int c = 0; c < kOutputChannels; ++c)
        c331_log("\t PM_WIN_NUM[%d] = %d\r\n", c, pm.PM_WIN_NUM[c]);
    c331_log("<<===PM_AREA_NUM\r\n");
    for (int c = 0; c < kOutputChannels; ++c)
        c331_log("\t PM_AREA_NUM[%d] = %d\r\n", c, pm.PM_AREA_NUM[c]);
    c331_log("<<===PM_OVERLAY\r\n");
    for (int c = 0; c < kOutputChannels; ++c)
        c331_log("\t PM_OVERLAY[%d] = %d\r\n", c, pm.PM_OVERLAY[c]);
    c331_log("<<===PM OSD\r\n");
    c331_log("\t PM_OSD_EN = %d\r\n\t PM_OSD_HZOOM_EN = %d\r\n\t PM_OSD_VZOOM_EN = %d\r\n",
             pm.PM_OSD_EN, pm.PM_OSD_HZOOM_EN, pm.PM_OSD_VZOOM_EN);
    c331_log("\t PM_OSD_DATA_MODE = %d\r\n\t PM_OSD_SCROLL_MODE = %d\r\n", pm.PM_OSD_DATA_MODE,
             pm.PM_OSD_SCROLL_MODE);
    c331_log("<<===OSD_WIN\r\n");
    c331_log("\t OSD memory = %08X, bitmap = %08X, %08X, font = %08X\r\n", PS_OSD_MEM[0],
             PS_OSD_MEM[1], PS_OSD_MEM[2], PS_OSD_MEM[3]);
    c331_log("\t char 64 dot = %d, scroll speed = %d\r\n", osd_char_64dot, osd_scroll_speed);
    c331_log("<<===PI HDMI INFO\r\n");
    for (int p = 0; p < kPorts; ++p) {
        const PiHdmiInfo& t = PI_HDMI_INFO[p];
        const Named fields[] = {
            {"Hact", t.Hact},     {"Hsync", t.Hsync},   {"Hback", t.Hback},
            {"Hpol", t.Hpol},     {"Htotal", t.Htotal}, {"Vact", t.Vact},
            {"Vsync", t.Vsync},   {"Vback", t.Vback},   {"Vpol", t.Vpol},
            {"Vtotal", t.Vtotal}, {"type", t.type},     {"datamode", t.datamode},
            {"lane", t.lane},     {"ip", t.ip},         {"nosignal", t.nosignal},
        };
        for (const Named& n : fields)
            c331_log("\t PI_HDMI_INFO[%d].%s  :%d \r\n", p, n.name, n.value);
        c331_log("\t PI_HDMI_INFO[%d].pfreq  :%f \r\n", p, static_cast<double>(t.pfreq));
    }
}

void c331_manage::krxDbg_c331_param(int n) {
    const int group = ((n % 14) + 14) % 14;
    c331_log("[krxDbg_c331_param] %s\n", kGroupNames[group]);
    switch (group) {
        case 0:
            krxDbg_c331_param();
            break;
        case 1:
            for (int w = 0; w < kWindows; ++w) {
                c331_log("\t IWIN       (%5d, %5d, %5d, %5d)\n", IWIN[w].HST, IWIN[w].HW,
                         IWIN[w].VST, IWIN[w].VW);
                c331_log("\t OWIN       (%5d, %5d, %5d, %5d)\n", OWIN[w].HST, OWIN[w].HW,
                         OWIN[w].VST, OWIN[w].VW);
            }
            for (int p = 0; p < kPorts; ++p)
                c331_log("\t PI_ACT[%d]  (%5d, %5d, %5d, %5d)\n", p, PI_ACT[p].HST, PI_ACT[p].HW,
                         PI_ACT[p].VST, PI_ACT[p].VW);
            break;
        case 2:
            for (int w = 0; w < kWindows; ++w)
                c331_log("\t win:%d mem %08X %08X %08X %08X %08X line:%d\n", w, win_mem_base[w][0],
                         win_mem_base[w][1], win_mem_base[w][2], win_mem_base[w][3],
                         win_mem_base[w][4], win_mem_line[w]);
            for (int k = 0; k < 8; ++k)
                c331_log("\t ich:%d mem %08X %08X %08X %08X %08X\n", k, PS_MEM_BLOCK[k][0],
                         PS_MEM_BLOCK[k][1], PS_MEM_BLOCK[k][2], PS_MEM_BLOCK[k][3],
                         PS_MEM_BLOCK[k][4]);
            for (int s = 0; s < kMemSlots; ++s)
                c331_log("\t dbd slot:%d owner:%d\n", s, mem_slot_owner[s]);
            for (int c = 0; c < kOutputChannels; ++c)
                c331_log("\t och:%d overlay:%d\n", c, pm.PM_OVERLAY[c]);
            for (int w = 0; w < kWindows; ++w)
                c331_log("\t win:%d priority:%d\n", w, pm.PM_WIN_PRIORITY[w]);
            break;
        case 3:
        case 4:
            for (int c = 0; c < kOutputChannels; ++c)
                c331_log("\t och:%d win:%d area:%d owner:%d\n", c, pm.PM_WIN_NUM[c],
                         pm.PM_AREA_NUM[c], och_owner[c]);
            for (int i = 0; group == 4 && i < kPresets; ++i)
                c331_log("\t preset:%d windows:%d\n", i, multi_win[i].cnt);
            break;
        case 5:
            for (int p = 0; p < kPorts; ++p) {
                const PiPortInfo& info = PI_PORT_INFO[p];
                c331_log("\t PI_UPDATE[%d]=%d  PI_STATE=%d  PI_HTOTAL=%d  PI_VTOTAL=%d\n", p,
                         PI_UPDATE[p], info.STATE, info.HTOTAL, info.VTOTAL);
                c331_log("\t PI_ACT[%d](%d, %d, %d, %d)\n", p, PI_ACT[p].HST, PI_ACT[p].HW,
                         PI_ACT[p].VST, PI_ACT[p].VW);
                c331_log("\t PI_PORT_INFO[%d] FHW=%d  FVM=%d  ACTHW=%d  NOSIG=%d  IP=%d\n", p,
                         info.FHW, info.FVM, info.ACTHW, info.NOSIG, info.IP);
            }
            break;
        case 6:
            for (int c = 0; c < kOutputChannels; ++c) {
                wr(c331reg::kBackgroundColour, 0xFFFFFF, kBanks * c);
                wr(c331reg::kBackgroundEnable, 1, kBanks * c);
            }
            break;
        case 8:
            for (int c = 0; c < kOutputChannels; ++c) {
                wr(reg(0x50, 0x4A), 1, kBanks * c);
                wr(reg(0x50, 0x4B, 3), 0x80FF80, kBanks * c);
            }
            c331_log("\n .........input change........... ");
            break;
        case 9:
            wr(reg(0x0A, 0x45), 3);
            wr(reg(0x0A, 0x4A), 3);
            wr(reg(0x1A, 0x46), 3);
            wr(reg(0x1A, 0x4B), 3);
            c331_log("\n .........B10_HZOOMCTCH1/B10_VZOOMCTCH1 change........... ");
            break;
        case 10: {
            // The receiver's bus belongs to the input thread: the record it published last
            // (port 5 is the HDMI 2.0 receiver, record 3) stands in for a fresh read.
            const PiHdmiInfo& t = PI_HDMI_INFO[5];
            c331_log("[iTE6805_Get_Hdmi] dev_id:%d, idx:%d\n", 0, 3);
            c331_log("\t Hact:%d Hsync:%d Hback:%d Hpol:%d Htotal:%d\n", t.Hact, t.Hsync, t.Hback,
                     t.Hpol, t.Htotal);
            c331_log("\t Vact:%d Vsync:%d Vback:%d Vpol:%d Vtotal:%d\n", t.Vact, t.Vsync, t.Vback,
                     t.Vpol, t.Vtotal);
            c331_log("\t pfreq:%f type:%d datamode:%d lane:%d ip:%d nosignal:%d\n",
                     static_cast<double>(t.pfreq), t.type, t.datamode, t.lane, t.ip, t.nosignal);
            break;
        }
        default:
            break;
    }
}

void c331_manage::krxDbg_c331_print_regGrp(int group) {
    c331_log("[%s] grp:%d\n", "krxDbg_c331_print_regGrp", group);
    if (group != 0) {
        c331_log("\t not found valid grp!!!!!!!");
        return;
    }
    for (int w = 0; w < wincnt && w < kWindows; ++w) {
        c331_log("\t\t win:%d, port:%d ich_used: ", w, pm.PM_INPUT[w]);
        for (int i = 0; i < kInputChannels && ich_list[w][i] >= 0; ++i)
            c331_log("ICH%d ", ich_list[w][i]);
        c331_log("\n");
    }
    for (int w = 0; w < wincnt && w < kWindows; ++w) {
        int used = 0;
        while (used < kOutputChannels && win_area_list[w][used] >= 0)
            ++used;
        c331_log("\t\t win:%d, och_cnt:%d used och(left -> right):", w, used);
        for (int i = 0; i < used; ++i)
            c331_log(" OCH%d", win_area_list[w][i]);
        c331_log("\n");
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        const int o = kBanks * c;
        c331_log("\t CH%d  %04X, %04X, %04X, %04X ---    %04X, %04X, %04X, %04X\n", c,
                 rd(reg(0x08, 0x08, 2), o), rd(reg(0x08, 0x0A, 2), o), rd(reg(0x08, 0x0C, 2), o),
                 rd(reg(0x08, 0x48), o), rd(reg(0x08, 0x28, 2), o), rd(reg(0x08, 0x2A, 2), o),
                 rd(reg(0x08, 0x2C, 2), o), rd(reg(0x08, 0x2E, 2), o));
        c331_log("\t CH%d  %04X, %04X, %04X, %04X ---    %04X, %04X, %04X, %04X\n", c,
                 rd(reg(0x08, 0x40, 2), o), rd(reg(0x08, 0x42, 2), o), rd(reg(0x08, 0x44, 2), o),
                 rd(reg(0x08, 0x46, 2), o), rd(reg(0x08, 0x30, 2), o), rd(reg(0x08, 0x32, 2), o),
                 rd(reg(0x08, 0x34, 2), o), rd(reg(0x08, 0x36, 2), o));
    }
}

void c331_manage::c331_print() {
    for (u32 desc : register_map()) {
        std::printf("%06X  %08Xh\n", desc, rd(desc));
        board::usleep(1);
    }
}
