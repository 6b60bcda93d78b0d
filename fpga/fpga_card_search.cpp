// The periodic card search of the pass's default job, and the search answers that keep
// each port's card count in the FPGA parameter RAM, where the jobs and the PC read it.
//
// Every 80 ticks one search packet goes to one linked port of each port pair 0..5 (odd
// cycles prefer the odd port). Answers are counted as they come. Only odd cycles are
// evaluated, at the start of the next cycle: a searched port whose pair gave no valid
// answer loses its card count.
#include <cstring>
#include <mutex>

#include "core/global.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_card_buffers.h"
#include "fpga/fpga_manage.h"
#include "fpga/send_para.h"

namespace {

using Cmd = RCV_CARD_CMD;

// Card count (u16) and status byte of each port in the parameter RAM.
constexpr u16 kCountAt[16] = {100, 102, 108, 110, 560, 564, 568, 572,
                              640, 644, 648, 652, 656, 660, 664, 668};
constexpr u16 kStatusAt[16] = {104, 106, 112, 114, 562, 566, 570, 574,
                               642, 646, 650, 654, 658, 662, 666, 670};
constexpr u8 kPorts = 16;

constexpr u32 kSearchTicks = 80;
constexpr u32 kPcQuietTicks = 80;
constexpr u8 kSearchPairs = 3;
constexpr u8 kEvaluatedPairs = 8;
constexpr u32 kEvaluate = 0xC0000000;
constexpr u32 kEvenCycleKeep = 0xBFFF;
// g_change word 34 holds this from the soft initialisation on.
constexpr u32 kSearchEnabled = 15;
constexpr u8 kUnusable = 0x08;  // register 0 bit 3
constexpr u8 kReleaseDoneHigh = 147;

constexpr unsigned kSearchSize = 30;
constexpr u8 kSearchTemplate[kSearchSize] = {
    0xFE, 0x0F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// A search answer: u16 card count at 11, status byte at 13; the recovery query's
// configuration id at 18..21 and its result at 22.
constexpr unsigned kCountEnd = 14;
constexpr unsigned kConfigIdAt = 18;
constexpr unsigned kResultAt = 22;

u32 now() {
    return G_timeTicks;
}

}  // namespace

namespace card_rx {

bool is_search_answer(const u8* frame, unsigned last) {
    return last + 1 >= Cmd::kMinSize && get_u16(frame + Cmd::kDestination) == Cmd::kDevice &&
           frame[Cmd::kOpcode] == RCV_CARD_SEARCH && frame[Cmd::kKind] == Cmd::kSearchKind;
}

}  // namespace card_rx

int fpga_manage::deal_with_search_concurrent(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return 0;
    card_rx::refresh_status(*this, fpga);
    int taken = 0;
    for (u8 i = 0; i < sizeof card_rx::kBuffers / sizeof card_rx::kBuffers[0]; ++i) {
        const card_rx::Buffer& b = card_rx::kBuffers[i];
        if (!card_rx::full(fpga, b))
            continue;
        u8 frame[card_rx::kFrameMax];
        const unsigned last = card_rx::read_frame(*this, fpga, b, frame);
        if (!card_rx::is_search_answer(frame, last))
            continue;  // the receive path's
        if (last < kCountEnd) {
            ++rcv_short_frames;
        } else if (!card_rx::valid(frame, last)) {
            ++rcv_check_errors;
        } else {
            search_answer_mask |= 1u << (8 * fpga + i);
            if (frame[Cmd::kStatus] == 0)
                Search_concurrent_back_result(frame, b.group, fpga, last + 1);
            read_from_register(card_rx::kStatusLow, fpga);
            taken = 1;
        }
        card_rx::release(*this, fpga, b);
    }
    return taken;
}

void fpga_manage::Search_concurrent_back_result(unsigned char* frame, unsigned char group,
                                                unsigned char fpga, unsigned int length) {
    if (!frame || fpga >= kFpgaCount || length <= kCountEnd)
        return;
    if (frame[Cmd::kPortSelector] == 0)
        frame[Cmd::kPortSelector] =
            static_cast<u8>(4 * group + ((get_u16(frame + Cmd::kSource) >> 12) & 3) + 1);
    const unsigned port = frame[Cmd::kPortSelector] - 1u;
    if (port >= kPorts)
        return;
    // The recovery result belongs to the query that is waiting for it, from the port it
    // asked, about the screen it asked for.
    if (length > kResultAt + 1u && send_para_job() == SEND_PARA_JOB_RECOVERY_QUERY &&
        recovery_query_port == port + 16u * fpga &&
        recovery_query_id == get_u32(frame + kConfigIdAt))
        g_send_para.recovery_result = frame[kResultAt];
    store_card_count(frame, static_cast<u8>(port), fpga);
}

void fpga_manage::update_eth_rcv_num(const unsigned char* frame, unsigned char port,
                                     unsigned char fpga) {
    if (!frame || port >= kPorts || fpga >= kFpgaCount)
        return;
    store_card_count(frame, port, fpga);
}

void fpga_manage::store_card_count(const u8* frame, u8 port, u8 fpga) {
    const u16 first = kCountAt[port];
    const unsigned n = kStatusAt[port] - first + 1u;
    u8 bytes[5];
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        u8* image = ram_para_image[fpga];
        image[first] = frame[11];
        image[first + 1] = frame[12];
        image[kStatusAt[port]] = frame[13];
        std::memcpy(bytes, image + first, n);
    }
    write_fpga_ram(bytes, first, n, 1, fpga);
}

