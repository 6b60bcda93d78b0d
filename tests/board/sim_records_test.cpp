// What the simulated board keeps of a long run stays bounded: each log keeps its newest
// entries within the limit, queues drop (and count) what no longer fits, and a receiving
// card's RAM and flash cost what was written to them while reading as a card's would.
#include <fcntl.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>

#include <gmock/gmock.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/sim/bounded_log.h"
#include "board/sim/c331_flash_controller.h"
#include "board/sim/c331_model.h"
#include "board/sim/fpga_model.h"
#include "board/sim/i2c_device.h"
#include "board/sim/it6805_cec_model.h"
#include "board/sim/mtd_partition.h"
#include "board/sim/output_ports.h"
#include "board/sim/receiving_card.h"
#include "board/sim/serial_port.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "board/sim/sparse_bytes.h"
#include "board/sim/spi_nor_flash.h"
#include "tests/support/sim_test.h"

namespace {

using Bytes = std::vector<uint8_t>;
using ::testing::ElementsAre;

constexpr size_t kLimit = 8;
constexpr int kMany = 100;

// Every log of the board is held to a small limit, far below what each test adds.
class SimRecords : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::logLimit() = kLimit;
    }
    void TearDown() override {
        sim::logLimit() = sim::kLogLimit;
        SimTest::TearDown();
    }
};

Bytes withCheck(Bytes frame) {
    uint8_t x = 0;
    for (uint8_t b : frame)
        x ^= b;
    frame.push_back(x);
    return frame;
}

// A card frame to card 0: destination, source F010, kind 10, tag, routing 01, port 01, 00,
// the command and its payload, the check byte.
Bytes cardFrame(uint8_t tag, uint8_t command, const Bytes& payload) {
    Bytes f = {0x00, 0x00, 0x10, 0xF0, 0x10, tag, 0x01, 0x01, 0x00, command};
    f.insert(f.end(), payload.begin(), payload.end());
    return withCheck(f);
}

// A RAM write (60): u32 address, u16 count, u16 0, the bytes.
Bytes ramWrite(uint32_t at, const Bytes& data) {
    Bytes p = {static_cast<uint8_t>(at),
               static_cast<uint8_t>(at >> 8),
               static_cast<uint8_t>(at >> 16),
               static_cast<uint8_t>(at >> 24),
               static_cast<uint8_t>(data.size()),
               static_cast<uint8_t>(data.size() >> 8),
               0x00,
               0x00};
    p.insert(p.end(), data.begin(), data.end());
    return cardFrame(0x01, 0x60, p);
}

TEST_F(SimRecords, ACardKeepsTheNewestFramesRegisterWritesAndOperations) {
    sim::ReceivingCard card(0, 0);
    for (int i = 0; i < kMany; ++i) {
        const auto tag = static_cast<uint8_t>(i);
        EXPECT_EQ(card.take(cardFrame(tag, 0x61, {0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00})),
                  "");
        EXPECT_EQ(card.take(cardFrame(tag, 0xA0, {0x01, 0x02, tag})), "");
        EXPECT_EQ(card.take(cardFrame(tag, 0x30, {tag})), "");
    }
    EXPECT_LE(card.frames().size(), kLimit);
    EXPECT_EQ(card.frames().back(), cardFrame(99, 0x30, {99}));
    EXPECT_LE(card.registerWrites().size(), kLimit);
    EXPECT_EQ(card.registerWrites().back(), (Bytes{0x01, 0x02, 99}));
    EXPECT_LE(card.operations().size(), kLimit);
    EXPECT_EQ(card.operations().back(), (Bytes{0x30, 99}));
}

TEST_F(SimRecords, TheShellKeepsTheNewestCommands) {
    for (int i = 0; i < kMany; ++i)
        board::system(("hwclock -s " + std::to_string(i)).c_str());
    const std::vector<sim::Command> log = sim::commands();
    EXPECT_LE(log.size(), kLimit);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().text, "hwclock -s 99");
}

