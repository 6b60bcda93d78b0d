// The output net ports of an FPGA with their chains of receiving cards, as the FPGA's
// registers and RAM blocks present them to the program.
//
// Transmit, ports 0..15 in pairs k = port / 2: a pair's frame is loaded at address 0 of
// its RAM block (3 + 2k), its length - 1 goes into a low register (26, 134, 136, 138, 154,
// 155, 156, 157) and two bits of a high register (27 for pairs 0..3, 158 for 4..7, at bits
// 2(k % 4)), and its strobe (register 130 bits 4..7 for pairs 0..3, 146 for pairs 4..7)
// sends it on the port that the port select names (register 132: 1 << port for ports
// 0..7, 148 for ports 8..15). A frame leaves at once; a pair stuck busy (a fault) shows
// its busy bit (register 129 bit 1 + 2k, 145 for pairs 4..7) for ever. A frame on a port
// without a link goes nowhere.
//
// Receive, ports 0..5: the answers from pair k land in receive buffer k (RAM block 2, 4,
// 6 at address 0). A full buffer shows its full bit (register 129 bit 2k) and its hold bit
// (131 bit k), and the index of its frame's check byte in a low register (24, 133, 135)
// and two bits of register 25 (bits 2k, 2k + 1). The program gives a buffer back by
// setting its bit in register 130 and then clearing it in register 131; answers that come
// meanwhile wait their turn, up to 16 per buffer: one that comes while 16 wait is lost, and
// so is the answer of a late card that finds 64 others still on their way (both counted).
// Answers of ports 6..15 are not collected. A buffer takes 1024 bytes (what its 10-bit
// length field can name): of a longer answer, such as a card's answer to a RAM read of
// more than about 1000 bytes, it keeps the first 1024, which end without the answer's
// check byte.
//
// Protocol errors: a write to a register the program only reads (24, 25, 129, 133, 135,
// 137, 145, 149..153) or to a receive block; a pair loaded or strobed while it sends; a
// strobe whose port select does not name exactly one port of the pair; a frame longer
// than what was loaded since the last strobe (not sent); a frame shorter than a card header or with
// a bad check byte; a buffer given back that holds nothing; what a card objects to in a
// frame it took.
//
// The multifunction card of a chain (multifunction_card.h) shows in the chain's search
// answer (byte 13) and answers at its own address, 0x4000 | (port & 3) << 12: RAM reads of
// its sensor data and its RAM 0, and register writes that switch its eight power outputs.
//
// Scene, per entry of "outputs" (see fpga_model.h): "cards" (chain length),
// "multifunction" (a multifunction card on the chain), "busy" (the port's pair stuck
// busy), "configId" and "recovery" (what the chain answers a recovery query: the
// screen's configuration id and the card to recover, 255 none), "faults": [{"card": 0,
// "silent": true, "duplicate": true, "badCheck": true, "lateMs": 50}].
#pragma once

#include <QJsonArray>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/multifunction_card.h"
#include "board/sim/receiving_card.h"

namespace sim {

class OutputPorts {
public:
    static constexpr int kPorts = 16;
    static constexpr int kPairs = 8;
    static constexpr int kBuffers = 3;
    static constexpr uint32_t kBlockSize = 4096;
    // Answers that wait behind a full receive buffer, per buffer, and answers on their way
    // (those of late cards): a program that leaves a buffer unread, or a card late for
    // ever, would otherwise have every answer kept.
    static constexpr size_t kWaitingAnswers = 16;
    static constexpr size_t kAnswersOnTheWay = 64;

    using Frame = std::vector<uint8_t>;
    struct Sent {
        double timeMs;
        int port;
        bool linked;
        Frame frame;
    };

    explicit OutputPorts(int fpga);
    // The scene's "outputs", or the default: one card on port 1 of FPGA 0.
    static QJsonArray sceneOutputs();

