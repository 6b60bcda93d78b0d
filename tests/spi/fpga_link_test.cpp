// The FPGA link: command words, routing and the refusals, checked on the FPGA model's log
// and on the SoC window's pads.
#include <gmock/gmock.h>

#include "tests/spi/spi_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class FpgaLink : public test::SpiTest {
protected:
    void SetUp() override {
        SpiTest::SetUp();
        ASSERT_TRUE(startManager());
    }

    Bytes command(size_t i) {
        auto log = fpga(0)->log();
        if (i >= log.size())
            return {};
        return Bytes(log[i].command.begin(), log[i].command.end());
    }
};

TEST_F(FpgaLink, CommandWordsAndDataPhases) {
    fpga(0)->setReg(0x2A, 0xC3);
    uint8_t value = 0;
    EXPECT_EQ(manager->read_fpga_register(0x2A, &value, 0), 1);
    EXPECT_EQ(value, 0xC3);
    EXPECT_EQ(manager->write_fpga_register(0x2A, 0x05, 0, 0x0F), 1);
    EXPECT_EQ(fpga(0)->reg(0x2A), 0xC5) << "only the masked bits change";
    Bytes ram = test::pattern(300, 1);
    EXPECT_EQ(manager->write_fpga_ram(ram.data(), 0x345, 300, 5, 0), 1);
    Bytes back(300);
    EXPECT_EQ(manager->read_fpga_ram(back.data(), 0x345, 300, 5, 0), 1);
    EXPECT_EQ(back, ram);
    EXPECT_EQ(fpga(0)->ram(5, 0x345, 300), ram);

    EXPECT_EQ(command(0), (Bytes{0x05, 0x00, 0x2A, 0x00}));
    EXPECT_EQ(command(1), (Bytes{0x04, 0x00, 0x2A, 0x0F}));
    EXPECT_EQ(command(2), (Bytes{0x02, 0x05, 0x45, 0x03}));
    EXPECT_EQ(command(3), (Bytes{0x03, 0x05, 0x45, 0x03}));
    auto log = fpga(0)->log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].data, Bytes{0x05});
    EXPECT_TRUE(fpga(0)->protocolErrors().empty());
    EXPECT_TRUE(bus()->errors().empty());
    // A register access is 5 bytes on the bus.
    EXPECT_EQ(bus()->counters(sim::SpiTarget::Fpga0).bytes, 5u + 5u + 304u + 304u);
    EXPECT_EQ(node(1)->mode(), 3);
}

TEST_F(FpgaLink, CommandLineHighOnlyForTheCommandWordAndBusIdleAfterwards) {
    uint8_t value;
    manager->read_fpga_register(7, &value, 0);
    auto cmd = window()->changes(0x207838);
    ASSERT_EQ(cmd.size(), 2u);
    EXPECT_EQ(cmd[0].value, 16);
    EXPECT_EQ(cmd[1].value, 0);
    expectBusIdle();
    manager->write_fpga_ram(nullptr, 0, 0, 1, 0);
    expectBusIdle();
}

TEST_F(FpgaLink, RamAddressKeepsTwelveBitsAndZeroLengthSendsTheCommand) {
    Bytes data{1, 2, 3};
    EXPECT_EQ(manager->write_fpga_ram(data.data(), 0x1005, 3, 1, 0), 1);
    EXPECT_EQ(fpga(0)->ram(1, 5, 3), data);
    uint8_t none = 0;
    EXPECT_EQ(manager->read_fpga_ram(&none, 0x10, 0, 1, 0), 1);
    auto log = fpga(0)->log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(command(1), (Bytes{0x03, 0x01, 0x10, 0x00}));
    EXPECT_TRUE(log[1].data.empty());
    EXPECT_TRUE(fpga(0)->protocolErrors().empty());
}

