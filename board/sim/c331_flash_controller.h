// The c331's serial-flash controller and blitter (bank 0x04) as their status shows them:
// idle (0x17 bit 0 clear; 0x53 bit 5 set and bit 7 clear; 0x54 and 0x55 clear), or stuck
// busy when a test says so.
#pragma once

#include "board/sim/c331_model.h"

namespace sim {

class C331FlashController : public C331Behaviour {
public:
    bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) override;

    void setBusy(bool busy) { busy_ = busy; }

private:
    bool busy_ = false;
};

}  // namespace sim
