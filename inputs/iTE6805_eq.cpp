#include "inputs/iTE6805_eq.h"

#include <cstdio>
#include <cstring>

#include "core/global.h"
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

// Bank 0.
constexpr u8 REG_P0_EQ_INT = 0x07;  // 4 done, 5 SAR done, 6 timeout, 7 fail; bit 3 is not ours
constexpr u8 REG_P1_EQ_INT = 0x0C;
constexpr u8 EQ_INT_DONE = 0x10;
constexpr u8 EQ_INT_SAR_DONE = 0x20;
constexpr u8 EQ_INT_TIMEOUT = 0x40;
constexpr u8 EQ_INT_FAIL = 0x80;
constexpr u8 EQ_INT_KEEP = 0x08;
constexpr u8 REG_ERR_COUNTER_ENABLE = 0x3B;  // bit 3
constexpr u8 REG_AUDIO_ERRORS = 0xB9;
constexpr u8 REG_CHAR_ERRORS = 0xBE;
constexpr u8 kAllLinkGood = 0xBF;

// Bank 3: port 0's equaliser.
constexpr u8 B3_EQ_MODE0 = 0x20;
constexpr u8 B3_EQ_MODE1 = 0x21;
constexpr u8 B3_EQ_CTRL = 0x22;  // bit 2 engine run, bit 3 check, bit 6 DFE in use
constexpr u8 EQ_RUN = 0x04;
constexpr u8 EQ_CHECK = 0x08;
constexpr u8 EQ_DFE = 0x40;
constexpr u8 B3_EQ_CH0 = 0x27;  // + channel: bit 7 manual, bits 6..0 value
constexpr u8 EQ_MANUAL = 0x80;
constexpr u8 B3_SAR_CTRL0 = 0x2C;
constexpr u8 B3_SAR_CTRL1 = 0x2D;
constexpr u8 B3_RS_SELECT = 0x36;     // bits 3..0: the RS index the DFE read-out is for
constexpr u8 B3_CH_SELECT = 0x37;     // bits 7..6: the channel of the read-outs
constexpr u8 B3_DFE_CH0 = 0x4B;       // three bytes per channel; bit 7 of the first: DFE on
constexpr u8 B3_DFE_READOUT = 0x5D;   // a, b, c, d
constexpr u8 B3_RESULT_FLAGS = 0x63;  // 0x63/0x64
constexpr u8 B3_EQ_FAST = 0xA7;       // bit 6
constexpr u8 B3_EQ_RESULT = 0xD5;     // + channel
constexpr u8 B3_ERR_CTRL = 0xE9;      // bit 7 counting, bits 6..5 channel read
constexpr u8 B3_ERR_LOW = 0xEA;
constexpr u8 B3_ERR_HIGH = 0xEB;

constexpr u8 kChannelSelect[ite6805_eq::kChannels] = {0x00, 0x40, 0x80};
constexpr u8 kErrorSelect[ite6805_eq::kChannels] = {0x00, 0x20, 0x40};
constexpr u8 kWaitPasses = 31;
constexpr u8 kMaxInterval = 32;
constexpr u8 kPassLimit = 240;
constexpr u8 kRecheckLimit = 241;
constexpr u8 kValidFewErrors = 0x80;
constexpr unsigned kMeasureMs = 100;
constexpr u16 kNoResult = 0x3FFF;
constexpr u8 kAbsentRsIndex = 4;

