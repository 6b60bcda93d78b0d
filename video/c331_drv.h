// Register access of the c331 video processor over the shared SPI bus.
//
// A register field is named by a descriptor, bank << 16 | first address << 8 | byte
// count (0..4): 0xB20801 is bank 0xB2, address 0x08, one byte (the identity register,
// which reads 0x24). Every operation also takes a bank offset added to the descriptor's
// bank; the register blocks of the channels lie 16 banks apart, so channel c is reached
// with 16 * c. Multi-byte fields are little-endian over consecutive addresses.
//
// On the wire every access is one 2-byte message: 0x80 | address and the data for a
// write (10 MHz, transmit only), the address and a dummy 0xFF for a read (5 MHz, full
// duplex, the data comes back in the second byte). Address 0 of every bank is the chip's
// bank register; the driver caches the bank it last selected and sends a bank select
// only when an access needs another bank.
//
// Before each message the bus is routed to the c331 (both routing words of the FPGA
// manager at 16) under Utils::_spi_mutex; a whole field access holds
// Utils::_c331_bnk_mutex, taken before Utils::_spi_mutex.
#pragma once

#include "core/types.h"

class c331_drv {
public:
    static constexpr u32 kWriteSpeedHz = 10000000;
    static constexpr u32 kReadSpeedHz = 5000000;
    static constexpr u32 kIdDescriptor = 0xB20801;
    static constexpr u8 kChipId = 0x24;

    static constexpr u32 descriptor(u8 bank, u8 address, u8 count) {
        return static_cast<u32>(bank) << 16 | static_cast<u32>(address) << 8 | count;
    }

    c331_drv();

    // Opens "/dev/spidev32766.0" in mode 3, 8 bits, 10 MHz maximum; the descriptor as open
    // returned it (-1, reported, when the node cannot be opened).
    int initialize();
    // Forgets the cached bank, so the next access selects its bank whatever it is.
    void init_reg_acc_param();

    // The field operations refuse (no transfer; write 0, read 0) a descriptor whose field
    // passes address 0x7F or whose bank plus offset lies outside 0..255. A write that
    // reaches address 0 (the bank register) or any failed transfer forgets the cached
    // bank. A read whose transfer failed returns 0. Writes return 1 when every message
    // went out.
    int write_C331(int fd, u32 desc, u32 value, int bankOffset);
    u32 read_C331(int fd, u32 desc, int bankOffset);
    // new = (old & ~mask) | (value & mask), read and written as one unit.
    int write_c331_mask(int fd, u32 desc, u32 value, u32 mask, int bankOffset);

    // One message routed to the c331: full duplex at 5 MHz, transmit only at 10 MHz. The
    // byte count, or <= 0 when it failed (printed), -1 while the register window of the
    // FPGA manager is not mapped (reported once).
    int SPI_Transfer(int fd, const u8* tx, u8* rx, int len);
    int SPI_Transfer_Write(int fd, const u8* tx, int len);

private:
    struct Field {
        int bank;
        u8 address;
        u8 count;
    };
    static bool decode(u32 desc, int bankOffset, Field& field);
    int transfer(int fd, const u8* tx, u8* rx, int len, u32 speedHz);
    // The following run with Utils::_c331_bnk_mutex held.
    bool select_bank(int fd, int bank);
    int write_locked(int fd, const Field& field, u32 value);
    bool read_locked(int fd, const Field& field, u32& value);

    int cached_bank;
    bool unmapped_reported = false;
};
