#include "tests/spi/spi_fixture.h"

#include "board/board.h"

namespace test {

void SpiTest::SetUp() {
    SimTest::SetUp();
    // The FPGAs run from the start: out of reset, their image loaded.
    window()->setWord(0x207858, 16);  // FPGA 0's reset pad
    window()->setWord(0x207864, 16);  // FPGA 1's
    for (int f : {0, 1})
        fpga(f)->setConfigDelayMs(0);
    manager = std::make_unique<fpga_manage>();
    drv = manager->p_fpga_drv;
}

void SpiTest::TearDown() {
    manager.reset();
    SimTest::TearDown();
}

bool SpiTest::startManager() {
    fpga_manage::p_fpga_manage = manager.get();
    manager->open_spi_links();
    return manager->map_gpio_window() == 0;
}

std::shared_ptr<sim::SpidevNode> SpiTest::node(int n) {
    return sim::get<sim::SpidevNode>("/dev/spidev32766." + std::to_string(n));
}

void SpiTest::expectBusIdle() {
    auto w = window();
    EXPECT_EQ(w->word(0x207900), 16) << "routing line 0";
    EXPECT_EQ(w->word(0x207810), 16) << "routing line 1";
    EXPECT_EQ(w->word(0x207838), 0) << "FPGA 0's command line";
    EXPECT_EQ(w->word(0x207860), 16) << "flash select 2";
    EXPECT_EQ(w->word(0x207950), 16) << "flash select 3";
}

void C331Test::SetUp() {
    SpiTest::SetUp();
    ASSERT_TRUE(startManager());
    fd = chip.initialize();
    ASSERT_GE(fd, 0);
}

void C331Test::TearDown() {
    if (fd >= 0)
        board::close(fd);
    SpiTest::TearDown();
}

std::vector<uint8_t> pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

}  // namespace test
