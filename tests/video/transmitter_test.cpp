// The V-by-One transmitters as the bring-up and the panel set-up leave them: lane maps
// (bank 0x03 0x55, 0x5E, 0x62), the transmitter PLL band (bank 0x02 0x18 and 0x78) and
// mode (0x08 and 0x78) for each transmitter mode, and the lane map of the CP12 splice.
//
// The band follows r = PLL word 5 x 27 MHz / (D x PLL word 4), D = 2 MHz in transmitter
// mode 1 and 4 MHz otherwise: 68 below 21, 72 below 41, else 76. With PLL words 4 and 5
// of 1 and 2, r is 27 in mode 1 (72) and 13.5 in the others (68).
#include <gtest/gtest.h>

#include "core/global.h"
#include "core/para_apply.h"
#include "tests/video/chip_writes.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

class TransmitterTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        manager->load_system_param();
        manager->define_param();
    }
    // The full register programme of the bring-up in transmitter mode `mode`.
    void initialSetting(int mode, int pllWord5) {
        manager->PS_VBOTX_MODE = mode;
        manager->PS_PLL[4] = pllWord5;
        c331()->clearLog();
        manager->write_initial_setting(manager->c331_fd, 1);
    }
    // The values written to one register of bank 0x02, in order.
    std::vector<int> written(uint8_t address) {
        std::vector<int> out;
        for (const ChipWrite& w : registerWritesOf(c331()->log()))
            if (w.bank == 0x02 && w.address == address)
                out.push_back(w.value);
        return out;
    }
    void expectLaneMaps(uint32_t first, uint32_t rest) {
        EXPECT_EQ(chip(0x03, 0x55, 4), first);
        EXPECT_EQ(chip(0x03, 0x5E, 4), rest);
        EXPECT_EQ(chip(0x03, 0x62, 4), rest);
    }
};

TEST_F(TransmitterTest, ModeOneTakesStraightLaneMapsAndTransmitterMode5) {
    initialSetting(1, 2);
    expectLaneMaps(0x76543210, 0x76543210);
    EXPECT_EQ(written(0x18), (std::vector<int>{72}));
    EXPECT_EQ(written(0x08), (std::vector<int>{5}));
    EXPECT_EQ(written(0x78), (std::vector<int>{72, 5}));
    // With the default PLL word 5 (22): r = 297, band 76.
    initialSetting(1, 22);
    EXPECT_EQ(written(0x18), (std::vector<int>{76}));
}

TEST_F(TransmitterTest, ModeTwoMapsLaneZeroAloneAndKeepsTransmitterMode9) {
    initialSetting(2, 2);
    expectLaneMaps(0x00010000, 0x76543210);
    EXPECT_EQ(written(0x18), (std::vector<int>{68}));
    EXPECT_EQ(written(0x08), (std::vector<int>{9}));
    EXPECT_EQ(written(0x78), (std::vector<int>{68, 9}));
}

TEST_F(TransmitterTest, ModeZeroInterleavesTheLanes) {
    initialSetting(0, 2);
    expectLaneMaps(0x73625140, 0x73625140);
    EXPECT_EQ(written(0x18), (std::vector<int>{68}));
    EXPECT_EQ(written(0x08), (std::vector<int>{9}));
}

// Splice CP12: one channel maps no lane of lane map 0; two channels map lanes 0 and 1 to
// both halves (0x01000100). Lane maps 1 and 2 are straight either way.
TEST_F(TransmitterTest, SpliceCp12LaneMapsForOneAndTwoChannels) {
    {
        ParaLock lock;
        manager->krxApi_PnlInit2(1920, 1080, 1920, 1080, 4);
    }
    ASSERT_EQ(manager->pnl.use1och, 1);
    expectLaneMaps(0, 0x76543210);
    {
        ParaLock lock;
        manager->krxApi_PnlInit2(7680, 2160, 7680, 2160, 4);
    }
    ASSERT_EQ(manager->pnl.use1och, 0);
    expectLaneMaps(0x01000100, 0x76543210);
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

}  // namespace
}  // namespace videotest
