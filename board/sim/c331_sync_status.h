// Vertical syncs and field phase of the c331, raised on its frame clock.
//
// - Writing a channel's bit into bank 0x05 0x08 (inputs) or 0x09 (outputs) arms it; from
//   the next frame on its bit reads set in 0x22 (inputs) or 0x23 (outputs), and an armed
//   input's status byte (bank 0xA8, 0x3E + 5 * ch) reads 0xFF. Writing the bit clear
//   disarms it.
// - Bank 0xAB 0x47..0x4E count the frames: bits 0..1 the output field, bits 2..3 the
//   input field.
#pragma once

#include "board/sim/c331_model.h"

namespace sim {

class C331SyncStatus : public C331Behaviour {
public:
    bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) override;
    void written(C331Chip& chip, uint8_t bank, uint8_t address, uint8_t value) override;

private:
    uint8_t syncBits(const C331Chip& chip, int which) const;

    // Per arm register (0 inputs, 1 outputs) and channel: armed, and the frame of arming.
    bool armed_[2][8] = {};
    uint64_t armFrame_[2][8] = {};
};

}  // namespace sim