TEST_F(SimRecords, ErrorsOfPartsAResetDroppedKeepTheNewest) {
    for (int i = 0; i < kMany; ++i) {
        auto flash = sim::get<sim::SpiNorFlash>("fpga0-flash");
        std::vector<uint8_t> rx(1);
        flash->transfer({static_cast<uint8_t>(0x70 + i % 2)}, rx);  // no such command
        sim::reset();
    }
    const std::vector<std::string> errors = sim::allProtocolErrors();
    EXPECT_LE(errors.size(), kLimit);
    ASSERT_FALSE(errors.empty());
    EXPECT_THAT(errors.back(), ::testing::HasSubstr("0x71"));
    sim::clearAllProtocolErrors();
}

TEST_F(SimRecords, ChipsKeepTheNewestErrors) {
    auto flash = sim::get<sim::SpiNorFlash>("fpga0-flash");
    for (int i = 0; i < kMany; ++i) {
        std::vector<uint8_t> rx(1);
        flash->transfer({static_cast<uint8_t>(0x70 + i % 2)}, rx);
    }
    EXPECT_LE(flash->errors().size(), kLimit);
    ASSERT_FALSE(flash->errors().empty());
    EXPECT_THAT(flash->errors().back(), ::testing::HasSubstr("0x71"));

    // FPGA 0 out of reset and configured at once; data phases without a command.
    sim::get<sim::SocWindow>("/dev/mem")->setWord(0x207858, 16);
    auto fpga = sim::get<sim::FpgaModel>("fpga0");
    fpga->setConfigDelayMs(0);
    ASSERT_TRUE(fpga->configured());
    for (int i = 1; i <= kMany; ++i) {
        std::vector<uint8_t> rx(static_cast<size_t>(i));
        fpga->transfer(false, Bytes(static_cast<size_t>(i), 0x00), rx);
    }
    const std::vector<std::string> errors = fpga->protocolErrors();
    EXPECT_LE(errors.size(), kLimit);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "FPGA 0: data of 100 bytes without a command");
    sim::clearAllProtocolErrors();
}

TEST_F(SimRecords, AnMtdPartitionKeepsTheNewestErasesUnlocksAndErrors) {
    const int fd = board::open("/dev/mtd10", O_RDWR);
    ASSERT_GE(fd, 0);
    // 2 MiB in erase blocks of 128 KiB: 16 blocks a pass.
    erase_info_user all = {0, 2u << 20};
    for (int pass = 0; pass < 8; ++pass) {
        ASSERT_EQ(board::ioctl(fd, MEMUNLOCK, &all), 0);
        ASSERT_EQ(board::ioctl(fd, MEMERASE, &all), 0);
    }
    auto mtd = sim::get<sim::MtdPartition>("/dev/mtd10");
    EXPECT_LE(mtd->erasedBlocks().size(), kLimit);
    EXPECT_EQ(mtd->erasedBlocks().back(), 0x1E0000u);
    EXPECT_LE(mtd->unlockedBlocks().size(), kLimit);
    EXPECT_EQ(mtd->unlockedBlocks().back(), 0x1E0000u);

    const Bytes first(kMany, 0x0F), second(kMany, 0xF0);
    ASSERT_EQ(board::pwrite(fd, first.data(), first.size(), 0), kMany);
    ASSERT_EQ(board::pwrite(fd, second.data(), second.size(), 0), kMany);
    EXPECT_LE(mtd->errors().size(), kLimit);
    ASSERT_FALSE(mtd->errors().empty());
    EXPECT_EQ(mtd->errors().back(), "/dev/mtd10: programmed 0xf0 over 0x0f at 0x63");
    board::close(fd);
    sim::clearAllProtocolErrors();
}

