// The IT6805 HDMI 2.0 receiver driver, as far as the input-source thread calls it.
//
// Only the entry points exist yet, and they do nothing: the driver itself replaces this
// header. The first member is the bus descriptor the input-source manager copies in.
#pragma once

#include "core/types.h"

class ite6805_sys {
public:
    int fd = -1;
    // Start-up step per device record: 0 identify, 2 settle, 1 run.
    u8 fsm_step[2] = {0, 0};

    void ite6805_sys_reset_init() { fsm_step[0] = fsm_step[1] = 0; }
    void iTE6805_FSM(u8 /*dev*/) {}
    void iTE6805_Set_HPD_Ctrl(u8 /*port*/, u8 /*level*/, u8 /*dev*/) {}
    void iTE6805_Init_fsm(u8 /*dev*/) {}
};
