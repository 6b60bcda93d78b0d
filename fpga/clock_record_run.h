// The run-time record on the configuration flash of FPGA 0: two-minute slot marks in
// groups of 48 hours, so the PC can read total and per-period operating time and see
// when the clock was set.
//
// Not built yet: the three calls the FPGA manager makes are empty until the recorder
// lands, so the manager already calls them where they belong.
#pragma once

#include "core/types.h"

class clock_record_run {
public:
    clock_record_run();

    // Once at start: marker check, group scan and repair, start date.
    void clock_record_init();
    // Last step of every FPGA pass: one slot mark every two minutes.
    void clock_record_deal();
    // After a clock change: marks the open group.
    void dealwith_record_timing();

private:
    u8 state[3];
};
