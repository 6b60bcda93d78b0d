// IT6805 register access, identification, reference-clock calibration and the measurements
// when the chip gives nothing to measure.
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;

class It6805Access : public It6805Test {
protected:
    // The chip identified and initialised, the switch on its channel.
    void SetUp() override {
        It6805Test::SetUp();
        startUp();
        ASSERT_TRUE(runUntil([&] { return driver().fsm_step[0] == ite6805_sys::kRun; }));
        bus->clearLog();
    }
    ite6805_i2c_rdwr& rdwr() { return *driver().i2c; }
    std::vector<sim::I2cBus::Message> writesTo0x90() {
        std::vector<sim::I2cBus::Message> out;
        for (const auto& m : bus->messagesTo(0x90))
            if (!m.read)
                out.push_back(m);
        return out;
    }
};

TEST_F(It6805Access, MaskedWriteKeepsTheOtherBits) {
    rdwr().hdmirxwr(0x0F, 0xF8, 0);
    rdwr().hdmirxset(0x0F, 0x07, 5, 0);
    auto writes = writesTo0x90();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().bytes, (std::vector<uint8_t>{0x0F, 0xFD}));
    rdwr().hdmirxwr(0x0F, 0x00, 0);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// The chip model's map is what makes the empty error lists of these tests mean something.
TEST_F(It6805Access, TheChipReportsAccessesOutsideItsMap) {
    rdwr().hdmirxwr(0x20, 0x01, 0);  // no such register in bank 0
    rdwr().hdmirxwr(0x13, 0x01, 0);  // port status: read-only
    driver().drv->chgbank(6, 0);
    rdwr().hdmirxrd(0xC0, 0);  // bank 6 has no registers of its own
    driver().drv->chgbank(0, 0);
    EXPECT_EQ(chip->protocolErrors().size(), 3u) << errors();
    chip->clearProtocolErrors();
}

TEST_F(It6805Access, EmptyTablesAndBlocksSendNothing) {
    const iTE6805_INI_REG empty[] = {{0xFF, 0xFF, 0xFF}, {0x22, 0xFF, 0x00}};
    rdwr().hdimrx_write_init(empty, 0);
    const u8 data[1] = {0x55};
    rdwr().hdmirxbwr(0x70, 0, data, 0);
    EXPECT_TRUE(bus->log().empty());
}

TEST_F(It6805Access, AnotherDeviceGetsNoAction) {
    driver().iTE6805_FSM(1);
    driver().iTE6805_Set_HPD_Ctrl(0, 0, 1);
    driver().iTE6805_Init_fsm(1);
    EXPECT_EQ(rdwr().hdmirxrd(0x00, 1), 0);
    EXPECT_EQ(rdwr().hdmirxwr(0x22, 0x00, 1), 1);
    EXPECT_TRUE(bus->log().empty());
}

// With no clock, or with a chip that stops answering, the counts and totals that are zero
// give zero instead of a division by zero.
TEST_F(It6805Access, MeasurementsOfNothingAreZero) {
    ite6805_drv& drv = *driver().drv;
    EXPECT_EQ(drv.iTE6805_Get_TMDS(10, 0), 0u);
    EXPECT_EQ(drv.iTE6805_Get_VID_Info(0), 0u);
    // A chip that does not answer reads as zeros.
    chip->setPresent(false);
    EXPECT_EQ(drv.iTE6805_Get_PCLK(0), 0u);
    EXPECT_EQ(drv.iTE6805_Get_VID_Info(0), 0u);
    driver().iTE6805_Enable_Audio_Output(0);
    chip->setPresent(true);
}

TEST_F(It6805Test, AChipThatDoesNotAnswerIsLookedForEveryPass) {
    chip->setPresent(false);
    store->reg_para[0x25] = 0x20;
    startUp();
    pass(3);
    EXPECT_EQ(driver().fsm_step[0], ite6805_sys::kIdentify);
    EXPECT_GE(driver().identify_failures[0], 3);
    EXPECT_EQ(store->reg_para[0x25] & 0x20, 0);
    EXPECT_EQ(record().updated, 0u);

    chip->setPresent(true);
    pass();
    EXPECT_EQ(store->reg_para[0x25] & 0x20, 0x20);
    EXPECT_EQ(driver().fsm_step[0], ite6805_sys::kSettle);
}

struct ClockCase {
    const char* name;
    uint32_t factory;
    bool hundredths;
    unsigned page;
    uint32_t rclk;                    // what the driver takes
    uint8_t timerMHz, timerFraction;  // the 1 us timer, 0x91 bits 5..0 and 0x92
};

void PrintTo(const ClockCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Clock : public It6805Test, public testing::WithParamInterface<ClockCase> {};

TEST_P(It6805Clock, FactoryReferenceClockOrTheTypicalOne) {
    const ClockCase& c = GetParam();
    chip->setFactoryValue(c.factory, c.hundredths, c.page);
    startUp();
    ASSERT_TRUE(runUntil([&] { return driver().fsm_step[0] != ite6805_sys::kIdentify; }));
    EXPECT_EQ(driver().drv->rclk_khz[0], c.rclk);
    EXPECT_EQ(driver().drv->cec_time_unit[0], c.rclk / 160);
    EXPECT_EQ(chip->reg(0, 0x91) & 0x3F, c.timerMHz);
    EXPECT_EQ(chip->reg(0, 0x92), c.timerFraction);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(
    ReadBack, It6805Clock,
    testing::Values(ClockCase{"tooLow", 1200000, true, 0, 19000, 19, 0},
                    ClockCase{"highestKept", 27000, false, 0, 27000, 27, 0},
                    ClockCase{"tooHigh", 27001, false, 0, 19000, 19, 0},
                    ClockCase{"page4", 23456, false, 4, 23456, 23, 116},
                    ClockCase{"page4Hundredths", 2300000, true, 4, 23000, 23, 0}),
    [](const testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.name); });

// Calibration that never finishes and a factory memory that never gets ready are given
// up after their bounds; the chip still comes up and shows the picture.
TEST_F(It6805Test, StuckCalibrationsAreAbandonedAndTheChipComesUp) {
    chip->setReferenceClock(19000);
    chip->setCalibrationStuck(true);
    chip->setFactoryMemoryStuck(true);
    plugAndWait(*sim::VideoTiming::cta861(16));
    EXPECT_EQ(driver().drv->rclk_khz[0], 19000u);
    EXPECT_EQ(record().Hact, 1920u);
    EXPECT_NEAR(record().pfreq, 148.5, 0.15);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

}  // namespace
