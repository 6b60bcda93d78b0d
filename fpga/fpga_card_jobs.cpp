// The receiving-card jobs that the screens post in g_send_para: smart mapping (job 1:
// every card of a port gets its position on the screen), saving card parameters (job 3)
// and the mapping switch (job 4). Each pass runs one step; a job sends one packet, waits
// for the card's answer or its time-out, and reports its progress to the screen that
// posted it.
//
// While the PC talks to the cards a job stands still, its time-outs included, and goes
// on 80 ticks after the last PC command.
#include <cstdio>

#include "core/global.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "fpga/send_para.h"

namespace {

constexpr u32 kReplyTicks = 1200;
constexpr u32 kSaveTicksPerCard = 100;
constexpr u32 kEndTicks = 200;
constexpr u32 kAnimationTicks = 100;
constexpr u32 kPcQuietTicks = 80;
constexpr u32 kAnimationLast = 99;
constexpr u8 kJobPorts = 6;
constexpr int kPortShare = 7;  // the port jobs report port x 100 / 7
constexpr int kCardLoopDone = 90;
constexpr int kPortLoopDone = 95;
constexpr int kJobOver = 100;
constexpr u16 kPositionPacket = 23;
// The register packet that closes the smart mapping: value 1, register field 0xFFFF.
constexpr SCAN_PARA kMappingReset = {1, 0xFFFF};
constexpr unsigned kPacketMax = 32;

// Steps of the smart mapping.
enum : u8 {
    kMapStart = 0,
    kMapNextCard = 1,
    kMapSendCard = 2,
    kMapWaitCard = 3,
    kMapOver = 4,
    kMapSendReset = 5,
    kMapWaitReset = 6,
    kMapEnd = 9,
};
// Steps of the save and mapping jobs.
enum : u8 {
    kPortStart = 0,
    kPortNext = 1,
    kPortSend = 2,
    kPortWait = 3,
    kPortOver = 4,
    kPortEnd = 9,
};

// How a routing pattern walks the cabinet grid: the outer loop over rows (R) or columns
// (N), and per axis which loop index gives the position, in which direction, and against
// which count it is reversed. Alternating walks turn at every outer step: forward on odd
// outer indexes and reversed on even ones, or the other way round.
enum class Walk : u8 { Forward, Reverse, OddForward, OddReverse };
struct AxisRule {
    bool inner;  // the inner loop index (b), else the outer one (a)
    Walk walk;
    bool columns;  // reversed against N, else against R
};
struct Pattern {
    bool outer_columns;
    AxisRule x, y;
};
// x from the inner (b) or the outer (a) loop index, reversed against N; y against R.
constexpr AxisRule xb(Walk w) {
    return {true, w, true};
}
constexpr AxisRule xa(Walk w) {
    return {false, w, true};
}
constexpr AxisRule yb(Walk w) {
    return {true, w, false};
}
constexpr AxisRule ya(Walk w) {
    return {false, w, false};
}
constexpr bool kRows = false;
constexpr bool kColumns = true;
// Pattern 12 walks its columns like pattern 15, bottom to top against the row count: a
// column reversed against the column count would put cards off the grid whenever there are
// more rows than columns.
constexpr Pattern kPatterns[16] = {
    {kRows, xb(Walk::OddForward), ya(Walk::Reverse)},     // 1
    {kRows, xb(Walk::OddReverse), ya(Walk::Reverse)},     // 2
    {kRows, xb(Walk::OddForward), ya(Walk::Forward)},     // 3
    {kRows, xb(Walk::OddReverse), ya(Walk::Forward)},     // 4
    {kColumns, xa(Walk::Reverse), yb(Walk::OddForward)},  // 5
    {kColumns, xa(Walk::Reverse), yb(Walk::OddReverse)},  // 6
    {kColumns, xa(Walk::Forward), yb(Walk::OddReverse)},  // 7
    {kColumns, xa(Walk::Forward), yb(Walk::OddForward)},  // 8
    {kRows, xb(Walk::Reverse), ya(Walk::Reverse)},        // 9
    {kRows, xb(Walk::Forward), ya(Walk::Forward)},        // 10
    {kRows, xb(Walk::Forward), ya(Walk::Reverse)},        // 11
    {kColumns, xa(Walk::Forward), yb(Walk::Reverse)},     // 12
    {kColumns, xa(Walk::Reverse), yb(Walk::Reverse)},     // 13
    {kColumns, xa(Walk::Forward), yb(Walk::Forward)},     // 14
    {kColumns, xa(Walk::Forward), yb(Walk::Reverse)},     // 15
    {kColumns, xa(Walk::Reverse), yb(Walk::Forward)},     // 16
};

unsigned grid_index(const AxisRule& rule, unsigned a, unsigned b, unsigned rows, unsigned columns) {
    const unsigned index = rule.inner ? b : a;
    const unsigned last = (rule.columns ? columns : rows) - 1;
    switch (rule.walk) {
        case Walk::Forward:
            return index;
        case Walk::Reverse:
            return last - index;
        case Walk::OddForward:
            return a % 2 ? index : last - index;
        case Walk::OddReverse:
            return a % 2 ? last - index : index;
    }
    return index;
}

u32 now() {
    return G_timeTicks;
}

void trace(const char* text) {
    if (debugOn())
        std::printf("%s", text);
}

void progress(int value) {
    card_job_progress(CardJobScreen::SmartMapping, value);
}

void set_step(u8 step) {
    g_send_para.step = step;
}

// Each send restarts the answer time-out and the heartbeat.
void stamp_send() {
    g_send_para.send_ticks = now();
    g_change[46] = 0;
    g_change[2] = now();
}

int card_share(unsigned index, unsigned count) {
    return static_cast<int>(index * 100 / (count + 1));
}

}  // namespace