TEST_F(SimRecords, ASerialPortKeepsTheNewestEvents) {
    const int fd = board::open("/dev/ttyS2", O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    auto port = sim::get<sim::SerialPort>("/dev/ttyS2");
    for (int i = 1; i <= kMany; ++i) {
        int rts = TIOCM_RTS;
        ASSERT_EQ(board::ioctl(fd, TIOCMBIS, &rts), 0);
        ASSERT_EQ(board::ioctl(fd, TIOCMBIC, &rts), 0);
        const Bytes bytes(static_cast<size_t>(i % 7 + 1), 0x55);
        ASSERT_EQ(board::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    const std::vector<sim::SerialPort::Event> events = port->events();
    EXPECT_LE(events.size(), kLimit);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, sim::SerialPort::Event::Write);
    EXPECT_EQ(events.back().bytes, 3u);  // 100 % 7 + 1
    board::close(fd);
}

// Register writes through the chips' I2C pins: start, the register pointer, the values,
// stop.
void i2cWrite(sim::I2cDevice& chip, const Bytes& bytes) {
    ASSERT_TRUE(chip.select(false, 0));
    for (uint8_t b : bytes)
        ASSERT_TRUE(chip.writeByte(b, 0));
    chip.stop(0);
}

TEST_F(SimRecords, I2cChipsKeepTheNewestWritesSwitchingsAndFrames) {
    sim::I2cRegisterFile registers(16);
    sim::I2cSwitch channels;
    for (int i = 0; i < kMany; ++i) {
        i2cWrite(registers, {0x03, static_cast<uint8_t>(i)});
        i2cWrite(channels, {static_cast<uint8_t>(i)});
    }
    EXPECT_LE(registers.writes().size(), kLimit);
    EXPECT_EQ(registers.writes().back(), std::make_pair(uint8_t{0x03}, uint8_t{99}));
    EXPECT_LE(channels.history().size(), kLimit);
    EXPECT_EQ(channels.history().back(), 99);

    // The CEC engine on, a timing unit, a one-byte frame; each frame sent by arming the
    // engine (0x08 bit 3) and raising bit 7.
    sim::It6805CecModel cec;
    i2cWrite(cec, {0x08, 0x01});
    i2cWrite(cec, {0x0C, 0x0A});
    i2cWrite(cec, {0x23, 0x01});
    for (int i = 0; i < kMany; ++i) {
        i2cWrite(cec, {0x10, static_cast<uint8_t>(i)});
        i2cWrite(cec, {0x08, 0x09});
        i2cWrite(cec, {0x08, 0x89});
    }
    const std::vector<Bytes> sent = cec.transmitted();
    EXPECT_LE(sent.size(), kLimit);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), Bytes{99});
    EXPECT_THAT(cec.protocolErrors(), ::testing::IsEmpty());
}

// The c331's flash controller with its pins and opcodes set up for a direct page program
// at 0x1000, as a driver sets them.
class FlashQueue {
public:
    FlashQueue() {
        for (auto [address, value] : std::vector<std::pair<uint8_t, uint8_t>>{{0x42, 0x55},
                                                                              {0x43, 0x00},
                                                                              {0x44, 0x00},
                                                                              {0x3C, 0x00},
                                                                              {0x3D, 0x03},
                                                                              {0x3E, 0x00},
                                                                              {0x3F, 0x03},
                                                                              {0x45, 0xFF},
                                                                              {0x46, 0x03}})
            put(0x05, address, value);
        for (auto [address, value] : std::vector<std::pair<uint8_t, uint8_t>>{{0x5F, 0x01},
                                                                              {0x47, 0x31},
                                                                              {0x49, 0x12},
                                                                              {0x4A, 0x0C},
                                                                              {0x4C, 0x06},
                                                                              {0x4D, 0x05},
                                                                              {0x4F, 0x10},
                                                                              {0x50, 0x00},
                                                                              {0x51, 0x00},
                                                                              {0x4E, 0x00}})
            put(0x04, address, value);
    }
    void put(uint8_t bank, uint8_t address, uint8_t value) {
        chip.store(bank, address, value);
        controller.written(chip, bank, address, value);
    }