// The SAR engine's set-up, around the port's reset pulse.
// clang-format off
constexpr iTE6805_INI_REG kSarPrepare[] = {
    {REG_BANK, BANK_MASK, 3},
    {B3_EQ_MODE0, 0xFF, 0x1B}, {B3_EQ_MODE1, 0xFF, 0x03}, {B3_EQ_MODE0, 0x80, 0x00},
    {B3_EQ_CTRL, 0xFF, 0x00},
    {REG_BANK, BANK_MASK, 0},
    {REG_P0_EQ_INT, 0xFF, 0xFF},
    {0xFF, 0xFF, 0xFF},
};
constexpr iTE6805_INI_REG kSarStart[] = {
    {REG_ERR_COUNTER_ENABLE, 0xFF, 0x23},
    {REG_BANK, BANK_MASK, 3},
    {0x26, 0xFF, 0x00}, {0x27, 0xFF, 0x1F}, {0x28, 0xFF, 0x1F}, {0x29, 0xFF, 0x1F},
    {B3_SAR_CTRL0, 0xC0, 0xC0}, {B3_SAR_CTRL1, 0xF7, 0x20},
    {0x30, 0xFF, 0x8C}, {0x31, 0xFF, 0xB0}, {0x32, 0xFF, 0x43}, {0x33, 0xFF, 0x47},
    {0x34, 0xFF, 0x4B}, {0x35, 0xFF, 0x53}, {B3_RS_SELECT, 0xC0, 0x00},
    {B3_CH_SELECT, 0xFF, 0x0B}, {0x38, 0xFF, 0xF2}, {0x39, 0xFF, 0x0D},
    {0x4A, 0x80, 0x00}, {B3_DFE_CH0, 0x80, 0x00}, {0x54, 0x80, 0x80}, {0x55, 0xFF, 0x40},
    {B3_EQ_CTRL, EQ_RUN, EQ_RUN},
    {REG_BANK, BANK_MASK, 0},
    {0xFF, 0xFF, 0xFF},
};
// The skew EQ's set-up once the values are written (bank 3 selected).
constexpr iTE6805_INI_REG kSkewStart[] = {
    {B3_SAR_CTRL1, 0xFF, 0x00}, {0x30, 0xFF, 0x94}, {0x31, 0xFF, 0xB0},
    {B3_CH_SELECT, 0x10, 0x10}, {0x54, 0x80, 0x00}, {B3_EQ_CTRL, EQ_RUN, EQ_RUN},
    {REG_BANK, BANK_MASK, 0},
    {0xFF, 0xFF, 0xFF},
};
// clang-format on

// A DFE byte: the base above or below by half the difference, the half at most limit.
u8 dfe_byte(u8 a, u8 other, u8 above, u8 below, u8 limit) {
    int half = (a > other ? a - other : other - a) / 2;
    if (half > limit)
        half = limit;
    return static_cast<u8>((a > other ? above : below) + half);
}

int rs_index(u8 value) {
    for (int i = 0; i < ite6805_eq::kRsValues; ++i)
        if (ite6805_eq::RS_Value[i] == value)
            return i;
    return kAbsentRsIndex;
}

}  // namespace

ite6805_eq::ite6805_eq(ite6805_sys& sys) : sys_(sys), data_(sys.data) {}

u8 ite6805_eq::rd(u8 reg) {
    return sys_.i2c->hdmirxrd(reg, 0);
}
void ite6805_eq::wr(u8 reg, u8 value) {
    sys_.i2c->hdmirxwr(reg, value, 0);
}
void ite6805_eq::set(u8 reg, u8 mask, u8 value) {
    sys_.i2c->hdmirxset(reg, mask, value, 0);
}
void ite6805_eq::bank(u8 n) {
    sys_.drv->chgbank(n, 0);
}

void ite6805_eq::iTE6805_EQ_chg(u32 state, u8 dev) {
    if (dev != 0 || data_.EQState == STATEEQ_KeepEQStateUntil5VOff)
        return;
    data_.EQState = state;
    debugLog("EQState change to %u\n", state);
    switch (state) {
        case STATEEQ_Off:
            reset();
            return;
        case STATEEQ_WaitClock:
            enter_wait_clock();
            return;
        case STATEEQ_WaitResult:
            wait_count = 0;
            return;
        case STATEEQ_CheckResult:
            check_result();
            return;
        case STATEEQ_CheckBitErr:
            check_bit_errors();
            return;
        case STATEEQ_NextValue:
            next_value();
            return;
        case STATEEQ_EQDone:
            enter_done();
            return;
        default:
            return;
    }
}

void ite6805_eq::iTE6805_EQ_fsm(u8 dev) {
    if (dev != 0)
        return;
    switch (data_.EQState) {
        case STATEEQ_WaitClock:
            wait_clock_pass();
            return;
        case STATEEQ_WaitResult:
            wait_result_pass();
            return;
        case STATEEQ_Retry:
            go(STATEEQ_NextValue);
            return;
        case STATEEQ_EQDone:
            supervise();
            return;
        default:
            return;
    }
}

