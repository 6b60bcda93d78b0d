// The FPGA's service line and the receiving cards' answers.
//
// An FPGA collects each answer frame in the receive buffer of its port pair and raises its
// service line. The service reads the frame, checks it and decides what it is: an answer
// to the device's card search (taken first, fpga_card_search.cpp), the acknowledgement a
// running job waits for, a register or RAM answer of the multifunction card, or an answer
// that goes back to the PC. A frame whose check byte is wrong, or that is too short for
// the fields it must hold, is dropped and counted: a corrupted answer must not pass for a
// card's reply.
#include <algorithm>
#include <cstring>
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

constexpr u8 kEvent = 0x40;  // register 22 bit 6
constexpr u8 kEventBits = 0x60;
constexpr u8 kReceived = 0x20;  // register 22 bit 5
constexpr u8 kBroadcastSelector = 0xFF;
// A PC broadcast's answers are counted per port of both FPGAs.
constexpr u8 kPortsPerFpgaMask = 16;
// Answers for the device itself.
constexpr u16 kDeviceLast = 0xF00F;
// The multifunction card's answer from its opcode to byte 138.
constexpr unsigned kCardAnswerFirst = Cmd::kOpcode;
constexpr unsigned kCardAnswerBytes = 130;
// The card count of a search answer: u16 at 11, status byte at 13.
constexpr unsigned kCountEnd = 14;

u32 now() {
    return G_timeTicks;
}

}  // namespace

namespace card_rx {

void refresh_status(fpga_manage& m, u8 fpga) {
    for (u8 reg : {kStatusLow, kLengthHigh, kStatusHigh, kLengthHigh2})
        m.read_from_register(reg, fpga);
}

bool full(u8 fpga, const Buffer& b) {
    return fpga_manage::MCU_REG_func[fpga][kStatusLow].load() & b.status;
}

unsigned read_frame(fpga_manage& m, u8 fpga, const Buffer& b, u8* frame) {
    m.read_from_register(b.length_low, fpga);
    const std::atomic<u8>* shadow = fpga_manage::MCU_REG_func[fpga];
    // Ten bits of length name at most the last byte of the frame buffer; what the FPGA says
    // is never read past it.
    const unsigned last = std::min<unsigned>(
        shadow[b.length_low].load() | ((shadow[kLengthHigh].load() << b.high_shift) & 0x300u),
        kFrameMax - 1);
    if (!m.read_fpga_ram(frame, 0, last + 1, b.block, fpga))
        std::memset(frame, 0, last + 1);
    std::lock_guard<std::mutex> lock(m.area_mutex);
    std::memcpy(fpga_manage::MCU_RAM_RX_func[fpga], frame, last + 1);
    return last;
}

void release(fpga_manage& m, u8 fpga, const Buffer& b) {
    m.write_to_register(kRelease, b.release, b.release, fpga);
    m.write_to_register(kReleaseDone, b.release, 0, fpga);
}

u8 answer_port(const u8* frame, u8 group, u8 fpga) {
    const u8 selector = frame[Cmd::kPortSelector];
    if (selector == 0)
        return static_cast<u8>(4 * group + ((get_u16(frame + Cmd::kSource) >> 12) & 3));
    const unsigned offset = 6u * fpga;
    return static_cast<u8>(selector > offset ? selector - 1 - offset : selector - 1);
}

bool valid(const u8* frame, unsigned last) {
    return Utils::BCC(frame, last) == frame[last];
}

}  // namespace card_rx

void fpga_manage::reg_IRQ_Dealwith(unsigned char fpga, unsigned char force) {
    if (fpga >= kFpgaCount)
        return;
    const u8 state = fpga_ready_state(fpga);
    if (state != 2 && state != kReady)
        return;
    const bool pending =
        force == 1 || (gpio_mapped() && (board::mmio_read16(fpga_irq_gpio[fpga]) & 1));
    if (!pending) {
        g_change[36 + fpga] = 0;
        if (pc_cmd_valid != 1 || multi_sent != 1)
            return;
        // A PC broadcast is out: look at the receive flags once more a tick later, in case
        // an answer came without the service line.
        if (g_change[42 + fpga] == 0) {
            g_change[42 + fpga] = 1;
            g_change[40 + fpga] = now();
        } else if (g_change[42 + fpga] == 1 && Utils::getTimeSpace(g_change[40 + fpga]) > 1) {
            check_fpga_net_data_status(fpga);
            g_change[42 + fpga] = 0;
        }
        return;
    }
    g_change[42 + fpga] = 0;
    g_change[36 + fpga] = 0;
    write_to_register(kRegStatus, kReceived, 0x00, fpga);
    read_from_register(kRegStatus, fpga);
    if (reg_shadow[fpga][kRegStatus].load() & kEvent) {
        write_to_register(kRegStatus, kEventBits, 0x00, fpga);
        read_from_register(kRegImageYear, fpga);
        const u8 year = reg_shadow[fpga][kRegImageYear].load();
        if (year < kImageYearMin || year > kImageYearMax) {
            // The FPGA lost its image: bring it up again.
            set_fpga_ready_state(fpga, 0);
            g_change[38 + fpga] = now();
        }
    }
    read_from_register(card_rx::kStatusLow, fpga);
    read_from_register(card_rx::kStatusHigh, fpga);
    if ((reg_shadow[fpga][card_rx::kStatusLow].load() |
         reg_shadow[fpga][card_rx::kStatusHigh].load()) &
        card_rx::kReceiveFlags)
        Rcv_data_from_eth(fpga);
    update_eth_state(fpga);
}

