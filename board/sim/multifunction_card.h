// The multifunction card of an output port's chain, as the frames that reach it see it. It
// answers at its own address, 0x4000 | (port & 3) << 12 (the chain routes those frames to
// it), with the request's kind, routing byte, port selector and opcode, its address as the
// source and status 0:
//   0x61 read RAM: u32 address at 10, u16 count at 14. Its light-sensor data lie at
//        0x02000000 (128 bytes: byte 49 is 0xFF while the sensor reads, byte 52 the
//        brightness level 1..16 the light asks for), its RAM 0 at 0 (256 bytes: byte 44
//        is 1 while its power is on, that is while one of its outputs is on); the answer
//        carries the bytes asked for after the status.
//   0xA0 write register: register at 10, mask at 11, 0 at 12, value at 13. Registers 2
//        and 3 hold the eight power outputs, two bits each (outputs 1..4 in register 2,
//        5..8 in register 3, output n at bits 2((n - 1) % 4)): 3 switches an output on,
//        1 off.
// What it objects to: another opcode, a read outside its data, a read or register frame
// of the wrong length, another register, a field value of 0 or 2.
//
// Faults: a silent card carries frames out and never answers; a late card answers after
// a delay; a card with a bad check byte spoils the check byte of its answers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class MultifunctionCard {
public:
    using Frame = std::vector<uint8_t>;
    static constexpr int kOutputs = 8;

    struct Faults {
        bool silent = false;
        bool badCheck = false;
        double lateMs = 0;
    };
    // An output switched, as it happened: when, which (1..8), on or off.
    struct Switch {
        double timeMs;
        int output;
        bool on;
    };

    // Carries out a frame addressed to the card. Returns its answer (empty: none) and
    // puts what it objects to in `objection` (empty when it took the frame).
    Frame take(const Frame& request, double nowMs, std::string& objection);

    void setLight(bool reading, uint8_t level);
    // RAM 0 as a read sees it (byte 44 follows the outputs); a byte set here stays, except
    // byte 44.
    std::vector<uint8_t> ram0() const;
    void setRam0(size_t at, uint8_t value);
    // Output 1..8 is on.
    bool output(int n) const;
    void setOutputs(bool on);
    const std::vector<Switch>& switches() const { return switches_; }
    // The frames the card took, in order (the newest of a long run).
    const std::vector<Frame>& frames() const { return frames_; }

    Faults faults;

private:
    std::string readRam(const Frame& request, Frame& out) const;
    std::string writeRegister(const Frame& request, double nowMs);

    std::array<uint8_t, 128> sensor_{};
    std::array<uint8_t, 256> ram0_{};
    std::array<bool, kOutputs> outputs_{};
    std::vector<Switch> switches_;
    std::vector<Frame> frames_;
};

}  // namespace sim