    sim::C331Chip chip;
    sim::C331FlashController controller;
};

TEST_F(SimRecords, AFlashProgramFarLongerThanAPageProgramsThePageAndNamesItsLength) {
    FlashQueue f;
    for (int i = 0; i < 100000; ++i)
        f.put(0x04, 0x52, static_cast<uint8_t>(i));
    f.put(0x04, 0x4E, 0x00);  // the address rewritten: the queue is programmed
    EXPECT_THAT(f.controller.protocolErrors(),
                ElementsAre("flash controller: page program of 100000 bytes at 0x1000 crosses "
                            "its page"));
    const auto programs = f.controller.operations(sim::C331FlashController::Op::Program);
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].address, 0x1000u);
    EXPECT_EQ(programs[0].length, 100000u);
    const Bytes page = f.controller.flash().read(0x1000, 256);
    for (size_t i = 0; i < page.size(); ++i)
        ASSERT_EQ(page[i], i) << "byte " << i;
    EXPECT_EQ(f.controller.flash().read(0x1100, 1), Bytes{0xFF});
}

// An answer frame of 12 bytes that names its number.
Bytes answerFrame(int n) {
    return withCheck(
        {0x10, 0xF0, 0x00, 0x00, 0x10, static_cast<uint8_t>(n), 0x01, 0x01, 0x00, 0x61, 0x00});
}

// The frame in receive buffer 0 (RAM block 2, its length - 1 in register 24), then the
// buffer given back (register 130 bit 0 set, register 131 bit 0 cleared).
Bytes takeBuffer0(sim::OutputPorts& ports) {
    const size_t n = ports.readRegister(24) + 1u;
    Bytes frame(n);
    ports.readRam(2, 0, frame.data(), n);
    ports.writeRegister(130, 0x01, 0x01, 0x0001, 0);
    ports.writeRegister(131, 0x01, 0x00, 0x0001, 0);
    return frame;
}

TEST_F(SimRecords, AnswersBehindAFullReceiveBufferAreCappedAndTheRestCounted) {
    sim::OutputPorts ports(0);
    for (int n = 0; n < 40; ++n)
        ports.answer(0, answerFrame(n), 0, 0);
    ports.advance(1);
    // One in the buffer, sixteen waiting behind it: the other 23 are lost.
    EXPECT_EQ(ports.droppedAnswers(), 23u);
    for (int n = 0; n < 17; ++n) {
        ASSERT_TRUE(ports.holdsFrame()) << "answer " << n;
        EXPECT_EQ(takeBuffer0(ports), answerFrame(n));
    }
    EXPECT_FALSE(ports.holdsFrame());
    EXPECT_THAT(ports.errors(), ::testing::IsEmpty());

    // The buffer keeps working: a new answer lands.
    ports.answer(0, answerFrame(77), 0, 1);
    ports.advance(2);
    ASSERT_TRUE(ports.holdsFrame());
    EXPECT_EQ(takeBuffer0(ports), answerFrame(77));
    EXPECT_EQ(ports.droppedAnswers(), 23u);
}

TEST_F(SimRecords, LateAnswersOnTheirWayAreCappedAndTheRestCounted) {
    sim::OutputPorts ports(0);
    for (int n = 0; n < 70; ++n)
        ports.answer(0, answerFrame(n), 1000, 0);
    EXPECT_EQ(ports.droppedAnswers(), 6u);  // 64 on their way
    ports.advance(500);
    EXPECT_FALSE(ports.holdsFrame());
    ports.advance(1000);
    // Due together: one lands, sixteen wait, 47 more are lost.
    EXPECT_EQ(ports.droppedAnswers(), 53u);
    EXPECT_EQ(takeBuffer0(ports), answerFrame(0));
}

