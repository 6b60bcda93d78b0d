// The emulated controller as the PC reaches it through the processor's address map: the
// FPGA manager's RAM areas and registers, checked against the simulated FPGA.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "board/board.h"
#include "board/sim/fpga_model.h"
#include "board/sim/soc_window.h"
#include "board/sim/spi_bus.h"
#include "board/sim/spi_nor_flash.h"
#include "fpga/fpga_manage.h"
#include "remote/message_deal.h"
#include "remote/processor_areas.h"
#include "tests/remote/remote_test.h"

using namespace remotetest;

// The processor's address map as the protocol page gives it: the command area at 0x20000,
// the status area at 0x21000, the parameter RAM of FPGA 0 at 0x30000 and of FPGA 1 at
// 0x31000, FPGA 0's back-parameter block at 0x32000; FPGA 0's registers from 0x1000. The
// LED size is image 1378 (width) and 1380 (height).
namespace {

constexpr unsigned kProcessor = 0xF100;

class Controller : public RemoteTest {
protected:
    void SetUp() override {
        RemoteTest::SetUp();
        manager = std::make_unique<fpga_manage>();
        fpga_manage::p_fpga_manage = manager.get();
        for (const char* name : {"fpga0", "fpga1"})
            sim::get<sim::FpgaModel>(name)->setConfigDelayMs(0);
        manager->open_spi_links();
        ASSERT_EQ(manager->map_gpio_window(), 0);
        board::mmio_write16(manager->fpga_rst_gpio[0], 16);  // FPGA 0 out of reset
    }
    void TearDown() override {
        manager.reset();
        RemoteTest::TearDown();
    }
    Bytes send(const Bytes& f) {
        Bytes in = f, out(4200);
        out.resize(deal.message_group_deal(in.data(), in.size(), out.data()));
        return out;
    }
    int status(const Bytes& f) {
        Bytes r = send(f);
        return r.empty() ? -10 : replyStatus(f, r);
    }
    Bytes read(unsigned command, unsigned address, unsigned count) {
        Bytes f = frame(kProcessor, command, mem(address, count));
        Bytes r = send(f);
        EXPECT_EQ(replyStatus(f, r), 0);
        return r.size() == 20 + count ? Bytes(r.begin() + 19, r.end() - 1) : Bytes{};
    }
    std::shared_ptr<sim::FpgaModel> fpga0() { return sim::get<sim::FpgaModel>("fpga0"); }

    std::unique_ptr<fpga_manage> manager;
    message_deal deal{RemoteTransport::Serial};
};

}  // namespace

TEST_F(Controller, ParameterRamWritesReachTheFpgaAndReadBack) {
    Bytes layout = {0x00, 0x05, 0x00, 0x04, 0x80, 0x02, 0x00, 0x01};
    unsigned at = 0x30000 + 8;
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(at, layout.size(), layout))), 0);
    EXPECT_EQ(fpga0()->ram(1, 8, layout.size()), layout);
    EXPECT_EQ(read(0x61, at, layout.size()), layout);
    EXPECT_EQ(Bytes(fpga_manage::MCU_RAM_PARA_func[0] + 8, fpga_manage::MCU_RAM_PARA_func[0] + 16),
              layout);

    // FPGA 1 is not fitted: the write is refused and its image keeps what it had.
    unsigned at1 = 0x31000;
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(at1, 2, {1, 2}))), 1);
    EXPECT_EQ(fpga_manage::MCU_RAM_PARA_func[1][0], 0);

    // Past the parameter RAM's 1024 bytes nothing is written anywhere.
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x30000 + 1020, 8, Bytes(8, 9)))), 1);
    EXPECT_EQ(fpga0()->ram(1, 1020, 4), Bytes(4, 0));
}

TEST_F(Controller, CommandAreaIsWrittenAndStatusAreasAreReadOnly) {
    Bytes clock = {0xAA, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x24, 0x20, 0x06, 0x01};
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x20000, clock.size(), clock))), 0);
    EXPECT_EQ(Bytes(fpga_manage::MCU_RAM_CMD, fpga_manage::MCU_RAM_CMD + clock.size()), clock);
    EXPECT_EQ(read(0x61, 0x20000, clock.size()), clock);

    fpga_manage::MCU_RAM_EXTEND[29] = 1;
    EXPECT_EQ(read(0x61, 0x21000 + 29, 1), Bytes{1});
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x21000, 1, {0}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x32000, 1, {0}))), 1);
    EXPECT_EQ(read(0x61, 0x32000, 136).size(), 136u);
}

