// The IT6805's CEC engine (0xC8) run as a minimal CEC follower: initialised with the
// receiver, its interrupt register polled once per pass of the driver's main body,
// received frames moved into a 64-byte ring, checked against a per-opcode rule table and
// answered for seven request opcodes (ite6805_cec_feture). ite6805_cec_drv moves the bytes.
#pragma once

#include <array>

#include "core/types.h"
#include "inputs/iTE6805_data.h"

class ite6805_sys;

namespace ite6805 {

constexpr u8 kCecAddress = 0xC8;
// Engine registers.
constexpr u8 CEC_REG_IRQ_MASK = 0x06;
constexpr u8 CEC_REG_CTRL = 0x08;  // bit 0 engine on; bits 7 and 3 fire a transmission
constexpr u8 CEC_REG_CTRL2 = 0x09;
constexpr u8 CEC_REG_CTRL3 = 0x0A;
constexpr u8 CEC_REG_CTRL4 = 0x0B;
constexpr u8 CEC_REG_TIME_UNIT = 0x0C;
constexpr u8 CEC_REG_TX_HEADER = 0x10;  // header, opcode, operands
constexpr u8 CEC_REG_LOGICAL = 0x22;
constexpr u8 CEC_REG_TX_LENGTH = 0x23;
constexpr u8 CEC_REG_LINE = 0x44;
constexpr u8 CEC_REG_INT = 0x4C;
constexpr u8 CEC_INT_RX = 0x14;       // bits 4 and 2
constexpr u8 CEC_INT_TX_DONE = 0x08;  // bit 3
constexpr u8 CEC_INT_TX_FAIL = 0x20;  // bit 5
constexpr u8 CEC_INT_FIFO = 0xC0;     // bits 7 and 6
constexpr u8 CEC_REG_RX_FIFO = 0x4D;  // header, opcode, flags and length
constexpr u8 CEC_REG_RX_OPERANDS = 0x50;
constexpr u8 CEC_REG_RX_STATUS = 0x51;  // errors, frames waiting (bits 3..0), ...
constexpr u8 CEC_RX_ERRORS = 0xCC;
constexpr u8 CEC_REG_RX_FIFO_CTRL = 0x52;
constexpr u8 CEC_REG_TX_STATUS = 0x54;

constexpr u8 kCecBroadcast = 15;
constexpr u8 kCecMaxFrame = 16;  // header, opcode and 14 operands
constexpr u8 kCecRingSize = 64;

}  // namespace ite6805

// One frame: length counts the header, the opcode and the operands.
struct CEC_FRAME {
    u8 length;
    u8 header;
    u8 opcode;
    u8 operand[ite6805::kCecMaxFrame];
    u8 destination;
    u8 initiator;
};
static_assert(sizeof(CEC_FRAME) == 21, "a CEC frame record is 21 bytes");

// The CEC state of a device.
struct iTE6805_CEC {
    u8 logical_address;
    u8 physical_address[2];  // bytes 1 and 2
    // Receive ring: each frame is a count byte (frame length + 1), the header, the opcode
    // and the operands; the indexes wrap at the ring's size.
    u8 rx_read;
    u8 rx_write;
    u8 rx_ring[ite6805::kCecRingSize];
    // The frame being moved out of the engine: header, opcode, flags and length. A
    // non-zero first byte marks a frame not yet queued.
    u8 fifo_scratch[3];
    CEC_FRAME rx_frame;
    CEC_FRAME tx_frame;
    u8 queue_option;
    u8 tx_retry_count;
};

class ite6805_cec_sys {
public:
    // Per opcode: bits 4..0 the shortest frame (header included), bit 7 accepted when
    // addressed to this device, bits 6..5 accepted when broadcast; 0 no rule.
    static const std::array<u8, 256> cec_msg_size;

    iTE6805_CEC cec{};

    explicit ite6805_cec_sys(ite6805_sys& sys);

    void iTE6805_CEC_INIT(u8 dev);
    void iTE6805_hdmirx_CEC_irq(u8 dev);
    void iTE6805_CEC_chg(u32 state, u8 dev);
    // 1 when the current received frame is to be answered.
    u8 iTE6805_CEC_CMD_Check(u8 dev);

private:
    void receive();
    bool move_frames();
    void dispatch();
    void transmitted();
    void transmit_failed();

    ite6805_sys& sys_;
};
