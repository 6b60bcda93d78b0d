#include <fcntl.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>

#include <gmock/gmock.h>

#include "board/board.h"
#include "board/sim/mtd_partition.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "tests/support/sim_test.h"

namespace {

using test::SimTest;

class Board : public SimTest {};

TEST_F(Board, PathsOfTheDeviceLieUnderTheRoot) {
    EXPECT_EQ(board::path("/data/ram_device_info"), root() + "/data/ram_device_info");
    EXPECT_EQ(board::path("relative/name"), "relative/name");
}

TEST_F(Board, NodeWithoutModelIsMissing) {
    errno = 0;
    EXPECT_EQ(board::open("/dev/spidev32766.7", O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(Board, FileCommandsRunUnderTheRoot) {
    writeFile("/data/a.txt", {'x', '\r', '\n', 'y'});
    EXPECT_EQ(board::system("cp /data/a.txt /data/b.txt"), 0);
    EXPECT_EQ(board::system("dos2unix /data/b.txt"), 0);
    EXPECT_EQ(readFile("/data/b.txt"), (std::vector<unsigned char>{'x', '\n', 'y'}));
    EXPECT_EQ(board::system("mv /data/b.txt /data/c.txt; sync"), 0);
    EXPECT_FALSE(exists("/data/b.txt"));
    EXPECT_TRUE(exists("/data/c.txt"));
    EXPECT_EQ(board::system("rm -f /data/*.txt"), 0);
    EXPECT_FALSE(exists("/data/a.txt"));
    EXPECT_FALSE(exists("/data/c.txt"));
    EXPECT_NE(board::system("rm /data/none"), 0);
    EXPECT_EQ(board::system("rm -f /data/none"), 0);
}

TEST_F(Board, CommandsThatTouchThePcAreOnlyRecorded) {
    EXPECT_EQ(board::system("reboot"), 0);
    EXPECT_EQ(board::system("date -s \"2026-12-06 10:00:00\" && hwclock -w"), 0);
    EXPECT_EQ(board::system("ifconfig eth0 >/dev/null 2>&1"), 0);
    auto log = sim::commands();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].text, "reboot");
    for (const auto& c : log)
        EXPECT_FALSE(c.executed);
}

TEST_F(Board, ATestChoosesACommandsExitCode) {
    sim::setCommandExit("ifconfig eth0", 1);
    EXPECT_EQ(board::system("ifconfig eth0 >/dev/null 2>&1"), 256);
    EXPECT_EQ(board::system("ifconfig eth1"), 0);
    sim::setCommandExit("ifconfig eth0 1", 2);
    EXPECT_EQ(board::system("ifconfig eth0 1.2.3.4"), 512);
}

TEST_F(Board, MtdEraseAndProgram) {
    int fd = board::open("/dev/mtd10", O_RDWR);
    ASSERT_GE(fd, 0);
    mtd_info_user info;
    ASSERT_EQ(board::ioctl(fd, MEMGETINFO, &info), 0);
    EXPECT_EQ(info.erasesize, 128u * 1024);
    std::vector<uint8_t> data(3000, 0x5A);
    EXPECT_EQ(board::pwrite(fd, data.data(), data.size(), 0), 3000);
    auto mtd = sim::get<sim::MtdPartition>("/dev/mtd10");
    EXPECT_TRUE(mtd->errors().empty());
    // Programming over bytes that were not erased is what a driver must never do.
    EXPECT_EQ(board::pwrite(fd, data.data(), 1, 0), 1);
    EXPECT_TRUE(mtd->errors().empty()) << "the same value is no change";
    uint8_t other = 0xA5;
    EXPECT_EQ(board::pwrite(fd, &other, 1, 0), 1);
    EXPECT_EQ(mtd->errors().size(), 1u);
    mtd->clearProtocolErrors();

    erase_info_user erase{0, info.erasesize};
    ASSERT_EQ(board::ioctl(fd, MEMERASE, &erase), 0);
    uint8_t back[4];
    ASSERT_EQ(board::pread(fd, back, 4, 0), 4);
    EXPECT_THAT(back, ::testing::Each(0xFF));
    erase_info_user unaligned{100, info.erasesize};
    EXPECT_EQ(board::ioctl(fd, MEMERASE, &unaligned), -1);
    EXPECT_EQ(board::pwrite(fd, data.data(), 4, info.erasesize + 100), 4);
    board::close(fd);

    // The partition survives a restart of the board.
    sim::reset();
    int again = board::open("/dev/mtd10", O_RDWR);
    ASSERT_GE(again, 0);
    ASSERT_EQ(board::pread(again, back, 4, 1000), 4);
    EXPECT_THAT(back, ::testing::Each(0xFF));
    ASSERT_EQ(board::pread(again, back, 4, info.erasesize + 100), 4);
    EXPECT_THAT(back, ::testing::Each(0x5A));
    board::close(again);
}

TEST_F(Board, SocWindowLogsEveryStoreWithItsTime) {
    int fd = board::open("/dev/mem", O_RDWR | O_SYNC);
    ASSERT_GE(fd, 0);
    // 0x2B0000 bytes at 0x1F000000; chip-id X at 0x4058, FPGA 0's reset pad at 0x207858.
    void* map = board::mmap(nullptr, 0x2B0000, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0x1F000000);
    ASSERT_NE(map, MAP_FAILED);
    auto soc = sim::get<sim::SocWindow>("/dev/mem");
    soc->setChipId(0x1234, 0x5678, 0x9ABC);
    auto* words = static_cast<volatile uint16_t*>(map);
    EXPECT_EQ(board::mmio_read16(words + 0x4058 / 2), 0x1234);
    board::mmio_write16(words + 0x207858 / 2, 16);
    board::mmio_write16(words + 0x207858 / 2, 0);
    auto log = soc->changes(0x207858);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].value, 16);
    EXPECT_LE(log[0].timeMs, log[1].timeMs);
    EXPECT_EQ(soc->word(0x207858), 0);
    EXPECT_EQ(board::mmap(nullptr, 16, PROT_READ, MAP_SHARED, fd, 0x10000000), MAP_FAILED);
    board::munmap(map, 0x2B0000);
    board::close(fd);
}

TEST_F(Board, UeventsReachTheWatcherWhole) {
    int fd = board::ueventSocket();
    ASSERT_GE(fd, 0);
    std::string message("add@/devices/usb1/1-1\0ACTION=add", 32);
    sim::injectUevent(message);
    char buf[128];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    ASSERT_EQ(n, 32);
    EXPECT_EQ(std::string(buf, n), message);
    board::close(fd);
}

}  // namespace