void fpga_manage::get_rcvcard_x_y(int index, unsigned short* x, unsigned short* y) {
    const u8 route = line_type.route_way;
    const unsigned rows = line_type.box_rows;
    const unsigned columns = line_type.box_columns;
    if (!x || !y || route == 0 || route > 16 || rows == 0 || columns == 0)
        return;
    if (index < 0 || static_cast<unsigned>(index) >= rows * columns)
        return;
    const Pattern& p = kPatterns[route - 1];
    const unsigned inner = p.outer_columns ? rows : columns;
    const unsigned a = static_cast<unsigned>(index) / inner;
    const unsigned b = static_cast<unsigned>(index) % inner;
    *x = static_cast<u16>(grid_index(p.x, a, b, rows, columns) * line_type.box_width);
    *y = static_cast<u16>(grid_index(p.y, a, b, rows, columns) * line_type.box_height);
}

bool fpga_manage::job_pc_pause() {
    if (!pc_cmd_valid)
        return false;
    if (Utils::getTimeSpace(pc_cmd_time) > kPcQuietTicks) {
        pc_cmd_valid = 0;
        search_sent_mask = 0;
    }
    g_change[2] = now();
    g_send_para.send_ticks = now();
    return true;
}

void fpga_manage::job_waiting_animation() {
    if (Utils::getTimeSpace(g_change[2]) <= kAnimationTicks)
        return;
    u32 beat = g_change[46] + 1;
    if (beat > kAnimationLast)
        beat = 1;
    g_change[46] = beat;
    g_change[2] = now();
    progress(static_cast<int>(beat));
}

bool fpga_manage::job_answer_or_timeout(u32 timeout_ticks) {
    if (g_send_para.card_back == 1) {
        g_send_para.card_back = 0;
        trace("\n rcv message back!!! ");
        return true;
    }
    if (Utils::getTimeSpace(g_send_para.send_ticks) > timeout_ticks) {
        // The card is given up: its answer, should it still come, is not this job's.
        card_reply_expected = 0;
        trace("\n timeout!!! ");
        return true;
    }
    return false;
}

void fpga_manage::smart_mapping_send_card() {
    const u8 port = g_send_para.net_port;
    u8 packet[kPositionPacket];
    rcv_card_cmd_create(packet, port);
    const bool sent = send_setup_packet(packet, kPositionPacket, port, 0);
    const u16 index = static_cast<u16>(g_send_para.card_index + 1);
    g_send_para.card_index = index;
    // A packet that could not be sent has no answer to wait for.
    set_step(sent ? kMapWaitCard : kMapNextCard);
    stamp_send();
    progress(card_share(index, g_send_para.card_num));
}

void fpga_manage::smart_mapping_send_reset() {
    const u8 port = g_send_para.net_port;
    u8 packet[kPacketMax];
    const u16 len = ram_reset_cmd_create(packet, &kMappingReset, port);
    const bool sent = send_setup_packet(packet, len, port, 0);
    const u16 index = g_send_para.card_index;
    progress(card_share(index, g_send_para.card_num));
    g_send_para.card_index = static_cast<u16>(index + 1);
    set_step(sent ? kMapWaitReset : kMapSendReset);
    stamp_send();
}

