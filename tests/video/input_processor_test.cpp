// The input processors on the simulated c331: de-interlacing and its filters, the IP-mode
// registers and the processors' frame buffers, as the chip receives them.
//
// The default image shows window 0 on HDMI1, which reaches the chip on parallel port 1; an
// interlaced port is received on input channels 0..3, where the processors sit, so the
// window's first input channel (0) is its processor. Processor 0's measured totals lie in
// bank 0xA8: lines - 1 at 0x08 and pixels at 0x0A. CTA-861 VIC 5 is 1080i at 60 fields
// (a field of 540 active lines of 562, 5 + 15 lines before them), VIC 20 the same at 50,
// VIC 6 480i (240 of 262 lines), VIC 16 1080p.
#include <gtest/gtest.h>

#include <mutex>

#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/chip_writes.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

constexpr int kHdmi1 = 1;
constexpr int kPort = 1;  // HDMI1's chip port

class InputProcessorTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        g_force_bkcolor = 2;
        store->load();
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
    }
    // HDMI1 plugged with a CTA-861 timing and the image applied; the processor's measured
    // totals as the chip counts them.
    void start(int vic, uint32_t lines, uint32_t pixels) {
        c331()->setReg(0xA8, 0x08, static_cast<uint8_t>(lines - 1));
        c331()->setReg(0xA8, 0x09, static_cast<uint8_t>((lines - 1) >> 8));
        c331()->setReg(0xA8, 0x0A, static_cast<uint8_t>(pixels));
        c331()->setReg(0xA8, 0x0B, static_cast<uint8_t>(pixels >> 8));
        sources->plug(kHdmi1, *sim::VideoTiming::cta861(vic));
        {
            std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
            inputs->hdminfo[kHdmi1] = cta861Record(vic);
        }
        bringUp();
        cycle();
        cycle();
        ip = manager->ich_list[0][0];
    }
    // The processor programmed again with the levels and values the test set.
    void program() {
        c331()->clearLog();
        manager->set_ip(manager->c331_fd, ip);
    }
    uint32_t at(int bank, int address, int count = 1) {
        return chip(static_cast<uint8_t>(bank + 16 * ip), static_cast<uint8_t>(address), count);
    }
    // Registers first.. of the processor's bank hold the values, one byte each.
    void expectBytes(int bank, int first, std::initializer_list<int> values) {
        int a = first;
        for (int v : values) {
            EXPECT_EQ(at(bank, a), static_cast<uint32_t>(v))
                << "bank " << std::hex << bank << " address " << a;
            ++a;
        }
    }

    std::shared_ptr<sim::HdmiSources> sources;
    int ip = -1;
};

// ---- an interlaced port without noise reduction

