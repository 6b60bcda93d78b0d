// The power control of the LED screen through the multifunction card on an output port.
//
// The card switches the screen's power in eight outputs (two bits each in its registers
// 2 and 3: 3 on, 1 off). While FPGA 0 runs and only window 0 is on, a signal that comes to
// window 0's source (or a schedule action) switches the outputs on one by one, at least
// 51 ticks apart so that the supplies do not all draw their inrush at once; once the
// signal has been gone for 10 s while the card says its power is on (its RAM 0 byte 44),
// they are switched off the same way. Every 10 s the card's RAM 0 is read for its power
// state.
//
// The card answers in the receive buffer of its port pair. Its answer is taken from that
// buffer here (the receive path's copy of an answer is too short for RAM 0), under
// passby_mutex like every receive, and anything else in the buffer is left to the
// receive path.
#include <cstring>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"

namespace {

using Cmd = RCV_CARD_CMD;

// g_change words of the power control (27..31 are shared with the light sensor's read).
enum : unsigned {
    kWordBadReply = 6,
    kWordPower = 21,        // the card's power state, 1 on
    kWordSignalStamp = 22,  // last look at window 0's signal
    kWordTaskStamp = 23,    // last read of the card's power state
    kWordSwitchStamp = 24,  // last output switched
    kWordSignalSeen = 25,   // last tick the signal was there
    kWordGroup = 27,        // port group of the card, 1..4
    kWordAddress = 28,      // the card's address, 0 none
    kWordFresh = 29,        // a RAM 0 copy came
    kWordOpcode = 30,       // the answer awaited
    kWordReply = 31,        // 0 waiting, 1 good, 2 wrong
};

constexpr u32 kSignalTicks = 100;
constexpr u32 kTaskTicks = 1000;
constexpr u32 kSignalLostTicks = 1000;
constexpr u32 kSwitchTicks = 51;
// The answer comes within 35 ticks. The wait also counts its looks, so that it ends while
// the tick stands still.
constexpr u32 kReplyTicks = 35;
constexpr unsigned kReplyPollUs = 1000;
constexpr unsigned kReplyPolls = kReplyTicks * 10;

// The card's address: 0x4000 with the port bits at 12..13.
constexpr u32 kAddressBase = 0x4000;
constexpr u32 kAddressStep = 0x1000;
// Multifunction-card byte of each output port in FPGA 0's parameter RAM.
constexpr u16 kCardAt[16] = {104, 106, 112, 114, 562, 566, 570, 574,
                             642, 646, 650, 654, 658, 662, 666, 670};

constexpr u8 kOpReadRam = 0x61;
constexpr u8 kOpWriteReg = 0xA0;
// Read of the card's RAM 0: 256 bytes from address 0 (bytes 0..1 and the check byte are
// set per send).
constexpr u8 kRam0Read[19] = {0xFE, 0x0F, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
constexpr unsigned kRam0DataAt = 11;
constexpr unsigned kPowerAt = 44;
constexpr u8 kPowerOn = 1;
// The register command: header as the read's, opcode 0xA0, register, mask, 0, value.
constexpr unsigned kRegCmdSize = 15;
constexpr u8 kRegFirstOutputs = 2;  // outputs 1..4; register 3 outputs 5..8
constexpr u8 kFieldOn = 3;
constexpr u8 kFieldOff = 1;
// The receive path keeps an answer from its opcode on: opcode, status, data.
constexpr unsigned kCopyData = 2;

// The receive buffer of each port pair as the power control reads it: status register
// and bit, the length's high register (shifted left, two bits kept at 8..9) and low
// register, the RAM block, and the give-back registers and bit.
struct ReplyBuffer {
    u8 status_reg;
    u8 status_bit;
    u8 length_high;
    u8 length_low;
    u8 shift;
    u8 block;
    u8 release_reg;
    u8 release_done_reg;
    u8 release_bit;
};
constexpr ReplyBuffer kReplyBuffers[8] = {
    {129, 0x01, 25, 24, 8, 2, 130, 131, 0x01},    {129, 0x04, 25, 133, 6, 4, 130, 131, 0x02},
    {129, 0x10, 25, 135, 4, 6, 130, 131, 0x04},   {129, 0x40, 25, 137, 2, 8, 130, 131, 0x08},
    {145, 0x01, 153, 149, 8, 10, 146, 147, 0x01}, {145, 0x04, 153, 150, 6, 12, 146, 147, 0x02},
    {145, 0x10, 153, 151, 4, 14, 146, 147, 0x04}, {145, 0x40, 153, 152, 2, 16, 146, 147, 0x08},
};
constexpr unsigned kFrameMax = 1024;

u32 now() {
    return G_timeTicks;
}

u8 reg_of(u8 fpga, u8 reg) {
    return fpga_manage::MCU_REG_func[fpga][reg].load();
}

// The card's answer for the device waiting in the receive buffer of its port pair: the
// index of its check byte, or -1 when the buffer holds nothing or something else (left to
// the receive path). A taken answer's buffer is given back at once.
int take_card_answer(fpga_manage& m, u8 port, u8 fpga, u16 card, u8* frame) {
    if (port >= 16 || fpga >= fpga_manage::kFpgaCount)
        return -1;
    const ReplyBuffer& b = kReplyBuffers[port / 2];
    m.read_from_register(b.status_reg, fpga);
    if (!(reg_of(fpga, b.status_reg) & b.status_bit))
        return -1;
    m.read_from_register(b.length_high, fpga);
    m.read_from_register(b.length_low, fpga);
    const unsigned last =
        ((reg_of(fpga, b.length_high) << b.shift) & 0x300u) | reg_of(fpga, b.length_low);
    if (last + 1 < Cmd::kMinSize || !m.read_fpga_ram(frame, 0, last + 1, b.block, fpga))
        return -1;
    if (get_u16(frame + Cmd::kDestination) != Cmd::kDevice || get_u16(frame + Cmd::kSource) != card)
        return -1;
    m.write_to_register(b.release_reg, b.release_bit, b.release_bit, fpga);
    m.write_to_register(b.release_done_reg, b.release_bit, 0, fpga);
    return static_cast<int>(last);
}

// The answer to the pending power-control request with its check byte verified: the index of
// the check byte, or -1 while none came or when the check byte is wrong (counted in the
// bad-reply register, and the wait told so).
int take_checked_answer(fpga_manage& m, u8* frame) {
    const int last = take_card_answer(m, m.vmf_port, m.vmf_fpga,
                                      static_cast<u16>(g_change[kWordAddress]), frame);
    if (last < 0 || Utils::BCC(frame, static_cast<unsigned>(last)) == frame[last])
        return last;
    const u8 bad = fpga_manage::MCU_REG_func[0][fpga_manage::kRegVmfBadReplies].load();
    m.write_to_register(fpga_manage::kRegVmfBadReplies, 0xFF, static_cast<u8>(bad + 1), 0);
    g_change[kWordBadReply] = 2;
    return -1;
}

// Windows 1..5 are off: the power follows window 0 alone.
bool only_window_0(const KrxRamPara& store) {
    for (int w = 1; w < para::window_count; ++w)
        if (store.ram_para.u16At(para::window_at(w) + para::win_enable) != 0)
            return false;
    return true;
}

// Window 0's source has a width, a height and a rate.
bool window_0_signal(KrxRamPara& store) {
    const int source = store.KrxGetImageSource(store.ram_para.data(), 0, nullptr, nullptr, 0);
    if (source < 0 || source >= 6)
        return false;
    const VideoSizePara size = store.input_size(source);
    return size.width && size.height && size.refresh;
}

}  // namespace

void fpga_manage::Power_ctrl_init() {
    power_request = 0;
    power_stop_request = 0;
    data_send_stopped = 0;
    power_signal = 0;
    power_index = 1;
    for (unsigned word = kWordPower; word <= kWordSignalSeen; ++word)
        g_change[word] = 0;
}

void fpga_manage::Power_ctrl_reset() {
    power_request = 1;
    // A switch-off under way is over: the outputs are switched on from the first.
    power_stop_request = 0;
    power_index = 1;
    for (unsigned word = kWordPower; word <= kWordSwitchStamp; ++word)
        g_change[word] = 0;
}

void fpga_manage::Power_ctrl_deal() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store || !get_fpga_status() || !only_window_0(*store))
        return;
    if (Utils::getTimeSpace(g_change[kWordSignalStamp]) > kSignalTicks) {
        g_change[kWordSignalStamp] = now();
        if (!window_0_signal(*store)) {
            power_signal = 0;
        } else {
            if (!power_signal) {
                power_signal = 1;
                Power_ctrl_reset();
            }
            g_change[kWordSignalSeen] = now();
        }
    }
    if (Utils::getTimeSpace(g_change[kWordTaskStamp]) > kTaskTicks) {
        g_change[kWordTaskStamp] = now();
        Power_ctrl_task();
    }
    // Without a card a request waits for one: a sequence run without it would be lost.
    if (vmf_port == kNoVmfPort)
        return;
    if (power_request) {
        eth_data_send_start();
        return;
    }
    if (!power_stop_request && !power_signal && !data_send_stopped && g_change[kWordPower] == 1 &&
        Utils::getTimeSpace(g_change[kWordSignalSeen]) > kSignalLostTicks) {
        power_stop_request = 1;
        power_index = 1;
    }
    if (power_stop_request)
        eth_data_send_stop();
}

