#include "inputs/iTE6805_i2c_rdwr.h"

#include <cstdio>

#include "core/global.h"
#include "inputs/drv_i2c.h"

u8 ite6805_i2c_rdwr::hdmirxrd(u8 reg, u8 dev) {
    if (dev != 0)
        return 0;
    u8 value = 0;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (!bus || !bus->i2c_read(fd_, ite6805::kRxAddress, reg, &value, 1)) {
        if (debugOn())
            std::printf("=====HDMI Read ERROR Read Reg0x%X=\n", reg);
        return 0;
    }
    return value;
}

u8 ite6805_i2c_rdwr::hdmirxwr(u8 reg, u8 value, u8 dev) {
    if (dev != 0)
        return 1;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (bus && bus->i2c_write(fd_, ite6805::kRxAddress, reg, &value, 1))
        return 0;
    if (debugOn())
        std::printf("=====HDMI I2C ERROR Write Reg0x%X=%X =====\n", reg, value);
    return 1;
}

void ite6805_i2c_rdwr::hdmirxset(u8 reg, u8 mask, u8 value, u8 dev) {
    if (dev != 0)
        return;
    u8 old = hdmirxrd(reg, dev);
    hdmirxwr(reg, static_cast<u8>((old & ~mask) | (value & mask)), dev);
}

u8 ite6805_i2c_rdwr::hdmirxbrd(u8 reg, u8 n, u8* data, u8 dev) {
    if (!data || n == 0)
        return 0;
    for (unsigned i = 0; i < n; ++i)
        data[i] = 0;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (dev == 0 && bus && bus->i2c_read(fd_, ite6805::kRxAddress, reg, data, n))
        return 1;
    if (dev == 0 && debugOn())
        std::printf("=====HDMI Read ERROR Read Reg0x%X=\n", reg);
    return 0;
}

void ite6805_i2c_rdwr::hdmirxbwr(u8 reg, u8 n, const u8* data, u8 dev) {
    if (dev != 0)
        return;
    u8 bytes[255];
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    bool sent = false;
    if (n > 0 && data && bus) {
        for (unsigned i = 0; i < n; ++i)
            bytes[i] = data[i];
        sent = bus->i2c_write(fd_, ite6805::kRxAddress, reg, bytes, n);
    }
    if (!sent && debugOn())
        std::printf("=====IT6805 I2C ERROR Write Reg0x%X=%X =====\n", reg, n);
}

void ite6805_i2c_rdwr::hdimrx_write_init(const iTE6805_INI_REG* table, u8 dev) {
    if (dev != 0 || !table)
        return;
    for (u16 row = 0; table[row].reg != 0xFF; ++row)
        hdmirxset(table[row].reg, table[row].mask, table[row].value, dev);
}
