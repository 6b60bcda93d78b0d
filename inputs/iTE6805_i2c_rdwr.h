// Register access of the IT6805: one-byte reads and writes, masked writes, block writes
// and register tables on the receiver block at 0x90. No retries: a transfer that fails is
// reported and the state machines carry on, seeing the chip's real state on their next
// poll.
#pragma once

#include "core/types.h"
#include "inputs/iTE6805_data.h"

class ite6805_i2c_rdwr {
public:
    // fd is the bus descriptor held by the owning driver object; it is read at every
    // transfer because the input-source manager stores it after construction.
    explicit ite6805_i2c_rdwr(const int& fd) : fd_(fd) {}

    // The register, or 0 when the read fails.
    u8 hdmirxrd(u8 reg, u8 dev);
    // 0 when written, 1 when not.
    u8 hdmirxwr(u8 reg, u8 value, u8 dev);
    // Read-modify-write: the bits of mask take those of value.
    void hdmirxset(u8 reg, u8 mask, u8 value, u8 dev);
    // n bytes from reg on in one transfer (the chip advances the register). 1 when read;
    // 0 with the bytes zeroed when not.
    u8 hdmirxbrd(u8 reg, u8 n, u8* data, u8 dev);
    // n bytes from reg on in one transfer (the chip advances the register).
    void hdmirxbwr(u8 reg, u8 n, const u8* data, u8 dev);
    // Applies the rows of a table in order up to its terminator row.
    void hdimrx_write_init(const iTE6805_INI_REG* table, u8 dev);

    // The chip's EDID RAM at 0xA8: n bytes from offset reg on in one transfer. Nothing in
    // this system calls it: the inputs' EDIDs live in EEPROMs.
    void edid_ram_wr(u8 reg, u8 n, const u8* data, u8 dev);
    // One byte to the LVDS/auxiliary block at 0xB4; 0 when written, 1 when not. Nothing in
    // this system calls it.
    u8 lvdsrxwr(u8 reg, u8 value, u8 dev);

    // The CEC engine at 0xC8 (no banks). One byte: the register, 0 when the read fails;
    // 0 when written, 1 when not; read-modify-write. Blocks: 1 when read (the bytes zeroed
    // when not); a write of n = 0 sends nothing.
    u8 cecrd_6805(u8 reg);
    u8 cecwr_6805(u8 reg, u8 value);
    void cecset_6805(u8 reg, u8 mask, u8 value);
    u8 cecbrd_it6805(u8 reg, u8 n, u8* buf);
    void cecbwr_it6805(u8 reg, u8 n, const u8* buf);

private:
    const int& fd_;
};