TEST_F(FpgaLink, ShadowRefreshOnlyForFpgaRegisters) {
    for (int r : {0, 63, 128, 169})
        fpga(0)->setReg(r, 0x40 + r % 64);
    for (int r : {0, 63, 128, 169}) {
        EXPECT_EQ(manager->read_from_register(r, 0), 1);
        EXPECT_EQ(fpga_manage::MCU_REG_func[0][r], 0x40 + r % 64);
    }
    size_t sent = bus()->messages().size();
    for (int r : {64, 80, 127, 170, 255})
        EXPECT_EQ(manager->read_from_register(r, 0), 0);
    EXPECT_EQ(bus()->messages().size(), sent);
    // A read that fails leaves the last known value.
    node(1)->failMessages(1, 1);
    fpga(0)->setReg(0, 0x99);
    EXPECT_EQ(manager->read_from_register(0, 0), 0);
    EXPECT_EQ(fpga_manage::MCU_REG_func[0][0], 0x40);
    expectBusIdle();
}

TEST_F(FpgaLink, RefusedWithoutTraffic) {
    uint8_t value = 0x77;
    Bytes buf(4096);
    EXPECT_EQ(manager->read_fpga_register(3, &value, 2), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(manager->write_fpga_register(256, 1, 0, 0xFF), 0);
    EXPECT_EQ(manager->write_fpga_ram(buf.data(), 0, 4, 1, 7), 0);
    EXPECT_EQ(manager->write_fpga_ram(buf.data(), 4000, 97, 1, 0), 0) << "beyond the block";
    EXPECT_EQ(manager->read_fpga_ram(buf.data(), 0, 4097, 1, 0), 0);
    // The manager's own images bound what lands in them.
    EXPECT_EQ(manager->read_fpga_ram(fpga_manage::MCU_RAM_ETH_PARA_func[0], 0, 137, 2, 0), 0);
    EXPECT_EQ(manager->read_fpga_ram(fpga_manage::MCU_RAM_PARA_func[1] + 1000, 0, 25, 1, 0), 0);
    EXPECT_EQ(manager->read_fpga_ram(fpga_manage::MCU_RAM_CMD + 512, 0, 513, 1, 0), 0);
    EXPECT_TRUE(bus()->messages().empty());
    EXPECT_TRUE(window()->changes(0x207838).empty());
    EXPECT_EQ(manager->read_fpga_ram(fpga_manage::MCU_RAM_ETH_PARA_func[0], 0, 136, 2, 0), 1);
    EXPECT_EQ(manager->read_fpga_ram(buf.data(), 0xFFF, 1, 1, 0), 1);
}

TEST_F(FpgaLink, FpgaOneIsNotFittedAndFailuresAreReported) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(drv->initialize_vbyne1(1), -1);
    uint8_t value = 0x55;
    EXPECT_EQ(manager->read_fpga_register(31, &value, 1), 0);
    EXPECT_EQ(value, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, testing::HasSubstr("can't open /dev/spidev32766.2"));
    EXPECT_THAT(err, testing::HasSubstr("can't send spi message"));
    EXPECT_TRUE(bus()->messages().empty());
    EXPECT_EQ(window()->word(0x207954), 0);
    expectBusIdle();
}

TEST_F(FpgaLink, FailedDataPhaseReturnsZeroAndReleasesTheBus) {
    Bytes data(16, 0xAB);
    node(1)->failMessages(1, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(manager->write_fpga_ram(data.data(), 0, 16, 1, 0), 0);
    testing::internal::GetCapturedStderr();
    expectBusIdle();
    EXPECT_EQ(manager->write_fpga_ram(data.data(), 0, 16, 1, 0), 1);
    EXPECT_EQ(fpga(0)->ram(1, 0, 16), data);
    // The FPGA saw the next command word where the lost data should have been.
    EXPECT_THAT(fpga(0)->protocolErrors(),
                testing::ElementsAre(testing::HasSubstr("without its data phase")));
    fpga(0)->clearProtocolErrors();
}

class FpgaUnmapped : public test::SpiTest {};

TEST_F(FpgaUnmapped, RefusedAndReportedOnce) {
    manager->open_spi_links();
    fpga_manage::p_fpga_manage = manager.get();
    uint8_t value;
    Bytes buf(8);
    testing::internal::CaptureStderr();
    EXPECT_EQ(manager->read_fpga_register(1, &value, 0), 0);
    EXPECT_EQ(manager->write_fpga_ram(buf.data(), 0, 8, 1, 0), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_READ(2, 0, 8, buf.data()), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(bus()->messages().empty());
}

}  // namespace
