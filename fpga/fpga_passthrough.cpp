// PC frames passed through to the receiving cards.
//
// Not built yet: every frame is refused (0) until the pass-through lands, so the
// transports can already hand frames over and report the refusal.
#include "fpga/fpga_manage.h"

int fpga_manage::Dealwith1_PC_to_eth(unsigned int, unsigned char*) {
    return 0;
}
