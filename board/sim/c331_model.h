// The c331 video processor as its SPI port sees it.
//
// 256 banks of 128 byte registers. Every access is one 2-byte message: byte 0 is the
// register address with bit 7 set for a write, byte 1 the data (a read returns the
// register in the second byte). Address 0 of every bank is the bank register: a write
// there selects the bank of the following accesses, a read returns it. The identity
// register (bank 0xB2, address 0x08) is read-only; every other register reads back what
// was written, except the status registers below. A message of another length is a
// protocol error and changes nothing.
//
// Status the chip raises by itself, on a frame clock (frameHz frames a second, counted
// from power-on; 0 stops the clock, as with no output timing running):
// - vertical syncs: writing a channel's bit into bank 0x05 0x08 (inputs) or 0x09
//   (outputs) arms it; from the next frame on its bit reads set in 0x22 (inputs) or
//   0x23 (outputs), and an armed input's status byte (bank 0xA8, 0x3E + 5 * ch) reads
//   0xFF. Writing the bit clear disarms it.
// - field phase: bank 0xAB 0x47..0x4E count the frames, bits 0..1 the output field and
//   bits 2..3 the input field.
// - V-by-One receivers 0 and 1: bank 0xB2 0x63 bit 5 + 2 * rx is the lock bit; while a
//   receiver is unlocked its lane measures (bank 0xAE 0x40 + 8 * rx, 8 bytes, and
//   0x5C + 0x0C * rx, 12 bytes) read all ones.
// - bank 0x04, serial-flash controller and blitter: idle (0x17 bit 0 clear; 0x53 bit 5
//   set and bit 7 clear; 0x54 and 0x55 clear), or stuck busy when a test says so.
//
// Scene: "c331": {"id": 36, "frameHz": 60, "vbyoneLock": [false, false]}.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class C331Model : public Part {
public:
    static constexpr uint8_t kIdBank = 0xB2;
    static constexpr uint8_t kIdAddress = 0x08;

    struct Access {
        uint64_t order;
        bool write;
        uint8_t bank;  // the bank in effect; for a bank select, the bank selected
        uint8_t address;
        uint8_t value;  // written, or returned
        double timeMs;  // board time of the access
    };

    C331Model();

    void transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);

    // The stored register (not the status the chip would overlay on a read).
    uint8_t reg(uint8_t bank, uint8_t address) const;
    // A little-endian field of count stored registers.
    uint32_t field(uint8_t bank, uint8_t address, int count) const;
    // Sets a stored register as the hardware would, the identity register included.
    void setReg(uint8_t bank, uint8_t address, uint8_t value);
    uint8_t bank() const;

    // Faults and conditions a test injects.
    void setFrameRate(double hz);
    void setVboLock(int rx, bool locked);
    void setFlashBusy(bool busy);
    uint64_t frame() const;

    std::vector<Access> log() const;
    std::vector<Access> writes() const;  // the log without reads
    std::vector<std::string> protocolErrors() const override;
    void clearLog();

private:
    uint64_t frameLocked() const;
    uint8_t readLocked(uint8_t address) const;
    void writeLocked(uint8_t address, uint8_t value);
    void arm(uint8_t address, uint8_t mask);
    uint8_t syncBits(int which) const;
    bool vboMeasure(uint8_t address) const;

    mutable std::mutex mutex_;
    std::vector<uint8_t> regs_;
    uint8_t bank_ = 0;
    uint64_t order_ = 0;
    std::vector<Access> log_;
    std::vector<std::string> errors_;

    Clock::time_point epoch_;
    double frameHz_ = 60;
    uint64_t frameBase_ = 0;  // frames counted before the last rate change
    // Per vertical-sync register (0 inputs, 1 outputs) and channel: armed, and the frame
    // of arming.
    bool armed_[2][8] = {};
    uint64_t armFrame_[2][8] = {};
    bool vboLock_[2] = {false, false};
    bool flashBusy_ = false;
};

}  // namespace sim