void fpga_manage::Power_ctrl_task() {
    Power_check_VMF();
    Power_read_VMF_value();
    Power_ctrl_filter();
}

void fpga_manage::Power_check_VMF() {
    g_change[kWordAddress] = 0;
    g_change[kWordGroup] = 0;
    vmf_port = kNoVmfPort;
    vmf_fpga = 0;
    std::lock_guard<std::mutex> area(area_mutex);
    for (u8 port = 0; port < 16; ++port) {
        if (ram_para_image[0][kCardAt[port]] == 0)
            continue;
        g_change[kWordAddress] = kAddressBase + kAddressStep * (port % 4u);
        g_change[kWordGroup] = port / 4u + 1u;
        vmf_port = port;
        return;
    }
}

void fpga_manage::Power_read_VMF_value() {
    if (g_change[kWordAddress] && Send_read_VMF_RAM0_data_cmd())
        wait_VMF_result();
}

bool fpga_manage::Send_read_VMF_RAM0_data_cmd() {
    if (vmf_port == kNoVmfPort || !g_change[kWordAddress])
        return false;
    u8 frame[sizeof kRam0Read];
    std::memcpy(frame, kRam0Read, sizeof frame);
    put_u16(frame, static_cast<u16>(g_change[kWordAddress]));
    frame[sizeof frame - 1] = Utils::BCC(frame, sizeof frame - 1);
    // Armed before the request goes out: the answer may come at once.
    g_change[kWordReply] = 0;
    g_change[kWordFresh] = 0;
    g_change[kWordOpcode] = kOpReadRam;
    card_answer_ready = 0;
    return Send_to_port(frame, sizeof frame, vmf_port, vmf_fpga) == 1;
}

