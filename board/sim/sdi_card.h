// The optional SDI input card, seen from the SoC: its GS2971 receiver's reset input, driven
// by bit 0 of the GPIO word at 0x002848 of the SoC window (0 holds the receiver in reset,
// 1 runs it). The boot leaves the line high. The card's transmitter (IT66121, 0x98) sits on
// the I2C bus as a plain register chip.
//
// The scene watches the line: its level now and every edge with its time (the board's
// clock, sim::nowMs()), rebuilt from the window's log of the program's stores.
#pragma once

#include <cstdint>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class SdiCard : public Part {
public:
    struct Edge {
        double timeMs;
        bool high;
    };
    // A low phase of the line: from its falling edge to its rising edge.
    struct Pulse {
        double lowMs;
        double highMs;
        double lengthMs() const { return highMs - lowMs; }
    };

    // The receiver is held in reset now.
    bool receiverInReset() const;
    std::vector<Edge> resetEdges() const;
    // Completed low pulses, in order.
    std::vector<Pulse> resetPulses() const;
};

}  // namespace sim
