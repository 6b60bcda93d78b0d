// Putting a frame on an FPGA's output net port, and the card counts the jobs and the PC
// broadcast go by.
//
// The two ports of a pair share a transmit RAM, its length registers and its send
// strobe; the port-select register chooses which of the two the frame leaves on. A frame
// is loaded and triggered only once the pair has finished the previous one.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_card_buffers.h"
#include "fpga/fpga_manage.h"
#include "fpga/send_para.h"

namespace {

using Cmd = RCV_CARD_CMD;

constexpr u8 kPorts = 16;
constexpr u8 kSelectLow = 132;   // port select of ports 0..7: 1 << port
constexpr u8 kSelectHigh = 148;  // ports 8..15

// Transmit side of a port pair, in the order a frame is loaded: the RAM block (frame at
// address 0), the length - 1 (low byte, then two bits of the high register) and the
// strobe (mask 0xF0).
constexpr struct {
    u8 block;
    u8 length_low;
    u8 length_high;
    u8 high_shift;
    u8 strobe_register;
    u8 strobe;
} kTxPairs[kPorts / 2] = {
    {3, 26, 27, 0, 130, 0x10},    {5, 134, 27, 2, 130, 0x20},   {7, 136, 27, 4, 130, 0x40},
    {9, 138, 27, 6, 130, 0x80},   {11, 154, 158, 0, 146, 0x10}, {13, 155, 158, 2, 146, 0x20},
    {15, 156, 158, 4, 146, 0x40}, {17, 157, 158, 6, 146, 0x80},
};
constexpr u8 kStrobeMask = 0xF0;

// A pair still sending after the wait fails the send. Between two looks at its busy bit the
// thread gives the bus to others; the looks are counted too, so that the wait ends even
// while the tick stands still.
constexpr unsigned kReadyPollUs = 1000;
constexpr unsigned kMsPerTick = 10;

// The wait that began at tick `stamp` has had its wait_ms, by the tick or by the looks.
bool wait_over(u32 stamp, unsigned looks, unsigned wait_ms) {
    return Utils::getTimeSpace(stamp) > wait_ms / kMsPerTick ||
           looks >= wait_ms * 1000 / kReadyPollUs;
}

// Card counts of ports 0..5 in the parameter RAM.
constexpr u16 kCardCountAt[6] = {100, 102, 108, 110, 560, 564};
// Card indexes 0x0FFE and 0x0FFF address the whole chain.
constexpr u16 kMaxCards = Cmd::kSearchAddress;
constexpr u8 kBroadcastPorts = 6;

// Sets the port bits of a frame's destination and keeps its check byte right.
void set_port_bits(u8* frame, unsigned short len, u8 port) {
    const u8 old = frame[1];
    frame[1] = static_cast<u8>((old & 0xCF) | (port & 3) << 4);
    frame[len - 1] = static_cast<u8>(frame[len - 1] ^ old ^ frame[1]);
}

}  // namespace

bool fpga_manage::pair_idle(u8 port, u8 fpga) {
    const u8 reg = port < 8 ? card_rx::kStatusLow : card_rx::kStatusHigh;
    const u8 busy = static_cast<u8>(1u << (1 + 2 * ((port % 8) / 2)));
    return read_from_register(reg, fpga) && !(reg_shadow[fpga][reg].load() & busy);
}

int fpga_manage::wait_fpga_send_ready(unsigned char port, unsigned char fpga) {
    if (port >= kPorts || fpga >= kFpgaCount)
        return 0;
    const u32 stamp = G_timeTicks;
    for (unsigned looks = 0;; ++looks) {
        if (pair_idle(port, fpga))
            return 1;
        if (wait_over(stamp, looks, kPortReadyWaitMs))
            return 0;
        board::usleep(kReadyPollUs);
    }
}

