// The unescaped control-protocol frame, PhyData_Type: the layout of the receiving-card
// packets seen from the PC. All multi-byte fields are little-endian.
//
//   0-1  destination address (PhyAddress[0])   2-3  source address (PhyAddress[1])
//   4    0x10                                   5    kind, echoed in the answer
//   6    routing byte                           7    port selector (card frames)
//   8    reserved                               9    command (PhyCommand)
//   10.. payload of a request; in a reply the status byte, then the reply data
//   last check byte: XOR of every byte before it
#pragma once

#include <cstddef>

#include "core/le.h"
#include "core/types.h"

struct PhyData_Type {
    static constexpr unsigned kDestination = 0;
    static constexpr unsigned kSource = 2;
    static constexpr unsigned kKind = 5;
    static constexpr unsigned kRouting = 6;
    static constexpr unsigned kPortSelector = 7;
    static constexpr unsigned kCommand = 9;
    static constexpr unsigned kPayload = 10;
    static constexpr unsigned kStatus = 10;
    // Header and check byte: the shortest frame there is.
    static constexpr unsigned kMinSize = kPayload + 1;

    // Destination words of the processor itself.
    static constexpr u16 kProcessor = 0xF100;
    static constexpr u16 kProcessorAlias = 0xF101;

    static constexpr u8 kStatusOk = 0;
    static constexpr u8 kStatusError = 1;

    // A destination word that names a receiving card (or all cards of a port): bits 0..11
    // the card, 12..13 the port, 14..15 zero.
    static constexpr bool is_card_address(u16 address) { return (address & 0xC000) == 0; }
    static constexpr bool is_processor(u16 address) {
        return address == kProcessor || address == kProcessorAlias;
    }
};