bool fpga_manage::Send_write_VMF_reg_cmd(unsigned char option, unsigned char index) {
    if (index < 1 || index > kVmfOutputs || option > kVmfSwitchOff || vmf_port == kNoVmfPort ||
        !g_change[kWordAddress])
        return false;
    const unsigned k = (index - 1u) % 4u;
    const u8 field = option == kVmfSwitchOff ? kFieldOff : kFieldOn;
    u8 frame[kRegCmdSize];
    std::memcpy(frame, kRam0Read, Cmd::kOpcode);
    put_u16(frame, static_cast<u16>(g_change[kWordAddress]));
    frame[Cmd::kOpcode] = kOpWriteReg;
    frame[10] = index <= 4 ? kRegFirstOutputs : kRegFirstOutputs + 1;
    frame[11] = static_cast<u8>(3u << (2 * k));
    frame[12] = 0;
    frame[13] = static_cast<u8>(field << (2 * k));
    frame[kRegCmdSize - 1] = Utils::BCC(frame, kRegCmdSize - 1);
    g_change[kWordReply] = 0;
    g_change[kWordOpcode] = kOpWriteReg;
    card_answer_ready = 0;
    return Send_to_port(frame, sizeof frame, vmf_port, vmf_fpga) == 1;
}

u32 fpga_manage::wait_VMF_result() {
    const u32 stamp = now();
    for (unsigned polls = 0;; ++polls) {
        Power_VMF_run();
        if (g_change[kWordReply] != 0)
            return g_change[kWordReply];
        if (Utils::getTimeSpace(stamp) > kReplyTicks || polls >= kReplyPolls)
            return 0;
        board::usleep(kReplyPollUs);
    }
}

