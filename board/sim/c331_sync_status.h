// Vertical syncs and field phase of the c331, raised on its frame clock.
//
// - Writing a channel's bit into bank 0x05 0x08 (inputs) or 0x09 (outputs) arms it; from
//   the next frame on its bit reads set in 0x22 (inputs) or 0x23 (outputs), and an armed
//   input's status byte (bank 0xA8, 0x3E + 5 * ch) reads 0xFF. Writing the bit clear
//   disarms it.
// - Bank 0xAB 0x47 + ch count the frames of channel ch: bits 0..1 the output field, bits
//   2..3 the input field. Every channel advances one field a frame.
//
// Faults a test injects: an input channel's field running ahead of the others by a number
// of fields, for good or for its next so many reads of its field register (a source whose
// fields line up with the others only after a while); the output timing losing its sync
// (no output channel raises a vertical sync and the output fields stand still from the
// first read after the loss, while the inputs run on).
#pragma once

#include "board/sim/c331_model.h"

namespace sim {

class C331SyncStatus : public C331Behaviour {
public:
    static constexpr int kChannels = 8;
    static constexpr int kForever = -1;

    bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) override;
    void written(C331Chip& chip, uint8_t bank, uint8_t address, uint8_t value) override;

    // Input channel ich's field runs `fields` ahead, for the next `reads` reads of its field
    // register (kForever: until set again).
    void skewInputField(int ich, int fields, int reads = kForever);
    // The output sync gone (true) or back (false).
    void loseOutputSync(bool lost);
    // How many times an output channel's sync was armed (a wait for it begun).
    uint64_t outputArms() const { return outputArms_; }

private:
    uint8_t syncBits(const C331Chip& chip, int which) const;

    // Per arm register (0 inputs, 1 outputs) and channel: armed, and the frame of arming.
    bool armed_[2][kChannels] = {};
    uint64_t armFrame_[2][kChannels] = {};
    int skew_[kChannels] = {};
    int skewReads_[kChannels] = {};  // reads left skewed; kForever: for good
    uint64_t outputArms_ = 0;
    bool outputLost_ = false;
    bool lostFrameKnown_ = false;
    uint64_t outputLostFrame_ = 0;  // the output fields stand at this frame's
};

}  // namespace sim
