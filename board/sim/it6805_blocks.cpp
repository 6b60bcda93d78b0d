#include "board/sim/it6805_blocks.h"

#include <vector>

namespace sim {

std::shared_ptr<PlainRegisterChip> makeIt6805EdidRam() {
    return std::make_shared<PlainRegisterChip>(
        "IT6805 EDID RAM", std::vector<PlainRegisterChip::Range>{{0x00, 0xFF, false}});
}

std::shared_ptr<PlainRegisterChip> makeIt6805LvdsBlock() {
    return std::make_shared<PlainRegisterChip>(
        "IT6805 LVDS", std::vector<PlainRegisterChip::Range>{{0x00, 0xFF, false}});
}

}  // namespace sim