TEST_F(Controller, FpgaRegistersAreReadFromTheFpgaOrItsShadow) {
    fpga0()->setReg(31, 0x37);
    fpga0()->setReg(128, 0x05);
    fpga_manage::MCU_REG_func[0][80] = 3;  // shadow only
    EXPECT_EQ(read(0xA1, 0x1000 + 31, 1), Bytes{0x37});
    EXPECT_EQ(read(0xA1, 0x1000 + 128, 1), Bytes{0x05});
    EXPECT_EQ(read(0xA1, 0x1000 + 80, 1), Bytes{3});
    EXPECT_EQ(status(frame(kProcessor, 0xA1, mem(0x1000 + 168, 3))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0xA1, mem(0x1000 + 0x200, 1))), 1);
}

TEST_F(Controller, FpgaRegisterWritesGoThroughTheControllerWithTheirMask) {
    const unsigned reg0 = 0x1000;
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(reg0 + 6, 1, {0x80}))), 0);
    EXPECT_EQ(fpga0()->reg(6), 0x80);
    fpga0()->setReg(23, 0xF0);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(reg0 + 23, 1, {0x05}, 0x0F))), 0);
    EXPECT_EQ(fpga0()->reg(23), 0xF5);
    // Shadow only; and registers that do not exist refuse the whole write.
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(reg0 + 70, 1, {9}))), 0);
    EXPECT_EQ(fpga_manage::MCU_REG_func[0][70], 9);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(reg0 + 95, 3, {1, 2, 3}))), 1);
    EXPECT_EQ(fpga_manage::MCU_REG_func[0][95], 0);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(reg0 + 170, 1, {1}))), 1);
}

TEST_F(Controller, ACommandWrittenToTheCommandAreaRunsOnRegisterTwo) {
    // Set the clock to 2024-06-01 12:30:00 (BCD fields).
    Bytes clock = {0xAA, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00,
                   0x24, 0x20, 0x06, 0x01, 0x12, 0x30, 0x00};
    ASSERT_EQ(status(frame(kProcessor, 0x60, mem(0x20000, clock.size(), clock))), 0);
    sim::clearCommands();
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0x1000 + 2, 1, {0x04}))), 0);
    bool set = false;
    for (const sim::Command& c : sim::commands())
        set = set || c.text.find("2024-6-1 12:30:0") != std::string::npos;
    EXPECT_TRUE(set);
    EXPECT_EQ(fpga0()->reg(2) & 0x06, 0);  // the command bits stay with the controller
}

TEST_F(Controller, SaveStoresTheParameterRamAndTakesTheLedSizeGivenToTheFpga) {
    manager->set_fpga_ready_state(0, 3);
    Bytes size = {0x00, 0x0A, 0xD0, 0x02};  // 2560 x 720
    ASSERT_EQ(status(frame(kProcessor, 0x60, mem(0x30000 + 60, 4, size))), 0);
    EXPECT_EQ(status(frame(kProcessor, 0x81, {0xFF, 0x00})), 0);
    EXPECT_EQ(store().ram_para.u16At(1378), 2560);
    EXPECT_EQ(store().ram_para.u16At(1380), 720);
    EXPECT_EQ(c331_manage::para_update, 1);
    Bytes record = sim::get<sim::SpiNorFlash>("fpga0-flash")->contents(0x308000, 1025);
    EXPECT_EQ(record[0], 0xAA);
    EXPECT_EQ(Bytes(record.begin() + 61, record.begin() + 65), size);

    // A size beyond the largest screen the device drives is not taken.
    c331_manage::para_update = 0;
    Bytes huge = {0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(status(frame(kProcessor, 0x60, mem(0x30000 + 60, 4, huge))), 0);
    EXPECT_EQ(status(frame(kProcessor, 0x81, {0xFF, 0x00})), 1);
    EXPECT_EQ(store().ram_para.u16At(1378), 2560);
    EXPECT_EQ(c331_manage::para_update, 1);
}

TEST_F(Controller, WithoutTheManagerItsAreasAnswerAnError) {
    manager.reset();
    EXPECT_EQ(status(frame(kProcessor, 0x61, mem(0x20000, 4))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x30000, 1, {1}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0xA1, mem(0x1000, 1))), 1);
}

