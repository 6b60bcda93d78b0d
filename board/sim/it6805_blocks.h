// The IT6805's two other I2C ports, behind the same channel 0x20 of switch 0xEE as its
// receiver block and held in reset with it:
// - 0xA8, the EDID RAM: 256 bytes; the first written byte sets the offset, which advances
//   with every byte read or written;
// - 0xB4, the LVDS/auxiliary block: 256 registers addressed the same way.
// Nothing in the program reaches either; both maps are open, so neither reports an access.
#pragma once

#include <memory>

#include "board/sim/plain_register_chip.h"

namespace sim {

std::shared_ptr<PlainRegisterChip> makeIt6805EdidRam();
std::shared_ptr<PlainRegisterChip> makeIt6805LvdsBlock();

}  // namespace sim