void fpga_manage::Search_Card_task_run() {
    pthread_mutex_lock(&passby_mutex);
    reg_IRQ_Dealwith(0, 0);
    pthread_mutex_unlock(&passby_mutex);
}

void fpga_manage::Check_search_card() {
    if (!pc_cmd_valid && get_fpga_status()) {
        check_vbo_status(0);
        Search_Card_Cmd();
        Extension_function();
        check_wlanonline_state();
        return;
    }
    if (Utils::getTimeSpace(pc_cmd_time) > kPcQuietTicks) {
        pc_cmd_valid = 0;
        search_sent_mask = 0;
    }
}

void fpga_manage::Search_Card_Cmd() {
    if (reg_shadow[0][kRegControl].load() & kUnusable) {
        g_change[2] = now();
        return;
    }
    auto links = [this] {
        return fpga_ready_state(0) == kReady
                   ? static_cast<u32>(reg_shadow[0][kRegLinksLow].load() |
                                      reg_shadow[0][kRegLinksHigh].load() << 8)
                   : 0u;
    };
    if (Utils::getTimeSpace(g_change[2]) < kSearchTicks) {
        if (g_change[1] != 1)
            return;
    } else {
        read_from_register(kRegLinksLow, 0);
        read_from_register(kRegLinksHigh, 0);
        if (fpga_ready_state(0) != kReady || g_change[34] != kSearchEnabled || links() == 0) {
            g_change[1] = 0;
            g_change[2] = now();
            return;
        }
        g_change[1] = 1;
        g_change[5] = 0;
    }
    const u32 linked = links();
    const u32 cycle = g_change[8];
    g_change[8] = cycle + 1;
    CHECK_search_cmd_status();
    const bool odd = cycle & 1;
    for (u8 pair = 0; pair < kSearchPairs; ++pair) {
        const u8 preferred = static_cast<u8>(odd ? 2 * pair + 1 : 2 * pair);
        const u8 other = static_cast<u8>(odd ? 2 * pair : 2 * pair + 1);
        u8 port;
        if (linked & (1u << preferred))
            port = preferred;
        else if (linked & (1u << other))
            port = other;
        else
            continue;
        write_to_register(card_rx::kReleaseDone, static_cast<u8>(1u << pair), 0, 0);
        check_error_rcv_search_card_cmd(port, 0, 0, 0, 0);
        search_sent_mask |= 1u << port;
        if (odd)
            search_answer_mask |= kEvaluate;
        else
            search_answer_mask &= kEvenCycleKeep;
    }
    g_change[1] = 0;
    g_change[2] = now();
}

void fpga_manage::CHECK_search_cmd_status() {
    const u32 answers = search_answer_mask.exchange(0);
    const u32 sent = search_sent_mask.exchange(0);
    if ((answers & kEvaluate) != kEvaluate)
        return;
    for (u8 pair = 0; pair < kEvaluatedPairs; ++pair) {
        if (answers & (1u << pair))
            continue;
        u8 port;
        if (sent & (1u << (2 * pair + 1)))
            port = static_cast<u8>(2 * pair + 1);
        else if (sent & (1u << (2 * pair)))
            port = static_cast<u8>(2 * pair);
        else
            continue;
        const u8 none[Cmd::kMinSize + 3] = {};
        store_card_count(none, port, 0);
    }
}

void fpga_manage::check_error_rcv_search_card_cmd(unsigned int port, unsigned char fpga,
                                                  unsigned int id, unsigned int extra,
                                                  unsigned char flag) {
    if (port >= kPorts || fpga >= kFpgaCount)
        return;
    u8 packet[kSearchSize];
    std::memcpy(packet, kSearchTemplate, sizeof packet);
    packet[1] = static_cast<u8>(0x0F | (port & 3) << 4);
    packet[Cmd::kPortSelector] = static_cast<u8>(port + 1);
    packet[16] = flag & 1;
    put_u32(packet + 17, id);
    put_u32(packet + 23, extra);
    write_to_register(port < 8 ? card_rx::kReleaseDone : kReleaseDoneHigh,
                      static_cast<u8>(1u << ((port % 8) / 2)), 0, fpga);
    packet[kSearchSize - 1] = Utils::BCC(packet, kSearchSize - 1);
    if (send_para_job() == SEND_PARA_JOB_RECOVERY_QUERY) {
        // A recovery query asks this port about this screen: no answer yet.
        g_send_para.recovery_result = 0xFFFF;
        recovery_query_id = id;
        recovery_query_port = static_cast<u8>(port + 16u * fpga);
    }
    Send_to_port(packet, kSearchSize, static_cast<u16>(port), fpga);
}
