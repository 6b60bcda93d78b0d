// The chip's serial flash through its controller: programming in pages, erasing in 4, 32
// and 64 KiB units, reading, DMA; bounded waits on a controller that never reports done;
// one operation at a time between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "board/sim/sim.h"
#include "tests/video/osd_fixture.h"

namespace videotest {
namespace {

using Op = sim::C331FlashController::Op;
using Stuck = sim::C331FlashController::Stuck;

std::vector<u8> pattern(size_t n, u8 seed) {
    std::vector<u8> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<u8>(seed + 7 * i);
    return out;
}

class FlashTest : public OsdTest {
protected:
    int fd() const { return manager->c331_fd; }
    void stick(Stuck bit) {
        engines([bit](sim::C331FlashController& c) { c.stick(bit, true); });
    }
};

TEST_F(FlashTest, AWriteCommitsEachPageWhenTheAddressIsRewritten) {
    const std::vector<u8> data = pattern(300, 0x11);
    EXPECT_EQ(manager->write_flash(fd(), 0x1F0, 300, data.data()), 0);
    // The address goes out twice, then after byte 15 (0x200), after byte 271 (0x300) and
    // after the last byte (0x31C, the partial last page).
    EXPECT_EQ(fieldWrites(0x04, 0x4E, 4),
              (std::vector<uint32_t>{0x1F0, 0x1F0, 0x200, 0x300, 0x31C}));
    const auto programs = operations(Op::Program);
    ASSERT_EQ(programs.size(), 3u);
    EXPECT_EQ(programs[0].address, 0x1F0u);
    EXPECT_EQ(programs[0].length, 16u);
    EXPECT_EQ(programs[1].address, 0x200u);
    EXPECT_EQ(programs[1].length, 256u);
    EXPECT_EQ(programs[2].address, 0x300u);
    EXPECT_EQ(programs[2].length, 28u);
    EXPECT_EQ(flash(0x1F0, 300), data);
    EXPECT_EQ(flash(0x1EF, 1), std::vector<u8>{0xFF});
    EXPECT_EQ(flash(0x31C, 1), std::vector<u8>{0xFF});
}

TEST_F(FlashTest, AWriteEndingOnAPageBoundaryCommitsNoEmptyPage) {
    const std::vector<u8> data = pattern(512, 0x40);
    EXPECT_EQ(manager->write_flash(fd(), 0x1000, 512, data.data()), 0);
    EXPECT_EQ(fieldWrites(0x04, 0x4E, 4), (std::vector<uint32_t>{0x1000, 0x1000, 0x1100, 0x1200}));
    EXPECT_EQ(operations(Op::Program).size(), 2u);
    EXPECT_EQ(flash(0x1000, 512), data);
}

TEST_F(FlashTest, ProgrammingOnlyClearsBitsSoTheAreaMustBeErasedFirst) {
    loadFlash(0x2000, {0xF0, 0x3C});
    const u8 data[2] = {0x0F, 0xFF};
    EXPECT_EQ(manager->write_flash(fd(), 0x2000, 2, data), 0);
    EXPECT_EQ(flash(0x2000, 2), (std::vector<u8>{0x00, 0x3C}));
    EXPECT_EQ(manager->erase_flash(fd(), 2, 1, 0), 0);
    EXPECT_EQ(manager->write_flash(fd(), 0x2000, 2, data), 0);
    EXPECT_EQ(flash(0x2000, 2), (std::vector<u8>{0x0F, 0xFF}));
}

TEST_F(FlashTest, EraseUnitsStartAtTheSectorAndFollowEachOther) {
    loadFlash(0xFFFF, {0x00});
    loadFlash(0x13000, {0x00});
    EXPECT_EQ(manager->erase_flash(fd(), 16, 3, 0), 0);
    const auto erases = operations(Op::Erase);
    ASSERT_EQ(erases.size(), 3u);
    EXPECT_EQ(erases[0].address, 0x10000u);
    EXPECT_EQ(erases[1].address, 0x11000u);
    EXPECT_EQ(erases[2].address, 0x12000u);
    EXPECT_EQ(erases[2].length, 4096u);
    EXPECT_EQ(fieldWrites(0x04, 0x4E, 4), (std::vector<uint32_t>{0x10000, 0x11000, 0x12000}));
    EXPECT_EQ(flash(0xFFFF, 1), std::vector<u8>{0x00}) << "the byte before stays";
    EXPECT_EQ(flash(0x13000, 1), std::vector<u8>{0x00}) << "the byte after stays";

    clearEngineLog();
    EXPECT_EQ(manager->erase_flash(fd(), 8, 2, 1), 0);      // 32 KiB (opcode 0x52)
    EXPECT_EQ(manager->erase_flash(fd(), 0x450, 1, 7), 0);  // any other type: 64 KiB
    const auto big = operations(Op::Erase);
    ASSERT_EQ(big.size(), 3u);
    EXPECT_EQ(big[0].address, 0x8000u);
    EXPECT_EQ(big[0].length, 32768u);
    EXPECT_EQ(big[1].address, 0x10000u);
    EXPECT_EQ(big[2].address, 0x450000u);
    EXPECT_EQ(big[2].length, 65536u);
    EXPECT_EQ(flash(0x13000, 1), std::vector<u8>{0xFF});
}

TEST_F(FlashTest, AnEraseThatWouldReachBeforeItsStartOrANegativeRangeIsRefused) {
    loadFlash(0x0000, {'P'});
    c331()->clearLog();
    EXPECT_EQ(manager->erase_flash(fd(), 1, 1, 1), 255);  // 32 KiB block from 0x1000
    EXPECT_EQ(manager->erase_flash(fd(), 4, 1, 2), 255);  // 64 KiB block from 0x4000
    EXPECT_EQ(manager->erase_flash(fd(), -1, 1, 0), 255);
    EXPECT_EQ(manager->erase_flash(fd(), 0, -2, 0), 255);
    EXPECT_TRUE(c331()->writes().empty());
    EXPECT_EQ(flash(0x0000, 1), std::vector<u8>{'P'});
    // A count of 0 sets the controller up and erases nothing.
    EXPECT_EQ(manager->erase_flash(fd(), 16, 0, 0), 0);
    EXPECT_TRUE(operations(Op::Erase).empty());
}

TEST_F(FlashTest, AReadReturnsTheFlashBytes) {
    const std::vector<u8> data = pattern(1500, 0x99);
    loadFlash(0x450000, data);
    std::vector<u8> got(1500);
    EXPECT_EQ(manager->read_flash(fd(), 0x450000, 1500, got.data()), 0);
    EXPECT_EQ(got, data);
    // The address goes out before the read and again after it.
    EXPECT_EQ(fieldWrites(0x04, 0x4E, 4), (std::vector<uint32_t>{0x450000, 0x450000}));
    const std::string out = printed([&] { manager->read_flash(fd(), 0, 1024, got.data()); });
    EXPECT_NE(out.find("GIO setting OK."), std::string::npos);
    EXPECT_NE(out.find("####     1024 byte of     1024 byte read finish. ###"), std::string::npos);
}

TEST_F(FlashTest, DmaMovesFlashBytesIntoChipMemoryTheFifoAndThePalette) {
    const std::vector<u8> data = pattern(5000, 0x21);
    loadFlash(0x123456, data);
    EXPECT_EQ(manager->osd_write_dma_sfl(fd(), 0x123456, 0x70001000, 0, 5000), 0);
    EXPECT_EQ(memory(0x70001000, 5000), data);
    EXPECT_EQ(chip(0x04, 0x56, 4), 0x80001388u);  // length OR 0x80000000
    EXPECT_EQ(chip(0x04, 0x47), 0x33u);

    EXPECT_EQ(manager->osd_write_dma_sfl(fd(), 0x123456, 0x10, 1, 5), 0);
    EXPECT_EQ(chip(0x04, 0x47), 0x37u);
    EXPECT_EQ(chip(0x04, 0x27, 2), 0x10u);
    engines([&](sim::C331FlashController& c) {
        EXPECT_EQ(c.blitter().fifo(0x10, 5), std::vector<uint8_t>(data.begin(), data.begin() + 5));
    });

    c331()->setReg(0xFF, 0x01, 1);  // the palette open, as the bitmap load does
    EXPECT_EQ(manager->osd_write_dma_sfl(fd(), 0x123456, 0x105, 4, 6), 0);
    EXPECT_EQ(chip(0x09, 0x1F), 0x05u);
    engines([&](sim::C331FlashController& c) {
        EXPECT_EQ(c.palette().entries[5], (sim::C331Palette::Entry{data[0], data[1], data[2]}));
        EXPECT_EQ(c.palette().entries[6], (sim::C331Palette::Entry{data[3], data[4], data[5]}));
    });
    EXPECT_EQ(manager->osd_write_dma_sfl(fd(), 0, 0, 0, 0), 255);
}

TEST_F(FlashTest, AControllerThatNeverFinishesFailsTheOperationInsteadOfBlocking) {
    const std::vector<u8> data = pattern(300, 1);
    stick(Stuck::WriteInProgress);
    EXPECT_EQ(manager->write_flash(fd(), 0x1F0, 300, data.data()), 255);
    EXPECT_EQ(operations(Op::Program).size(), 1u) << "the write stops at the first page";
    engines([](sim::C331FlashController& c) { c.stick(Stuck::WriteInProgress, false); });

    stick(Stuck::EraseBusy);
    EXPECT_EQ(manager->erase_flash(fd(), 16, 3, 0), 255);
    EXPECT_EQ(operations(Op::Erase).size(), 1u) << "the erase stops at the first unit";
    EXPECT_EQ(chip(0x04, 0x48), 0u) << "the trigger is left idle";
    engines([](sim::C331FlashController& c) { c.stick(Stuck::EraseBusy, false); });

    stick(Stuck::ReadPending);
    std::vector<u8> got(4, 0xAA);
    EXPECT_EQ(manager->read_flash(fd(), 0, 4, got.data()), 255);
    EXPECT_EQ(got, std::vector<u8>(4, 0));
    engines([](sim::C331FlashController& c) { c.stick(Stuck::ReadPending, false); });

    stick(Stuck::DmaBusy);
    EXPECT_EQ(manager->osd_write_dma_sfl(fd(), 0, 0x70000000, 0, 16), 255);
    engines([](sim::C331FlashController& c) { c.stick(Stuck::DmaBusy, false); });

    stick(Stuck::ProgramPending);
    EXPECT_EQ(manager->write_flash(fd(), 0x5000, 4, data.data()), 255);
}

TEST_F(FlashTest, AWriteEnableLatchLeftSetIsClearedAndTheEraseKeepsItsOpcode) {
    engines([](sim::C331FlashController& c) { c.keepWriteEnable(true); });
    loadFlash(0x20000, std::vector<u8>(8, 0));
    loadFlash(0x21000, std::vector<u8>(8, 0));
    const std::string out = printed([&] { EXPECT_EQ(manager->erase_flash(fd(), 0x20, 2, 0), 0); });
    EXPECT_EQ(operations(Op::WriteDisable).size(), 2u);
    EXPECT_EQ(operations(Op::Erase).size(), 2u) << "the second unit is erased as well";
    EXPECT_EQ(flash(0x21000, 8), std::vector<u8>(8, 0xFF));
    EXPECT_NE(out.find("Serial Flash WRDI command process start."), std::string::npos);
    EXPECT_NE(out.find("B4_SFLRDSR WRDI finish"), std::string::npos);

    clearEngineLog();
    const std::vector<u8> data = pattern(300, 3);
    const std::string written =
        printed([&] { EXPECT_EQ(manager->write_flash(fd(), 0x20010, 300, data.data()), 0); });
    EXPECT_EQ(operations(Op::WriteDisable).size(), 2u) << "one per page";
    EXPECT_NE(written.find("B4_SFLRDSR WEL is 1, and have to clear WEL bit."), std::string::npos);
    EXPECT_EQ(flash(0x20010, 300), data);
}

TEST_F(FlashTest, ArgumentsOutsideTheFlashAreRefusedWithoutAnAccess) {
    c331()->clearLog();
    u8 byte = 0;
    EXPECT_EQ(manager->write_flash(fd(), -4, 1, &byte), 255);
    EXPECT_EQ(manager->write_flash(fd(), 0, 4, nullptr), 255);
    EXPECT_EQ(manager->read_flash(fd(), 0, -1, &byte), 255);
    EXPECT_EQ(manager->write_flash(fd(), 0x100, 0, &byte), 0);
    EXPECT_TRUE(c331()->writes().empty());
}

// A flash write of another thread (the remote protocol's) and the OSD's drawing share the
// bank-4 engines: neither may land in the middle of the other.
TEST_F(FlashTest, AFlashWriteOfAnotherThreadNeverInterleavesWithDrawingOrDma) {
    smallOutput(256, 64, 1, 1);
    loadFlash(0x23, pattern(0x3000, 5));  // 32EN glyphs
    manager->update_font(fd());
    const std::vector<u8> fonts = memory(0x7F000000, 0x3000);
    const std::vector<u8> data = pattern(1024, 9);
    std::atomic<bool> writing{true};
    std::thread remote([&] {
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(manager->write_flash(fd(), 0x600000 + 0x1000 * i, 1024, data.data()), 0);
        writing = false;
    });
    int draws = 0;
    while (writing || draws < 3) {
        EXPECT_EQ(manager->osd_write_dma_sfl(fd(), 0x23, 0x7F000000, 0, 0x3000), 0);
        EXPECT_EQ(manager->osd_paint(fd(), 0, 256, 0, 64, 1, 0x725C0000), 0);
        ++draws;
    }
    remote.join();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(flash(0x600000 + 0x1000 * i, 1024), data) << i;
    EXPECT_EQ(memory(0x7F000000, 0x3000), fonts);
}

}  // namespace
}  // namespace videotest
