// The bring-up's whole register programme and the parameter defaults, written out from
// the chip's programming notes as literals and compared, write for write and in order,
// with what the chip model received.
//
// The defaults give the chip's own output timing: active 1920 x 2160, totals 2200 x 2250,
// horizontal sync 88 and back porch 88, vertical sync 10 and back porch 72; the active
// area therefore starts at 176 (88 + 88) and 82 (10 + 72) and ends at 2096 and 2242.
// The V-by-One transmitter band is 76: 22 x 27 MHz / (4 MHz x 1) is 148.5, 41 or more.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "core/global.h"
#include "tests/video/chip_writes.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

using Write = ChipWrite;
using Programme = ChipProgramme;

// ---- write_initial_setting, step by step

void clockGenerator(Programme& p) {
    p.set(0xFF, 0x00, 8).set(0xFF, 0x01, 0).set(0xFF, 0x02, 200).set(0xFF, 0x03, 0);
    p.set(0xFF, 0x04, 97).set(0xFF, 0x05, 1, 3);
}

void globalRegisters(Programme& p) {
    p.fill(0x00, 0x08, 0x0F, 0x11);
    p.bytes(0x00, 0x10, {0, 2, 4, 6, 8, 10, 12, 14});
    p.set(0x00, 0x18, 0, 2);
    p.fill(0x00, 0x1A, 0x1D, 4);
    p.set(0x00, 0x1E, 0x0404, 2).set(0x00, 0x20, 0x0404, 2);
    p.set(0x00, 0x38, 0);
    p.set(0x00, 0x39, 0x0202, 2);
    p.fill(0x00, 0x22, 0x27, 0);
    p.set(0x00, 0x46, 0);
    p.bytes(0x00, 0x47, {0, 137, 0, 1, 22});  // PLL words 1..5
    p.fill(0x00, 0x4C, 0x50, 0);
    p.bytes(0x00, 0x51, {137, 0, 2, 24});  // the four further clock words
    p.set(0x00, 0x55, 0, 2);
    p.fill(0x00, 0x59, 0x60, 0x11);
    p.fill(0x00, 0x61, 0x68, 0x18);
    p.fill(0x00, 0x69, 0x78, 0);
    p.set(0x00, 0x79, 46);
    for (int k : {0, 1, 4, 5, 8, 9, 12, 13, 16, 17, 20, 21, 24, 25, 28, 29})
        p.set(0x00, 0x7A, 128 + k);
}

void inputFrontEnd(Programme& p) {
    // Each input pair's dual-pixel enable and start cleared.
    for (int pair = 0; pair < 4; ++pair)
        p.set(0x03, 0x08 + 9 * pair, 0).set(0x03, 0x09 + 9 * pair, 0, 2);
    p.set(0x03, 0x1B, 192, 2).set(0x03, 0x1D, 0x0F00, 2);
    p.set(0x03, 0x42, 9).set(0x03, 0x43, 9);
    p.set(0x03, 0x44, 43).set(0x03, 0x4C, 43);  // HSW / 2 - 1
    p.set(0x03, 0x45, 9).set(0x03, 0x4D, 9);    // VSW - 1
    p.set(0x05, 0x7E, 64, 2);
    // V-by-One mode 0: the lane maps.
    p.set(0x03, 0x55, 0x73625140, 4).set(0x03, 0x5E, 0x73625140, 4);
    p.set(0x03, 0x62, 0x73625140, 4);
}

void memoryController(Programme& p) {
    p.set(0x04, 0x2B, 0xF000, 2);  // OSD memory 0x70000000 >> 16, OR 0x8000
    p.set(0x06, 0x38, 0x07070707, 4).set(0x06, 0x3C, 0x33333333, 4);
}

void outputChannels(Programme& p) {
    const uint32_t control[8] = {0x0201, 0x1211, 0x1211, 0x1211, 0x11, 0x11, 0x11, 0x11};
    const uint32_t source[8] = {10, 10, 10, 10, 1, 1, 1, 1};
    const uint32_t inputControl[8] = {1, 1, 1, 1, 1, 12, 1, 14};
    for (int c = 0; c < 8; ++c) {
        const int o = 16 * c;
        p.set(0x08 + o, 0x08, control[c], 2);
        p.set(0x0E + o, 0x08, source[c]).set(0x0E + o, 0x09, 8 + c, 4);
        p.set(0x0E + o, 0x0D, 85, 2);
        if (c < 4)
            p.set(0x0E + o, 0x17, 128);
        p.set(0x10 + o, 0x09, inputControl[c]);
        p.set(0x16 + o, 0x65, 1).set(0x16 + o, 0x66, 0x43210, 3).set(0x16 + o, 0x6B, 0);
        p.set(0x16 + o, 0x6C, 0x2103, 2);
    }
}