    // The FPGA's side; the FPGA holds its own lock around each call.
    bool ownsRegister(uint8_t number) const;
    uint8_t readRegister(uint8_t number);
    void writeRegister(uint8_t number, uint8_t mask, uint8_t value, uint16_t links, double nowMs);
    bool ownsBlock(uint8_t block) const;
    void readRam(uint8_t block, uint32_t address, uint8_t* out, size_t n);
    void writeRam(uint8_t block, uint32_t address, const uint8_t* in, size_t n);
    // Lets the answers that are due land; true when a frame landed since the last call.
    bool advance(double nowMs);
    bool holdsFrame() const;
    // The FPGA was reset or configured: buffers, transmit RAM and registers start afresh;
    // the cards keep what they hold.
    void fpgaReset();

    // RAM as it stands, without the program's rules.
    Frame peekRam(uint8_t block, uint32_t address, uint32_t count) const;
    void pokeRam(uint8_t block, uint32_t address, const Frame& bytes);

    // What is plugged in, and its faults.
    int cards(int port) const;
    void setCards(int port, int count);
    void setFaults(int port, int card, const CardFaults& faults);
    void setMultifunction(int port, bool present);
    // What the multifunction card's light sensor reports: a reading (level 1..16), or none.
    void setLightLevel(int port, bool reading, uint8_t level);
    // A silent multifunction card takes its frames and never answers.
    void setMultifunctionSilent(int port, bool silent);
    void setMultifunctionFaults(int port, const MultifunctionCard::Faults& faults);
    void setMultifunctionOutputs(int port, bool on);
    void setMultifunctionRam0(int port, size_t at, uint8_t value);
    // A copy of the chain's multifunction card as it stands.
    MultifunctionCard multifunctionCard(int port) const;
    void setConfigId(int port, uint32_t id);
    void setRecoveryResult(int port, uint8_t card);
    void setStuckBusy(int port, bool stuck);
    // Every answer held back by a late card is due now.
    void releaseLate();
    // A frame from the chain of port 0..5 as it stands (no check byte added), after
    // delayMs.
    void answer(int port, const Frame& frame, double delayMs, double nowMs);

    // A copy of a card as it stands.
    ReceivingCard card(int port, int index) const;
    std::vector<Sent> sent() const;
    void clearSent();
    // Answers longer than a receive buffer, cut to its size, since the board started.
    int cutAnswers() const;
    // Answers lost for want of room (kWaitingAnswers, kAnswersOnTheWay) since the board
    // started.
    uint64_t droppedAnswers() const;
    std::vector<std::string> errors() const;
    void clearErrors();

private:
    struct Buffer {
        bool full = false;
        bool releasing = false;  // its bit set in register 130
        Frame frame;
        std::deque<Frame> waiting;
    };
    struct Pending {
        double dueMs;
        int buffer;
        Frame frame;
    };
    struct Chain {
        std::vector<ReceivingCard> cards;
        bool multifunction = false;
        MultifunctionCard vmf;
        bool stuckBusy = false;
        uint32_t configId = 0;
        uint8_t recovery = 0xFF;
    };

    bool busy(int pair) const;
    void strobe(int pair, uint16_t links, double nowMs);
    void releaseStrobe(uint8_t bits);
    void releaseDone(uint8_t cleared);
    void deliver(int port, const Frame& frame, bool linked, double nowMs);
    void search(int port, const Frame& request, double nowMs);
    void multifunctionAnswer(int port, const Frame& request, double nowMs);
    void schedule(int port, const Frame& frame, const CardFaults& faults, double nowMs);
    void queue(double dueMs, int buffer, const Frame& frame);
    void land();
    Frame& block(uint8_t number);
    void error(const std::string& what);
    Chain* chain(int port);

    const int fpga_;
    mutable std::mutex mutex_;
    std::array<uint8_t, 256> regs_{};
    std::map<uint8_t, Frame> blocks_;
    std::array<uint32_t, kPairs> loaded_{};
    std::array<Buffer, kBuffers> buffers_;
    std::vector<Pending> pending_;
    bool arrived_ = false;
    int cut_ = 0;
    uint64_t dropped_ = 0;
    std::array<Chain, kPorts> chains_;
    std::vector<Sent> sent_;
    std::vector<std::string> errors_;
};

}  // namespace sim
