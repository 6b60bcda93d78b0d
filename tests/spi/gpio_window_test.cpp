// The SoC register window of the FPGA manager, and the simulated bus it steers.
#include <fcntl.h>
#include <linux/spi/spidev.h>

#include <gmock/gmock.h>

#include <thread>

#include "board/board.h"
#include "board/sim/msys_node.h"
#include "tests/spi/spi_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class GpioWindow : public test::SpiTest {};

TEST_F(GpioWindow, MapsTheWindowAndWritesTheStartValuesInOrder) {
    ASSERT_TRUE(startManager());
    EXPECT_TRUE(manager->gpio_mapped());
    EXPECT_EQ(sim::get<sim::MsysNode>("/dev/msys")->requests(), 1);
    auto changes = window()->changes();
    ASSERT_EQ(changes.size(), 5u);
    const std::pair<uint32_t, uint16_t> expected[] = {
        {0x207944, 0}, {0x207940, 0}, {0x207950, 16}, {0x207954, 16}, {0x001F1C, 1}};
    for (size_t i = 0; i < changes.size(); ++i) {
        EXPECT_EQ(changes[i].offset, expected[i].first) << i;
        EXPECT_EQ(changes[i].value, expected[i].second) << i;
    }
    // Each word the other subsystems drive lies at its pad.
    const std::pair<volatile uint16_t*, uint32_t> words[] = {
        {manager->spi_route0_gpio, 0x207900},  {manager->spi_route1_gpio, 0x207810},
        {manager->fpga_cmd_gpio[0], 0x207838}, {manager->fpga_rst_gpio[0], 0x207858},
        {manager->flash_cs_gpio[0], 0x207860}, {manager->fpga_rst_gpio[1], 0x207864},
        {manager->rx_reset_gpio, 0x207940},    {manager->hdmi20_reset_gpio, 0x207944},
        {manager->fpga_cmd_gpio[1], 0x207954}, {manager->sdi_reset_gpio, 0x002848},
        {manager->fpga_irq_gpio[0], 0x207908}, {manager->flash_cs_gpio[1], 0x207950},
        {manager->fpga_irq_gpio[1], 0x207910},
    };
    uint16_t value = 0x100;
    for (const auto& [word, offset] : words) {
        board::mmio_write16(word, ++value);
        EXPECT_EQ(window()->word(offset), value) << std::hex << offset;
    }
    window()->setWord(0x207908, 1);
    EXPECT_EQ(board::mmio_read16(manager->fpga_irq_gpio[0]), 1);
}

TEST_F(GpioWindow, EachFailureOfTheMappingIsReportedAndLeavesItUnmapped) {
    fpga_manage::p_fpga_manage = manager.get();
    auto msys = sim::get<sim::MsysNode>("/dev/msys");
    const struct {
        std::function<void(bool)> fault;
        const char* message;
    } faults[] = {
        {[&](bool on) { msys->refuseOpen(on); }, "can't open /dev/msys"},
        {[&](bool on) { msys->refuseRequest(on); }, "DMEM request failed!!"},
        {[&](bool on) { window()->failMapping(on); }, "NULL pointer!"},
    };
    for (const auto& f : faults) {
        f.fault(true);
        testing::internal::CaptureStdout();
        EXPECT_EQ(manager->map_gpio_window(), 255);
        EXPECT_THAT(testing::internal::GetCapturedStdout(), testing::HasSubstr(f.message));
        EXPECT_FALSE(manager->gpio_mapped());
        f.fault(false);
    }
    EXPECT_TRUE(window()->changes().empty());
    EXPECT_EQ(manager->map_gpio_window(), 0);
    EXPECT_TRUE(manager->gpio_mapped());
}

// The bus model against raw spidev traffic: what it routes where, and what it calls an
// error.
class SpiBusModel : public test::SpiTest {
protected:
    int open(int n) {
        int fd = board::open(("/dev/spidev32766." + std::to_string(n)).c_str(), O_RDWR);
        uint8_t mode = 3;
        board::ioctl(fd, SPI_IOC_WR_MODE, &mode);
        return fd;
    }
    int send(int fd, Bytes tx, Bytes* rx = nullptr) {
        if (rx)
            rx->assign(tx.size(), 0);
        spi_ioc_transfer x{};
        x.tx_buf = reinterpret_cast<uintptr_t>(tx.data());
        x.rx_buf = rx ? reinterpret_cast<uintptr_t>(rx->data()) : 0;
        x.len = static_cast<uint32_t>(tx.size());
        x.speed_hz = 10000000;
        return board::ioctl(fd, SPI_IOC_MESSAGE(1), &x);
    }
    void pad(uint32_t offset, uint16_t value) { window()->setWord(offset, value); }
};