void ite6805_eq::iTE6805_hdmirx_port0_EQ_irq(u8 dev) {
    if (dev != 0)
        return;
    u8 status = rd(REG_P0_EQ_INT);
    u8 clear = static_cast<u8>(status & ~EQ_INT_KEEP);
    if (clear)
        wr(REG_P0_EQ_INT, clear);
    if (status & EQ_INT_DONE)
        flag_eq_done = 1;
    if (status & EQ_INT_SAR_DONE) {
        flag_sar_done = 1;
        read_result_flags();
    }
    if (status & EQ_INT_TIMEOUT)
        flag_eq_timeout = 1;
    if (status & EQ_INT_FAIL)
        flag_eq_fail = 1;
    if (!(clear & (EQ_INT_DONE | EQ_INT_SAR_DONE | EQ_INT_TIMEOUT | EQ_INT_FAIL)))
        return;
    bank(3);
    set(B3_EQ_CTRL, EQ_RUN, 0x00);
    bank(0);
}

// Entry actions.

void ite6805_eq::reset() {
    clear_interrupt_flags();
    hdmi1x_sweep = hdmi20_sweep = hdmi20_first_pass = skip_dfe = skew_pending = 0;
    sweep_index = 0;
    supervise_count = 0;
    supervise_interval = kMaxInterval;
    std::memset(passed, 0, sizeof passed);
    std::memset(latched, 0, sizeof latched);
    std::memset(latch_index, 0, sizeof latch_index);
    bank(3);
    wr(B3_SAR_CTRL0, 0x00);
    wr(B3_SAR_CTRL1, 0x07);
    bank(0);
    wr(REG_P0_EQ_INT, 0xFF);
    pulse_port_reset(1);
    bank(3);
    for (int c = 0; c < kChannels; ++c)
        wr(static_cast<u8>(B3_EQ_CH0 + c), 0x9F);
    wr(B3_EQ_CTRL, 0x00);
    set(B3_DFE_CH0, 0x80, 0x00);
    bank(0);
}

void ite6805_eq::enter_wait_clock() {
    fast_link = (rd(REG_P0_LINK) & (LINK_HDMI2 | LINK_ABOVE_1G)) ? 1 : 0;
    bank(3);
    set(B3_EQ_FAST, 0x40, fast_link ? 0x40 : 0x00);
    bank(0);
}

void ite6805_eq::check_result() {
    if (flag_eq_timeout) {
        flag_eq_timeout = 0;
        read_values();
        go(STATEEQ_CheckBitErr);
        return;
    }
    if (!flag_eq_done)
        return;
    flag_eq_done = 0;
    if (skew_pending) {
        skew_pending = 0;
        debugLog("iTE6805 skew EQ done\n");
        go(STATEEQ_CheckBitErr);
        return;
    }
    read_values();
    if (hdmi20_first_pass) {
        read_result_flags();
        if (skip_dfe) {
            bank(3);
            set(B3_EQ_CTRL, EQ_DFE, 0x00);
            bank(0);
            go(STATEEQ_NextValue);
            return;
        }
        read_dfe_table();
        bank(3);
        set(B3_EQ_CTRL, EQ_DFE, EQ_DFE);
        bank(0);
        hdmi20_first_pass = 0;
    }
    go(STATEEQ_CheckBitErr);
}

void ite6805_eq::check_bit_errors() {
    if (iTE6805_BitErr_Check(0)) {
        go(STATEEQ_EQDone);
        return;
    }
    // No channel counted at all: the link may run at the other clock ratio.
    if (!any_valid_reading()) {
        toggle_scdc_ratio();
        go(STATEEQ_Off);
        return;
    }
    if (skew_pending) {
        start_skew_eq();
        go(STATEEQ_WaitResult);
        return;
    }
    go(STATEEQ_NextValue);
}

void ite6805_eq::next_value() {
    ++sweep_index;
    if (sweep_index < kSweepSlots - 1) {
        u8 value = eq_table[sweep_index - 1];
        bank(3);
        wr(B3_SAR_CTRL0, 0x00);
        wr(B3_SAR_CTRL1, 0x07);
        for (int c = 0; c < kChannels; ++c) {
            if (passed[c])
                continue;
            wr(static_cast<u8>(B3_EQ_CH0 + c), static_cast<u8>(value | EQ_MANUAL));
            if (hdmi20_sweep && !skip_dfe)
                write_dfe(c, value);
        }
        bank(0);
        go(STATEEQ_CheckBitErr);
        return;
    }
    sweep_index = 0;
    choose();
    if (hdmi20_sweep) {
        skew_pending = 1;
        start_skew_eq();
        go(STATEEQ_WaitResult);
        return;
    }
    bank(3);
    for (int c = 0; c < kChannels; ++c)
        wr(static_cast<u8>(B3_EQ_CH0 + c), static_cast<u8>(chosen[c] ^ EQ_MANUAL));
    bank(0);
    go(iTE6805_BitErr_Check_Again(0) ? STATEEQ_EQDone : STATEEQ_Retry);
}

