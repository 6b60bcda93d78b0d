// One LED receiving card on an output port's chain, as the frames that reach it see it.
//
// A frame is the device's card packet: destination u16 at 0 (bits 0..11 the card's index
// on the chain, 0x0FFF every card, 0x0FFE the search address), source u16 at 2, kind at
// 5, port selector at 7, opcode at 9, payload from 10, and a check byte, the XOR of every
// byte before it, at the end. What the card carries out:
//   0x60 write RAM: u32 address at 10, u16 length at 14, u16 0, the data from 18; the
//        length must match the frame
//   0x81 save: the card keeps its RAM in its flash (its saved flag)
//   0xA0 write register: the payload is kept; 03 0F 01 v sets the mapping state to v
//   anything else (reconfigure, firmware, user-defined, load search) is kept as an
//        operation
// The frames, register writes and operations a card keeps are logs of the newest
// entries (bounded_log.h). Its RAM and flash read 0 where nothing was written.
// It answers to the request's source with the request's kind, routing byte, port
// selector and opcode, its own address as the source (port bits and index) and status 0;
// a RAM read (0x61) gets the bytes asked for after the status.
//
// Faults: a silent card carries packets out but never answers; a late card answers
// after a delay; a duplicating card answers twice; a card with a bad check byte spoils
// the check byte of its answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/sim/sparse_bytes.h"

namespace sim {

struct CardFaults {
    bool silent = false;
    bool duplicate = false;
    bool badCheck = false;
    double lateMs = 0;
};

class ReceivingCard {
public:
    using Frame = std::vector<uint8_t>;

    ReceivingCard(int port, int index);

    // Carries out a frame addressed to this card (or to every card). Returns what the card
    // objects to in it (empty when it took it).
    std::string take(const Frame& frame);
    // The card's answer to a request it took.
    Frame answer(const Frame& request) const;
    // The card's answer carries its own address and the check byte its faults give it.
    void seal(Frame& answer) const;

    int port() const { return port_; }
    int index() const { return index_; }
    uint16_t address() const;

    std::vector<uint8_t> ram(uint32_t address, uint32_t count) const;
    // What the card kept in its flash at its last save (empty before any save).
    std::vector<uint8_t> flash(uint32_t address, uint32_t count) const;
    bool saved() const { return saves_ > 0; }
    int saves() const { return saves_; }
    uint8_t mapping() const { return mapping_; }
    const std::vector<Frame>& registerWrites() const { return registers_; }
    const std::vector<Frame>& operations() const { return operations_; }
    // The frames the card took, in order (the newest of a long run).
    const std::vector<Frame>& frames() const { return frames_; }

    CardFaults faults;

private:
    int port_;
    int index_;
    SparseBytes ram_;
    SparseBytes flash_;
    int saves_ = 0;
    uint8_t mapping_ = 0;
    std::vector<Frame> registers_;
    std::vector<Frame> operations_;
    std::vector<Frame> frames_;
};

// The XOR of the first n bytes.
uint8_t xorOf(const uint8_t* bytes, size_t n);

}  // namespace sim
