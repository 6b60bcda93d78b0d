// The IT6602 receiver equaliser and the TMDS clock checks.
//
// Detection on a port runs one step per polling cycle. States 0..19 watch the link (SCDT and
// ECC errors); a clean link with a manual value or strong amplitudes ends there. Otherwise
// states 20..79 count the errors: from 30 the first value of IT6602EQTable is on trial, from
// 60 the second, from 70 the third. A trial that counts 10 ECC errors is cut short with that
// sum (138 on the active port without sync or with an uncorrectable error); a value whose
// trial summed below 6 is kept at once; at 80 the value with the smallest sum is chosen.
#include <algorithm>
#include <cstdio>

#include "core/global.h"
#include "inputs/velmo_it6602.h"

namespace {

constexpr u8 kHold = IT6602_dev_data::kHold;
constexpr u8 kTmdsCheck = IT6602_dev_data::kTmdsCheck;
constexpr u8 kEqDetect = IT6602_dev_data::kEqDetect;
constexpr u8 kHoldSteps = 3;
constexpr u8 kScdtCheckEnd = 19;
constexpr u8 kFirstTrial = 30, kSecondTrial = 60, kThirdTrial = 70, kChooseBest = 80;
constexpr u8 kKeep = 155, kDone = 156, kDoneOther = 81;
constexpr u8 kStartSum = 10;
constexpr u8 kPersistentErrors = 10;
constexpr u8 kPenaltySum = 138;
constexpr u8 kGoodSum = 6;
constexpr u8 kAllAmplitudes = 0x3F;
constexpr u8 kStrongAmplitude = 14;
constexpr u8 kMinAmplitude = 3;
constexpr u8 kSaturated = 0xFF;
constexpr u8 kSaturatedPolls = 4;
constexpr u8 kFailureToggles = 16;
constexpr u8 kNoTrialValue = 0xFF;  // eq_result when no trial value is in use

u8 ev(int port, u8 bit) {
    return IT6602_dev_data::event(port, bit);
}

u8 port_events(int port) {
    return ev(port, kHold | kTmdsCheck | kEqDetect);
}

}  // namespace

void velmo_it6602::HDMIStartEQDetect(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    if (eq.eq_state != IT6602_EQ_DATA::kIdle)
        return;
    eq.eq_state = port == dev[ch].selected_port ? 0 : 21;
    eq.busy = 1;
    std::fill(std::begin(eq.ecc_sum), std::end(eq.ecc_sum), kStartSum);
    eq.ecc_count = 0;
    eq.saturated_polls = 0;
    eq.no_scdt_steps = 0;
    eq.ecc_bits = 0;
    eq.error_flag = 0;
}

void velmo_it6602::HDMIAdjustEQ(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    u8 state = eq.eq_state;
    if (state == kKeep) {
        eq.eq_state = kDone;
        return;
    }
    if (state <= kScdtCheckEnd) {
        HDMICheckSCDTon(ch, port);
        return;
    }
    if (state < kChooseBest) {
        HDMIPollingErrorCount(ch, port);
        return;
    }
    HDMIFinishEQ(ch, port);  // kDone, kDoneOther
}

void velmo_it6602::HDMICheckSCDTon(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    u8 status[2] = {};
    rd_block(REG_PORT0_STATUS, status, 2);
    bool scdt = status[0] & 0x80;
    if ((status[port] & 0x09) == 0x09 && !scdt)
        ++eq.no_scdt_steps;
    u8 errors = rd(REG_ERRORS[port]);
    if (errors)
        wr(REG_ERRORS[port], errors);
    if (errors & 0xC0) {
        eq.ecc_bits |= errors & 0xC0;
        if (++eq.ecc_count == 3) {
            IT6602_HDCP_ContentOff(ch, port, true);
            if (!rd(REG_DESKEW[port]))
                wr(REG_DESKEW[port], 0x3F);
        }
    }
    if (eq.eq_state < kScdtCheckEnd) {
        ++eq.eq_state;
        return;
    }
    if (eq.ecc_bits == 0xC0) {
        hdmirx_ECCTimingOut(port);
        HDMISwitchEQstate(ch, port, kKeep);
        return;
    }
    bool clean = !eq.no_scdt_steps && !eq.ecc_count;
    bool strong = eq.amp_valid == kAllAmplitudes;
    for (u8 amp : eq.amp)
        strong = strong && (amp & 0x7F) > kStrongAmplitude;
    HDMISwitchEQstate(ch, port, clean && (eq.manual || strong) ? kKeep : 20);
}