int fpga_manage::Send_to_port(const unsigned char* frame, unsigned short len, unsigned short port,
                              unsigned char fpga, unsigned int wait_ms) {
    if (port >= kPorts || fpga >= kFpgaCount || !frame)
        return 0;
    if (len == 0 || len > Cmd::kMaxSize) {
        if (debugOn())
            std::printf("\n port %d: frame of %d bytes not sent\n", port, len);
        return 0;
    }
    // Loading a pair that is still sending would cut the frame in flight. The wait is made
    // outside the transmit lock, so that a sender waiting for a stuck pair holds up no frame
    // for another pair; under the lock one more look makes sure no other sender loaded the
    // pair meanwhile.
    const u8 p = static_cast<u8>(port);
    const u32 stamp = G_timeTicks;
    std::unique_lock<std::mutex> lock(transmit_mutex, std::defer_lock);
    for (unsigned looks = 0;; ++looks) {
        if (pair_idle(p, fpga)) {
            lock.lock();
            if (pair_idle(p, fpga))
                break;
            lock.unlock();
        }
        if (wait_over(stamp, looks, wait_ms)) {
            if (debugOn())
                std::printf("\n port %d busy: frame not sent\n", port);
            return 0;
        }
        board::usleep(kReadyPollUs);
    }
    const auto& pair = kTxPairs[port / 2];
    const unsigned last = len - 1u;
    write_to_register(port < 8 ? kSelectLow : kSelectHigh, 0xFF, static_cast<u8>(1u << (port % 8)),
                      fpga);
    if (!write_fpga_ram(frame, 0, len, pair.block, fpga))
        return 0;
    write_to_register(pair.length_low, 0xFF, static_cast<u8>(last), fpga);
    write_to_register(pair.length_high, static_cast<u8>(3u << pair.high_shift),
                      static_cast<u8>((last >> 8) << pair.high_shift), fpga);
    write_to_register(pair.strobe_register, kStrobeMask, pair.strobe, fpga);
    return 1;
}

void fpga_manage::multi_port_send(unsigned char* frame, unsigned short len, unsigned int wait_ms) {
    read_from_register(kRegLinksLow, 0);
    read_from_register(kRegLinksHigh, 0);
    const u32 links =
        fpga_ready_state(0) == kReady
            ? (reg_shadow[0][kRegLinksLow].load() | reg_shadow[0][kRegLinksHigh].load() << 8)
            : 0;
    u32 sent = 0;
    if (frame && len >= 2) {
        for (u8 port = 0; port < kBroadcastPorts; ++port) {
            if (!(links & (1u << port)) || get_port_card_num(port) == 0)
                continue;
            set_port_bits(frame, len, port);
            if (Send_to_port(frame, len, port, 0, wait_ms))
                sent |= 1u << port;
        }
    }
    multi_expected = sent;
    multi_sent = 1;
    multi_sent_time = G_timeTicks.load();
}

u16 fpga_manage::get_port_card_num(unsigned char port) {
    if (port >= sizeof kCardCountAt / sizeof kCardCountAt[0])
        return 0;
    std::lock_guard<std::mutex> lock(area_mutex);
    return std::min(get_u16(ram_para_image[0] + kCardCountAt[port]), kMaxCards);
}

u16 fpga_manage::check_netport_card(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return 0;
    std::lock_guard<std::mutex> lock(area_mutex);
    u16 sum = 0;
    for (u16 offset : kCardCountAt)
        sum = static_cast<u16>(sum + get_u16(ram_para_image[fpga] + offset));
    return sum;
}

int fpga_manage::send_setup_packet(const unsigned char* packet, unsigned short len,
                                   unsigned char port, unsigned char fpga) {
    g_send_para.card_back = 0;
    if (packet && len >= Cmd::kMinSize) {
        u16 card = get_u16(packet + Cmd::kDestination) & Cmd::kCardMask;
        if (card >= Cmd::kSearchAddress)
            card = Cmd::kAllCards;
        card_reply_expected =
            static_cast<u32>(port + 1) << 24 | static_cast<u32>(packet[Cmd::kOpcode]) << 16 | card;
    }
    return Send_to_port(packet, len, port, fpga);
}

int fpga_manage::check_multi_port_send(unsigned int, unsigned char*) {
    return 0;
}
