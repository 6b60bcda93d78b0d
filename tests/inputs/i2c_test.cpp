// The I2C access layer against the simulated bus, and the bus's chips as the input thread
// relies on them (routing, write protect, write cycle, reset lines, persistence).
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <vector>

#include "board/board.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "inputs/drv_i2c.h"
#include "tests/support/sim_test.h"

namespace {

class I2c : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        fd = drv.initialize();
        ASSERT_GE(fd, 0);
        bus = sim::get<sim::I2cBus>("/dev/i2c-0");
        ASSERT_TRUE(bus);
    }
    void TearDown() override {
        board::close(fd);
        SimTest::TearDown();
    }
    bool write(u8 dev, u8 reg, std::vector<u8> data) {
        return drv.i2c_write(fd, dev, reg, data.data(), static_cast<unsigned>(data.size())) == 1;
    }
    bool route(u8 sw, u8 channel) { return write(sw, 0, {channel}); }
    // The SoC window's GPIO words, 16 bits each; the IT6602's reset line at 0x207940, the
    // IT6805's at 0x207944.
    static uint16_t* gpioWords() {
        auto soc = sim::get<sim::SocWindow>("/dev/mem");
        return static_cast<uint16_t*>(soc->mmap(0x2B0000, 0x1F000000));
    }
    void releaseReceivers() {
        board::mmio_write16(gpioWords() + 0x207940 / 2, 16);
        board::mmio_write16(gpioWords() + 0x207944 / 2, 16);
    }

    Drv_I2C0 drv;
    int fd = -1;
    std::shared_ptr<sim::I2cBus> bus;
};

TEST_F(I2c, CombinedTransfersCarryTheRegisterThenTheData) {
    ASSERT_TRUE(write(0x40, 0, {0x5A}));
    ASSERT_TRUE(write(0x40, 3, {}));  // a write of no data bytes sends the register alone
    auto log = bus->messagesTo(0x40);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].bytes, (std::vector<u8>{0x00, 0x5A}));
    EXPECT_FALSE(log[0].read);
    EXPECT_EQ(log[1].bytes, (std::vector<u8>{0x03}));
    EXPECT_EQ(bus->expander().reg(0), 0x5A);

    // A read sends the register, then reads with a repeated start inside one transfer.
    ASSERT_TRUE(route(0xE0, 0x02));
    std::vector<u8> expected = bus->eeprom(0).contents();
    bus->clearLog();
    u8 data[8] = {};
    ASSERT_EQ(drv.i2c_read(fd, 0xA0, 0xF8, data, 8), 1);
    auto transfers = bus->log();
    ASSERT_EQ(transfers.size(), 1u);
    ASSERT_EQ(transfers[0].messages.size(), 2u);
    EXPECT_EQ(transfers[0].messages[0].bytes, (std::vector<u8>{0xF8}));
    EXPECT_TRUE(transfers[0].messages[1].read);
    EXPECT_EQ(transfers[0].messages[1].bytes.size(), 8u);
    EXPECT_TRUE(std::equal(data, data + 8, expected.begin() + 0xF8));
}

TEST_F(I2c, EightBitAddressesReachTheirDevices) {
    // The kernel takes 7-bit addresses: 0xEE is 0x77, 0xA0 is 0x50, 0x76 is 0x3B. Each
    // device answers only if the halving was done.
    EXPECT_TRUE(route(0xEE, 0x20));
    EXPECT_EQ(bus->receiverSwitch().control(), 0x20);
    EXPECT_TRUE(write(0x76, 0x10, {0x33}));
    EXPECT_EQ(bus->dormant(0x76).reg(0x10), 0x33);
    EXPECT_TRUE(write(0xCA, 0x00, {0x01}));
    EXPECT_TRUE(write(0x98, 0x00, {0x01}));
    ASSERT_TRUE(route(0xE0, 0x02));
    u8 byte = 0;
    EXPECT_EQ(drv.i2c_read(fd, 0xA0, 0, &byte, 1), 1);
    EXPECT_EQ(byte, 0x00);
}

TEST_F(I2c, AFailedTransferReportsZeroAndLeavesTheBufferAlone) {
    ASSERT_TRUE(route(0xE0, 0x00));  // no EEPROM routed
    u8 data[8];
    std::fill(data, data + 8, 0xA5);
    EXPECT_EQ(drv.i2c_read(fd, 0xA0, 0, data, 8), 0);
    for (u8 b : data)
        EXPECT_EQ(b, 0xA5);
    EXPECT_FALSE(write(0xA0, 0, {1, 2}));
    EXPECT_FALSE(write(0x12, 0, {1}));  // nobody at 0x12
    EXPECT_EQ(drv.i2c_write(-1, 0x40, 0, data, 1), 0);
}

TEST_F(I2c, OversizedOrEmptyRequestsAreRefusedWithoutATransfer) {
    u8 data[300] = {};
    EXPECT_EQ(drv.i2c_read(fd, 0x40, 0, data, 0), 0);
    EXPECT_EQ(drv.i2c_read(fd, 0x40, 0, data, -3), 0);
    // A read returns at most 100 bytes, a write carries at most 255.
    EXPECT_EQ(drv.i2c_read(fd, 0x40, 0, data, 101), 0);
    EXPECT_EQ(drv.i2c_write(fd, 0x40, 0, data, 256), 0);
    EXPECT_EQ(drv.i2c_write(fd, 0x40, 0, nullptr, 4), 0);
    EXPECT_TRUE(bus->log().empty());
    // The limits themselves go through.
    EXPECT_EQ(drv.i2c_read(fd, 0xCA, 0, data, 100), 1);
    EXPECT_EQ(drv.i2c_write(fd, 0xCA, 0, data, 255), 1);
    ASSERT_EQ(bus->log().size(), 2u);
    EXPECT_EQ(bus->log()[0].messages[1].bytes.size(), 100u);
    EXPECT_EQ(bus->log()[1].messages[0].bytes.size(), 256u) << "register and 255 data bytes";
}