void outputTimingAndDefaults(Programme& p) {
    const uint32_t colour[9] = {0x3265, 0x2000, 0, 0xF105, 0x2000, 0xFA02, 0, 0x2000, 0x3B61};
    const uint32_t input[9] = {0x4000, 0xC5DD, 0xFA23, 0x1B36, 0x5B8C,
                               0x093E, 0xF155, 0xCEAB, 0x4000};
    for (int c = 0; c < 8; ++c) {
        const int o = 16 * c;
        p.set(0x08 + o, 0x0A, 2198, 2).set(0x08 + o, 0x0C, 2248, 2).set(0x08 + o, 0x1D, 64, 2);
        for (int area : {0x28, 0x30})
            p.set(0x08 + o, area, 176, 2)
                .set(0x08 + o, area + 2, 2096, 2)
                .set(0x08 + o, area + 4, 82, 2)
                .set(0x08 + o, area + 6, 2242, 2);
        p.set(0x08 + o, 0x40, 176, 2).set(0x08 + o, 0x42, 0, 2);
        p.set(0x08 + o, 0x44, 82, 2).set(0x08 + o, 0x46, 2161, 2);
        for (int a : {0x0A, 0x0C, 0x0E, 0x10})
            p.set(0x09 + o, a, 255, 2);
        for (int i = 0; i < 9; ++i)
            p.set(0x0C + o, 0x49 + 2 * i, colour[i], 2);
        p.set(0x10 + o, 0x10, 128).set(0x10 + o, 0x11, 128).set(0x10 + o, 0x28, 136);
        for (int i = 0; i < 9; ++i)
            p.set(0x10 + o, 0x35 + 2 * i, input[i], 2);
        p.bytes(0x10 + o, 0x47, {0, 4, 8});
    }
}

void frameMemory(Programme& p) {
    // Block k's first four bases; the banks of channels 5 and 7 take the next block's
    // bases shifted by 0x1E00.
    auto block = [&](int bank, uint32_t k, uint32_t shift) {
        const uint32_t step = 0x2000 * k + shift;
        p.set(bank, 0x1C, step, 4).set(bank, 0x20, 0x08800000 + step, 4);
        p.set(bank, 0x24, 0x11000000 + step, 4).set(bank, 0x28, 0x19800000 + step, 4);
    };
    for (uint32_t k = 0; k < 5; ++k)
        block(0x16 + 16 * static_cast<int>(k), k, 0);
    block(0x66, 4, 0x1E00);
    block(0x76, 5, 0);
    block(0x86, 5, 0x1E00);
    for (int bank = 0x16; bank <= 0x86; bank += 16)
        p.set(bank, 0x30, 64).set(bank, 0x31, 64);
}

void inputChannels(Programme& p) {
    for (int c = 0; c < 4; ++c) {
        const int bank = 0x14 + 16 * c;
        p.set(bank, 0x0D, 16, 2);
        p.bytes(bank, 0x16, {1, 1, 2, 8});
        p.set(bank, 0x22, 0).set(bank, 0x23, 17);
    }
}