TEST_F(SpiBusModel, RoutesByThePadsAndRecordsMisroutedMessages) {
    int c331Fd = open(0), fpgaFd = open(1), flashFd = open(3);
    Bytes rx;
    // Power-on: the c331 is routed.
    EXPECT_EQ(send(c331Fd, {0x80, 0xB2}), 2);
    EXPECT_EQ(send(c331Fd, {0x08, 0xFF}, &rx), 2);
    EXPECT_EQ(rx[1], 0x24);
    EXPECT_EQ(send(fpgaFd, {0x05, 0, 7, 0}), 4);
    ASSERT_EQ(bus()->errors().size(), 1u);
    EXPECT_THAT(bus()->errors()[0].what, testing::HasSubstr("routed to c331"));
    // FPGA 0's branch; its flash once its select is low.
    pad(0x207810, 0);
    EXPECT_EQ(bus()->routed(), sim::SpiTarget::Fpga0);
    pad(0x207860, 0);
    EXPECT_EQ(bus()->routed(), sim::SpiTarget::Flash0);
    EXPECT_EQ(send(flashFd, {0x4B, 0, 0, 0, 0, 0xFF}, &rx), 6);
    EXPECT_EQ(rx[5], flash(0)->uniqueId()[0]);
    pad(0x207900, 0);
    EXPECT_EQ(bus()->routed(), sim::SpiTarget::None);
    send(flashFd, {0x06});
    pad(0x207810, 16);
    EXPECT_EQ(bus()->routed(), sim::SpiTarget::Fpga1);
    EXPECT_EQ(bus()->errors().size(), 2u);
    bus()->clearProtocolErrors();
    EXPECT_EQ(bus()->counters(sim::SpiTarget::C331).messages, 2u);
    EXPECT_EQ(bus()->counters(sim::SpiTarget::Flash0).messages, 1u);
    EXPECT_EQ(bus()->counters(sim::SpiTarget::None).messages, 2u);
    // Only the nodes of the fitted chips exist.
    EXPECT_LT(board::open("/dev/spidev32766.2", O_RDWR), 0);
    EXPECT_LT(board::open("/dev/spidev32766.4", O_RDWR), 0);
    for (int fd : {c331Fd, fpgaFd, flashFd})
        board::close(fd);
}

TEST_F(SpiBusModel, FpgaProtocolErrors) {
    int fd = open(1);
    pad(0x207810, 0);
    pad(0x207838, 0);
    send(fd, {0xAA});  // data without a command
    pad(0x207838, 16);
    send(fd, {0x05, 0, 7});  // a command word of 3 bytes
    send(fd, {0x04, 0, 7, 0xFF});
    send(fd, {0x04, 0, 7, 0xFF});  // the first one never got its data
    pad(0x207838, 0);
    send(fd, {0x12});
    EXPECT_EQ(fpga(0)->reg(7), 0x12);
    EXPECT_EQ(fpga(0)->protocolErrors().size(), 3u);
    fpga(0)->clearProtocolErrors();
    board::close(fd);
}

TEST_F(SpiBusModel, FlashProgramOnlyClearsBitsAndWrapsInItsPage) {
    int fd = open(3);
    pad(0x207810, 0);
    pad(0x207860, 0);
    send(fd, {0x02, 0, 0x01, 0xFE, 0x00});  // no write enable: ignored
    send(fd, {0x06});
    send(fd, {0x02, 0, 0x01, 0xFE, 0x11, 0x22, 0x33});
    EXPECT_EQ(flash(0)->contents(0x1FE, 2), (Bytes{0x11, 0x22}));
    EXPECT_EQ(flash(0)->contents(0x100, 1), Bytes{0x33});
    EXPECT_EQ(flash(0)->contents(0x200, 1), Bytes{0xFF});
    send(fd, {0x06});  // busy: ignored
    for (int i = 0; i < 4; ++i)
        send(fd, {0x05, 0xFF});
    send(fd, {0x06});
    send(fd, {0x02, 0, 0x01, 0xFE, 0xF0});
    EXPECT_EQ(flash(0)->contents(0x1FE, 1), Bytes{0x10});
    EXPECT_EQ(flash(0)->errors().size(), 3u);
    flash(0)->clearProtocolErrors();
    board::close(fd);
}

// The c331 driver and the FPGA link from two threads on the one bus, as the video
// processor and the FPGA thread run: no message may land between an FPGA command word
// and its data.
TEST_F(SpiBusModel, C331AndFpgaTrafficInterleaveOnlyBetweenAccesses) {
    ASSERT_TRUE(startManager());
    c331_drv chip;
    int fd = chip.initialize();
    std::atomic<bool> fpgaOk{true};
    std::thread fpgaThread([&] {
        Bytes data = test::pattern(64, 3), back(64);
        for (int i = 0; i < 150; ++i) {
            uint8_t value = 0;
            // Registers 0..19 and RAM block 5: nothing the FPGA drives itself.
            fpgaOk = fpgaOk && manager->write_fpga_register(i % 20, i, 0, 0xFF) == 1;
            fpgaOk = fpgaOk && manager->read_fpga_register(i % 20, &value, 0) == 1 && value == i;
            fpgaOk = fpgaOk && manager->write_fpga_ram(data.data(), i, 64, 5, 0) == 1;
            fpgaOk =
                fpgaOk && manager->read_fpga_ram(back.data(), i, 64, 5, 0) == 1 && back == data;
        }
    });
    std::thread flashThread([&] {
        Bytes out(64);
        for (int i = 0; i < 40; ++i)
            fpgaOk = fpgaOk && drv->FPGA_SPI_FLASH_VBYONE_READ(2, i * 64, 64, out.data()) == 1;
    });
    const uint32_t total = 0x080A02;  // bank 8, 0x0A, 2 bytes: three output channels
    for (int i = 0; i < 300; ++i) {
        chip.write_C331(fd, total, i, 16 * (i % 3));
        EXPECT_EQ(chip.read_C331(fd, total, 16 * (i % 3)), unsigned(i));
    }
    fpgaThread.join();
    flashThread.join();
    EXPECT_TRUE(fpgaOk);
    EXPECT_TRUE(bus()->errors().empty()) << bus()->errors()[0].what;
    EXPECT_TRUE(fpga(0)->protocolErrors().empty());
    EXPECT_TRUE(c331()->protocolErrors().empty());
    expectBusIdle();
    board::close(fd);
}

}  // namespace
