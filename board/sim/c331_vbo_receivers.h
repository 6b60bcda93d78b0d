// The c331's two V-by-One receivers as their status registers show them.
//
// Bank 0xB2 0x63 bit 5 + 2 * rx is receiver rx's lock bit; while a receiver is unlocked
// its lane measures (bank 0xAE 0x40 + 8 * rx, 8 bytes, and 0x5C + 0x0C * rx, 12 bytes)
// read all ones.
//
// Scene: "c331": {"vbyoneLock": [false, false]}.
#pragma once

#include "board/sim/c331_model.h"

namespace sim {

class C331VboReceivers : public C331Behaviour {
public:
    C331VboReceivers();

    bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) override;

    void setLock(int rx, bool locked);

private:
    bool unlockedMeasure(uint8_t address) const;

    bool lock_[2] = {false, false};
};

}  // namespace sim
