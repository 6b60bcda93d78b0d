// The IT6805's CEC engine (0xC8), as far as the system state machine drives it.
//
// The responder is not built yet: the engine is left as the chip powers up, and these are
// the places the system state machine initialises and polls it.
#pragma once

#include "core/types.h"

class ite6805_cec_sys {
public:
    void iTE6805_CEC_INIT(u8 /*dev*/) {}
    void iTE6805_hdmirx_CEC_irq(u8 /*dev*/) {}
};