// 1080i at 60 fields with every NR level 0 is de-interlaced all the same: the totals the
// processor measured (1125 lines, 2200 pixels) give a field of (1125 + 1) / 2 = 563 lines:
// 563 + 32 = 595, (2200 + 16) x 2 = 4432, ((563 + 33) x 3 / 4) | 0x8000 = 0x81BF; the
// port's active area doubled down (540 lines from 20: 1080 from 40); the IP-mode registers
// of state 5 (group A); the de-interlacer's 32, 8, 4.
TEST_F(InputProcessorTest, AnInterlacedPortWithoutNoiseReductionIsDeinterlaced) {
    start(5, 1125, 2200);
    ASSERT_EQ(ip, 0);
    ASSERT_EQ(manager->PI_PORT_INFO[kPort].STATE, 5);
    EXPECT_EQ(at(0x14, 0x08, 2), 595u);
    EXPECT_EQ(at(0x14, 0x0A, 2), 4432u);
    EXPECT_EQ(at(0x14, 0x6D, 2), 0x81BFu);
    EXPECT_EQ(at(0x14, 0x0C), 1u);
    EXPECT_EQ(at(0x14, 0x0F, 2), 1920u);
    EXPECT_EQ(at(0x14, 0x13, 2), 1080u);
    EXPECT_EQ(at(0x14, 0x11, 2), 0x8028u);
    expectBytes(0x14, 0x2E, {26, 16});
    expectBytes(0x14, 0x31, {142, 6, 128, 192, 193, 193, 193, 0, 193, 193});
    expectBytes(0x14, 0x42, {68, 0, 3, 0, 0, 2, 15, 0, 0});
    EXPECT_EQ(at(0x14, 0x2C), 51u);
    EXPECT_EQ(at(0x14, 0x2D), 9u);
    EXPECT_EQ(at(0x14, 0x30), 0u);
    EXPECT_EQ(at(0x14, 0x2A), 32u);
    EXPECT_EQ(at(0x14, 0x67), 8u);
    EXPECT_EQ(at(0x14, 0x68), 4u);
    EXPECT_EQ(at(0x16, 0x5B), 1u) << "the frame memory takes fields";
    EXPECT_EQ(at(0x15, 0x08), 0u) << "no NR";
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// At 50 fields, state 6: group A without the 193s.
TEST_F(InputProcessorTest, State6IsGroupAWithoutItsFilters) {
    start(20, 1125, 2640);
    ASSERT_EQ(manager->PI_PORT_INFO[kPort].STATE, 6);
    EXPECT_EQ(at(0x14, 0x0A, 2), 5312u);  // (2640 + 16) x 2
    expectBytes(0x14, 0x31, {142, 6, 128, 192, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(at(0x14, 0x2C), 51u);
}

// 480i is state 7, group B; the port's three IP flags and two IP values set: 0x2C = 50 +
// 64 + 128, 0x2D = 25, 0x30 = 5 << 4 | 3, and the de-interlacer's first register 0.
TEST_F(InputProcessorTest, State7IsGroupBAndTheIpFlagsAndValues) {
    start(6, 525, 1716);
    ASSERT_EQ(manager->PI_PORT_INFO[kPort].STATE, 7);
    manager->PM_IP_FLAG[kPort][0] = manager->PM_IP_FLAG[kPort][1] = 1;
    manager->PM_IP_FLAG[kPort][2] = 1;
    manager->PM_IP_VALUE[kPort][0] = 5;
    manager->PM_IP_VALUE[kPort][1] = 3;
    program();
    EXPECT_EQ(at(0x14, 0x08, 2), 263u + 32u);  // (525 + 1) / 2 lines
    expectBytes(0x14, 0x2E, {13, 3});
    expectBytes(0x14, 0x31, {53, 2, 128, 40, 196, 196, 196, 196, 194, 194});
    expectBytes(0x14, 0x42, {70, 0, 3, 0, 0, 0, 9, 0, 0});
    EXPECT_EQ(at(0x14, 0x2C), 242u);
    EXPECT_EQ(at(0x14, 0x2D), 25u);
    EXPECT_EQ(at(0x14, 0x30), 0x53u);
    EXPECT_EQ(at(0x14, 0x2A), 0u);
}

// State 8 (576i): 0x31 := 69 and no filters; a progressive port's state (4) writes no
// IP-mode register.
TEST_F(InputProcessorTest, State8AndAProgressivePortsState) {
    start(6, 525, 1716);
    manager->PI_PORT_INFO[kPort].STATE = 8;
    program();
    expectBytes(0x14, 0x31, {69, 2, 128, 40, 0, 0, 0, 0, 0, 0});
    manager->PI_PORT_INFO[kPort].STATE = 4;
    manager->PI_PORT_INFO[kPort].IP = 0;
    manager->PM_HNR[kPort] = 1;  // active through its NR
    program();
    for (const ChipWrite& w : registerWritesOf(c331()->log()))
        EXPECT_FALSE(w.bank == 0x14 && w.address >= 0x2C && w.address <= 0x4A && w.address != 0x2A)
            << describe(w);
    EXPECT_EQ(at(0x14, 0x2A), 16u);
    EXPECT_EQ(at(0x14, 0x67), 0u);
    EXPECT_EQ(at(0x14, 0x68), 0u);
}

// ---- the filters

TEST_F(InputProcessorTest, DiagonalFilterLevels) {
    start(5, 1125, 2200);
    const std::vector<std::vector<int>> levels = {
        {9, 255, 119, 0, 4, 16, 3, 8, 10, 20, 4, 4, 2, 2, 16, 50, 0, 0, 0, 0},
        {11, 127, 119, 3, 4, 16, 1, 4, 10, 20, 4, 4, 2, 2, 16, 50, 0, 0, 0, 0},
        {11, 127, 119, 19, 9, 16, 3, 8, 10, 20, 4, 4, 2, 2, 16, 49, 0, 0, 0, 0},
    };
    for (int level = 1; level <= 3; ++level) {
        manager->PM_DIAG[kPort] = level;
        program();
        int a = 0x50;
        for (int v : levels[static_cast<size_t>(level - 1)])
            EXPECT_EQ(at(0x14, a++), static_cast<uint32_t>(v)) << "level " << level;
    }
    manager->PM_DIAG[kPort] = 0;
    program();
    for (int a = 0x50; a <= 0x5F; ++a)
        EXPECT_EQ(at(0x14, a), 0u) << a;
}

TEST_F(InputProcessorTest, CombFilterLevels) {
    start(5, 1125, 2200);
    const int sets[4][3] = {{0, 0, 0}, {1, 16, 128}, {1, 20, 128}, {1, 112, 160}};
    for (int level : {1, 2, 3, 0}) {
        manager->PM_COMB[kPort] = level;
        program();
        EXPECT_EQ(at(0x14, 0x3B), static_cast<uint32_t>(sets[level][0])) << level;
        if (level) {
            EXPECT_EQ(at(0x14, 0x3C), static_cast<uint32_t>(sets[level][1])) << level;
            EXPECT_EQ(at(0x14, 0x3D), static_cast<uint32_t>(sets[level][2])) << level;
        }
    }
}

// Thresholds 0x1A, 0x1E, 0x1B, 0x1F / 0x1C, 0x20 / 0x1D, 0x21 by level.
TEST_F(InputProcessorTest, MotionVectorFilterLevels) {
    start(5, 1125, 2200);
    const int sets[5][3] = {{0, 0, 0}, {4, 8, 8}, {8, 8, 16}, {8, 16, 24}, {16, 24, 31}};
    for (int level = 1; level <= 4; ++level) {
        manager->PM_MVFLT[kPort] = level;
        program();
        EXPECT_EQ(at(0x14, 0x15), 31u) << level;
        for (int a : {0x1A, 0x1E, 0x1B, 0x1F})
            EXPECT_EQ(at(0x14, a), static_cast<uint32_t>(sets[level][0])) << level << " " << a;
        for (int a : {0x1C, 0x20})
            EXPECT_EQ(at(0x14, a), static_cast<uint32_t>(sets[level][1])) << level << " " << a;
        for (int a : {0x1D, 0x21})
            EXPECT_EQ(at(0x14, a), static_cast<uint32_t>(sets[level][2])) << level << " " << a;
    }
    manager->PM_MVFLT[kPort] = 0;
    program();
    EXPECT_EQ(at(0x14, 0x15), 0u);
}

// The port loses its signal: every filter of the processor goes off.
TEST_F(InputProcessorTest, FiltersGoOffWithTheSignal) {
    start(5, 1125, 2200);
    manager->PM_DIAG[kPort] = 2;
    manager->PM_COMB[kPort] = 2;
    manager->PM_MVFLT[kPort] = 3;
    program();
    ASSERT_EQ(at(0x14, 0x3B), 1u);
    sources->unplug(kHdmi1);
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[kHdmi1].nosignal = 1;
    }
    for (int i = 0; i < 3; ++i)
        cycle();
    ASSERT_EQ(manager->PI_PORT_INFO[kPort].STATE, 0);
    manager->PM_HNR[kPort] = 1;
    manager->PI_PORT_INFO[kPort].IP = 1;  // an interlaced port without signal
    program();
    EXPECT_EQ(at(0x14, 0x3B), 0u);
    EXPECT_EQ(at(0x14, 0x15), 0u);
    for (int a = 0x1A; a <= 0x21; ++a)
        EXPECT_EQ(at(0x14, a), 0u) << a;
    for (int a = 0x50; a <= 0x5F; ++a)
        EXPECT_EQ(at(0x14, a), 0u) << a;
}

// ---- the processor's frame buffers (bank 0x17)

// Interlaced: field offset 37 & 31 = 5, F = 5 << 10 = 5120 before each buffer of the pair.
TEST_F(InputProcessorTest, FrameBuffersOfAnInterlacedPort) {
    start(5, 1125, 2200);
    manager->PS_IP_BUF[0][0] = 0x01000000;  // I0, I1, P0, P1
    manager->PS_IP_BUF[0][1] = 0x02000000;
    manager->PS_IP_BUF[0][2] = 0x03000000;
    manager->PS_IP_BUF[0][3] = 0x04000000;
    manager->PS_IP_FIELD_OFFSET[0] = 37;
    manager->PS_IP_WMODE[0] = 0x1234;
    program();
    const uint32_t expected[8][2] = {
        {0x18, 0x01001400}, {0x1C, 0x01000000}, {0x20, 0x02001400}, {0x24, 0x02000000},
        {0x08, 0x01001400}, {0x0C, 0x01000000}, {0x10, 0x02001400}, {0x14, 0x02000000},
    };
    for (const auto& e : expected)
        EXPECT_EQ(at(0x17, static_cast<int>(e[0]), 4), e[1]) << std::hex << e[0];
    EXPECT_EQ(at(0x17, 0x59, 2), 0x1234u);
    EXPECT_EQ(at(0x16, 0x5B), 1u);

    // Progressive (the same processor, its port made progressive): P0 and P1 alternate.
    manager->PI_PORT_INFO[kPort].IP = 0;
    manager->PI_PORT_INFO[kPort].STATE = 4;
    program();
    for (int a : {0x18, 0x20, 0x08, 0x10})
        EXPECT_EQ(at(0x17, a, 4), 0x03000000u) << std::hex << a;
    for (int a : {0x1C, 0x24, 0x0C, 0x14})
        EXPECT_EQ(at(0x17, a, 4), 0x04000000u) << std::hex << a;
    EXPECT_EQ(at(0x17, 0x59, 2), 0u);
    EXPECT_EQ(at(0x16, 0x5B), 0u);
    EXPECT_EQ(at(0x15, 0x70), 0u) << "progressive without NR: the processor is off";
}

}  // namespace
}  // namespace videotest
