// The c331 register access, checked on the chip model's own log.
#include <gmock/gmock.h>

#include <thread>

#include "board/board.h"
#include "core/utils.h"
#include "tests/spi/spi_fixture.h"

namespace {

using sim::C331Model;
using test::C331Test;

struct W {
    uint8_t bank, address, value;
};

std::vector<W> writes(const std::vector<C331Model::Access>& log) {
    std::vector<W> out;
    for (const auto& a : log)
        if (a.write)
            out.push_back({a.bank, a.address, a.value});
    return out;
}

MATCHER_P3(IsWrite, bank, address, value, "") {
    return arg.bank == bank && arg.address == address && arg.value == value;
}

// Fields of the output channel (bank 0x08: total width, background enable) and of the
// frame memory (bank 0x16: a 4-byte write base).
TEST_F(C331Test, FieldWritesAreLittleEndianAndSelectTheBankOnlyWhenItChanges) {
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0x08, 0x0A, 2), 0x1234, 0), 1);
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0x08, 0x48, 1), 0xAB, 0), 1);
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0x16, 0x1C, 4), 0x89ABCDEF, 0), 1);
    EXPECT_THAT(writes(c331()->log()),
                testing::ElementsAre(IsWrite(0x08, 0x00, 0x08), IsWrite(0x08, 0x0A, 0x34),
                                     IsWrite(0x08, 0x0B, 0x12), IsWrite(0x08, 0x48, 0xAB),
                                     IsWrite(0x16, 0x00, 0x16), IsWrite(0x16, 0x1C, 0xEF),
                                     IsWrite(0x16, 0x1D, 0xCD), IsWrite(0x16, 0x1E, 0xAB),
                                     IsWrite(0x16, 0x1F, 0x89)));
    EXPECT_EQ(chip.read_C331(fd, c331_drv::descriptor(0x16, 0x1C, 4), 0), 0x89ABCDEFu);
    EXPECT_EQ(chip.read_C331(fd, c331_drv::descriptor(0x08, 0x0A, 2), 0), 0x1234u);
    EXPECT_TRUE(c331()->protocolErrors().empty());
    EXPECT_TRUE(bus()->errors().empty());
}

TEST_F(C331Test, ThreeByteWriteWithBankOffset) {
    chip.write_C331(fd, 0x084903, 0xFF00, 0x20);
    EXPECT_THAT(writes(c331()->log()),
                testing::ElementsAre(IsWrite(0x28, 0x00, 0x28), IsWrite(0x28, 0x49, 0x00),
                                     IsWrite(0x28, 0x4A, 0xFF), IsWrite(0x28, 0x4B, 0x00)));
}

TEST_F(C331Test, IdentityAndWireFormat) {
    EXPECT_EQ(chip.read_C331(fd, c331_drv::kIdDescriptor, 0), 0x24u);
    // Writes go at 10 MHz transmit-only, reads at 5 MHz: a bank select and one read.
    auto messages = bus()->messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].head, (std::vector<uint8_t>{0x80, 0xB2}));
    EXPECT_EQ(messages[0].speedHz, 10000000u);
    EXPECT_EQ(messages[1].head, (std::vector<uint8_t>{0x08, 0xFF}));
    EXPECT_EQ(messages[1].speedHz, 5000000u);
    auto counters = bus()->counters(sim::SpiTarget::C331);
    EXPECT_EQ(counters.messages, 2u);
    EXPECT_EQ(counters.bytes, 4u);
    EXPECT_DOUBLE_EQ(counters.busNs, 1600 + 3200);
    EXPECT_EQ(node(0)->mode(), 3);
    EXPECT_EQ(node(0)->maxSpeedHz(), 10000000u);
}

TEST_F(C331Test, CountZeroOnlySelectsTheBank) {
    EXPECT_EQ(chip.read_C331(fd, c331_drv::descriptor(0x05, 0x10, 0), 0), 0u);
    chip.write_C331(fd, c331_drv::descriptor(0x05, 0x10, 0), 0xFF, 0);
    EXPECT_THAT(writes(c331()->log()), testing::ElementsAre(IsWrite(0x05, 0x00, 0x05)));
    EXPECT_EQ(c331()->log().size(), 1u);
}

TEST_F(C331Test, BankCacheIsForgottenAtBringUpAfterABankRegisterWriteAndAfterAFailure) {
    const uint32_t reg = c331_drv::descriptor(0x48, 0x48, 1);  // channel 4's background
    chip.write_C331(fd, reg, 1, 0);
    chip.init_reg_acc_param();
    chip.write_C331(fd, reg, 2, 0);
    // Bring-up writes the bank register itself, in bank 0xFF.
    chip.write_C331(fd, c331_drv::descriptor(0xFF, 0x00, 1), 0x33, 0);
    chip.write_C331(fd, c331_drv::descriptor(0xFF, 0x03, 1), 3, 0);
    node(0)->failMessages(0, 1);
    chip.write_C331(fd, reg, 4, 0);
    chip.write_C331(fd, reg, 5, 0);
    EXPECT_THAT(
        writes(c331()->log()),
        testing::ElementsAre(IsWrite(0x48, 0, 0x48), IsWrite(0x48, 0x48, 1), IsWrite(0x48, 0, 0x48),
                             IsWrite(0x48, 0x48, 2), IsWrite(0xFF, 0, 0xFF), IsWrite(0x33, 0, 0x33),
                             IsWrite(0xFF, 0, 0xFF), IsWrite(0xFF, 0x03, 3),
                             // the select of bank 0x48 failed: selected again
                             IsWrite(0x48, 0, 0x48), IsWrite(0x48, 0x48, 5)));
    EXPECT_EQ(c331()->reg(0x48, 0x48), 5);
    EXPECT_EQ(c331()->reg(0xFF, 0x03), 3);
}

