// PC frames passed through to the receiving cards, and the cards' answers going back.
//
// A frame of the PC software whose destination is a card address is put on one net port
// of FPGA 0, or on every live port with cards (port selector 0xFF, a broadcast). Which port
// is given by the routing byte and the port selector; the frame's destination port bits
// are set for that port and its check byte kept right. The cards' answers meant for the
// PC come back through the receive path, get their port selector and source made what the
// PC expects, and go to the transport and peer of the request, through the route the PC links
// install (fpga_hooks().card_answer). One request is pending at a time; its answer is the first one
// that echoes its byte 5. A broadcast is answered once, by the answer that completes the set of
// ports it went to. A PC's frame waits only briefly for a port pair that is still sending: it holds
// the thread of the transport that carried it, and every other PC on that link with it.
#include <cstdio>

#include "core/global.h"
#include "core/le.h"
#include "fpga/fpga_hooks.h"
#include "fpga/fpga_manage.h"

namespace {

using Cmd = RCV_CARD_CMD;

constexpr u8 kBroadcastSelector = 0xFF;
constexpr u8 kNoRequest = 0xFF;
// Registers whose bits 0..3 each request clears, as the card search does before its
// packet.
constexpr u8 kReleaseDoneLow = 131;
constexpr u8 kReleaseDoneHigh = 147;
constexpr u8 kReleaseBits = 0x0F;
// A selector naming a port beyond this is sent unchanged (and leads nowhere).
constexpr unsigned kHighestSelectedPort = 31;

// Replaces byte `at` of a frame whose check byte is at `last`, keeping the check right.
void set_byte(u8* frame, unsigned last, unsigned at, u8 value) {
    frame[last] = static_cast<u8>(frame[last] ^ frame[at] ^ value);
    frame[at] = value;
}

// Sets the port bits (bits 12..13) of the address field at `at` to q.
void set_port_bits(u8* frame, unsigned last, unsigned at, u8 q) {
    set_byte(frame, last, at + 1, static_cast<u8>((frame[at + 1] & 0xCF) | (q & 3) << 4));
}

void set_u16(u8* frame, unsigned last, unsigned at, u16 value) {
    set_byte(frame, last, at, static_cast<u8>(value));
    set_byte(frame, last, at + 1, static_cast<u8>(value >> 8));
}

}  // namespace

int fpga_manage::Dealwith1_PC_to_eth(unsigned int len, unsigned char* frame) {
    const unsigned n = len & 0xFFFF;
    // Nothing is touched in a frame that cannot be a card packet: its check byte would be
    // looked for outside it, or the FPGA could not send it.
    if (!frame || n < Cmd::kMinSize || n >= Cmd::kMaxSize) {
        if (debugOn())
            std::printf("\n card frame of %u bytes not passed on\n", len);
        return 0;
    }
    multi_active = 0;
    passby_tag = frame[Cmd::kKind];
    write_to_register(kReleaseDoneHigh, kReleaseBits, 0, 0);
    write_to_register(kReleaseDoneLow, kReleaseBits, 0, 0);
    const unsigned last = n - 1;
    const u8 routing = frame[Cmd::kRouting];
    const u8 selector = frame[Cmd::kPortSelector];
    const auto to_selected_port = [&]() {
        const unsigned port = selector - 1u;
        if (port <= kHighestSelectedPort)
            set_port_bits(frame, last, Cmd::kDestination, static_cast<u8>(port));
        return Send_to_port(frame, static_cast<u16>(n), static_cast<u16>(port), 0,
                            kPcPortReadyWaitMs);
    };
    if (routing == 0x01 || routing == 0x03 || routing == 0xFF) {
        if (selector == kBroadcastSelector)
            return pc_broadcast(frame, static_cast<u16>(n));
        if (selector != 0)
            return to_selected_port();
        const u8 port = static_cast<u8>((get_u16(frame + Cmd::kDestination) >> 12) & 3);
        if (debugOn())
            std::printf("FRAME_NETPORT : %d   port_num : %d\n", selector, port);
        set_port_bits(frame, last, Cmd::kDestination, port);
        return Send_to_port(frame, static_cast<u16>(n), port, 0, kPcPortReadyWaitMs);
    }
    if (routing == 0x00)
        return selector == 0 ? Send_to_port(frame, static_cast<u16>(n), 0, 0, kPcPortReadyWaitMs)
                             : to_selected_port();
    return 0;
}

int fpga_manage::pc_broadcast(unsigned char* frame, unsigned short n) {
    multi_active = 1;
    multi_answer_mask = 0;
    multi_sent = 0;
    multi_search = get_u16(frame + Cmd::kDestination) == Cmd::kSearchAddress;
    multi_tag = frame[Cmd::kKind];
    // The ports that took it make the set whose answers the answer to the PC waits for
    // (multi_expected; answers of ports 0..5 are counted at bit 4 x group + port bits,
    // which is the port number). A port whose pair stayed busy is not waited for.
    multi_port_send(frame, n, kPcPortReadyWaitMs);
    return multi_expected != 0;
}

void fpga_manage::forward_to_pc(unsigned char* frame, unsigned int last, unsigned char group,
                                unsigned char fpga) {
    if (!frame || last + 1 < Cmd::kMinSize || last >= Cmd::kMaxSize)
        return;
    const u8 selector = frame[Cmd::kPortSelector];
    if (selector == kBroadcastSelector || multi_active) {
        if (!complete_broadcast(frame, last))
            return;
    } else {
        // The answer to an earlier request must not pass for the pending one's.
        if (frame[Cmd::kKind] != passby_tag)
            return;
        if (selector == 0) {
            const u8 bits = static_cast<u8>((get_u16(frame + Cmd::kSource) >> 12) & 3);
            set_byte(frame, last, Cmd::kPortSelector,
                     static_cast<u8>(bits + 1 + 16 * fpga + 4 * group));
        }
        set_port_bits(frame, last, Cmd::kSource, 0);
    }
    const u8 transport = g_passby_trans_port;
    if (transport == kNoRequest)
        return;
    // The pending request is answered now, or its transport has gone: either way later
    // answers are not its.
    g_passby_trans_port = kNoRequest;
    const auto& answer = fpga_hooks().card_answer;
    if (answer && answer(transport, frame, last + 1))
        passby_reply_ready = 1;
}

bool fpga_manage::complete_broadcast(unsigned char* frame, unsigned int last) {
    // A broadcast answer that comes after another request is no answer to that one.
    const u32 expected = multi_expected;
    if (!multi_active || expected == 0 || multi_answer_mask != expected)
        return false;
    u16 source = Cmd::kAllCards;
    if (multi_search) {
        source = Cmd::kSearchAddress;
        multi_search = 0;
    }
    set_u16(frame, last, Cmd::kSource, source);
    set_byte(frame, last, Cmd::kPortSelector, kBroadcastSelector);
    if (multi_sent == 1) {
        multi_answer_mask = 0;
        multi_sent = 0;
    }
    return true;
}