void fpga_manage::Power_VMF_run() {
    pthread_mutex_lock(&passby_mutex);
    if (g_change[kWordOpcode] == kOpReadRam)
        VMF_RAM0_data_back_result();
    else
        VMF_reg_back_result();
    reg_IRQ_Dealwith(0, 0);
    reg_IRQ_Dealwith(1, 0);
    // The receive path took the answer (it came between the two looks, or a transport's
    // receive was first): its copy holds the opcode, the status and RAM 0 bytes 0..127,
    // the power byte among them.
    if (g_change[kWordReply] == 0 && card_answer_ready.load(std::memory_order_acquire) &&
        card_answer[0] == g_change[kWordOpcode]) {
        card_answer_ready = 0;
        if (card_answer[1] != 0) {
            g_change[kWordReply] = 2;
        } else {
            if (card_answer[0] == kOpReadRam) {
                std::memcpy(vmf_ram0, card_answer + kCopyData, sizeof card_answer - kCopyData);
                g_change[kWordFresh] = 1;
            }
            g_change[kWordReply] = 1;
        }
    }
    pthread_mutex_unlock(&passby_mutex);
}

void fpga_manage::VMF_RAM0_data_back_result() {
    u8 frame[kFrameMax];
    const int last = take_checked_answer(*this, frame);
    if (last < 0)
        return;
    if (frame[Cmd::kOpcode] != g_change[kWordOpcode] || frame[Cmd::kStatus] != 0 ||
        static_cast<unsigned>(last) < kRam0DataAt + sizeof vmf_ram0) {
        g_change[kWordReply] = 2;
        return;
    }
    std::memcpy(vmf_ram0, frame + kRam0DataAt, sizeof vmf_ram0);
    g_change[kWordFresh] = 1;
    g_change[kWordReply] = 1;
}

void fpga_manage::VMF_reg_back_result() {
    u8 frame[kFrameMax];
    const int last = take_checked_answer(*this, frame);
    if (last < 0)
        return;
    const bool good = frame[Cmd::kOpcode] == g_change[kWordOpcode] && frame[Cmd::kStatus] == 0;
    g_change[kWordReply] = good ? 1 : 2;
}

void fpga_manage::Power_ctrl_filter() {
    if (!g_change[kWordFresh])
        return;
    const u8 on = vmf_ram0[kPowerAt] == kPowerOn ? 1 : 0;
    g_change[kWordPower] = on;
    write_to_register(kRegVmfPower, 0xFF, on, 0);
    g_change[kWordFresh] = 0;
}

// One step of a switching sequence: the next output once kSwitchTicks have passed since
// the last one. True when all eight are done (the index is back at the first output).
bool fpga_manage::switch_next_output(u8 option) {
    if (power_index > kVmfOutputs) {
        power_index = 1;
        return true;
    }
    if (Utils::getTimeSpace(g_change[kWordSwitchStamp]) < kSwitchTicks)
        return false;
    if (Send_write_VMF_reg_cmd(option, power_index))
        wait_VMF_result();
    g_change[kWordSwitchStamp] = now();
    ++power_index;
    return false;
}

void fpga_manage::eth_data_send_stop() {
    if (!switch_next_output(kVmfSwitchOff))
        return;
    data_send_stopped = 1;
    power_stop_request = 0;
}

void fpga_manage::eth_data_send_start() {
    if (!switch_next_output(kVmfSwitchOn))
        return;
    data_send_stopped = 0;
    power_request = 0;
}