TEST_F(SimRecords, ACardsRamWrittenFarApartReadsBackAndItsFlashKeepsTheSavedRam) {
    sim::ReceivingCard card(0, 0);
    EXPECT_EQ(card.take(ramWrite(0x00000010, {0x01, 0x02, 0x03, 0x04})), "");
    EXPECT_EQ(card.take(ramWrite(0x3FFFFFFE, {0x05, 0x06, 0x07, 0x08})), "");
    EXPECT_EQ(card.take(ramWrite(0xFFFFFFFE, {0x09, 0x0A, 0x0B, 0x0C})), "");  // wraps to 0
    Bytes long_(1000);
    for (size_t i = 0; i < long_.size(); ++i)
        long_[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(card.take(ramWrite(0x9000007F, long_)), "");

    EXPECT_EQ(card.ram(0x0000000E, 8), (Bytes{0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00}));
    EXPECT_EQ(card.ram(0x3FFFFFFC, 8), (Bytes{0x00, 0x00, 0x05, 0x06, 0x07, 0x08, 0x00, 0x00}));
    EXPECT_EQ(card.ram(0xFFFFFFFD, 5), (Bytes{0x00, 0x09, 0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(card.ram(0x00000000, 3), (Bytes{0x0B, 0x0C, 0x00}));
    EXPECT_EQ(card.ram(0x9000007F, 1000), long_);
    EXPECT_EQ(card.ram(0x9000007E, 1), Bytes{0x00});
    EXPECT_EQ(card.ram(0x90000467, 1), Bytes{0x00});
    EXPECT_EQ(card.ram(0x70000000, 4), (Bytes{0x00, 0x00, 0x00, 0x00}));

    EXPECT_EQ(card.flash(0x10, 4), Bytes{}) << "nothing saved yet";
    EXPECT_EQ(card.take(cardFrame(0x02, 0x81, {0xFF, 0x00})), "");
    EXPECT_EQ(card.saves(), 1);
    EXPECT_EQ(card.take(ramWrite(0x00000010, {0xA1, 0xA2, 0xA3, 0xA4})), "");
    EXPECT_EQ(card.take(ramWrite(0x20000000, {0xB1})), "");
    EXPECT_EQ(card.ram(0x00000010, 4), (Bytes{0xA1, 0xA2, 0xA3, 0xA4}));
    EXPECT_EQ(card.flash(0x00000010, 4), (Bytes{0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(card.flash(0x3FFFFFFE, 4), (Bytes{0x05, 0x06, 0x07, 0x08}));
    EXPECT_EQ(card.flash(0x9000007F, 1000), long_);
    EXPECT_EQ(card.flash(0x20000000, 1), Bytes{0x00});

    // A copy of the card (what a test reads) is its own: the card goes on apart.
    const sim::ReceivingCard copy = card;
    EXPECT_EQ(card.take(ramWrite(0x00000010, {0xC1})), "");
    EXPECT_EQ(copy.ram(0x00000010, 1), Bytes{0xA1});
}

TEST_F(SimRecords, SparseBytesCostWhatWasWritten) {
    sim::SparseBytes bytes;
    const uint8_t one = 0x42;
    bytes.write(0x00000000, &one, 1);
    bytes.write(0x12345678, &one, 1);
    bytes.write(0xFFFFFF00, &one, 1);
    EXPECT_EQ(bytes.pages(), 3u) << "a page for each byte far from the others";
    const Bytes kib(1024, 0x11);
    bytes.write(0x50000000, kib.data(), kib.size());
    bytes.write(0x50000000, kib.data(), kib.size());
    const size_t pages = bytes.pages();
    EXPECT_GT(pages, 3u);
    EXPECT_LE(pages, 8u) << "a kibibyte written twice costs a few pages";
    const sim::SparseBytes copy = bytes;
    EXPECT_EQ(copy.pages(), pages);
    EXPECT_EQ(copy.read(0x12345677, 3), (Bytes{0x00, 0x42, 0x00}));
    EXPECT_EQ(copy.read(0x500003FF, 2), (Bytes{0x11, 0x00}));
}

}  // namespace