TEST_F(I2c, SwitchesRouteTheirChannelsOnly) {
    EXPECT_FALSE(write(0xD0, 0, {1}));
    ASSERT_TRUE(route(0xE0, 0x80));
    EXPECT_TRUE(write(0xD0, 5, {0x77}));
    EXPECT_EQ(bus->d0().reg(5), 0x77);
    ASSERT_TRUE(route(0xE0, 0x08));
    EXPECT_FALSE(write(0xD0, 5, {0x78}));
    EXPECT_EQ(bus->d0().reg(5), 0x77);
    // The 0xD0 device has 63 registers.
    ASSERT_TRUE(route(0xE0, 0x80));
    EXPECT_TRUE(write(0xD0, 62, {1}));
    EXPECT_FALSE(write(0xD0, 63, {1}));
}

TEST_F(I2c, ReceiversAnswerOnlyOutOfResetAndOnTheirChannel) {
    u8 id[4] = {};
    ASSERT_TRUE(route(0xEE, 0x04));
    EXPECT_EQ(drv.i2c_read(fd, 0x94, 0, id, 4), 0) << "held in reset at power-on";
    releaseReceivers();
    ASSERT_EQ(drv.i2c_read(fd, 0x94, 0, id, 4), 1);
    EXPECT_EQ(std::vector<u8>(id, id + 4), (std::vector<u8>{0x54, 0x49, 0x02, 0x68}));
    EXPECT_EQ(drv.i2c_read(fd, 0x90, 0, id, 4), 0) << "the IT6805 is on channel 0x20";
    ASSERT_TRUE(route(0xEE, 0x20));
    ASSERT_EQ(drv.i2c_read(fd, 0x90, 0, id, 4), 1);
    EXPECT_EQ(id[2] & 0xFD, 0x05);
    // Identification registers are read-only (a write is refused as a protocol error);
    // others keep what is written until reset.
    EXPECT_TRUE(write(0x90, 0, {0}));
    EXPECT_EQ(bus->it6805().protocolErrors().size(), 1u);
    bus->it6805().clearProtocolErrors();
    EXPECT_TRUE(write(0x90, 0x22, {0x11}));
    EXPECT_EQ(bus->it6805().reg(0), 0x54);
    EXPECT_EQ(bus->it6805().reg(0x22), 0x11);
    board::mmio_write16(gpioWords() + 0x207944 / 2, 0);
    EXPECT_FALSE(write(0x90, 0x22, {0x12}));
    board::mmio_write16(gpioWords() + 0x207944 / 2, 16);
    EXPECT_EQ(bus->it6805().reg(0x22), 0x00) << "a reset restores power-on state";
}

TEST_F(I2c, EepromHonoursWriteProtectPagesAndItsWriteCycle) {
    auto& eeprom = bus->eeprom(1);
    eeprom.setWriteCycleMs(50);
    ASSERT_TRUE(route(0xE0, 0x04));
    std::vector<u8> before = eeprom.contents();
    EXPECT_FALSE(write(0xA0, 0x10, {1, 2, 3})) << "protected at power-on";
    EXPECT_EQ(eeprom.contents(), before);
    EXPECT_GT(eeprom.protectedWrites(), 0u);

    ASSERT_TRUE(write(0x40, 0, {0x00}));  // lift write protect
    ASSERT_TRUE(write(0xA0, 0x0E, {1, 2, 3, 4}));
    // The page is 8 bytes: 0x0E, 0x0F, then back to 0x08, 0x09.
    EXPECT_FALSE(write(0xA0, 0x20, {9})) << "busy with its write cycle";
    std::vector<u8> after = eeprom.contents();
    EXPECT_EQ(after[0x0E], 1);
    EXPECT_EQ(after[0x0F], 2);
    EXPECT_EQ(after[0x08], 3);
    EXPECT_EQ(after[0x09], 4);
    EXPECT_EQ(after[0x10], before[0x10]);
    EXPECT_GT(eeprom.busyRefusals(), 0u);
    EXPECT_EQ(eeprom.pagesProgrammed(), 1u);

    // Contents live in a file under the root, so a new board finds them again.
    std::vector<u8> file = readFile("/dev/i2c-0-eeprom1");
    EXPECT_EQ(file, after);
}

TEST_F(I2c, SceneDecidesTheFirstContentsOfTheEeproms) {
    board::close(fd);
    sim::reset();
    sim::setRoot(root() + "/second");
    sim::setScene(QJsonObject{{"edid", QJsonArray{"blank", "corrupt", "valid"}}});
    fd = drv.initialize();
    bus = sim::get<sim::I2cBus>("/dev/i2c-0");
    EXPECT_EQ(bus->eeprom(0).contents(), std::vector<u8>(256, 0xFF));
    std::vector<u8> corrupt = bus->eeprom(1).contents();
    std::vector<u8> valid = bus->eeprom(2).contents();
    u8 sumCorrupt = 0, sumValid = 0;
    for (int i = 0; i < 128; ++i) {
        sumCorrupt = static_cast<u8>(sumCorrupt + corrupt[i]);
        sumValid = static_cast<u8>(sumValid + valid[i]);
    }
    EXPECT_NE(sumCorrupt, 0);
    EXPECT_EQ(sumValid, 0);
    EXPECT_EQ(valid[0], 0x00);
    EXPECT_EQ(valid[1], 0xFF);
    EXPECT_EQ(bus->eeprom(3).contents(), valid) << "valid is the default";
}

}  // namespace
