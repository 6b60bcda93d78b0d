// Register access of the IT6805's CEC engine at 0xC8.
#include <cstdio>

#include "core/global.h"
#include "inputs/drv_i2c.h"
#include "inputs/iTE6805_cec_sys.h"
#include "inputs/iTE6805_i2c_rdwr.h"

u8 ite6805_i2c_rdwr::cecrd_6805(u8 reg) {
    u8 value = 0;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (!bus || !bus->i2c_read(fd_, ite6805::kCecAddress, reg, &value, 1))
        return 0;
    return value;
}

u8 ite6805_i2c_rdwr::cecwr_6805(u8 reg, u8 value) {
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    return bus && bus->i2c_write(fd_, ite6805::kCecAddress, reg, &value, 1) ? 0 : 1;
}

void ite6805_i2c_rdwr::cecset_6805(u8 reg, u8 mask, u8 value) {
    u8 old = cecrd_6805(reg);
    cecwr_6805(reg, static_cast<u8>((old & ~mask) | (value & mask)));
}

u8 ite6805_i2c_rdwr::cecbrd_it6805(u8 reg, u8 n, u8* buf) {
    if (!buf || n == 0)
        return 0;
    for (unsigned i = 0; i < n; ++i)
        buf[i] = 0;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (bus && bus->i2c_read(fd_, ite6805::kCecAddress, reg, buf, n))
        return 1;
    if (debugOn()) {
        std::printf("iTE6805_CEC I2C ERROR !!!");
        std::printf("=====  Read Reg0x%X=\n", reg);
    }
    return 0;
}

void ite6805_i2c_rdwr::cecbwr_it6805(u8 reg, u8 n, const u8* buf) {
    if (n == 0 || !buf)
        return;
    u8 bytes[255];
    for (unsigned i = 0; i < n; ++i)
        bytes[i] = buf[i];
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (bus)
        bus->i2c_write(fd_, ite6805::kCecAddress, reg, bytes, n);
}