void fpga_manage::check_fpga_net_data_status(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    read_from_register(card_rx::kStatusLow, fpga);
    read_from_register(card_rx::kStatusHigh, fpga);
    if ((reg_shadow[fpga][card_rx::kStatusLow].load() |
         reg_shadow[fpga][card_rx::kStatusHigh].load()) &
        card_rx::kReceiveFlags)
        g_change[36 + fpga] = 1;
}

void fpga_manage::Rcv_data_from_eth(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    deal_with_search_concurrent(fpga);
    card_rx::refresh_status(*this, fpga);
    const card_rx::Buffer* buffer = nullptr;
    for (const card_rx::Buffer& b : card_rx::kBuffers) {
        if (card_rx::full(fpga, b)) {
            buffer = &b;
            break;
        }
    }
    if (!buffer)
        return;
    u8 frame[card_rx::kFrameMax];
    const unsigned last = card_rx::read_frame(*this, fpga, *buffer, frame);
    if (card_rx::is_search_answer(frame, last)) {
        // An answer to the device's own search: the search takes it, good or bad.
        deal_with_search_concurrent(fpga);
        return;
    }
    card_rx::release(*this, fpga, *buffer);
    if (last + 1 < Cmd::kMinSize) {
        ++rcv_short_frames;
        return;
    }
    if (!card_rx::valid(frame, last)) {
        ++rcv_check_errors;
        return;
    }
    classify_card_answer(frame, last, buffer->group, fpga);
}

void fpga_manage::classify_card_answer(u8* frame, unsigned last, u8 group, u8 fpga) {
    const u16 destination = get_u16(frame + Cmd::kDestination);
    const u16 source = get_u16(frame + Cmd::kSource);
    const u8 opcode = frame[Cmd::kOpcode];
    const u8 kind = frame[Cmd::kKind];
    const u8 port_bits = static_cast<u8>((source >> 12) & 3);

    const bool broadcast_answer = frame[Cmd::kPortSelector] == kBroadcastSelector ||
                                  (multi_active && destination == Cmd::kPc);
    // A search the PC sends to every port (to 0x0FFE) is answered per port like any other
    // broadcast: it too must be counted, or its answer would never go back.
    if (broadcast_answer) {
        if (kind != multi_tag)
            return;
        multi_answer_mask |= 1u << (4 * group + port_bits + kPortsPerFpgaMask * fpga);
    }
    if (opcode == RCV_CARD_SEARCH && destination == Cmd::kPc && frame[Cmd::kStatus] == 0 &&
        last >= kCountEnd)
        update_eth_rcv_num(frame, card_rx::answer_port(frame, group, fpga), fpga);

    if (destination >= Cmd::kDevice && destination <= kDeviceLast && source < Cmd::kDevice) {
        if (kind == Cmd::kSetupKind) {
            card_replied(frame, group, fpga);
            return;
        }
        if (kind == Cmd::kBrightnessKind)
            return;
    }
    // Only kind 0xAA makes a search answer; the device asked for no other.
    if (opcode == RCV_CARD_SEARCH && destination == Cmd::kDevice)
        return;
    if ((opcode == RCV_CARD_READ_RAM || opcode == RCV_CARD_WRITE_REG) &&
        destination == Cmd::kDevice) {
        const unsigned n = std::min(last - kCardAnswerFirst, kCardAnswerBytes);
        std::memset(card_answer, 0, sizeof card_answer);
        std::memcpy(card_answer, frame + kCardAnswerFirst, n);
        card_answer_ready.store(1, std::memory_order_release);
        return;
    }
    forward_to_pc(frame, last, group, fpga);
}

void fpga_manage::card_replied(const u8* frame, u8 group, u8 fpga) {
    u32 expected = card_reply_expected.load();
    if (expected == 0)
        return;
    const u8 port = card_rx::answer_port(frame, group, fpga);
    const u16 card = get_u16(frame + Cmd::kSource) & Cmd::kCardMask;
    const u16 expected_card = expected & Cmd::kCardMask;
    // Only the answer to the packet just sent counts: a late or repeated acknowledgement
    // of an earlier packet must not be taken for the next card's.
    if ((expected >> 24) != port + 1u || ((expected >> 16) & 0xFF) != frame[Cmd::kOpcode])
        return;
    if (expected_card != Cmd::kAllCards && expected_card != card)
        return;
    if (card_reply_expected.compare_exchange_strong(expected, 0))
        g_send_para.card_back = 1;
}