void velmo_it6602::HDMIPollingErrorCount(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    u8 state = eq.eq_state;
    u8 e[5] = {};
    rd_block(REG_ERRORS[port], e, 5);
    if (e[0] | e[1] | e[2] | e[3] | e[4]) {
        u8 back[5] = {e[0], static_cast<u8>(e[1] & 0xE0), e[2], e[3], e[4]};
        hdmirxbwr_it6602(bus_, REG_ERRORS[port], 5, back);
    }
    if (e[0] & 0xC0)
        ++eq.ecc_count;
    if (e[0] & 0x80)
        eq.error_flag = 1;
    bool saturated = e[2] == kSaturated || e[3] == kSaturated || e[4] == kSaturated;
    if (saturated && state > kFirstTrial) {
        if (++eq.saturated_polls >= kSaturatedPolls) {
            eq.saturated_polls = 0;
            toggle_deskew(port);
            set(REG_PORT_RESET[port], 0x0C, 0x0C);
            set(REG_PORT_RESET[port], 0x0C, 0x00);
        }
    } else {
        eq.saturated_polls = 0;
    }
    int trial =
        state >= kThirdTrial ? 2 : (state >= kSecondTrial ? 1 : (state >= kFirstTrial ? 0 : -1));
    u8 boundary = state < kFirstTrial    ? kFirstTrial
                  : state < kSecondTrial ? kSecondTrial
                  : state < kThirdTrial  ? kThirdTrial
                                         : kChooseBest;
    if (eq.ecc_count >= kPersistentErrors) {
        bool active = port == dev[ch].selected_port;
        bool scdt = rd(REG_PORT0_STATUS) & 0x80;
        if (trial >= 0)
            eq.ecc_sum[trial] = active && (!scdt || eq.error_flag) ? kPenaltySum : kStartSum;
        HDMISwitchEQstate(ch, port, boundary);
        return;
    }
    if (state + 1 != boundary) {
        ++eq.eq_state;
        return;
    }
    if (trial >= 0)
        eq.ecc_sum[trial] = eq.ecc_count;
    HDMISwitchEQstate(ch, port, boundary);
}

void velmo_it6602::HDMISwitchEQstate(int ch, int port, u8 state) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    eq.eq_state = state;
    if (state == kFirstTrial || state == kSecondTrial || state == kThirdTrial) {
        int index = state == kFirstTrial ? 0 : (state == kSecondTrial ? 1 : 2);
        if (index > 0 && eq.ecc_sum[index - 1] < kGoodSum) {
            HDMISwitchEQstate(ch, port, kKeep);  // the value on trial stays
            return;
        }
        set_eq_value(ch, port, index);
        clear_error_counters(ch, port);
        return;
    }
    if (state == kChooseBest) {
        JudgeBestEQ(ch, port);
        eq.eq_state = kDone;
    }
    IT6602_HDCP_ContentOff(ch, port, false);
    clear_error_counters(ch, port);
}

void velmo_it6602::HDMIFinishEQ(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    eq.eq_state = IT6602_EQ_DATA::kIdle;
    eq.busy = 0;
    if (port == dev[ch].selected_port)
        dev[ch].video_counter = 0;
    if (!debugOn())
        return;
    u8 chosen = eq_result[ch][port];
    if (chosen < 3)
        std::printf("it6602[%d] port %d equaliser 0x%02X\n", ch, port, IT6602EQTable[chosen]);
    else
        std::printf("it6602[%d] port %d equaliser %s\n", ch, port,
                    eq.manual ? "from the amplitudes" : "automatic");
}

void velmo_it6602::set_eq_value(int ch, int port, int index) {
    set(REG_EQ_CTRL[port], 0x20, 0x20);
    wr(REG_EQ_VALUE[port], IT6602EQTable[index]);
    dev[ch].eq[port].manual = 1;
    eq_result[ch][port] = static_cast<u8>(index);
}

void velmo_it6602::clear_error_counters(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    eq.ecc_count = 0;
    eq.saturated_polls = 0;
    eq.error_flag = 0;
    const u8 clear[5] = {0xFF, 0xE0, 0xFF, 0xFF, 0xFF};
    hdmirxbwr_it6602(bus_, REG_ERRORS[port], 5, clear);
}

// Index 2 when its sum is no worse than both others, else the smaller of the first two.
// Every trial value has bit 7 set; a value register found without it holds the amplitudes
// the chip measured during the last trial, and those are written in place of the chosen value.
// The register is read before anything is written, or it would always show the value.
void velmo_it6602::JudgeBestEQ(int ch, int port) {
    const IT6602_EQ_DATA& eq = dev[ch].eq[port];
    const u8* s = eq.ecc_sum;
    int index = s[2] <= std::min(s[0], s[1]) ? 2 : (s[0] < s[1] ? 0 : 1);
    bool measured = !(rd(REG_EQ_VALUE[port]) & 0x80);
    if (measured && eq.amp_valid == kAllAmplitudes)
        OverWriteAmpValue2EQ(ch, port);
    else
        set_eq_value(ch, port, index);
}

void velmo_it6602::OverWriteAmpValue2EQ(int ch, int port) {
    IT6602_dev_data& d = dev[ch];
    IT6602_EQ_DATA& eq = d.eq[port];
    if (eq.amp_valid != kAllAmplitudes)
        return;
    set(REG_EQ_CTRL[port], 0x20, 0x20);
    for (int channel = 0; channel < 3; ++channel)
        wr(static_cast<u8>(REG_EQ_VALUE[port] + channel),
           std::max<u8>(kMinAmplitude, eq.amp[channel] & 0x7F));
    eq.manual = 1;
    eq_result[ch][port] = kNoTrialValue;
    d.event_flags &= static_cast<u8>(~port_events(port));
    d.hold_count[port] = 0;
    wr(REG_CLOCK_EVENT[port], 0x00);
    wr(REG_EQ_INT, port ? 0xC0 : 0x30);
}

