#include "inputs/iTE6805_cec_drv.h"

#include <cstdio>
#include <cstring>

#include "core/global.h"
#include "inputs/iTE6805_cec_sys.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

constexpr u8 SCRATCH_DROPPED = 0x60;  // the engine marked the frame damaged
constexpr u8 SCRATCH_LENGTH = 0x1F;
constexpr u8 kMinFrame = 2;
// One byte of the ring stays empty, so that a full ring is not taken for an empty one.
constexpr u8 kRingRoom = kCecRingSize - 1;
constexpr u8 kRingMask = kCecRingSize - 1;

}  // namespace

ite6805_cec_drv::ite6805_cec_drv(ite6805_sys& sys) : sys_(sys) {}

iTE6805_CEC& ite6805_cec_drv::cec() {
    return sys_.cec->cec;
}

u8 ite6805_cec_drv::queued() {
    return static_cast<u8>((cec().rx_write - cec().rx_read) & kRingMask);
}

void ite6805_cec_drv::put(u8 value) {
    iTE6805_CEC& c = cec();
    c.rx_ring[c.rx_write] = value;
    c.rx_write = static_cast<u8>((c.rx_write + 1) & kRingMask);
}

void ite6805_cec_drv::iTE6805_CEC_Reset_RX_FIFO(u8 dev) {
    if (dev != 0)
        return;
    ite6805_i2c_rdwr& i2c = *sys_.i2c;
    i2c.cecwr_6805(CEC_REG_RX_FIFO_CTRL, 0x60);
    i2c.cecwr_6805(CEC_REG_RX_FIFO_CTRL, 0xE0);
    i2c.cecwr_6805(CEC_REG_RX_FIFO_CTRL, 0x80);
    std::memset(cec().fifo_scratch, 0, sizeof cec().fifo_scratch);
}

void ite6805_cec_drv::iTE6805_CEC_Fire_Tx(u8 dev) {
    if (dev != 0)
        return;
    sys_.i2c->cecset_6805(CEC_REG_CTRL, 0x88, 0x08);
    sys_.i2c->cecset_6805(CEC_REG_CTRL, 0x88, 0x88);
}

void ite6805_cec_drv::iTE6805_CEC_INIT_CMD(u8 initiator, u8 destination, u8 dev) {
    if (dev != 0)
        return;
    CEC_FRAME& f = cec().tx_frame;
    std::memset(&f, 0, sizeof f);
    f.initiator = initiator & 0x0F;
    f.destination = destination & 0x0F;
    f.header = static_cast<u8>((f.initiator << 4) + f.destination);
    f.length = 1;
}

void ite6805_cec_drv::iTE6805_CEC_CMD_Ready_To_Fire(u8 dev) {
    if (dev != 0)
        return;
    const CEC_FRAME& f = cec().tx_frame;
    u8 bytes[kCecMaxFrame] = {f.header, f.opcode};
    u8 length = f.length <= kCecMaxFrame ? f.length : kCecMaxFrame;
    for (u8 i = 2; i < length; ++i)
        bytes[i] = f.operand[i - 2];
    sys_.i2c->cecwr_6805(CEC_REG_TX_LENGTH, length);
    sys_.i2c->cecbwr_it6805(CEC_REG_TX_HEADER, length, bytes);
    cec().tx_retry_count = 0;
    iTE6805_CEC_Fire_Tx(0);
}

u8 ite6805_cec_drv::iTE6805_CEC_Get_TxFailStatus(u8 dev) {
    if (dev != 0)
        return 0;
    u8 status = sys_.i2c->cecrd_6805(CEC_REG_TX_STATUS) & 0x03;
    return status == 1 || status == 2 ? status : 0;
}

u8 ite6805_cec_drv::iTE6805_CEC_Check_IsPollingMsg(u8 dev) {
    if (dev != 0)
        return 0;
    u8 header = sys_.i2c->cecrd_6805(CEC_REG_TX_HEADER);
    return (header >> 4) == (header & 0x0F) ? 1 : 0;
}

u8 ite6805_cec_drv::iTE6805_CEC_Check_Fire_Ready(u8 dev) {
    if (dev == 0)
        sys_.i2c->cecrd_6805(CEC_REG_LINE);
    return 0;
}

// A frame the engine marked damaged, or whose length no CEC frame has (a header alone
// would make the operand count negative, more than 16 bytes overrun the frame record),
// is dropped.
bool ite6805_cec_drv::iTE6805_CEC_RX_CMD_Push(u8 dev) {
    if (dev != 0)
        return true;
    iTE6805_CEC& c = cec();
    u8* scratch = c.fifo_scratch;
    u8 length = scratch[2] & SCRATCH_LENGTH;
    if ((scratch[2] & SCRATCH_DROPPED) || length < kMinFrame || length > kCecMaxFrame) {
        if (debugOn())
            std::printf("iTE6805 CEC frame dropped, length byte %02X\n", scratch[2]);
        std::memset(scratch, 0, sizeof c.fifo_scratch);
        return true;
    }
    if (kRingRoom - queued() < length + 1)
        return false;
    put(static_cast<u8>(length + 1));
    put(scratch[0]);
    put(scratch[1]);
    std::memset(scratch, 0, sizeof c.fifo_scratch);
    u8 operands = static_cast<u8>(length - kMinFrame);
    if (operands == 0)
        return true;
    if (c.rx_write + operands <= kCecRingSize) {
        sys_.i2c->cecbrd_it6805(CEC_REG_RX_OPERANDS, operands, &c.rx_ring[c.rx_write]);
        c.rx_write = static_cast<u8>((c.rx_write + operands) & kRingMask);
        return true;
    }
    for (u8 i = 0; i < operands; ++i) {
        u8 value = 0;
        sys_.i2c->cecbrd_it6805(CEC_REG_RX_OPERANDS, 1, &value);
        put(value);
    }
    return true;
}

bool ite6805_cec_drv::iTE6805_CEC_RX_CMD_Pull(u8 dev) {
    if (dev != 0)
        return false;
    iTE6805_CEC& c = cec();
    u8 available = queued();
    if (available <= 2)
        return false;
    u8 count = c.rx_ring[c.rx_read];
    if (count < kMinFrame + 1 || count > available || count > kCecMaxFrame + 1)
        return false;
    u8 bytes[kCecMaxFrame] = {};
    for (u8 i = 0; i + 1 < count; ++i)
        bytes[i] = c.rx_ring[(c.rx_read + 1 + i) & kRingMask];
    c.rx_read = static_cast<u8>((c.rx_read + count) & kRingMask);
    CEC_FRAME& f = c.rx_frame;
    std::memset(&f, 0, sizeof f);
    f.length = static_cast<u8>(count - 1);
    f.header = bytes[0];
    f.opcode = bytes[1];
    std::memcpy(f.operand, bytes + 2, static_cast<size_t>(f.length - 2));
    f.destination = f.header & 0x0F;
    f.initiator = f.header >> 4;
    return true;
}
