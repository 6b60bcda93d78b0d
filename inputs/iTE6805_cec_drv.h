// The IT6805 CEC engine's registers as the responder uses them: the receive FIFO and the
// driver's receive ring, the transmit buffer and its fire, and the transmit results.
#pragma once

#include "core/types.h"

class ite6805_sys;
struct iTE6805_CEC;

class ite6805_cec_drv {
public:
    explicit ite6805_cec_drv(ite6805_sys& sys);

    void iTE6805_CEC_Reset_RX_FIFO(u8 dev);
    void iTE6805_CEC_Fire_Tx(u8 dev);
    // Starts a new transmit frame: header only.
    void iTE6805_CEC_INIT_CMD(u8 initiator, u8 destination, u8 dev);
    // Writes the transmit frame to the engine and sends it.
    void iTE6805_CEC_CMD_Ready_To_Fire(u8 dev);
    // 1 or 2 as the engine reports the last transmission, 0 otherwise.
    u8 iTE6805_CEC_Get_TxFailStatus(u8 dev);
    // The frame sent last was a polling message (initiator and destination the same).
    u8 iTE6805_CEC_Check_IsPollingMsg(u8 dev);
    // The engine never reports itself ready for a retransmission.
    u8 iTE6805_CEC_Check_Fire_Ready(u8 dev);
    // Queues the frame in the scratch; false when the ring has no room for it, which
    // leaves it in the scratch.
    bool iTE6805_CEC_RX_CMD_Push(u8 dev);
    // Takes the next queued frame into the current received frame; false when none.
    bool iTE6805_CEC_RX_CMD_Pull(u8 dev);

private:
    iTE6805_CEC& cec();
    u8 queued();
    void put(u8 value);

    ite6805_sys& sys_;
};
