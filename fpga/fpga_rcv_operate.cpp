// One operation of a scan-parameter file or recovery package, carried out on the receiving
// cards: the load and recovery jobs call load_rcv_xy_operate once per pass until the
// operation is over. Its load step (g_send_para byte 28) walks: 20 start, 21 the cards of
// the net, 22 the operation's type, 23..30 build and send a packet, 31 wait for the card's
// answer (retrying up to three times), 32 over.
//
// The record (type, data length and offset, target address, time) comes from the reader.
// RAM writes go out in pieces of 1000 bytes (data length / 1000 + 1 packets, the last one
// holding the rest); firmware activation and reconfiguration go card by card when all the
// net's cards are addressed, the other packets once to all of them (0x0FFF).
//
// What the files say is checked before a packet is built: the data must lie in the file,
// fit one packet, and the packet count fit its byte. An operation that fails these, or a
// net this device does not drive, ends the job with an error rather than sending a packet
// made of whatever lay there. Types the device does not carry out (4, upgrade, and any
// unlisted one) are skipped.
#include <cstdio>

#include "core/global.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "fpga/rcv_recovery_file.h"
#include "fpga/send_para.h"

namespace {

using Cmd = RCV_CARD_CMD;

enum : u8 {
    kLoadStart = 20,
    kLoadCards = 21,
    kLoadType = 22,
    kSendRam = 23,
    kSendRegister = 24,
    kSendFirmware = 25,
    kSendSave = 26,
    kSendReconfig = 27,
    kSleep = 28,
    kSendSearch = 29,
    kSendUser = 30,
    kWaitAnswer = 31,
    kLoadDone = 32,
};

constexpr u32 kChunk = 1000;
constexpr u8 kRetries = 3;
constexpr u32 kSaveMsPerCard = 1000;
constexpr u32 kMsPerTick = 10;
constexpr u8 kMaxPackets = 255;
// Nets 0..5 are the ports of FPGA 0; the others belong to FPGA 1, which is not driven.
constexpr u16 kDrivenNets = 6;
// Bytes around the data of each packet: header, address fields of a RAM write, check.
constexpr unsigned kRamFrame = 19;
constexpr unsigned kOpcodeFrame = 11;
constexpr unsigned kUserFrame = 10;

SEND_PARA& job() {
    return g_send_para;
}

void set_load_step(u8 step) {
    job().load_step = step;
}

void trace(const char* text) {
    if (debugOn())
        std::printf("%s", text);
}

// The load step that sends the operation's packets; kLoadDone for one that sends none.
u8 send_step(const RCV_OPERATE_PARA& op) {
    switch (op.type) {
        case RCV_OPERATE_WRITE:
            if (op.target == RCV_TARGET_RAM)
                return kSendRam;
            return op.target == RCV_TARGET_REGISTER ? kSendRegister : kLoadDone;
        case RCV_OPERATE_RAM2FLASH:
            return kSendSave;
        case RCV_OPERATE_ACTIVE_FIRMWARE:
            return kSendFirmware;
        case RCV_OPERATE_RECONFIG:
            return kSendReconfig;
        case RCV_OPERATE_SEARCH_RXC:
            return kSendSearch;
        case RCV_OPERATE_USER_REDEFINED:
            return kSendUser;
        default:
            return kLoadDone;
    }
}

bool card_by_card(const RCV_OPERATE_PARA& op) {
    return op.type == RCV_OPERATE_ACTIVE_FIRMWARE || op.type == RCV_OPERATE_RECONFIG;
}

// Reads n bytes of the operation's data, from `skip` bytes into it, when they lie in the
// file.
bool read_data(rcvRecovery& r, const QString& file, u32 base, u64 skip, u8* out, unsigned n) {
    const u64 at = u64{base} + r.operate_para.offset + skip;
    if (at > 0xFFFFFFFFull || n > 0xFFFF)
        return false;
    return r.update_rcvOperatedata(file, static_cast<u32>(at), out, static_cast<u16>(n)) == 0;
}

}  // namespace