void ite6805_eq::enter_done() {
    std::memset(err_count, 0, sizeof err_count);
    supervise_count = 0;
    read_values();
}

// Per-pass actions.

void ite6805_eq::wait_clock_pass() {
    if (!sys_.drv->iTE6805_Check_CLK_Vaild(0))
        return;
    if (sys_.drv->iTE6805_Check_HDMI2(0)) {
        eq_table = iTE6805_EQ_Table_Hdmi20;
        hdmi20_sweep = 1;
        hdmi20_first_pass = 1;
        hdmi1x_sweep = 0;
        if (iTE6805_BitErr_Check(0)) {
            go(STATEEQ_EQDone);
            return;
        }
        start_sar_eq();
        go(STATEEQ_WaitResult);
        return;
    }
    eq_table = iTE6805_EQ_Table_Hdmi10;
    hdmi1x_sweep = 1;
    hdmi20_sweep = 0;
    hdmi20_first_pass = 0;
    start_auto_eq();
    go(STATEEQ_WaitResult);
}

// An engine that gives up (or never answers) leaves the sweep to find the values.
void ite6805_eq::wait_result_pass() {
    if (flag_eq_timeout || flag_eq_done) {
        go(STATEEQ_CheckResult);
        return;
    }
    bool gaveUp = (flag_eq_fail && hdmi1x_sweep) || (flag_sar_done && hdmi20_sweep);
    if (!gaveUp && wait_count < kWaitPasses) {
        ++wait_count;
        return;
    }
    flag_eq_fail = 0;
    flag_sar_done = 0;
    skip_dfe = 1;
    go(STATEEQ_NextValue);
}

// Checks the tuned link at a growing interval: HDMI 2.0 links only count their errors,
// HDMI 1.x links are tuned again when the re-check fails.
void ite6805_eq::supervise() {
    if (++supervise_count <= supervise_interval)
        return;
    supervise_count = 0;
    if (supervise_interval < kMaxInterval)
        ++supervise_interval;
    if (sys_.drv->iTE6805_Check_HDMI2(0)) {
        if (!data_.Flag_VidStable_Done)
            return;
        measure();
        for (int c = 0; c < kChannels; ++c) {
            const u8* reading = bit_err[sweep_index][c];
            if (reading[1] & 0x80)
                err_count[c] += error_of(reading);
        }
        return;
    }
    if (!iTE6805_BitErr_Check_Again(0))
        go(STATEEQ_WaitClock);
}

// The engines.

void ite6805_eq::clear_interrupt_flags() {
    flag_eq_done = flag_sar_done = flag_eq_timeout = flag_eq_fail = 0;
}

void ite6805_eq::pulse_port_reset(unsigned holdMs) {
    wr(REG_P0_RESET, 0xB0);
    sys_.delay1ms(holdMs);
    wr(REG_P0_RESET, 0xA0);
}

void ite6805_eq::start_auto_eq() {
    clear_interrupt_flags();
    wr(REG_P0_EQ_INT, 0xFF);
    pulse_port_reset(10);
    bool above1G = sys_.drv->iTE6805_Check_TMDS_Bigger_Than_1G(0);
    bank(3);
    wr(B3_EQ_MODE0, above1G ? 0x36 : 0x1B);
    wr(B3_EQ_MODE1, above1G ? 0x0E : 0x03);
    for (u8 reg = 0x26; reg <= 0x29; ++reg)
        wr(reg, 0x00);
    wr(B3_EQ_CTRL, 0x38);
    set(B3_EQ_CTRL, EQ_RUN, EQ_RUN);
    sys_.delay1ms(1);
    set(B3_EQ_CTRL, EQ_RUN, 0x00);
    bank(0);
}

