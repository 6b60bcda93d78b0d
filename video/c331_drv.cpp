#include "video/c331_drv.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "board/board.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"

namespace {

constexpr int kNoBank = -1;
constexpr u8 kWriteBit = 0x80;
constexpr u8 kAddressMask = 0x7F;
constexpr u8 kBankRegister = 0x00;
constexpr u8 kDummy = 0xFF;
constexpr u8 kMaxFieldBytes = 4;

}  // namespace

c331_drv::c331_drv() : cached_bank(kNoBank) {}

int c331_drv::initialize() {
    int fd = board::open("/dev/spidev32766.0", O_RDWR);
    if (fd < 0) {
        std::perror("can't open /dev/spidev32766.0");
        return fd;
    }
    u8 mode = SPI_MODE_3;
    u8 bits = 8;
    u32 speed = kWriteSpeedHz;
    if (board::ioctl(fd, SPI_IOC_WR_MODE, &mode) == -1)
        board::ioctl(fd, SPI_IOC_RD_MODE, &mode);
    board::ioctl(fd, SPI_IOC_WR_BITS_PER_WORD, &bits);
    board::ioctl(fd, SPI_IOC_RD_BITS_PER_WORD, &bits);
    board::ioctl(fd, SPI_IOC_WR_MAX_SPEED_HZ, &speed);
    board::ioctl(fd, SPI_IOC_RD_MAX_SPEED_HZ, &speed);
    return fd;
}

void c331_drv::init_reg_acc_param() {
    std::lock_guard<std::mutex> lock(Utils::_c331_bnk_mutex);
    cached_bank = kNoBank;
}

bool c331_drv::decode(u32 desc, int bankOffset, Field& field) {
    field.bank = static_cast<int>((desc >> 16) & 0xFF) + bankOffset;
    field.address = static_cast<u8>(desc >> 8);
    field.count = static_cast<u8>(desc);
    if (field.bank < 0 || field.bank > 0xFF)
        return false;
    if (field.count > 0 && field.address + field.count - 1 > kAddressMask)
        return false;
    // A field is at most a u32; bytes beyond the fourth are not touched.
    if (field.count > kMaxFieldBytes)
        field.count = kMaxFieldBytes;
    return true;
}

int c331_drv::transfer(int fd, const u8* tx, u8* rx, int len, u32 speedHz) {
    spi_ioc_transfer x;
    std::memset(&x, 0, sizeof x);
    x.tx_buf = reinterpret_cast<uintptr_t>(tx);
    x.rx_buf = reinterpret_cast<uintptr_t>(rx);
    x.len = static_cast<u32>(len);
    x.speed_hz = speedHz;
    x.bits_per_word = 8;
    int result;
    {
        std::lock_guard<std::mutex> bus(Utils::_spi_mutex);
        fpga_manage* manager = fpga_manage::p_fpga_manage;
        if (!manager || !manager->gpio_mapped()) {
            if (!unmapped_reported) {
                unmapped_reported = true;
                std::fprintf(stderr,
                             "c331: SoC register window not mapped, SPI transfers refused\n");
            }
            return -1;
        }
        manager->route_c331();
        result = board::ioctl(fd, SPI_IOC_MESSAGE(1), &x);
    }
    if (result <= 0)
        std::perror("can't send spi message\n");
    return result;
}

int c331_drv::SPI_Transfer(int fd, const u8* tx, u8* rx, int len) {
    return transfer(fd, tx, rx, len, kReadSpeedHz);
}

int c331_drv::SPI_Transfer_Write(int fd, const u8* tx, int len) {
    return transfer(fd, tx, nullptr, len, kWriteSpeedHz);
}

bool c331_drv::select_bank(int fd, int bank) {
    if (bank == cached_bank)
        return true;
    const u8 tx[2] = {kWriteBit | kBankRegister, static_cast<u8>(bank)};
    if (SPI_Transfer_Write(fd, tx, 2) <= 0) {
        cached_bank = kNoBank;
        return false;
    }
    cached_bank = bank;
    return true;
}

int c331_drv::write_locked(int fd, const Field& field, u32 value) {
    if (!select_bank(fd, field.bank))
        return 0;
    for (u8 i = 0; i < field.count; ++i, value >>= 8) {
        const u8 address = field.address + i;
        const u8 tx[2] = {static_cast<u8>(kWriteBit | address), static_cast<u8>(value)};
        if (SPI_Transfer_Write(fd, tx, 2) <= 0) {
            cached_bank = kNoBank;
            return 0;
        }
        // The chip's bank now is whatever this byte said.
        if (address == kBankRegister)
            cached_bank = kNoBank;
    }
    return 1;
}

bool c331_drv::read_locked(int fd, const Field& field, u32& value) {
    value = 0;
    if (!select_bank(fd, field.bank))
        return false;
    for (u8 i = 0; i < field.count; ++i) {
        const u8 tx[2] = {static_cast<u8>((field.address + i) & kAddressMask), kDummy};
        u8 rx[2] = {0, 0};
        if (SPI_Transfer(fd, tx, rx, 2) <= 0) {
            cached_bank = kNoBank;
            value = 0;
            return false;
        }
        value |= static_cast<u32>(rx[1]) << (8 * i);
    }
    return true;
}

int c331_drv::write_C331(int fd, u32 desc, u32 value, int bankOffset) {
    Field field;
    if (!decode(desc, bankOffset, field))
        return 0;
    std::lock_guard<std::mutex> lock(Utils::_c331_bnk_mutex);
    return write_locked(fd, field, value);
}

u32 c331_drv::read_C331(int fd, u32 desc, int bankOffset) {
    Field field;
    if (!decode(desc, bankOffset, field))
        return 0;
    std::lock_guard<std::mutex> lock(Utils::_c331_bnk_mutex);
    u32 value;
    read_locked(fd, field, value);
    return value;
}

int c331_drv::write_c331_mask(int fd, u32 desc, u32 value, u32 mask, int bankOffset) {
    Field field;
    if (!decode(desc, bankOffset, field))
        return 0;
    std::lock_guard<std::mutex> lock(Utils::_c331_bnk_mutex);
    u32 old;
    if (!read_locked(fd, field, old))
        return 0;
    return write_locked(fd, field, (old & ~mask) | (value & mask));
}