int fpga_manage::load_rcv_xy_operate(QString file, unsigned int data_offset, bool all) {
    rcvRecovery* reader = p_rcvRecovery;
    if (!reader)
        return kOperateFailed;
    rcvRecovery& r = *reader;
    RCV_OPERATE_PARA& op = r.operate_para;
    if (r.net_para.net_ledx >= kDrivenNets) {
        if (debugOn())
            std::printf("\n net %u is not driven by this device\n", r.net_para.net_ledx);
        return kOperateFailed;
    }
    const u8 port = static_cast<u8>(r.net_para.net_ledx);
    u8 data[Cmd::kMaxSize];
    u8 packet[Cmd::kMaxSize];
    u16 len = 0;

    // Builds nothing when the data are not there or do not fit: the operation fails.
    const auto send = [&](u16 n) {
        if (n == 0)
            return kOperateFailed;
        if (job().retry_count == 0)
            job().packets_sent = static_cast<u8>(job().packets_sent + 1);
        send_setup_packet(packet, n, port, 0);
        set_load_step(kWaitAnswer);
        job().send_ticks = G_timeTicks.load();
        return kOperateRunning;
    };
    const auto whole_data = [&](unsigned frame, const char* error) {
        const bool ok = u64{op.dataLen} + frame <= Cmd::kMaxSize &&
                        read_data(r, file, data_offset, 0, data, op.dataLen);
        if (!ok && debugOn())
            std::printf(error, op.dataLen);
        return ok;
    };
    const u16 card = job().card_index;

    switch (job().load_step.load()) {
        case kLoadStart:
            job().retry_count = 0;
            set_load_step(kLoadCards);
            return kOperateRunning;
        case kLoadCards: {
            const u16 count = get_port_card_num(port);
            job().card_num = count;
            job().card_index = all ? (count ? count - 1 : 0) : job().load_card.load();
            set_load_step(kLoadType);
            return kOperateRunning;
        }
        case kLoadType:
            return start_operation(op);
        case kSendRam: {
            const unsigned sent = job().packets_sent;
            const unsigned next = job().retry_count == 0 ? sent + 1 : sent;
            const u32 chunk = next == job().packet_count ? op.dataLen % kChunk : kChunk;
            const u64 skip = u64{kChunk} * (next - 1u);
            if (!read_data(r, file, data_offset, skip, data, chunk))
                return kOperateFailed;
            len = load_write_ram_cmd_create(port, card, static_cast<u32>(op.targetAddr + skip),
                                            data, static_cast<u16>(chunk), packet, all);
            if (debugOn()) {
                std::printf("\n ram create in length = %u ,offset = %#llx, send_len=%d\n", chunk,
                            static_cast<unsigned long long>(u64{data_offset} + op.offset + skip),
                            len);
                for (u16 i = 0; i < len; ++i)
                    std::printf(" 0x%02x ", packet[i]);
            }
            return send(len);
        }
        case kSendRegister:
            if (!whole_data(kOpcodeFrame, "\n register data error length = %u\n"))
                return kOperateFailed;
            return send(load_write_reg_cmd_create(port, card, data, static_cast<u16>(op.dataLen),
                                                  packet, all));
        case kSendFirmware:
            if (!whole_data(kOpcodeFrame, "\n firmware data error length = %u\n"))
                return kOperateFailed;
            return send(rcv_active_firmware_cmd_create(port, card, data,
                                                       static_cast<u16>(op.dataLen), packet));
        case kSendSave:
            return send(save_para2flash_cmd_create(port, card, packet, all));
        case kSendReconfig:
            if (!whole_data(kOpcodeFrame, "\n reconfig error length = %u\n"))
                return kOperateFailed;
            return send(
                rcv_reconfig_cmd_create(port, card, data, static_cast<u16>(op.dataLen), packet));
        case kSleep:
            if (Utils::getTimeSpace(job().send_ticks) >= op.timeticks / kMsPerTick)
                set_load_step(kLoadDone);
            return kOperateRunning;
        case kSendSearch:
            if (!whole_data(kOpcodeFrame, "\n serach rxc error %u"))
                return kOperateFailed;
            return send(
                load_search_rxc_cmd_create(port, data, static_cast<u16>(op.dataLen), packet));
        case kSendUser:
            if (!whole_data(kUserFrame, "\n user defined data error length = %u\n"))
                return kOperateFailed;
            return send(load_write_user_defined_cmd_create(
                port, card, data, static_cast<u16>(op.dataLen), packet, all));
        case kWaitAnswer:
            operation_wait(op, all);
            return kOperateRunning;
        case kLoadDone:
            return kOperateDone;
        default:
            return kOperateRunning;
    }
}