void ite6805_eq::start_sar_eq() {
    clear_interrupt_flags();
    sys_.i2c->hdimrx_write_init(kSarPrepare, 0);
    pulse_port_reset(10);
    sys_.i2c->hdimrx_write_init(kSarStart, 0);
}

// Refines the chosen values with the skew engine, with their DFE unless the DFE is skipped.
void ite6805_eq::start_skew_eq() {
    clear_interrupt_flags();
    bank(3);
    set(B3_EQ_CTRL, EQ_RUN, 0x00);
    for (int c = 0; c < kChannels; ++c)
        wr(static_cast<u8>(B3_EQ_CH0 + c), static_cast<u8>(chosen[c] ^ EQ_MANUAL));
    if (!skip_dfe) {
        for (int c = 0; c < kChannels; ++c)
            write_dfe(c, chosen[c]);
        set(B3_DFE_CH0, 0x80, 0x80);
    }
    sys_.i2c->hdimrx_write_init(kSkewStart, 0);
}

void ite6805_eq::read_values() {
    u8 values[kChannels];
    bank(3);
    sys_.i2c->hdmirxbrd(B3_EQ_RESULT, kChannels, values, 0);
    bank(0);
    for (int c = 0; c < kChannels; ++c)
        chosen[c] = values[c] & 0x7F;
    report_chosen();
    debugLog("EQ CH0=%02X CH1=%02X CH2=%02X\n", chosen[0], chosen[1], chosen[2]);
}

void ite6805_eq::report_chosen() {
    static_assert(sizeof data_.Report_EQ == sizeof chosen, "one value per channel");
    std::memcpy(data_.Report_EQ, chosen, sizeof chosen);
}

// A channel whose SAR result reads all ones found nothing: its DFE is not used.
void ite6805_eq::read_result_flags() {
    bank(3);
    for (int c = 0; c < kChannels; ++c) {
        set(B3_CH_SELECT, 0xC0, kChannelSelect[c]);
        u8 flags[2];
        sys_.i2c->hdmirxbrd(B3_RESULT_FLAGS, 2, flags, 0);
        if ((((flags[1] & 0x3F) << 8) | flags[0]) == kNoResult)
            skip_dfe = 1;
    }
    bank(0);
}

void ite6805_eq::read_dfe_table() {
    bank(3);
    for (int c = 0; c < kChannels; ++c) {
        set(B3_CH_SELECT, 0xC0, kChannelSelect[c]);
        for (int i = 0; i < kRsValues; ++i) {
            set(B3_RS_SELECT, 0x0F, static_cast<u8>(i));
            u8 r[4];
            sys_.i2c->hdmirxbrd(B3_DFE_READOUT, sizeof r, r, 0);
            dfe[i][c][0] = dfe_byte(r[0], r[1], 0x60, 0x40, 31);
            dfe[i][c][1] = dfe_byte(r[0], r[2], 0x30, 0x20, 15);
            dfe[i][c][2] = dfe_byte(r[0], r[3], 0x18, 0x10, 7);
        }
    }
    bank(0);
}

// Bank 3 selected by the caller.
void ite6805_eq::write_dfe(int channel, u8 value) {
    const u8* bytes = dfe[rs_index(value)][channel];
    u8 first = static_cast<u8>(B3_DFE_CH0 + 3 * channel);
    for (u8 i = 0; i < 3; ++i)
        wr(static_cast<u8>(first + i), bytes[i]);
}

// Each channel that has not passed takes the table value with the fewest counted errors
// (the first of equals; 0 when it never counted); a channel that passed keeps the value
// it passed with.
void ite6805_eq::choose() {
    for (int c = 0; c < kChannels; ++c) {
        if (passed[c]) {
            if (latched[c] && latch_index[c] > 0)
                chosen[c] = eq_table[latch_index[c] - 1];
            continue;
        }
        int best = -1;
        for (int k = 0; k < kTableSize; ++k) {
            const u8* reading = bit_err[k + 1][c];
            if (!(reading[1] & 0x80))
                continue;
            cur_err[c] = error_of(reading);
            if (best < 0 || cur_err[c] < min_err[c]) {
                best = k;
                min_err[c] = cur_err[c];
            }
        }
        chosen[c] = best < 0 ? 0 : eq_table[best];
        debugLog("EQ choice CH%d = %02X\n", c, chosen[c]);
    }
    report_chosen();
}

