// The receive buffers in which an FPGA collects the receiving cards' answers, shared by the
// receive path and the card search.
//
// Ports 0..5 share three buffers, one per port pair; a buffer's frame has L + 1 bytes
// from address 0 of its RAM block, byte L being the check byte. The length L is the low
// register ORed with two bits of register 25. A buffer is given back by setting its bit in
// register 130 and then clearing the same bit in register 131.
#pragma once

#include "core/types.h"
#include "fpga/fpga_manage.h"

namespace card_rx {

constexpr u8 kStatusLow = 129;   // receive flags of ports 0..7, transmit busy bits
constexpr u8 kStatusHigh = 145;  // the same for ports 8..15
constexpr u8 kLengthHigh = 25;
constexpr u8 kLengthHigh2 = 153;  // ports 8..15: read with the others, not used
constexpr u8 kRelease = 130;
constexpr u8 kReleaseDone = 131;
constexpr u8 kReceiveFlags = 0x55;  // bits 0, 2, 4, 6

struct Buffer {
    u8 status;      // bit in register 129
    u8 length_low;  // register
    u8 high_shift;  // register 25 shifted left by this, masked with 0x300
    u8 block;       // RAM block
    u8 release;     // bit in registers 130 and 131
    u8 group;       // port group g: ports 4g .. 4g + 3
};
constexpr Buffer kBuffers[] = {
    {0x01, 24, 8, 2, 0x01, 0},
    {0x04, 133, 6, 4, 0x02, 0},
    {0x10, 135, 4, 6, 0x04, 1},
};
constexpr unsigned kFrameMax = 1024;

// Registers 129, 25, 145 and 153 into the shadow.
void refresh_status(fpga_manage& m, u8 fpga);
bool full(u8 fpga, const Buffer& b);
// Reads the buffer's frame (its length register, then L + 1 bytes) into frame, which
// holds kFrameMax bytes; returns L. Keeps a copy in the FPGA's receive image.
unsigned read_frame(fpga_manage& m, u8 fpga, const Buffer& b, u8* frame);
void release(fpga_manage& m, u8 fpga, const Buffer& b);
// The port index of an answer: from its port selector (byte 7) when that is set, else
// from the buffer's port group and the port bits of its source.
u8 answer_port(const u8* frame, u8 group, u8 fpga);
// The check byte at `last` closes the frame.
bool valid(const u8* frame, unsigned last);
// An answer to the device's own card search: to 0xF000, opcode 0x10, kind 0xAA. (The
// acknowledgement of a search-receiving-card operation has the opcode but kind "g".)
bool is_search_answer(const u8* frame, unsigned last);

}  // namespace card_rx