void releaseAndPlls(Programme& p) {
    p.set(0xFF, 0x02, 0).set(0xFF, 0x04, 0).set(0x01, 0x26, 0);
    p.set(0x01, 0x08, 48).set(0x01, 0x09, 0x22222222, 4).set(0x01, 0x0D, 0x66663445, 4);
    p.set(0x01, 0x11, 0x22222222, 4);
    p.fill(0x01, 0x15, 0x18, 119).set(0x01, 0x19, 7);
    p.set(0x01, 0x29, 0x88888888, 4);
    p.fill(0x01, 0x2D, 0x34, 119);
    p.bytes(0x01, 0x35, {7, 103, 101, 98, 96, 106, 103, 100, 97, 108, 8});
    for (int i = 0; i < 8; ++i)
        p.set(0x01, 0x40 + 3 * i, 0x924924, 3);
    for (int i = 0; i < 8; ++i)
        p.set(0x01, 0x58 + 3 * i, 0x6DB6DB, 3);
    p.set(0x01, 0x70, 0x33333333, 4);
    p.set(0xFF, 0x02, 136).set(0xFF, 0x02, 200).set(0xFF, 0x04, 97);
    // V-by-One receiver PLLs.
    p.set(0x02, 0x7F, 14).set(0x02, 0x7F, 15);
    p.set(0x02, 0x40, 5).set(0x02, 0x4F, 128).set(0x02, 0x4C, 163);
    p.set(0x02, 0x7F, 13).set(0x02, 0x7F, 15);
    p.set(0x02, 0x5C, 5).set(0x02, 0x6B, 128).set(0x02, 0x68, 163);
    p.set(0x02, 0x7F, 11).set(0x02, 0x7F, 15);
    // First transmitter PLL (mode 9: V-by-One mode 0).
    p.set(0x02, 0x1C, 0).set(0x02, 0x0A, 17, 2).set(0x02, 0x10, 255).set(0x02, 0x13, 17);
    p.set(0x02, 0x18, 76).set(0x02, 0x1C, 1).set(0x02, 0x08, 9).set(0x02, 0x0A, 0x8011, 2);
    p.set(0x02, 0x7F, 7).set(0x02, 0x7F, 15);
    // Second transmitter PLL.
    p.set(0x02, 0x34, 0).set(0x02, 0x7A, 17, 2).set(0x02, 0x28, 255).set(0x02, 0x2B, 17);
    p.set(0x02, 0x78, 76).set(0x02, 0x34, 1).set(0x02, 0x78, 9).set(0x02, 0x7A, 0x8011, 2);
}

void initialSetting(Programme& p, bool full) {
    if (full)
        clockGenerator(p);
    globalRegisters(p);
    inputFrontEnd(p);
    memoryController(p);
    outputChannels(p);
    outputTimingAndDefaults(p);
    frameMemory(p);
    inputChannels(p);
    if (full)
        releaseAndPlls(p);
}

// set_rtct(1): hold (bit 0 of 0x29, which reads 0), the running timing, release.
void runningUpdateTiming(Programme& p) {
    p.set(0x00, 0x29, 1);
    p.bytes(0x00, 0x22, {0x99, 0x99, 0x21, 0x43, 0x55, 0x77, 0x99});
    p.set(0x00, 0x29, 0);
}

// The font check and load: the 35-byte header of each font set read through the flash
// controller (32CN, 32EN, 64CN, 64EN), then each set moved by DMA from its data start
// (header + 0x23) into the font area at 0x7F000000, back to back (32EN, 32CN, 64EN, 64CN).
void fontLoad(Programme& p) {
    for (uint32_t header : {0x010000u, 0x000000u, 0x450000u, 0x410000u}) {
        p.set(0x05, 0x42, 0x55, 3).set(0x05, 0x3C, 0x300, 2).set(0x05, 0x3E, 0x300, 2);
        p.set(0x05, 0x45, 0x3FF, 2);
        p.set(0x04, 0x48, 0).set(0x04, 0x47, 0x80).set(0x04, 0x47, 0x31).set(0x04, 0x4A, 0x0C);
        p.set(0x04, 0x5F, 1).set(0x04, 0x48, 0).set(0x04, 0x60, 0);
        p.set(0x04, 0x4E, header, 4).set(0x04, 0x53, 1).set(0x04, 0x53, 0);
        p.set(0x04, 0x4E, header, 4);
    }
    struct Set {
        uint32_t data, destination, length;
    };
    for (const Set& set :
         {Set{0x000023, 0x7F000000, 0x3000}, Set{0x010023, 0x7F003000, 0x290000},
          Set{0x410023, 0x7F293000, 0xC000}, Set{0x450023, 0x7F29F000, 0xA40000}}) {
        p.set(0x05, 0x42, 0x55, 3).set(0x05, 0x45, 0x3FF, 2).set(0x05, 0x3C, 0x300, 2);
        p.set(0x05, 0x3E, 0x300, 2);
        p.set(0x04, 0x08, 0).set(0x04, 0x48, 0).set(0x04, 0x47, 0x80).set(0x04, 0x47, 0x33);
        p.set(0x04, 0x5F, 2).set(0x04, 0x49, 0x12).set(0x04, 0x4A, 0x0C).set(0x04, 0x4B, 0xC7);
        p.set(0x04, 0x4C, 0x06).set(0x04, 0x4D, 0x05).set(0x04, 0x4E, set.data, 4);
        p.set(0x04, 0x56, set.length | 0x80000000u, 4).set(0x04, 0x5A, 0);
        p.set(0x04, 0x11, set.destination, 4).set(0x04, 0x48, 2).set(0x04, 0x48, 0);
    }
}

// The background colour forced on all eight outputs while g_force_bkcolor is 1.
void forcedBackground(Programme& p) {
    for (int c = 0; c < 8; ++c)
        p.set(0x08 + 16 * c, 0x49, 0xFF00, 3).set(0x08 + 16 * c, 0x48, 1);
}