int fpga_manage::start_operation(RCV_OPERATE_PARA& op) {
    job().packets_sent = 0;
    job().packet_count = 1;
    switch (op.type) {
        case RCV_OPERATE_WRITE:
            if (op.target == RCV_TARGET_RAM) {
                // The count must fit its byte, and every piece the RAM write packet.
                const u32 packets = op.dataLen / kChunk + 1;
                if (packets > kMaxPackets)
                    return kOperateFailed;
                job().packet_count = static_cast<u8>(packets);
                if (debugOn())
                    std::printf("\n send load scan write step : write ram!!1!!!,packet=%u \n",
                                packets);
            } else if (op.target == RCV_TARGET_REGISTER) {
                trace("\n send load scan write step : write register!!1!!!,packet=1 \n");
            } else {
                trace("\n send load scan write step : error!!1!!!,packet=1 \n");
            }
            break;
        case RCV_OPERATE_RAM2FLASH:
            op.timeticks += kSaveMsPerCard * job().card_num;
            break;
        case RCV_OPERATE_SLEEP:
            job().send_ticks = G_timeTicks.load();
            set_load_step(kSleep);
            return kOperateRunning;
        default:
            break;
    }
    const u8 next = send_step(op);
    if (next == kLoadDone && op.type != RCV_OPERATE_WRITE && debugOn())
        std::printf("\n operation type %u is not carried out: skipped\n", op.type);
    set_load_step(next);
    static_assert(kChunk + kRamFrame <= Cmd::kMaxSize, "a RAM piece fits one packet");
    return kOperateRunning;
}

void fpga_manage::operation_wait(const RCV_OPERATE_PARA& op, bool all) {
    const u8 again = send_step(op);
    if (g_send_para.card_back == 1) {
        job().card_back = 0;
        job().retry_count = 0;
        trace("\n rcv message back!!! ");
        if (card_by_card(op)) {
            const u16 card = job().card_index;
            if (all && card != 0)
                job().card_index = static_cast<u16>(card - 1);
            set_load_step(all && card != 0 ? again : u8{kLoadDone});
        } else {
            set_load_step(job().packets_sent < job().packet_count ? again : u8{kLoadDone});
        }
        return;
    }
    if (Utils::getTimeSpace(job().send_ticks) <= op.timeticks / kMsPerTick)
        return;
    trace("\n timeout!!! ");
    // An answer that comes after this is not the operation's any more.
    card_reply_expected = 0;
    const u8 retry = static_cast<u8>(job().retry_count + 1);
    if (card_by_card(op) && all && job().card_index != 0) {
        // After three tries the next card.
        if (retry >= kRetries) {
            job().retry_count = 0;
            job().card_index = static_cast<u16>(job().card_index - 1);
        } else {
            job().retry_count = retry;
        }
        set_load_step(again);
    } else if (op.type == RCV_OPERATE_SEARCH_RXC || again == kLoadDone) {
        set_load_step(kLoadDone);
    } else if (retry < kRetries) {
        job().retry_count = retry;
        set_load_step(again);
    } else if (!card_by_card(op) && job().packets_sent < job().packet_count) {
        // The piece is given up; the next one goes.
        job().retry_count = 0;
        set_load_step(again);
    } else {
        set_load_step(kLoadDone);
    }
}