void velmo_it6602::DisableOverWriteRS(int ch, int port) {
    IT6602_dev_data& d = dev[ch];
    set(REG_EQ_CTRL[port], 0x20, 0x00);
    wr(REG_CLOCK_EVENT[port], 0x00);
    d.eq[port] = IT6602_EQ_DATA{};
    eq_result[ch][port] = kNoTrialValue;
    d.eq[port].port = static_cast<u8>(port);
    d.eq[port].eq_state = IT6602_EQ_DATA::kIdle;
    d.event_flags &= static_cast<u8>(~port_events(port));
    d.hold_count[port] = 0;
}

void velmo_it6602::AmpValidCheck(int ch, int port) {
    IT6602_EQ_DATA& eq = dev[ch].eq[port];
    bank(1);
    u8 valid = rd(REG_AMP_VALID[port]);
    for (int channel = 0; channel < 3; ++channel) {
        u8 pair = static_cast<u8>(0x03 << (2 * channel));
        if ((valid & pair) != pair)
            continue;
        eq.amp[channel] = rd(static_cast<u8>(REG_AMP[port] + channel));
        eq.amp_valid |= pair;
    }
    bank(0);
    if (eq.amp_valid != kAllAmplitudes)
        return;
    OverWriteAmpValue2EQ(ch, port);
    dev[ch].event_flags |= ev(port, kEqDetect);
}

void velmo_it6602::hdmirx_INT_EQ_FAIL(int ch, int port) {
    IT6602_dev_data& d = dev[ch];
    IT6602_EQ_DATA& eq = d.eq[port];
    if (eq.busy || !five_volt(port))
        return;
    if (d.event_flags & ev(port, kTmdsCheck)) {
        wr(REG_CLOCK_EVENT[port], 0x00);
        d.hold_count[port] = kHoldSteps;
        d.event_flags |= ev(port, kHold);
        return;
    }
    AmpValidCheck(ch, port);
    if (eq.amp_valid == kAllAmplitudes)
        return;
    if (eq.fail_count < kFailureToggles) {
        TogglePolarity(ch, port);
        ++eq.fail_count;
        return;
    }
    wr(REG_CLOCK_EVENT[port], 0x00);
    d.event_flags |= ev(port, kEqDetect);
}

void velmo_it6602::TogglePolarity(int ch, int port) {
    if (chip_address == 0x94 && port != dev[ch].selected_port)
        return;
    u8 control = port ? 0xC5 : 0xB5;
    u8 inversion = (port && chip_address != 0x94) ? 0xC9 : 0xB9;
    bank(1);
    set(control, 0x10, 0x00);
    wr(inversion, rd(inversion) ^ 0x80);
    set(control, 0x10, 0x10);
    bank(0);
    wr(REG_CLOCK_EVENT[port], 0x38);
    set(REG_CLOCK_EVENT[port], 0x04, 0x04);
    set(REG_CLOCK_EVENT[port], 0x04, 0x00);
}

void velmo_it6602::TMDSCheck(int ch, int port) {
    u32 tmds = tmds_mhz(port);
    if (chip_address == 0x94)
        wr(REG_DESKEW[port], tmds >= 35 && tmds <= 160 ? 0x3F : 0x00);
    if (port == 0) {
        bank(1);
        set(0xB1, 0x20, 0x00);
        set(0xB2, 0x07, 0x04);
        bank(0);
    }
    dev[ch].event_flags |= ev(port, kHold | kTmdsCheck);
    dev[ch].hold_count[port] = kHoldSteps;
}

// With the PLL locked but no sync for 16 checks, a high TMDS clock gets the PLL settings
// overwritten.
void velmo_it6602::IPLLOvw_chk(int ch, int port, bool scdt) {
    u8 locked = port ? 0x80 : 0x40;
    if (!(rd(REG_PLL_STATUS) & locked)) {
        bank(1);
        set(REG_RS_OVERWRITE[port], 0x60, 0x00);
        bank(0);
        pll_check_count[ch] = 0;
        return;
    }
    if (++pll_check_count[ch] < 16)
        return;
    pll_check_count[ch] = 0;
    u8 clock[3] = {};
    rd_block(REG_TMDS_RANGE, clock, 3);
    u8 range = (port ? clock[0] >> 2 : clock[0]) & 0x03;
    u8 divider = static_cast<u8>((port ? clock[2] : clock[1]) >> range);
    bool overwritten = rd(0x4E) & locked;
    if (scdt || !((divider < 28 && !overwritten) || divider == 27))
        return;
    if (debugOn())
        std::printf("OverWrite IPLL/OPLL ");
    bank(1);
    set(port ? 0xC2 : 0xB2, 0x05, 0x04);
    set(REG_RS_OVERWRITE[port], 0xE0, 0xE0);
    bank(0);
}
