#include "inputs/iTE6805_cec_sys.h"

#include <cstdio>
#include <cstring>

#include "core/global.h"
#include "inputs/iTE6805_cec_drv.h"
#include "inputs/iTE6805_cec_feture.h"
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

struct MsgRule {
    u8 opcode;
    u8 rule;
};

// clang-format off
constexpr MsgRule kMsgRules[] = {
    {0x00, 0x84}, {0x04, 0x82}, {0x05, 0x82}, {0x06, 0x82}, {0x07, 0x87}, {0x08, 0x83},
    {0x09, 0x83}, {0x0A, 0x83}, {0x0B, 0x82}, {0x0D, 0x82}, {0x0F, 0x82}, {0x1A, 0x83},
    {0x1B, 0x83}, {0x32, 0x65}, {0x33, 0x8D}, {0x34, 0x8D}, {0x35, 0x83}, {0x36, 0xE2},
    {0x41, 0x83}, {0x42, 0x83}, {0x43, 0x83}, {0x44, 0x83}, {0x45, 0x82}, {0x46, 0x82},
    {0x47, 0x82}, {0x64, 0x83}, {0x67, 0x82}, {0x70, 0x82}, {0x71, 0x82}, {0x72, 0xE3},
    {0x7A, 0x83}, {0x7D, 0x82}, {0x7E, 0x83}, {0x80, 0x66}, {0x81, 0x64}, {0x82, 0x64},
    {0x83, 0x82}, {0x84, 0x65}, {0x85, 0x62}, {0x86, 0x64}, {0x87, 0x65}, {0x89, 0x82},
    {0x8A, 0xE2}, {0x8B, 0xE2}, {0x8C, 0x82}, {0x8D, 0x83}, {0x8E, 0x83}, {0x8F, 0x82},
    {0x90, 0xA3}, {0x91, 0x82}, {0x92, 0x86}, {0x93, 0x89}, {0x97, 0x90}, {0x99, 0x90},
    {0x9A, 0x83}, {0x9D, 0x84}, {0x9E, 0x83}, {0x9F, 0x82}, {0xA0, 0xE5}, {0xA1, 0x8D},
    {0xA2, 0x8D}, {0xA3, 0x82}, {0xA4, 0x82}, {0xA5, 0x82}, {0xA6, 0x66}, {0xA7, 0x64},
    {0xA8, 0x67}, {0xC0, 0x82}, {0xC1, 0x82}, {0xC2, 0x82}, {0xC3, 0x82}, {0xC4, 0x82},
    {0xC5, 0x82}, {0xF8, 0x62}, {0xFF, 0x82},
};
// clang-format on

constexpr std::array<u8, 256> buildMsgSize() {
    std::array<u8, 256> table{};
    for (const MsgRule& r : kMsgRules)
        table[r.opcode] = r.rule;
    return table;
}

constexpr u8 RULE_MIN_LENGTH = 0x1F;
constexpr u8 RULE_DIRECTED = 0x80;
constexpr u8 RULE_BROADCAST = 0x60;
constexpr u8 kMinFrame = 2;
constexpr u8 kMaxRetries = 5;
constexpr u8 kTxNotAcknowledged = 2;
// At most one move per frame the engine can hold, and one more.
constexpr int kMoveRounds = 16;

}  // namespace

const std::array<u8, 256> ite6805_cec_sys::cec_msg_size = buildMsgSize();

ite6805_cec_sys::ite6805_cec_sys(ite6805_sys& sys) : sys_(sys) {}

void ite6805_cec_sys::iTE6805_CEC_INIT(u8 dev) {
    if (dev != 0)
        return;
    ite6805_i2c_rdwr& i2c = *sys_.i2c;
    sys_.data.CECState = STATECEC_None;
    cec.logical_address = 0;
    cec.physical_address[0] = cec.physical_address[1] = 0;
    cec.rx_read = cec.rx_write = 0;
    std::memset(cec.fifo_scratch, 0, sizeof cec.fifo_scratch);
    i2c.cecwr_6805(CEC_REG_CTRL, 0x4C);
    i2c.cecwr_6805(CEC_REG_CTRL, 0x48);
    i2c.cecwr_6805(CEC_REG_CTRL2, 0x60);
    i2c.cecwr_6805(CEC_REG_CTRL4, 0x14);
    i2c.cecwr_6805(CEC_REG_TIME_UNIT, sys_.drv->cec_time_unit[0]);
    i2c.cecset_6805(CEC_REG_CTRL, 0x04, 0x00);
    i2c.cecset_6805(CEC_REG_CTRL2, 0x02, 0x00);
    i2c.cecwr_6805(CEC_REG_IRQ_MASK, 0x00);
    i2c.cecset_6805(CEC_REG_CTRL, 0x01, 0x01);
    sys_.cec_drv->iTE6805_CEC_Reset_RX_FIFO(0);
    i2c.cecwr_6805(CEC_REG_LOGICAL, 0x00);
    i2c.cecwr_6805(CEC_REG_CTRL3, 0x03);
    i2c.cecset_6805(CEC_REG_CTRL3, 0x40, 0x40);
}

