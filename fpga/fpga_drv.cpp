#include "fpga/fpga_drv.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/global.h"
#include "fpga/fpga_manage.h"

namespace {

constexpr u8 kWriteEnable = 0x06;
constexpr u8 kReadStatus = 0x05;
constexpr u8 kPageProgram = 0x02;
constexpr u8 kFastRead = 0x0B;
constexpr u8 kUniqueId = 0x4B;
constexpr u8 kStatusBusy = 0x01;

constexpr u32 kSectorsPerBlock[] = {1, 8, 16};
constexpr u8 kEraseOpcode[] = {0x20, 0x52, 0xD8};

constexpr unsigned kFastReadHeader = 5;  // opcode, three address bytes, dummy
constexpr unsigned kUniqueIdHeader = 5;  // opcode, four dummy bytes
constexpr unsigned kUniqueIdBytes = 8;

void put_address(u8* out, u32 address) {
    out[0] = static_cast<u8>(address >> 16);
    out[1] = static_cast<u8>(address >> 8);
    out[2] = static_cast<u8>(address);
}

bool flash_range_ok(u32 address, u32 n) {
    return n > 0 && static_cast<u64>(address) + n <= fpga_drv::kFlashSize;
}

}  // namespace

fpga_drv::fpga_drv(fpga_manage& owner) : manager(owner) {}

int fpga_drv::initialize_vbyne1(unsigned char n) {
    if (n > 3)
        return -1;
    char node[32];
    std::snprintf(node, sizeof node, "/dev/spidev32766.%d", n + 1);
    int fd = board::open(node, O_RDWR);
    if (fd < 0) {
        char message[48];
        std::snprintf(message, sizeof message, "can't open %s", node);
        std::perror(message);
        return -1;
    }
    if (debugOn())
        std::printf("\n fpga_drv SPI - Open Succeed. Start Init SPI...");
    u8 mode = 3;
    u8 bits = 8;
    u32 speed = kSpeedHz;
    if (board::ioctl(fd, SPI_IOC_WR_MODE, &mode) == -1)
        std::perror("can't set spi mode\n");
    const struct {
        unsigned long request;
        void* value;
        const char* failure;
    } settings[] = {
        {SPI_IOC_RD_MODE, &mode, "can't get spi mode"},
        {SPI_IOC_WR_BITS_PER_WORD, &bits, "can't set bits per word"},
        {SPI_IOC_RD_BITS_PER_WORD, &bits, "can't get bits per word"},
        {SPI_IOC_WR_MAX_SPEED_HZ, &speed, "can't set max speed hz"},
        {SPI_IOC_RD_MAX_SPEED_HZ, &speed, "can't get max speed hz"},
    };
    for (const auto& s : settings)
        if (board::ioctl(fd, s.request, s.value) == -1 && debugOn())
            std::printf("%s\n", s.failure);
    return fd;
}

int fpga_drv::transfer(int fd, const unsigned char* tx, unsigned char* rx, int len) {
    spi_ioc_transfer x;
    std::memset(&x, 0, sizeof x);
    x.tx_buf = reinterpret_cast<uintptr_t>(tx);
    x.rx_buf = reinterpret_cast<uintptr_t>(rx);
    x.len = static_cast<u32>(len);
    x.speed_hz = kSpeedHz;
    x.bits_per_word = 8;
    int result = board::ioctl(fd, SPI_IOC_MESSAGE(1), &x);
    if (result < 0)
        std::perror("can't send spi message\n");
    return result;
}

int fpga_drv::SPI_Transfer(int fd, const unsigned char* tx, unsigned char* rx, int len) {
    return transfer(fd, tx, rx, len);
}

int fpga_drv::SPI_Transfer_Write(int fd, const unsigned char* tx, int len) {
    return transfer(fd, tx, nullptr, len);
}

u8 fpga_drv::flash_index(unsigned char select) {
    return select == kFlashSelectFpga0 ? 0 : 1;
}

int fpga_drv::FPGA_SPI_WAIT_BUSY(int fd) {
    for (unsigned poll = 0; poll < kBusyPollLimit; ++poll) {
        const u8 tx[2] = {kReadStatus, 0xFF};
        u8 rx[2] = {0, 0};
        if (transfer(fd, tx, rx, 2) < 0)
            return 0;
        if (!(rx[1] & kStatusBusy))
            return 1;
        if (poll >= kBusyFastPolls)
            board::usleep(kBusyPollIntervalUs);
    }
    std::fprintf(stderr, "FPGA flash: still busy after %u status reads\n", kBusyPollLimit);
    return 0;
}

bool fpga_drv::write_enable(int fd) {
    const u8 command = kWriteEnable;
    return transfer(fd, &command, nullptr, 1) >= 0;
}

