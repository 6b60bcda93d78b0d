// The monitor output of FPGA 0: the monitor size the FPGA measures, the SiI9022 check, and
// the LED size with the row and column line masks that go to the FPGA.
#include <gtest/gtest.h>

#include "board/sim/i2c_bus.h"
#include "tests/fpga/fpga_fixture.h"

namespace fpgatest {
namespace {

class MonitorSize : public FpgaTest {
protected:
    void SetUp() override {
        FpgaTest::SetUp();
        source->open_bus();
        transmitter = &sim::get<sim::I2cBus>("/dev/i2c-0")->dormant(0x76);
        ASSERT_TRUE(bringUp());
        fpga()->clearLog();
    }
    Bytes ram(u8 block, u32 at, u32 n) { return fpga()->ram(block, at, n); }
    // RAM writes FPGA 0 took into a block.
    size_t ramWrites(u8 block) {
        size_t n = 0;
        for (const auto& a : fpga()->log())
            n += a.op == 1 && !a.read && a.block == block;
        return n;
    }
    // The last write to a register, as the bits its mask let through.
    RegWrite lastWrite(u8 reg) {
        const auto writes = regWrites(reg);
        if (writes.empty())
            return {0, 0, 0};
        RegWrite w = writes.back();
        w.value &= w.mask;
        return w;
    }
    sim::PlainRegisterChip* transmitter = nullptr;
};

TEST_F(MonitorSize, LineMasksKeepEveryLineOrMOfNSpreadAndInverted) {
    Bytes out(300, 0x33);
    fpga_manage::row_col_calcul_ram(0, 1024, out.data(), 300);
    fpga_manage::row_col_calcul_ram(1000, 0, out.data(), 300);
    EXPECT_EQ(out, Bytes(300, 0x33)) << "nothing for n or m 0";

    fpga_manage::row_col_calcul_ram(1000, 1024, out.data(), 300);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 128), Bytes(128, 0xFF)) << "1024 / 8 bytes";
    EXPECT_EQ(out[128], 0x33);

    // Exactly as many lines as shown: every line kept.
    std::fill(out.begin(), out.end(), 0x33);
    fpga_manage::row_col_calcul_ram(768, 768, out.data(), 300);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 96), Bytes(96, 0xFF)) << "768 / 8 bytes";
    EXPECT_EQ(out[96], 0x33);

    // Twice as many lines as shown: every other line kept (bits 0, 2, 4, 6), inverted.
    std::fill(out.begin(), out.end(), 0x33);
    fpga_manage::row_col_calcul_ram(2048, 1024, out.data(), 300);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 256), Bytes(256, 0xAA));
    EXPECT_EQ(out[256], 0x33);

    // 1080 lines on 768: 768 kept (0 bits), 312 dropped, in 135 bytes.
    fpga_manage::row_col_calcul_ram(1080, 768, out.data(), 300);
    int kept = 0;
    for (int i = 0; i < 135; ++i)
        for (int b = 0; b < 8; ++b)
            kept += !(out[i] >> b & 1);
    EXPECT_EQ(kept, 768);
    EXPECT_EQ(out[0] & 1, 0) << "the first line is kept";

    // A mask longer than the room is cut there.
    std::fill(out.begin(), out.end(), 0x33);
    fpga_manage::row_col_calcul_ram(20000, 1024, out.data(), 100);
    EXPECT_EQ(out[100], 0x33);
}

TEST_F(MonitorSize, OnceTheTransmitterAnswersTheLedSizeAndMasksGoToTheFpga) {
    store->ram_para.setU16(para::led_width, 2048);
    store->ram_para.setU16(para::led_height, 512);
    store->reg_para[0x27] = 0;
    EXPECT_EQ(manager->monitor_state[0], 3u) << "a change is pending from the start";
    manager->check_monitor_change(0);
    EXPECT_EQ(store->reg_para[0x27], 0x02) << "FPGA 0's transmitter answered";
    EXPECT_EQ(manager->monitor_state[0], 4u);
    EXPECT_EQ(ramWrites(35), 0u);
    manager->check_monitor_change(0);
    EXPECT_EQ(manager->monitor_state[0], 0u);
    // Parameter RAM 424: u16 0, u16 0, the LED width and height.
    EXPECT_EQ(ram(1, 424, 8), (Bytes{0, 0, 0, 0, 0x00, 0x08, 0x00, 0x02}));
    EXPECT_EQ(ram(35, 0, 256), Bytes(256, 0xAA)) << "2048 columns on 1024";
    EXPECT_EQ(ram(35, 256, 1744), Bytes(1744, 0x00));
    EXPECT_EQ(ram(34, 0, 96), Bytes(96, 0xFF)) << "512 rows on 768: all kept";
    EXPECT_EQ(ram(34, 96, 416), Bytes(416, 0x00));
    EXPECT_EQ(ramWrites(35), 2u) << "1024 bytes, then 976";
    EXPECT_EQ(lastWrite(2), (RegWrite{2, 0x01, 0x01}));
    EXPECT_EQ(lastWrite(23), (RegWrite{23, 0x10, 0x10}));
    manager->check_monitor_change(0);
    EXPECT_EQ(ramWrites(35), 2u) << "idle until the next change";
}

TEST_F(MonitorSize, WithoutATransmitterTheChangeWaits) {
    transmitter->setPresent(false);
    store->reg_para[0x27] = 0x02;
    for (int i = 0; i < 3; ++i)
        manager->check_monitor_change(0);
    EXPECT_EQ(manager->monitor_state[0], 3u);
    EXPECT_EQ(store->reg_para[0x27], 0x00);
    EXPECT_EQ(ramWrites(35), 0u);
    transmitter->setPresent(true);
    manager->check_monitor_change(0);
    manager->check_monitor_change(0);
    EXPECT_EQ(manager->monitor_state[0], 0u);
    EXPECT_EQ(ramWrites(34), 1u);
    manager->set_lcd_change_flag();
    EXPECT_EQ(manager->monitor_state[0], 3u);
    EXPECT_EQ(manager->monitor_state[1], 3u);
}

// From a new measurement: size-valid bit cleared, then the monitor size the FPGA reads at
// RAM block 0 byte 116 once it is there.
TEST_F(MonitorSize, AMeasurementWaitsForAMonitorSizeEveryHundredTicks) {
    manager->monitor_state[0] = 1;
    manager->check_monitor_change(0);
    EXPECT_EQ(lastWrite(23), (RegWrite{23, 0x10, 0x00}));
    EXPECT_EQ(manager->monitor_state[0], 2u);
    G_timeTicks += 100;
    manager->check_monitor_change(0);
    size_t reads = 0;
    for (const auto& a : fpga()->log())
        reads += a.op == 1 && a.read && a.block == 0;
    EXPECT_EQ(reads, 0u) << "not before more than 100 ticks";
    G_timeTicks += 1;
    manager->check_monitor_change(0);
    EXPECT_EQ(manager->monitor_state[0], 2u) << "no monitor yet";
    fpga()->setMonitor(1280, 720);
    G_timeTicks += 50;
    manager->check_monitor_change(0);
    EXPECT_EQ(manager->monitor_state[0], 2u);
    G_timeTicks += 51;
    manager->check_monitor_change(0);
    EXPECT_EQ(manager->monitor_state[0], 3u);
    EXPECT_EQ(
        Bytes(fpga_manage::MCU_RAM_PARA_func[0] + 116, fpga_manage::MCU_RAM_PARA_func[0] + 120),
        (Bytes{0x00, 0x05, 0xD0, 0x02}));
}

}  // namespace
}  // namespace fpgatest