// FPGA 1 is not fitted: a register write to it reaches nothing, so it is refused and
// changes nothing, least of all the LED screen that register 0 bit 2 blacks (image 2116,
// status area byte 29).
TEST_F(Controller, RegisterWritesToFpga1AreRefusedAndLeaveTheScreenAlone) {
    const unsigned reg0 = 0x1000, reg1 = 0x1100;
    ASSERT_EQ(status(frame(kProcessor, 0xA0, mem(reg0, 1, {0x00}, 0x04))), 0);
    ASSERT_EQ(read(0x61, 0x21000 + 29, 1), Bytes{1}) << "shown";
    ASSERT_EQ(read(0x61, 2116, 2), (Bytes{0, 0}));

    const Bytes refusals[] = {
        frame(kProcessor, 0xA0, mem(reg1, 1, {0x04}, 0x04)),  // black, mask 4
        frame(kProcessor, 0xA0, mem(reg1, 1, {0xFF})),        // every bit
        frame(kProcessor, 0xA0, mem(reg1 + 64, 2, {9, 9})),   // kept in the device only
        frame(kProcessor, 0xA0, mem(reg1 + 128, 1, {1})),
        frame(kProcessor, 0xA0, mem(reg1, 0)),  // a count of 0 writes nothing and may not
    };
    for (const Bytes& f : refusals) {
        Bytes r = send(f);
        EXPECT_EQ(replyStatus(f, r), 1);
        EXPECT_EQ(Bytes(r.begin() + 11, r.end() - 1), Bytes(f.begin() + 10, f.begin() + 18))
            << "the header echoed";
    }
    EXPECT_EQ(read(0x61, 0x21000 + 29, 1), Bytes{1}) << "still shown";
    EXPECT_EQ(read(0x61, 2116, 2), (Bytes{0, 0}));
    EXPECT_EQ(read(0xA1, reg1, 1), Bytes{0});
    EXPECT_EQ(read(0xA1, reg1 + 64, 2), (Bytes{0, 0}));
    EXPECT_EQ(sim::get<sim::FpgaModel>("fpga1")->reg(0), 0);

    // FPGA 0's register 0 still blacks the screen.
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(reg0, 1, {0x04}, 0x04))), 0);
    EXPECT_EQ(read(0x61, 0x21000 + 29, 1), Bytes{0});
    EXPECT_EQ(read(0x61, 2116, 2), (Bytes{1, 0}));
}

// FPGA 1 is not fitted: a PC's read of its registers answers from the device's copy of
// them, and a write to its parameter RAM is refused, both leaving the shared bus alone (no
// routing store, no transfer, no error printed), where a read of FPGA 0 reaches the chip.
TEST_F(Controller, Fpga1AnswersFromTheCopyAndRefusesRamWritesWithoutTouchingTheBus) {
    auto window = sim::get<sim::SocWindow>("/dev/mem");
    auto bus = sim::get<sim::SpiBus>("spi-bus");
    fpga_manage::MCU_REG_func[1][3].store(0x5A);
    sim::get<sim::FpgaModel>("fpga1")->setReg(3, 0x77);

    // Sixteen registers of FPGA 1 from register 0, as a PC tool sends it.
    Bytes f = {0x00, 0xF1, 0x10, 0xF0, 0x10, 0x01, 0x00, 0x00, 0x00,
               0xA1, 0x00, 0x11, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00};
    f.push_back(xorOf(f, f.size()));
    const size_t stores = window->changes().size();
    const uint64_t messages = bus->messages().size();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Bytes r = send(f);
    const std::string printed =
        testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

    ASSERT_EQ(replyStatus(f, r), 0);
    ASSERT_EQ(r.size(), 36u);
    Bytes values(16, 0);
    values[3] = 0x5A;
    EXPECT_EQ(Bytes(r.begin() + 19, r.end() - 1), values);
    EXPECT_EQ(window->changes().size(), stores) << "the bus stays routed to the c331";
    EXPECT_EQ(bus->messages().size(), messages);
    EXPECT_THAT(printed, testing::Not(testing::HasSubstr("spi")));

    // Its parameter RAM is refused the same way, before the bus is touched.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x31000, 2, {0x12, 0x34}))), 1);
    EXPECT_THAT(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(),
                testing::Not(testing::HasSubstr("spi")));
    EXPECT_EQ(read(0x61, 0x31000, 2), (Bytes{0, 0}));
    EXPECT_EQ(window->changes().size(), stores);
    EXPECT_EQ(bus->messages().size(), messages);

    // FPGA 0's registers still come from the chip.
    fpga0()->setReg(3, 0x66);
    EXPECT_EQ(read(0xA1, 0x1000, 16)[3], 0x66);
    EXPECT_GT(window->changes().size(), stores);
    EXPECT_GT(bus->messages().size(), messages);
}
