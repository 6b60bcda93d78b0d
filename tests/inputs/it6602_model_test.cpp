// The simulated IT6602 from its pins: identity, its banked register map, status and
// interrupts that follow the source and the hot-plug line, and the timing it measures, read
// back with the formulas the driver uses.
#include <gtest/gtest.h>

#include <vector>

#include "board/board.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "inputs/drv_i2c.h"
#include "tests/support/sim_test.h"

namespace {

class It6602Model : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        fd = drv.initialize();
        ASSERT_GE(fd, 0);
        bus = sim::get<sim::I2cBus>("/dev/i2c-0");
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
        auto soc = sim::get<sim::SocWindow>("/dev/mem");
        words = static_cast<uint16_t*>(soc->mmap(sim::SocWindow::kSize, sim::SocWindow::kBase));
        ASSERT_TRUE(write(0xEE, 0, {0x02}));  // channel 0, wired to input 0
    }
    void TearDown() override {
        board::close(fd);
        SimTest::TearDown();
    }
    void resetLine(bool high) {
        board::mmio_write16(words + sim::I2cBus::kRxResetGpio / 2, high ? 16 : 0);
    }
    bool write(u8 dev, u8 reg, std::vector<u8> data) {
        return drv.i2c_write(fd, dev, reg, data.data(), static_cast<unsigned>(data.size())) == 1;
    }
    bool put(u8 reg, u8 value) { return write(0x94, reg, {value}); }
    u8 get(u8 reg) {
        u8 value = 0xEE;
        EXPECT_EQ(drv.i2c_read(fd, 0x94, reg, &value, 1), 1) << "register " << int(reg);
        return value;
    }
    std::vector<u8> get(u8 reg, int n) {
        std::vector<u8> bytes(static_cast<size_t>(n));
        EXPECT_EQ(drv.i2c_read(fd, 0x94, reg, bytes.data(), n), 1);
        return bytes;
    }
    sim::It6602Model& chip() { return bus->it6602(0); }

    Drv_I2C0 drv;
    int fd = -1;
    uint16_t* words = nullptr;
    std::shared_ptr<sim::I2cBus> bus;
    std::shared_ptr<sim::HdmiSources> sources;
};

TEST_F(It6602Model, IdentityAndTheBankedRegisterMap) {
    resetLine(true);
    EXPECT_EQ(get(0x00, 4), (std::vector<u8>{0x54, 0x49, 0x02, 0x68}));
    EXPECT_TRUE(chip().protocolErrors().empty());

    ASSERT_TRUE(put(0x0F, 0x01));  // bank 1
    EXPECT_EQ(get(0x0F), 0x01) << "the bank register is in every bank";
    get(0x05);  // interrupt status exists in bank 0 only
    ASSERT_TRUE(put(0x0F, 0x00));
    get(0x4F);        // not a register
    put(0x9A, 0x12);  // measured, read-only
    put(0x00, 0x00);  // identity
    EXPECT_EQ(get(0x00), 0x54);
    EXPECT_EQ(chip().protocolErrors().size(), 4u);
    std::vector<std::string> all = sim::allProtocolErrors();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_NE(all[0].find("IT6602 channel 0"), std::string::npos) << all[0];
    sim::clearAllProtocolErrors();

    // Interrupt bits clear where a 1 is written.
    chip().raiseInterrupt(0x07, 0x12);
    ASSERT_TRUE(put(0x07, 0x02));
    EXPECT_EQ(get(0x07), 0x10);
}

TEST_F(It6602Model, FiveVoltPresentAtResetReleaseIsReported) {
    sources->plug(0, *sim::VideoTiming::cta861(16));
    resetLine(false);
    resetLine(true);
    EXPECT_EQ(get(0x05) & 0x01, 0x01) << "5 V change";
    EXPECT_EQ(get(0x0A) & 0x09, 0x01) << "5 V, but no clock while hot-plug is low";
    EXPECT_FALSE(sources->hotPlug(0));

    // A receiver reset reports the port afresh when it ends.
    ASSERT_TRUE(put(0x05, 0xFF));
    ASSERT_TRUE(put(0x10, 0x01));
    EXPECT_EQ(get(0x0A), 0x00);
    ASSERT_TRUE(put(0x10, 0x00));
    EXPECT_EQ(get(0x05) & 0x01, 0x01);
}

TEST_F(It6602Model, TheHotPlugLineStartsTheSourceAndItsTimingIsMeasured) {
    resetLine(true);
    sources->plug(0, *sim::VideoTiming::cta861(16));
    ASSERT_TRUE(put(0x05, 0xFF));
    ASSERT_TRUE(put(0x0F, 0x01));
    ASSERT_TRUE(put(0xB0, 0x03));
    ASSERT_TRUE(put(0x0F, 0x00));
    EXPECT_TRUE(sources->hotPlug(0));
    EXPECT_EQ(get(0x0A) & 0x89, 0x89) << "5 V, clock, sync";
    EXPECT_EQ(get(0x05) & 0x10, 0x10) << "clock detected";
    EXPECT_EQ(get(0x07) & 0x02, 0x02) << "SCDT change";

    // The formulas the driver reads them with, and the values of CTA-861 VIC 16.
    std::vector<u8> t = get(0x9C, 13);
    auto r = [&](int reg) { return static_cast<int>(t[static_cast<size_t>(reg - 0x9C)]); };
    EXPECT_EQ((r(0x9D) & 0x3F) * 256 + r(0x9C), 2200);
    EXPECT_EQ((r(0x9F) & 0x3F) * 256 + r(0x9E), 1920);
    EXPECT_EQ((r(0xA1) & 0xF0) * 16 + r(0xA2), 88);
    EXPECT_EQ((r(0xA1) & 0x01) * 256 + r(0xA0), 44);
    EXPECT_EQ((r(0xA4) & 0x0F) * 256 + r(0xA3), 1125);
    EXPECT_EQ((r(0xA4) & 0xF0) * 16 + r(0xA5), 1080);
    EXPECT_EQ(r(0xA7) & 0x3F, 4);
    EXPECT_EQ(r(0xA6) & 0x1F, 5);
    EXPECT_EQ(r(0xA8) & 0x09, 0x09) << "both syncs positive";
    EXPECT_EQ(31620 / get(0x9A) / 10, 150) << "the whole-MHz clock of the pixel period";

    ASSERT_TRUE(put(0x77, 0x01));
    ASSERT_TRUE(put(0x0F, 0x02));
    std::vector<u8> c = get(0xC0, 3);
    ASSERT_TRUE(put(0x0F, 0x00));
    EXPECT_EQ(c[1] * 4096 + c[2] * 16 + (c[0] >> 4), 148500) << "kHz";
    EXPECT_TRUE(chip().protocolErrors().empty());

    sources->unplug(0);
    EXPECT_EQ(get(0x0A), 0x00);
    EXPECT_EQ(get(0x05) & 0x09, 0x09) << "5 V change, clock lost";
}

}  // namespace
