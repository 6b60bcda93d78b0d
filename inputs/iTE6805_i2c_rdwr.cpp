#include "inputs/iTE6805_i2c_rdwr.h"

#include <cstdio>

#include "core/global.h"
#include "inputs/drv_i2c.h"

namespace {

// n bytes from reg on to one device in one transfer (the device advances the register);
// false when nothing was sent.
bool blockWrite(int fd, u8 address, u8 reg, u8 n, const u8* data) {
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (n == 0 || !data || !bus)
        return false;
    u8 bytes[255];
    for (unsigned i = 0; i < n; ++i)
        bytes[i] = data[i];
    return bus->i2c_write(fd, address, reg, bytes, n);
}

}  // namespace

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
    if (!blockWrite(fd_, ite6805::kRxAddress, reg, n, data) && debugOn())
        std::printf("=====IT6805 I2C ERROR Write Reg0x%X=%X =====\n", reg, n);
}

void ite6805_i2c_rdwr::edid_ram_wr(u8 reg, u8 n, const u8* data, u8 dev) {
    if (dev != 0)
        return;
    if (!blockWrite(fd_, ite6805::kEdidRamAddress, reg, n, data) && debugOn())
        std::printf("=====IT6805 EDID RAM I2C ERROR Write Reg0x%X=%X =====\n", reg, n);
}

u8 ite6805_i2c_rdwr::lvdsrxwr(u8 reg, u8 value, u8 dev) {
    if (dev != 0)
        return 1;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (bus && bus->i2c_write(fd_, ite6805::kLvdsAddress, reg, &value, 1))
        return 0;
    if (debugOn())
        std::printf("=====IT6805 LVDS I2C ERROR Write Reg0x%X=%X =====\n", reg, value);
    return 1;
}

void ite6805_i2c_rdwr::hdimrx_write_init(const iTE6805_INI_REG* table, u8 dev) {
    if (dev != 0 || !table)
        return;
    for (u16 row = 0; table[row].reg != 0xFF; ++row)
        hdmirxset(table[row].reg, table[row].mask, table[row].value, dev);
}