void ite6805_eq::toggle_scdc_ratio() {
    bank(3);
    u8 ratio = rd(B3_SCDC_RATIO);
    u8 forced = (ratio & 0x10) ? 0x00 : (hdmi20_sweep ? 0x10 : 0x1C);
    wr(B3_SCDC_RATIO, static_cast<u8>((ratio & ~0x1C) | forced));
    bank(0);
}

// Bit errors.

u16 ite6805_eq::error_of(const u8 reading[2]) {
    return static_cast<u16>(reading[0] + ((reading[1] & 0x7F) << 8));
}

void ite6805_eq::measure() {
    u8 slot = sweep_index < kSweepSlots ? sweep_index : 0;
    set(REG_ERR_COUNTER_ENABLE, 0x08, 0x08);
    bank(3);
    set(0x55, 0x80, 0x00);
    wr(B3_ERR_CTRL, 0x80);
    sys_.delay1ms(kMeasureMs);
    wr(B3_ERR_CTRL, 0x00);
    for (int c = 0; c < kChannels; ++c) {
        if (c > 0)
            wr(B3_ERR_CTRL, kErrorSelect[c]);
        bit_err[slot][c][0] = rd(B3_ERR_LOW);
        bit_err[slot][c][1] = rd(B3_ERR_HIGH);
    }
    bank(0);
    debugLog("BitErr CH0=%02X%02X CH1=%02X%02X CH2=%02X%02X\n", bit_err[slot][0][1],
             bit_err[slot][0][0], bit_err[slot][1][1], bit_err[slot][1][0], bit_err[slot][2][1],
             bit_err[slot][2][0]);
}

bool ite6805_eq::channel_passes(int channel, u8 limit) const {
    const u8* reading = bit_err[sweep_index < kSweepSlots ? sweep_index : 0][channel];
    return reading[1] == kValidFewErrors && reading[0] < limit;
}

bool ite6805_eq::any_valid_reading() const {
    for (int c = 0; c < kChannels; ++c)
        if (bit_err[sweep_index][c][1] & 0x80)
            return true;
    return false;
}

u8 ite6805_eq::iTE6805_BitErr_Check(u8 dev) {
    if (dev != 0)
        return 0;
    measure();
    for (int c = 0; c < kChannels; ++c)
        if (channel_passes(c, kPassLimit))
            passed[c] = 1;
    if (passed[0] && passed[1] && passed[2]) {
        bank(3);
        set(B3_EQ_CTRL, EQ_CHECK, 0x00);
        bank(0);
        wr(REG_P0_EQ_INT, 0xF0);
        wr(REG_P1_EQ_INT, 0xF0);
        return 1;
    }
    bool anyLatched = false;
    for (int c = 0; c < kChannels; ++c) {
        if (passed[c] && !latched[c]) {
            latched[c] = 1;
            latch_index[c] = sweep_index;
        }
        anyLatched = anyLatched || latched[c];
    }
    if (anyLatched)
        return 0;
    return parity_check();
}

u8 ite6805_eq::iTE6805_BitErr_Check_Again(u8 dev) {
    if (dev != 0)
        return 0;
    measure();
    bool now[kChannels];
    for (int c = 0; c < kChannels; ++c) {
        now[c] = channel_passes(c, kRecheckLimit);
        if (!now[c])
            passed[c] = 0;
    }
    u8 r = now[0] && now[1] ? 1 : 0;
    if (now[2]) {
        if (passed[0] || passed[2])
            return r;
        return passed[1] ? r : parity_check();
    }
    if (passed[0])
        return 0;
    return passed[1] ? 0 : parity_check();
}

// The link counts as good when every channel is locked and no error is flagged.
u8 ite6805_eq::parity_check() {
    if (rd(REG_P0_STATUS) != kAllLinkGood)
        return 0;
    if ((rd(REG_P0_LINK) & LINK_LOCKED) != LINK_LOCKED)
        return 0;
    wr(REG_AUDIO_ERRORS, 0xFF);
    wr(REG_CHAR_ERRORS, 0xFF);
    if (rd(REG_AUDIO_ERRORS) != 0 || rd(REG_CHAR_ERRORS) != 0)
        return 0;
    return (rd(REG_VIDEO_STATUS) & VS_SCDT) ? 1 : 0;
}
