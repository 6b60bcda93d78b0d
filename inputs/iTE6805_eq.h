// The IT6805's input equaliser, as far as the system state machine drives it.
//
// Tuning is not built yet: the state is recorded, so that the freeze after persistent ECC
// errors and its release work, and the link runs on the chip's own equaliser setting. The
// interrupt, the per-pass step and the bit-error re-check are the places the tuning goes.
#pragma once

#include "core/types.h"
#include "inputs/iTE6805_data.h"

class ite6805_eq {
public:
    explicit ite6805_eq(iTE6805_DATA& data) : data_(data) {}

    // Changes state; nothing changes while the equaliser is frozen.
    void iTE6805_EQ_chg(u32 state, u8 dev) {
        if (dev != 0 || data_.EQState == STATEEQ_KeepEQStateUntil5VOff)
            return;
        data_.EQState = state;
    }
    void iTE6805_EQ_fsm(u8 /*dev*/) {}
    void iTE6805_hdmirx_port0_EQ_irq(u8 /*dev*/) {}
    // 1 while the link decodes without bit errors.
    u8 iTE6805_BitErr_Check_Again(u8 /*dev*/) { return 1; }

private:
    iTE6805_DATA& data_;
};