void ite6805_cec_sys::iTE6805_hdmirx_CEC_irq(u8 dev) {
    if (dev != 0)
        return;
    ite6805_i2c_rdwr& i2c = *sys_.i2c;
    u8 status = i2c.cecrd_6805(CEC_REG_INT);
    if (!status)
        return;
    i2c.cecwr_6805(CEC_REG_INT, status);
    if (status & CEC_INT_TX_FAIL)
        iTE6805_CEC_chg(STATECEC_TXFail, 0);
    if (status & CEC_INT_TX_DONE)
        iTE6805_CEC_chg(STATECEC_TXDone, 0);
    if (status & CEC_INT_RX)
        iTE6805_CEC_chg(STATECEC_RXCheck, 0);
    if (status & CEC_INT_FIFO)
        sys_.cec_drv->iTE6805_CEC_Reset_RX_FIFO(0);
}

void ite6805_cec_sys::iTE6805_CEC_chg(u32 state, u8 dev) {
    if (dev != 0)
        return;
    sys_.data.CECState = state;
    switch (state) {
        case STATECEC_RXCheck:
            receive();
            return;
        case STATECEC_TXDone:
            transmitted();
            return;
        case STATECEC_TXFail:
            transmit_failed();
            return;
        default:
            return;
    }
}

// Frames left in the engine when the ring filled are moved once the ring has been
// answered and emptied, instead of waiting for the next frame to arrive.
void ite6805_cec_sys::receive() {
    for (int round = 0; round < kMoveRounds; ++round) {
        bool ringFilled = !move_frames();
        dispatch();
        if (!ringFilled)
            return;
    }
}

// Moves frames from the engine into the ring; false when the ring filled first.
bool ite6805_cec_sys::move_frames() {
    ite6805_i2c_rdwr& i2c = *sys_.i2c;
    ite6805_cec_drv& drv = *sys_.cec_drv;
    u8 status[3];
    i2c.cecbrd_it6805(CEC_REG_RX_STATUS, sizeof status, status);
    while (!(status[0] & CEC_RX_ERRORS)) {
        if (cec.fifo_scratch[0] && !drv.iTE6805_CEC_RX_CMD_Push(0))
            return false;
        u8 waiting = status[1] & 0x0F;
        for (u8 i = 0; i < waiting; ++i) {
            i2c.cecbrd_it6805(CEC_REG_RX_FIFO, sizeof cec.fifo_scratch, cec.fifo_scratch);
            if (!drv.iTE6805_CEC_RX_CMD_Push(0))
                return false;
        }
        i2c.cecbrd_it6805(CEC_REG_RX_STATUS, 2, status);
        if (!(status[1] & 0x0F))
            return true;
    }
    debugLog("iTE6805 CEC receive FIFO error %02X\n", status[0]);
    drv.iTE6805_CEC_Reset_RX_FIFO(0);
    return true;
}

void ite6805_cec_sys::dispatch() {
    while (sys_.cec_drv->iTE6805_CEC_RX_CMD_Pull(0))
        if (iTE6805_CEC_CMD_Check(0))
            sys_.cec_feture->iTE6805_CEC_CMD_Feature_decode(0);
    cec.rx_read = cec.rx_write = 0;
}

u8 ite6805_cec_sys::iTE6805_CEC_CMD_Check(u8 dev) {
    if (dev != 0)
        return 0;
    const CEC_FRAME& f = cec.rx_frame;
    u8 rule = cec_msg_size[f.opcode];
    if (f.length < kMinFrame || f.length > kCecMaxFrame || f.length < (rule & RULE_MIN_LENGTH))
        return 0;
    if (f.initiator == cec.logical_address && f.initiator != kCecBroadcast)
        return 0;
    if (f.destination == kCecBroadcast)
        return rule == 0 || (rule & RULE_BROADCAST) ? 1 : 0;
    if (f.destination != cec.logical_address)
        return 0;
    return rule == 0 || (rule & RULE_DIRECTED) ? 1 : 0;
}

void ite6805_cec_sys::transmitted() {
    ite6805_cec_drv& drv = *sys_.cec_drv;
    if (drv.iTE6805_CEC_Check_IsPollingMsg(0))
        drv.iTE6805_CEC_Get_TxFailStatus(0);
}

// A reply nobody acknowledged is counted; the engine is never ready for a retransmission.
void ite6805_cec_sys::transmit_failed() {
    ite6805_cec_drv& drv = *sys_.cec_drv;
    if (drv.iTE6805_CEC_Check_IsPollingMsg(0))
        return;
    if (drv.iTE6805_CEC_Get_TxFailStatus(0) != kTxNotAcknowledged)
        return;
    bool mayRetry = cec.tx_retry_count < kMaxRetries;
    ++cec.tx_retry_count;
    if (mayRetry && drv.iTE6805_CEC_Check_Fire_Ready(0))
        drv.iTE6805_CEC_Fire_Tx(0);
}