// ---- the chip's side

// The register writes the chip received. A write of address 0 selects a bank; it counts
// as a write of the register at address 0 (the clock generator has one) only when the
// next access of another register is not in the bank it selected.
std::vector<Write> registerWrites(const std::vector<sim::C331Model::Access>& log, uint8_t bank) {
    std::vector<Write> out;
    for (size_t i = 0; i < log.size(); ++i) {
        const auto& a = log[i];
        if (!a.write)
            continue;
        if (a.address != 0) {
            out.push_back({a.bank, a.address, a.value});
            continue;
        }
        size_t next = i + 1;
        while (next < log.size() && log[next].address == 0)
            ++next;
        if (next == log.size() || log[next].bank != a.value)
            out.push_back({bank, 0x00, a.value});
        bank = a.value;
    }
    return out;
}

TEST_F(VideoTest, BringUpWritesTheWholeProgrammeInOrder) {
    const uint8_t before = c331()->bank();
    manager->c331_bringup();
    Programme p;
    initialSetting(p, true);
    runningUpdateTiming(p);
    fontLoad(p);
    // The panel set-up keeps the panel for this test's zeroed image (an LED size of 0;
    // PanelTest pins the programme of a real one): the forced background is the last step
    // of the programme, the window pass follows with writes of its own (WindowTest).
    forcedBackground(p);
    std::vector<Write> received = registerWrites(c331()->log(), before);
    ASSERT_GT(received.size(), p.writes().size());
    received.resize(p.writes().size());
    const std::string differs = firstDifference(p.writes(), received);
    EXPECT_TRUE(differs.empty()) << differs;
    EXPECT_EQ(p.writes().size(), 1525u);
}

TEST_F(VideoTest, WithoutTheFullBringUpTheProgrammeLeavesClocksAndPllsAlone) {
    manager->load_system_param();
    manager->define_param();
    const uint8_t before = c331()->bank();
    manager->write_initial_setting(manager->c331_fd, 0);
    Programme p;
    initialSetting(p, false);
    const std::string differs = firstDifference(p.writes(), registerWrites(c331()->log(), before));
    EXPECT_TRUE(differs.empty()) << differs;
}

TEST_F(VideoTest, UpdateTimingPresetsOfEveryMode) {
    const std::vector<std::vector<int>> presets = {
        {0, 0, 0, 0, 0, 0, 0},
        {0x99, 0x99, 0x21, 0x43, 0x55, 0x77, 0x99},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0xFF, 0xFF, 0x21, 0x43, 0x55, 0x77, 0xFF},
        {0x99, 0x99, 0xFF, 0xFF, 0xFF, 0xFF, 0x99},  // any other mode
    };
    for (int mode = 0; mode < 6; ++mode) {
        const std::vector<int>& values = presets[mode < 4 ? mode : 4];
        c331()->clearLog();
        const uint8_t before = c331()->bank();
        manager->set_rtct(manager->c331_fd, mode == 5 ? -3 : mode);
        Programme p;
        p.set(0x00, 0x29, 1);
        for (int i = 0; i < 7; ++i)
            p.set(0x00, 0x22 + i, static_cast<uint32_t>(values[i]));
        p.set(0x00, 0x29, 0);
        const std::string differs =
            firstDifference(p.writes(), registerWrites(c331()->log(), before));
        EXPECT_TRUE(differs.empty()) << "mode " << mode << ": " << differs;
    }
}