TEST_F(C331Test, BadDescriptorsAreRefusedWithoutTransfer) {
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0x01, 0x7E, 3), 0, 0), 0);
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0x01, 0x80, 1), 0, 0), 0);
    EXPECT_EQ(chip.read_C331(fd, c331_drv::descriptor(0x01, 0x90, 1), 0), 0u);
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0xF8, 0x10, 1), 0, 0x10), 0);
    EXPECT_EQ(chip.write_c331_mask(fd, c331_drv::descriptor(0x08, 0x10, 1), 0, 1, -9), 0);
    EXPECT_EQ(bus()->messages().size(), 0u);
    // The last register of a bank and the last bank are still reachable.
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0x0A, 0x7C, 4), 0x04030201, 0x70), 1);
    EXPECT_EQ(c331()->reg(0x7A, 0x7F), 4);
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(0xF0, 0x05, 3), 0x030201, 0x0F), 1);
    EXPECT_EQ(c331()->reg(0xFF, 0x07), 3);
}

TEST_F(C331Test, FailedReadReturnsZero) {
    c331()->setReg(0x08, 0x0A, 0x5A);
    c331()->setReg(0x08, 0x0B, 0xA5);
    ASSERT_EQ(chip.read_C331(fd, c331_drv::descriptor(0x08, 0x0A, 2), 0), 0xA55Au);
    node(0)->failMessages(1, 1);  // the second byte's read fails
    EXPECT_EQ(chip.read_C331(fd, c331_drv::descriptor(0x08, 0x0A, 2), 0), 0u);
    // A masked write whose read failed writes nothing.
    c331()->clearLog();
    node(0)->failMessages(1, 1);
    EXPECT_EQ(chip.write_c331_mask(fd, c331_drv::descriptor(0x08, 0x0A, 1), 0, 0xFF, 0), 0);
    EXPECT_TRUE(writes(c331()->log()).size() <= 1u) << "at most the bank select";
    EXPECT_EQ(c331()->reg(0x08, 0x0A), 0x5A);
}

TEST_F(C331Test, MaskedWriteChangesOnlyTheMaskedBits) {
    c331()->setReg(0x06, 0x38, 0xF0);
    c331()->setReg(0x06, 0x39, 0x0F);
    EXPECT_EQ(chip.write_c331_mask(fd, c331_drv::descriptor(0x06, 0x38, 2), 0x0F0F, 0x0FF0, 0), 1);
    EXPECT_EQ(c331()->reg(0x06, 0x38), 0x00);
    EXPECT_EQ(c331()->reg(0x06, 0x39), 0x0F);
}

// Two threads toggle their own bits of one register through masked writes, switching
// banks in between: no update may be lost and no access may land in a wrong bank.
TEST_F(C331Test, MaskedWritesOfTwoThreadsLoseNothing) {
    // The pattern-generator type register of output channels 0, 1 and 2.
    const uint32_t shared = c331_drv::descriptor(0x08, 0x57, 1);
    auto worker = [&](uint32_t bit, int otherChannel) {
        for (int i = 0; i < 200; ++i) {
            chip.write_c331_mask(fd, shared, i % 2 ? 0 : bit, bit, 0);
            chip.write_C331(fd, shared, i, 16 * otherChannel);
        }
        chip.write_c331_mask(fd, shared, bit, bit, 0);
    };
    std::thread a(worker, 0x01, 1);
    std::thread b(worker, 0x80, 2);
    a.join();
    b.join();
    EXPECT_EQ(c331()->reg(0x08, 0x57), 0x81);
    EXPECT_EQ(c331()->reg(0x18, 0x57), 199);
    EXPECT_EQ(c331()->reg(0x28, 0x57), 199);
    EXPECT_TRUE(bus()->errors().empty());
}

class C331Unmapped : public test::SpiTest {};

TEST_F(C331Unmapped, TransfersAreRefusedAndReportedOnceWithoutTheWindow) {
    c331_drv chip;
    int fd = chip.initialize();
    ASSERT_GE(fd, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(chip.write_C331(fd, c331_drv::descriptor(1, 2, 1), 3, 0), 0);
    EXPECT_EQ(chip.read_C331(fd, c331_drv::kIdDescriptor, 0), 0u);
    fpga_manage::p_fpga_manage = manager.get();  // exists, but has not mapped its window
    EXPECT_EQ(chip.read_C331(fd, c331_drv::kIdDescriptor, 0), 0u);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_THAT(err, testing::HasSubstr("not mapped"));
    EXPECT_TRUE(bus()->messages().empty());
    board::close(fd);
}

}  // namespace
