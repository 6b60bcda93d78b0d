#include "inputs/drv_i2c.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cstring>

#include "board/board.h"

Drv_I2C0* Drv_I2C0::p_drv_i2c0 = nullptr;

namespace {

u16 kernelAddress(unsigned char dev) {
    return static_cast<u16>(dev >> 1);
}

}  // namespace

int Drv_I2C0::initialize() {
    return board::open("/dev/i2c-0", O_RDWR);
}

unsigned char Drv_I2C0::i2c_write(int fd, unsigned char dev, unsigned char reg, unsigned char* data,
                                  unsigned int n) {
    if (n > kMaxWrite || (n > 0 && !data))
        return 0;
    unsigned char buffer[kMaxWrite + 1];
    buffer[0] = reg;
    if (n > 0)
        std::memcpy(buffer + 1, data, n);
    i2c_msg message{kernelAddress(dev), 0, static_cast<u16>(n + 1), buffer};
    i2c_rdwr_ioctl_data transfer{&message, 1};
    return board::ioctl(fd, I2C_RDWR, &transfer) < 0 ? 0 : 1;
}

unsigned char Drv_I2C0::i2c_read(int fd, unsigned char dev, unsigned char reg, unsigned char* data,
                                 int n) {
    if (n < 1 || n > kMaxRead || !data)
        return 0;
    unsigned char address = reg;
    unsigned char buffer[kMaxRead] = {};
    i2c_msg messages[2] = {
        {kernelAddress(dev), 0, 1, &address},
        {kernelAddress(dev), I2C_M_RD, static_cast<u16>(n), buffer},
    };
    i2c_rdwr_ioctl_data transfer{messages, 2};
    if (board::ioctl(fd, I2C_RDWR, &transfer) < 0)
        return 0;
    std::memcpy(data, buffer, static_cast<size_t>(n));
    return 1;
}
