// RCV_CARD_CMD: the frame the device exchanges with the LED receiving cards on the FPGAs'
// output net ports. It has the layout of the remote-control frame, seen from the device's
// side; multi-byte fields are little-endian.
//
//   0-1  destination: bits 0..11 the card's index on its port's chain (0x0FFF every card,
//        0x0FFE the search/broadcast address), bits 12..13 the port & 3, 14..15 zero;
//        answers for the device go to 0xF000..0xF00F, answers for the PC to 0xF010
//   2-3  source: 0xF000 (the device) in the packets built here; a card's own address in
//        its answers
//   4    0x10               5  kind, echoed by the card ("g" 0x67 set-up, 0xAA search)
//   6    0x01 (0xFF search) 7  port selector: port + 1, or 0 (port from the address)
//   8    0x00               9  opcode (RCV_CARD_OPCODE)
//   10.. payload; in an answer byte 10 is the status (0 success)
//   last check byte: XOR of every byte before it
//
// The ports 4..15 carry the same address port bits as ports 0..3; which port a packet
// takes is given by the port it is sent on and by byte 7.
#pragma once

#include "core/types.h"

struct RCV_CARD_CMD {
    static constexpr unsigned kDestination = 0;
    static constexpr unsigned kSource = 2;
    static constexpr unsigned kConstant = 4;
    static constexpr unsigned kKind = 5;
    static constexpr unsigned kRouting = 6;
    static constexpr unsigned kPortSelector = 7;
    static constexpr unsigned kReserved = 8;
    static constexpr unsigned kOpcode = 9;
    static constexpr unsigned kPayload = 10;
    static constexpr unsigned kStatus = 10;
    // Header and check byte: the shortest frame there is.
    static constexpr unsigned kMinSize = kPayload + 1;
    // The transmit length field holds 10 bits of the length - 1.
    static constexpr unsigned kMaxSize = 1024;

    static constexpr u16 kDevice = 0xF000;
    static constexpr u16 kPc = 0xF010;
    static constexpr u16 kAllCards = 0x0FFF;
    static constexpr u16 kSearchAddress = 0x0FFE;
    static constexpr u16 kCardMask = 0x0FFF;
    static constexpr u16 kPortBits = 0x3000;

    static constexpr u8 kSetupKind = 0x67;       // "g"
    static constexpr u8 kBrightnessKind = 0x66;  // "f"
    static constexpr u8 kSearchKind = 0xAA;

    // Destination of a packet for card `card` of port `port`.
    static constexpr u16 address(u8 port, u16 card) {
        return static_cast<u16>((port << 12 & kPortBits) | (card & kCardMask));
    }
};

enum RCV_CARD_OPCODE : u8 {
    RCV_CARD_SEARCH = 0x10,  // search cards / search-receiving-card operation
    RCV_CARD_WRITE_RAM = 0x60,
    RCV_CARD_READ_RAM = 0x61,
    RCV_CARD_SAVE = 0x81,  // the card keeps its parameters in its flash
    RCV_CARD_RECONFIG = 0x84,
    RCV_CARD_WRITE_REG = 0xA0,
    RCV_CARD_ACTIVE_FIRMWARE = 0xB4,
};

// The two fields of a scan-file operation that the register reset packet carries.
struct SCAN_PARA {
    u32 value;
    u16 reg;
};
