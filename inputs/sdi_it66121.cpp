#include "inputs/sdi_it66121.h"

#include "inputs/drv_i2c.h"
#include "inputs/velmosource.h"

namespace {

int busDescriptor() {
    velmosource* source = velmosource::p_velmo_source;
    return source ? source->bus() : -1;
}

}  // namespace

u8 sdi_it66121::I2C2_IT66121_Read(u8 dev, u8 reg, u8 n, u8* data) {
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    return bus ? bus->i2c_read(busDescriptor(), dev, reg, data, n) : 0;
}

u8 sdi_it66121::I2C2_IT66121_Write(u8 dev, u8 reg, u8 n, u8* data) {
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    return bus ? bus->i2c_write(busDescriptor(), dev, reg, data, n) : 0;
}

u8 sdi_it66121::HDMITX_ReadI2C_Byte(u8 reg) {
    u8 value = 0;
    return I2C2_IT66121_Read(kAddress, reg, 1, &value) ? value : 0;
}

u8 sdi_it66121::HDMITX_ReadI2C_ByteN(u8 reg, u8* data, u8 n) {
    return I2C2_IT66121_Read(kAddress, reg, n, data);
}

u8 sdi_it66121::HDMITX_WriteI2C_Byte(u8 reg, u8 value) {
    return I2C2_IT66121_Write(kAddress, reg, 1, &value);
}

u8 sdi_it66121::HDMITX_SetI2C_Byte(u8 reg, u8 mask, u8 value) {
    u8 old = 0;
    if (!I2C2_IT66121_Read(kAddress, reg, 1, &old))
        return 0;
    return HDMITX_WriteI2C_Byte(reg, static_cast<u8>((old & ~mask) | (value & mask)));
}
