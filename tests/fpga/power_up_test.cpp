// FPGA 0 from reset to output running, and every way the bring-up can fail: a link error
// at S2, no video at the output start, a parameter RAM that does not read back, an image
// that is not loaded, and an FPGA that loses its image while running.
#include <gtest/gtest.h>

#include "board/board.h"
#include "tests/fpga/fpga_fixture.h"
#include "video/c331_manage.h"

namespace fpgatest {
namespace {

class PowerUp : public FpgaTest {
protected:
    // True when `expected` appears in `writes` in this order (other writes between).
    static bool inOrder(const std::vector<RegWrite>& writes,
                        const std::vector<RegWrite>& expected) {
        size_t next = 0;
        for (const RegWrite& w : writes)
            if (next < expected.size() && w.reg == expected[next].reg &&
                w.mask == expected[next].mask &&
                (w.value & w.mask) == (expected[next].value & expected[next].mask))
                ++next;
        return next == expected.size();
    }
    int readsOf(uint8_t reg) {
        int n = 0;
        for (const auto& a : fpga()->log())
            n += a.op == 2 && a.read && a.address == reg;
        return n;
    }
    // Stores of 0 to FPGA 0's reset line, and how long each was held.
    std::vector<u32> resetPulses() {
        std::vector<u32> held;
        auto stores = resetStores();
        for (size_t i = 0; i + 1 < stores.size(); ++i)
            if (stores[i].value == 0 && stores[i + 1].value == 16)
                held.push_back(stores[i + 1].tick - stores[i].tick);
        return held;
    }
};

TEST_F(PowerUp, FromResetToOutputRunning) {
    EXPECT_FALSE(manager->get_fpga_status());
    ASSERT_TRUE(bringUp());
    EXPECT_EQ(shadow(80), 3) << "fpga_ready_state";
    EXPECT_EQ(manager->power_up_step[0], 7);
    EXPECT_EQ(manager->lcd_step[0], 18);

    EXPECT_TRUE(inOrder(regWrites(), {
                                         {3, 0x40, 0x40},   // S1: train the link
                                         {3, 0x80, 0x80},   // S3: enable it
                                         {23, 0x01, 0x00},  // S5: locked
                                         {23, 0x01, 0x01},  // S6
                                         {23, 0x40, 0x40},  // fpgainit pulse
                                         {23, 0x40, 0x00},
                                         {22, 0x20, 0x00},
                                         {2, 0x08, 0x08},
                                         {0, 0x04, 0x04},   // screen black
                                         {2, 0x01, 0x01},   // measured output accepted
                                         {41, 0x01, 0x01},  // output start handshake
                                         {23, 0x02, 0x02},
                                         {23, 0x02, 0x00},
                                         {2, 0x01, 0x01},
                                         {23, 0x08, 0x00},
                                         {3, 0x20, 0x20},  // output on
                                         {0, 0x04, 0x00},  // screen shown
                                     }));
    // What the FPGA holds at the end.
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "screen shown";
    EXPECT_EQ(fpga()->reg(3) & 0xE0, 0xE0);
    EXPECT_EQ(fpga()->reg(2) & 0x06, 0) << "command bits never reach the FPGA";
    EXPECT_EQ(fpga()->ram(1, 276, 6), (Bytes{1, 2, 3, 4, 5, 6}));
    // The video processor was asked to apply once, with the forced background off.
    EXPECT_EQ(c331_manage::para_update.load(), 1);
    EXPECT_EQ(g_force_bkcolor.load(), 0);
    // The image identity went into the command area.
    EXPECT_EQ(Bytes(fpga_manage::MCU_RAM_CMD + 12, fpga_manage::MCU_RAM_CMD + 16),
              (Bytes{0x01, 0x21, 0x06, 0x24}));
    EXPECT_TRUE(resetPulses().empty());
    EXPECT_TRUE(fpga()->protocolErrors().empty());
    EXPECT_TRUE(bus()->errors().empty());
}

TEST_F(PowerUp, NothingReachesFpgaZeroBeforeTheInputBoardIsSetUp) {
    source->d0_step[0] = 1;
    pass(600);
    EXPECT_EQ(fpgaMessages(), 0u);
    EXPECT_EQ(manager->power_up_step[0], 0);
    source->d0_step[0] = 2;
    EXPECT_TRUE(bringUp());
}

TEST_F(PowerUp, AnImageYearOutOfRangeKeepsRereadingTheIdentity) {
    for (uint8_t year : {24, 49}) {
        fpga()->setReg(31, year);
        fpga()->clearLog();
        pass(400);
        EXPECT_EQ(manager->power_up_step[0], 1);
        EXPECT_TRUE(regWrites().empty()) << "year " << int(year);
        EXPECT_GE(readsOf(31), 10);
        EXPECT_EQ(readsOf(31), readsOf(7));
        EXPECT_EQ(readsOf(28), readsOf(7));
    }
    fpga()->setReg(31, 25);
    EXPECT_TRUE(bringUp());
    // The last year of the range is taken too.
    restart();
    fpga()->setReg(31, 48);
    EXPECT_TRUE(bringUp()) << "year 48";
}

TEST_F(PowerUp, LinkErrorAtS2ResetsTwiceThenGoesOn) {
    fpga()->setLinkError(true);
    ASSERT_TRUE(runUntil([this] { return manager->power_up_step[0] == 5; }));
    auto held = resetPulses();
    ASSERT_EQ(held.size(), 2u);
    for (u32 ticks : held)
        EXPECT_GT(ticks, 200u);
    EXPECT_EQ(fpga()->configurations(), 3);
    fpga()->setLinkError(false);
    EXPECT_TRUE(bringUp());
}

TEST_F(PowerUp, NoVideoAtTheOutputStartResetsAfterEachLevelOfChecks) {
    fpga()->setOutput(0, 0, 0);
    ASSERT_TRUE(runUntil([this] { return manager->power_up_step[0] == 7; }));
    fpga()->clearLog();
    ASSERT_TRUE(runUntil([this] { return !resetPulses().empty(); }));
    EXPECT_EQ(readsOf(22) + 1, 20) << "twenty failed checks (the first with S6), then the reset";
    EXPECT_EQ(manager->check_level[0], 1);
    EXPECT_GT(resetPulses()[0], 200u);
    fpga()->setOutput(1920, 1080, 833333);
    EXPECT_TRUE(bringUp());
}

TEST_F(PowerUp, OutputStartGivesUpOnceTheLastLevelIsPassed) {
    fpga()->setOutput(0, 0, 0);
    ASSERT_TRUE(runUntil([this] { return manager->power_up_step[0] == 7; }));
    manager->check_level[0] = 100;
    manager->check_count[0] = 2019;
    ASSERT_TRUE(runUntil([this] { return !resetPulses().empty(); }));
    EXPECT_EQ(manager->check_level[0], 101);
    ASSERT_TRUE(runUntil([this] { return manager->power_up_step[0] == 7; }));
    fpga()->clearLog();
    ASSERT_TRUE(runUntil([this] { return manager->lcd_step[0] == 7; }));
    EXPECT_EQ(readsOf(22) + 1, 20) << "the last level counts up to 2040 checks";
    EXPECT_EQ(manager->check_count[0], 2040);
    EXPECT_EQ(resetPulses().size(), 1u) << "no further reset";
}

TEST_F(PowerUp, ParameterRamThatDoesNotReadBackIsNeverMarkedReady) {
    fpga()->setRamWriteFault(1, true);
    ASSERT_TRUE(runUntil([this] { return !resetPulses().empty() || manager->reset_pending[0]; }));
    EXPECT_EQ(manager->fpga_ready_state(0), 0);
    EXPECT_EQ(manager->power_up_step[0], 17) << "waiting for the reset release";
    EXPECT_EQ(manager->ram_ok[0], 0);
    EXPECT_TRUE(fpga()->inReset());
    pass(150);
    EXPECT_FALSE(manager->get_fpga_status());
    EXPECT_TRUE(regWrites(41).empty()) << "no output start against a held FPGA";
    fpga()->setRamWriteFault(1, false);
    EXPECT_TRUE(bringUp());
    EXPECT_EQ(manager->ram_ok[0], 1);
}

TEST_F(PowerUp, ResetIsHeldForMoreThanTwoHundredTicks) {
    ASSERT_TRUE(bringUp());
    const u32 start = G_timeTicks;
    manager->reset_fpga_rst(0);
    manager->reset_fpga_rst(1);
    EXPECT_TRUE(fpga()->inReset());
    // Held in reset the FPGA drives nothing.
    u8 value = 0;
    manager->read_fpga_register(31, &value, 0);
    EXPECT_EQ(value, 0xFF);
    G_timeTicks = start + 200;
    manager->fpga_manage_deal();
    EXPECT_TRUE(fpga()->inReset());
    G_timeTicks = start + 201;
    manager->fpga_manage_deal();
    EXPECT_FALSE(fpga()->inReset());
    EXPECT_EQ(shadow(80), 0);
    EXPECT_EQ(manager->lcd_step[0], 0);
    EXPECT_TRUE(bringUp());
    // FPGA 1 stays held: nothing releases it.
    EXPECT_EQ(window()->word(0x207864), 0);
}

TEST_F(PowerUp, AnFpgaThatLostItsImageIsBroughtUpAgain) {
    ASSERT_TRUE(bringUp());
    // An event with the image still loaded changes nothing.
    fpga()->raiseEvent(0x40);
    EXPECT_TRUE(fpga()->serviceRequested());
    pass();
    EXPECT_FALSE(fpga()->serviceRequested()) << "the event is cleared";
    EXPECT_TRUE(manager->get_fpga_status());

    fpga()->setReg(31, 0x12);
    fpga()->raiseEvent(0x40);
    pass();
    EXPECT_EQ(manager->fpga_ready_state(0), 0);
    EXPECT_FALSE(manager->get_fpga_status());
    EXPECT_FALSE(fpga()->serviceRequested());
    fpga()->clearLog();
    pass(100);
    EXPECT_EQ(manager->power_up_step[0], 1);
    fpga()->setReg(31, 0x24);  // loaded again
    ASSERT_TRUE(bringUp());
    EXPECT_FALSE(regWrites(41).empty()) << "the output start ran again";
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "and showed the screen";
}

TEST_F(PowerUp, RegistersReadAllOnesUntilTheImageIsLoaded) {
    ASSERT_TRUE(bringUp());
    fpga()->setConfigDelayMs(40);
    manager->reset_fpga_rst(0);
    G_timeTicks += 201;
    manager->check_fpga_rst();
    u8 value = 0;
    manager->read_fpga_register(31, &value, 0);
    EXPECT_EQ(value, 0xFF) << "still loading its image";
    EXPECT_TRUE(test::waitFor([this] { return fpga()->configured(); }, 5000));
    manager->read_fpga_register(31, &value, 0);
    EXPECT_EQ(value, 0x24);
}

}  // namespace
}  // namespace fpgatest