int fpga_drv::FPGA_SPI_FLASH_VBYONE_ERASE(unsigned char select, unsigned int sector,
                                          unsigned char type, unsigned int count) {
    if (type > kErase64K)
        return 0;
    const u32 per_block = kSectorsPerBlock[type];
    // A block erase clears the whole aligned block: one that does not start at its own
    // boundary would wipe the sectors in front of the requested one.
    if (static_cast<u64>(sector) + static_cast<u64>(count) * per_block > kFlashSectors ||
        sector % per_block)
        return 0;
    if (count == 0)
        return 1;
    const u8 index = flash_index(select);
    const int fd = manager.flash_handle(index);
    fpga_manage::BusRoute bus(manager, fpga_manage::BusRoute::Flash, index);
    if (!bus.ok() || !FPGA_SPI_WAIT_BUSY(fd))
        return 0;
    for (u32 block = 0; block < count; ++block) {
        u8 command[4] = {kEraseOpcode[type], 0, 0, 0};
        put_address(command + 1, (sector + block * per_block) * kFlashSectorSize);
        if (!write_enable(fd) || !FPGA_SPI_WAIT_BUSY(fd) || transfer(fd, command, nullptr, 4) < 0 ||
            !FPGA_SPI_WAIT_BUSY(fd))
            return 0;
    }
    return 1;
}

bool fpga_drv::program_page(int fd, u32 address, const u8* data, u32 n) {
    u8 page[4 + kFlashPageSize];
    page[0] = kPageProgram;
    put_address(page + 1, address);
    std::memcpy(page + 4, data, n);
    return write_enable(fd) && transfer(fd, page, nullptr, static_cast<int>(4 + n)) >= 0 &&
           FPGA_SPI_WAIT_BUSY(fd);
}

int fpga_drv::FPGA_SPI_FLASH_VBYONE_WRITE(unsigned char select, unsigned int address,
                                          const unsigned char* buffer, unsigned int n) {
    if (!buffer || !flash_range_ok(address, n))
        return 0;
    const u8* data = buffer + kFlashWriteHeadroom;
    const u8 index = flash_index(select);
    const int fd = manager.flash_handle(index);
    fpga_manage::BusRoute bus(manager, fpga_manage::BusRoute::Flash, index);
    if (!bus.ok())
        return 0;
    // Up to the end of the first page, then whole pages, then the rest.
    for (u32 done = 0; done < n;) {
        u32 at = address + done;
        u32 chunk = std::min(kFlashPageSize - at % kFlashPageSize, n - done);
        if (!program_page(fd, at, data + done, chunk))
            return 0;
        done += chunk;
    }
    return 1;
}

int fpga_drv::FPGA_SPI_FLASH_VBYONE_READ(unsigned char select, unsigned int address, unsigned int n,
                                         unsigned char* out) {
    if (!out || !flash_range_ok(address, n))
        return 0;
    const u8 index = flash_index(select);
    const int fd = manager.flash_handle(index);
    fpga_manage::BusRoute bus(manager, fpga_manage::BusRoute::Flash, index);
    if (!bus.ok())
        return 0;
    u8 tx[kFastReadHeader + kFlashReadChunk];
    u8 rx[kFastReadHeader + kFlashReadChunk];
    std::memset(tx, 0xFF, sizeof tx);
    tx[0] = kFastRead;
    for (u32 done = 0; done < n;) {
        u32 chunk = std::min(kFlashReadChunk, n - done);
        put_address(tx + 1, address + done);
        int len = static_cast<int>(kFastReadHeader + chunk);
        if (transfer(fd, tx, rx, len) < 0)
            return 0;
        std::memcpy(out + done, rx + kFastReadHeader, chunk);
        done += chunk;
    }
    return 1;
}

int fpga_drv::FPGA_SPI_FLASH_SSTF016B_RD_UID(unsigned char select, unsigned char* out) {
    if (!out)
        return 0;
    const u8 index = flash_index(select);
    const int fd = manager.flash_handle(index);
    fpga_manage::BusRoute bus(manager, fpga_manage::BusRoute::Flash, index);
    if (!bus.ok())
        return 0;
    u8 tx[kUniqueIdHeader + kUniqueIdBytes];
    u8 rx[kUniqueIdHeader + kUniqueIdBytes];
    std::memset(tx, 0xFF, sizeof tx);
    std::memset(tx, 0, kUniqueIdHeader);
    tx[0] = kUniqueId;
    if (transfer(fd, tx, rx, sizeof tx) < 0)
        return 0;
    std::memcpy(out, rx + kUniqueIdHeader, kUniqueIdBytes);
    return 1;
}
