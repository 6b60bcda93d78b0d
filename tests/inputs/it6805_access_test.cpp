// IT6805 register access, identification, reference-clock calibration and the measurements
// when the chip gives nothing to measure.
#include <array>

#include "board/board.h"
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

// The chip's two other ports take what is written to them; the EDID RAM in one transfer.
TEST_F(It6805Access, EdidRamAndLvdsBlockWritesReachTheirPorts) {
    const u8 block[5] = {0x00, 0xFF, 0xFF, 0xFF, 0x7E};
    rdwr().edid_ram_wr(0x7B, sizeof block, block, 0);
    auto toRam = bus->messagesTo(0xA8);
    ASSERT_EQ(toRam.size(), 1u);
    EXPECT_EQ(toRam[0].bytes, (std::vector<uint8_t>{0x7B, 0x00, 0xFF, 0xFF, 0xFF, 0x7E}));
    EXPECT_EQ(toRam[0].receiverChannels, 0x20);
    for (unsigned i = 0; i < sizeof block; ++i)
        EXPECT_EQ(bus->it6805EdidRam().reg(0x7B + i), block[i]);
    EXPECT_EQ(rdwr().lvdsrxwr(0x3C, 0x5A, 0), 0);
    EXPECT_EQ(bus->it6805Lvds().reg(0x3C), 0x5A);
    EXPECT_EQ(bus->messagesTo(0xB4).size(), 1u);

    // An empty block sends nothing; another device, nothing either.
    bus->clearLog();
    rdwr().edid_ram_wr(0x00, 0, block, 0);
    rdwr().edid_ram_wr(0x00, 1, block, 1);
    EXPECT_EQ(rdwr().lvdsrxwr(0x00, 0x01, 1), 1);
    EXPECT_TRUE(bus->log().empty());

    // In reset with the chip, neither answers.
    board::mmio_write16(fpga->hdmi20_reset_gpio, 0);
    EXPECT_EQ(rdwr().lvdsrxwr(0x3C, 0x00, 0), 1);
    const u8 other[1] = {0x11};
    rdwr().edid_ram_wr(0x7B, sizeof other, other, 0);
    EXPECT_FALSE(bus->messagesTo(0xA8).back().acked);
    EXPECT_EQ(bus->it6805EdidRam().reg(0x7B), 0x00) << "not taken";
    EXPECT_EQ(bus->it6805Lvds().reg(0x3C), 0x5A) << "not taken";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// A request is served by the next pass: selecting the current port only reports it, a
// change of port or a reset sends the equaliser back to Off; a port beyond 1 is refused.
TEST_F(It6805Test, PortRequestsAreServedByTheNextPass) {
    sources->plug(3, *sim::VideoTiming::cta861(16));
    startUp();
    ASSERT_TRUE(runUntil([&] { return published() && driver().data.EQState == STATEEQ_EQDone; }));
    ite6805_sys& sys = driver();
    EXPECT_EQ(sys.data.CurrentPort, 0);
    EXPECT_EQ(sys.data.Flag_PortSelect_Request, 0) << "the start-up request is served at once";
    auto eqResets = [&] {
        int n = 0;
        for (const auto& w : chip->writes())
            n += w.bank == 3 && w.reg == 0x2D && w.value == 0x07;  // the reset's SAR value
        return n;
    };

    g_debugSwitch = 254;
    testing::internal::CaptureStdout();
    sys.iTE6805_Port_Select(2, 0);
    std::string warning = testing::internal::GetCapturedStdout();
    g_debugSwitch = 0;
    EXPECT_EQ(warning, "User Setting Current Port Warning !");
    EXPECT_EQ(sys.data.Flag_PortSelect_Request, 0);

    chip->clearWrites();
    sys.iTE6805_Port_Select(0, 0);
    EXPECT_EQ(sys.data.Flag_PortSelect_Request, 1);
    g_debugSwitch = 254;
    testing::internal::CaptureStdout();
    pass();
    std::string shown = testing::internal::GetCapturedStdout();
    g_debugSwitch = 0;
    EXPECT_NE(shown.find("\n\nCustomer Setting Current Port = 0 ! \n\n"), std::string::npos);
    EXPECT_EQ(sys.data.Flag_PortSelect_Request, 0);
    EXPECT_EQ(eqResets(), 0) << "the current port: nothing to restart";
    EXPECT_EQ(sys.data.EQState, STATEEQ_EQDone);

    for (u8 port : {u8{0}, u8{1}}) {
        chip->clearWrites();
        sys.iTE6805_Port_Reset(port, 0);
        EXPECT_EQ(sys.data.Flag_PortReset_Request, 1);
        pass();
        EXPECT_EQ(sys.data.Flag_PortReset_Request, 0);
        EXPECT_EQ(sys.data.EQState, STATEEQ_Off) << "port " << int(port);
        EXPECT_EQ(eqResets(), 1) << "port " << int(port);
        sys.data.EQState = STATEEQ_EQDone;
    }
    sys.iTE6805_Port_Reset(2, 0);
    EXPECT_EQ(sys.data.Flag_PortReset_Request, 0);

    chip->clearWrites();
    sys.iTE6805_Port_Select(1, 0);
    pass();
    EXPECT_EQ(sys.data.CurrentPort, 1);
    EXPECT_EQ(sys.data.EQState, STATEEQ_Off);
    EXPECT_EQ(eqResets(), 1);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// The down-scaler's list holds CTA-861's 3840 and 4096 x 2160 timings at 24, 25 and 30 Hz.
TEST_F(It6805Test, TheDownScalerListHoldsTheSixCta861Timings) {
    struct Row {
        int vic;
        uint16_t hActive, hTotal, hFront, hBack;
        uint32_t milliHz;
    };
    const Row rows[] = {{94, 3840, 5280, 1056, 296, 25000}, {99, 4096, 5280, 968, 128, 25000},
                        {95, 3840, 4400, 176, 296, 30000},  {98, 4096, 5500, 1020, 296, 24000},
                        {93, 3840, 5500, 1276, 296, 24000}, {100, 4096, 4400, 88, 128, 30000}};
    const ite6805_drv& drv = *driver().drv;
    ASSERT_EQ(drv.ds_timing_count, 6);
    for (int i = 0; i < 6; ++i) {
        const iTE6805_DSTiming& t = ite6805_drv::iTE6805_SupportedDSTiming[i];
        const Row& r = rows[i];
        SCOPED_TRACE(r.vic);
        EXPECT_EQ(t.VIC, r.vic);
        EXPECT_EQ(t.HActive, r.hActive);
        EXPECT_EQ(t.HTotal, r.hTotal);
        EXPECT_EQ(t.HFrontPorch, r.hFront);
        EXPECT_EQ(t.HSyncWidth, 88);
        EXPECT_EQ(t.HBackPorch, r.hBack);
        EXPECT_EQ(t.HActive + t.HFrontPorch + t.HSyncWidth + t.HBackPorch, t.HTotal);
        EXPECT_EQ(t.VActive, 2160);
        EXPECT_EQ(t.VTotal, 2250);
        EXPECT_EQ(t.VFrontPorch, 8);
        EXPECT_EQ(t.VSyncWidth, 10);
        EXPECT_EQ(t.VBackPorch, 72);
        EXPECT_EQ(t.PCLK, 297000u);
        EXPECT_EQ(t.FrameRate, r.milliHz);
        EXPECT_EQ(static_cast<uint64_t>(t.FrameRate) * t.HTotal * t.VTotal, 297000000000ull);
        EXPECT_EQ(t.ScanMode, 0);
        EXPECT_EQ(t.HSyncPol, 1);
        EXPECT_EQ(t.VSyncPol, 1);
        ASSERT_NE(t.Name, nullptr);
        EXPECT_EQ(std::string(t.Name),
                  std::to_string(r.hActive) + "x2160p" + std::to_string(r.milliHz / 1000));
        // The board's own CTA-861 table, where it has the code.
        if (auto cta = sim::VideoTiming::cta861(r.vic)) {
            EXPECT_EQ(cta->hActive, t.HActive);
            EXPECT_EQ(cta->hFront, t.HFrontPorch);
            EXPECT_EQ(cta->hSync, t.HSyncWidth);
            EXPECT_EQ(cta->hBack, t.HBackPorch);
            EXPECT_EQ(cta->vFront, t.VFrontPorch);
            EXPECT_EQ(cta->vSync, t.VSyncWidth);
            EXPECT_EQ(cta->vBack, t.VBackPorch);
            EXPECT_EQ(cta->pixelClockKHz, t.PCLK);
        }
    }
}

struct ClockCase {
    const char* name;
    uint32_t factory;
    bool hundredths;
    unsigned page;
    uint32_t rclk;                    // what the driver takes
    uint8_t timerMHz, timerFraction;  // the 1 us timer, 0x91 bits 5..0 and 0x92
    // With OSC twice the clock: 0x44..0x47 = OSC / 1560, 312, 2320, 5312; bank 3 0xE1 the
    // clock / 100 (in 8 bits); bank 5 0xD3, 0xD4 = 2t, t with t = 2560 x OSC / 4 / 10^6.
    std::array<uint8_t, 4> timers;
    uint8_t e1, d3, d4;
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
    for (unsigned i = 0; i < 4; ++i)
        EXPECT_EQ(chip->reg(0, 0x44 + i), c.timers[i]) << "register 0x" << std::hex << 0x44 + i;
    EXPECT_EQ(chip->reg(3, 0xAA) & 0x1F, 0x0C);
    EXPECT_EQ(chip->reg(3, 0xE1), c.e1);
    EXPECT_EQ(chip->reg(5, 0xD3), c.d3);
    EXPECT_EQ(chip->reg(5, 0xD4), c.d4);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    ReadBack, It6805Clock,
    testing::Values(
        ClockCase{"tooLow", 1200000, true, 0, 19000, 19, 0, {24, 121, 16, 7}, 190, 48, 24},
        ClockCase{"highestKept", 27000, false, 0, 27000, 27, 0, {34, 173, 23, 10}, 14, 68, 34},
        ClockCase{"tooHigh", 27001, false, 0, 19000, 19, 0, {24, 121, 16, 7}, 190, 48, 24},
        ClockCase{"page4", 23456, false, 4, 23456, 23, 116, {30, 150, 20, 8}, 234, 60, 30},
        ClockCase{"page4Hundredths", 2300000, true, 4, 23000, 23, 0, {29, 147, 19, 8}, 230, 58,
                  29}),
    [](const testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.name); });
// clang-format on

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