TEST_F(VideoTest, SystemParameterDefaults) {
    manager->load_system_param();
    const int refclk[4] = {32000000, 800000000, 27000000, 27000000};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(manager->PS_REFCLK[i], refclk[i]) << i;
    EXPECT_EQ(manager->PS_ACTHW, 1920);
    EXPECT_EQ(manager->PS_ACTVW, 2160);
    EXPECT_EQ(manager->PS_HTOTAL, 2200);
    EXPECT_EQ(manager->PS_VTOTAL, 2250);
    EXPECT_EQ(manager->PS_HSW, 88);
    EXPECT_EQ(manager->PS_HBP, 88);
    EXPECT_EQ(manager->PS_VSW, 10);
    EXPECT_EQ(manager->PS_VBP, 72);
    EXPECT_EQ(manager->PS_VBOTX_MODE, 0);
    EXPECT_EQ(manager->PS_VBOTX_LAYOUT, 0);
    const int pll[5] = {0, 137, 0, 1, 22};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(manager->PS_PLL[i], pll[i]) << i;
    const int clk[4] = {137, 0, 2, 24};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(manager->PS_CLK[i], clk[i]) << i;
    const uint32_t region[5] = {0, 0x08800000, 0x11000000, 0x19800000, 0x22000000};
    for (uint32_t k = 0; k < 8; ++k)
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(manager->PS_MEM_BLOCK[k][i], region[i] + 0x2000 * k) << k << " " << i;
    EXPECT_EQ(manager->PS_LINE_PITCH, 64);
    const uint32_t dbd[5] = {0x2A800000, 0x35A80000, 0x40D00000, 0x4BF80000, 0x57200000};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(manager->PS_DBD_BASE[i], dbd[i]) << i;
    EXPECT_EQ(manager->PS_DBD_SLOT_SIZE, 0x01DC0000u);
    const uint32_t osd[4] = {0x70000000, 0x725C0000, 0x74B80000, 0x7F000000};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(manager->PS_OSD_MEM[i], osd[i]) << i;

    manager->define_param();
    EXPECT_EQ(manager->PS_MEASURE_CLK, 200000000);
    EXPECT_EQ(manager->PS_OAOIHST, 176);
    EXPECT_EQ(manager->PS_ACTHST, 176);
    EXPECT_EQ(manager->PS_OAOIHED, 2096);
    EXPECT_EQ(manager->PS_OAOIVST, 82);
    EXPECT_EQ(manager->PS_ACTVST, 82);
    EXPECT_EQ(manager->PS_OAOIVED, 2242);
}

TEST_F(VideoTest, PanelShapeOfEveryTransmitterModeAndLayout) {
    struct Shape {
        int mode, layout, hw, vw, hshape, vshape;
    };
    // Active 1920 x 2160.
    const Shape shapes[] = {
        {0, 0, 7680, 2160, 4, 1}, {0, 1, 3840, 4320, 2, 2},  {2, 0, 3840, 2160, 2, 1},
        {2, 1, 1920, 4320, 1, 2}, {1, 0, 15360, 2160, 8, 1}, {3, 1, 7680, 4320, 4, 2},
    };
    manager->load_system_param();
    for (const Shape& s : shapes) {
        manager->PS_VBOTX_MODE = s.mode;
        manager->PS_VBOTX_LAYOUT = s.layout;
        manager->define_param();
        EXPECT_EQ(manager->PS_PANEL_HW, s.hw) << s.mode << "/" << s.layout;
        EXPECT_EQ(manager->PS_PANEL_VW, s.vw) << s.mode << "/" << s.layout;
        EXPECT_EQ(manager->PS_PANEL_HSHAPE, s.hshape) << s.mode << "/" << s.layout;
        EXPECT_EQ(manager->PS_PANEL_VSHAPE, s.vshape) << s.mode << "/" << s.layout;
    }
}

TEST_F(VideoTest, BuiltInWindowSetWordForWord) {
    const int words[160] = {
        // PM_WIN_SHAPE
        2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1,
        // PM_INPUT
        4, 5, 1, 2, 3, 0,
        // PM_WIN_OFFSET
        100, 100, 100, 100, 0, 0, 0, 0, 0, 0, 540, 0, 0, 0, 1080, 0, 0, 0, 1080, 0, 0, 0, 540, 0,
        // PM_INPUT_OFFSET
        100, 100, 200, 200, 0, 0, 0, 0, 400, 0, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // PM_INPUT_OFFSET_EN
        1, 0, 0, 0, 0, 0,
        // PM_WIN_NUM, PM_AREA_NUM, PM_OVERLAY
        0, 0, 1, 1, 2, 3, 4, 5, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4,
        // window priorities, the two effect words
        1, 0, 2, 3, 4, 5, 0, 0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 0,
        // PM_WIN_FADE_EN, PM_WIN_FADE_IN, PM_WIN_FADE_OUT
        0, 1, 1, 1, 0, 1, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60,
        // dot-by-dot mode and its second word
        0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0,
        // OSD enable, zooms, data mode; scroll mode; output and input offsets
        0, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0,
        // two further words, OSD update button
        1, 0, 0};
    manager->load_param();
    int loaded[160];
    static_assert(sizeof loaded == sizeof manager->pm, "the set is 160 words");
    std::memcpy(loaded, &manager->pm, sizeof loaded);
    for (int i = 0; i < 160; ++i)
        EXPECT_EQ(loaded[i], words[i]) << "word " << i;
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(manager->PM_WIN_STITCHING[w], w);
}

}  // namespace
}  // namespace videotest
