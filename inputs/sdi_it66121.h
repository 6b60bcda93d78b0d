// The SDI card's IT66121 transmitter on the input board's I2C bus (0x98): the same
// combined transfers as every other chip, on the one bus descriptor of the input-source
// manager. Each accessor answers 1 when the chip acknowledged, 0 otherwise.
#pragma once

#include "core/types.h"

class sdi_it66121 {
public:
    static constexpr u8 kAddress = 0x98;

    // n bytes from reg on, of the chip at dev (8-bit address).
    u8 I2C2_IT66121_Read(u8 dev, u8 reg, u8 n, u8* data);
    u8 I2C2_IT66121_Write(u8 dev, u8 reg, u8 n, u8* data);

    // The register, 0 when the read fails.
    u8 HDMITX_ReadI2C_Byte(u8 reg);
    u8 HDMITX_ReadI2C_ByteN(u8 reg, u8* data, u8 n);
    u8 HDMITX_WriteI2C_Byte(u8 reg, u8 value);
    // Read-modify-write: the bits of mask take those of value.
    u8 HDMITX_SetI2C_Byte(u8 reg, u8 mask, u8 value);
};