void fpga_manage::SmartMapping_deal() {
    if (job_pc_pause())
        return;
    switch (g_send_para.step) {
        case kMapStart:
            g_send_para.card_index = 0;
            g_send_para.net_port = line_type.net_port.load();
            set_step(kMapNextCard);
            trace("\n start send rcv card smartmapping!!! ");
            break;
        case kMapNextCard: {
            const u16 count = get_port_card_num(g_send_para.net_port);
            g_send_para.card_num = count;
            if (count == 0) {
                set_step(kMapOver);
            } else if (g_send_para.card_index >= count) {
                set_step(kMapSendReset);
                g_send_para.net_port = line_type.net_port.load();
                trace("\n no card to send rcv card smartmapping!!! write reg  ");
            } else {
                set_step(kMapSendCard);
                if (debugOn())
                    std::printf("\n send rcv card port : %d, index : %d!!! \n",
                                g_send_para.net_port.load(), g_send_para.card_index.load());
            }
            break;
        }
        case kMapSendCard:
            smart_mapping_send_card();
            break;
        case kMapWaitCard:
            if (job_answer_or_timeout(kReplyTicks))
                set_step(kMapNextCard);
            job_waiting_animation();
            break;
        case kMapOver:
            set_step(kMapEnd);
            progress(kCardLoopDone);
            g_send_para.send_ticks = now();
            trace("\n send rcv card smartmapping over!!! ");
            break;
        case kMapSendReset:
            if (g_send_para.card_index != g_send_para.card_num)
                set_step(kMapOver);
            else
                smart_mapping_send_reset();
            break;
        case kMapWaitReset:
            if (job_answer_or_timeout(kReplyTicks))
                set_step(kMapSendReset);
            job_waiting_animation();
            break;
        case kMapEnd:
            if (Utils::getTimeSpace(g_send_para.send_ticks) > kEndTicks) {
                progress(kJobOver);
                send_para_set_job_step(SEND_PARA_JOB_NONE, 0);
                trace("\n send rcv card smartmapping ending !!! ");
            }
            break;
        default:
            break;
    }
}

void fpga_manage::save_para_deal() {
    port_job_step(SEND_PARA_JOB_SAVE_PARA);
}

void fpga_manage::mapping_enable_deal() {
    port_job_step(SEND_PARA_JOB_MAPPING_ENABLE);
}

void fpga_manage::port_job_step(u8 job) {
    if (job_pc_pause())
        return;
    const bool save = job == SEND_PARA_JOB_SAVE_PARA;
    switch (g_send_para.step) {
        case kPortStart:
            g_send_para.net_port = 0;
            set_step(kPortNext);
            trace("\n start send save para!!! ");
            break;
        case kPortNext: {
            const u8 port = g_send_para.net_port;
            if (port >= kJobPorts) {
                set_step(kPortOver);
                break;
            }
            const u16 count = get_port_card_num(port);
            g_send_para.card_num = count;
            if (count == 0) {
                g_send_para.net_port = static_cast<u8>(port + 1);
                trace(save ? "\n no card to send save para!!! "
                           : "\n no card to send mapping enable para!!! ");
                break;
            }
            set_step(kPortSend);
            if (debugOn())
                std::printf(save ? "\n send rcv card port : %d,%d!!! \n"
                                 : "\n send rcv card port : %d,card_num =%d!!! \n",
                            port, count);
            break;
        }
        case kPortSend: {
            const u8 port = g_send_para.net_port;
            u8 packet[kPacketMax];
            const u16 len =
                save ? save_para_cmd_create(packet, port) : mapping_enable_cmd_create(port, packet);
            const bool sent = send_setup_packet(packet, len, port, 0);
            progress(port * 100 / kPortShare);
            g_send_para.net_port = static_cast<u8>(port + 1);
            set_step(sent ? kPortWait : kPortNext);
            stamp_send();
            break;
        }
        case kPortWait: {
            const u32 timeout =
                save ? kSaveTicksPerCard * g_send_para.card_num + kReplyTicks : kReplyTicks;
            if (job_answer_or_timeout(timeout))
                set_step(kPortNext);
            job_waiting_animation();
            break;
        }
        case kPortOver:
            set_step(kPortEnd);
            progress(kPortLoopDone);
            g_send_para.send_ticks = now();
            trace(save ? "\n send save para over!!! "
                       : "\n send mapping over!!! \n send mapping para over!!! ");
            break;
        case kPortEnd:
            if (Utils::getTimeSpace(g_send_para.send_ticks) > kEndTicks) {
                progress(kJobOver);
                send_para_set_job_step(SEND_PARA_JOB_NONE, 0);
            }
            break;
        default:
            break;
    }
}
