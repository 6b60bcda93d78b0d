// The IT6805's HDMI-CEC engine at 0xC8 (behind channel 0x20 of switch 0xEE, held in reset
// with the rest of the chip), seen from its I2C port and from the CEC line.
//
// Registers (no banks; the register pointer advances with every byte, except at the
// operand port 0x50, which it does not leave):
//   0x06, 0x09..0x0B     engine set-up
//   0x08                 control: bit 0 engine on; bit 7 rising while bit 3 is set fires
//                        the transmission
//   0x0C                 timing unit (reference clock / 160: 100 us)
//   0x10..0x1F           transmit buffer: header, opcode, operands
//   0x22                 the engine's logical address
//   0x23                 transmit length (header included, 1..16)
//   0x44                 line status (read only)
//   0x4C                 interrupts, write 1 to clear: 2 frame received, 3 transmitted,
//                        5 transmission failed, 6 receive FIFO error
//   0x4D..0x4F           receive FIFO (read only): reading 0x4D takes the next frame and
//                        gives its header, 0x4E its opcode, 0x4F its length (header
//                        included, bits 4..0) and error flags (bits 6..5)
//   0x50                 the taken frame's operands, one per read (read only)
//   0x51..0x53           receive status (read only but 0x52): 0x51 error bits (0xCC),
//                        0x52 frames waiting (bits 3..0); a write to 0x52 with bit 6 set
//                        empties the receive FIFO
//   0x54                 result of the last transmission (read only): 0 sent, 2 not
//                        acknowledged
// The receive FIFO holds 15 frames; a frame arriving while it is full is lost and raises
// bit 2 of 0x51 and interrupt bit 6.
//
// Protocol errors: an access outside the map, a write to a read-only register, a FIFO
// read with no frame waiting, an operand read past the taken frame, a transmission with a
// length outside 1..16, without the timing unit, or while the engine is off.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/i2c_device.h"
#include "board/sim/sim.h"

namespace sim {

class It6805CecModel : public I2cDevice, public Part {
public:
    static constexpr unsigned kFifoFrames = 15;
    // A run of registers of the map.
    struct Row;

    It6805CecModel();

    // Hides I2cDevice::setInReset so that leaving reset clears the engine under its lock.
    void setInReset(bool inReset);

    // A frame on the CEC line (header, opcode, operands) as the engine takes it in; error
    // flags mark it damaged (bits 6..5 of its length byte). False when the engine is off.
    bool receive(const std::vector<uint8_t>& frame, uint8_t errorFlags = 0);
    // Frames the engine sent, in order (the newest of a long run).
    std::vector<std::vector<uint8_t>> transmitted() const;
    void clearTransmitted();
    // Whether the next transmissions are acknowledged (default yes).
    void setAcknowledged(bool acknowledged);
    // The receive FIFO reports an error (bits of 0x51).
    void setFifoError(uint8_t bits);
    unsigned framesWaiting() const;
    uint8_t reg(unsigned index) const;

    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

protected:
    void powerOn() override;
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override;

private:
    struct Frame {
        std::vector<uint8_t> bytes;
        uint8_t flags;
    };
    static const Row* rowOf(unsigned index);
    uint8_t readLocked(unsigned index);
    void writeLocked(unsigned index, uint8_t value);
    void fireLocked();
    void takeFrameLocked();
    void errorLocked(const std::string& text);

    mutable std::mutex mutex_;
    uint8_t regs_[256] = {};
    uint8_t interrupts_ = 0;
    uint8_t fifoError_ = 0;
    uint8_t txStatus_ = 0;
    std::deque<Frame> fifo_;
    Frame taken_{};
    size_t operandsRead_ = 0;
    bool acknowledged_ = true;
    unsigned pointer_ = 0;
    std::vector<std::vector<uint8_t>> transmitted_;
    std::vector<std::string> errors_;
};

}  // namespace sim
