// The IT6805's input equaliser: tunes port 0's front end so that the three TMDS data
// channels decode without bit errors.
//
// A state machine stepped once per pass by the system state machine, fed by the port's EQ
// interrupt register (bank 0 0x07) and by bit-error measurements (bank 3 0xE9..0xEB).
// HDMI 1.x links run the chip's automatic EQ, then a sweep over four EQ values; HDMI 2.0
// links first try the setting they have, then the chip's successive-approximation (SAR)
// EQ, a sweep with the matching DFE bytes, and a skew/DFE refinement of the choice. A
// channel's EQ register (bank 3 0x27 + channel) holds a manual value when its bit 7 is
// set; with bit 7 clear the chip uses what its engine found (0xD5 + channel).
//
// The state lives in EQState of the driver's iTE6805_DATA; the system state machine also
// writes it directly (0 on 5 V loss, 7 to freeze after persistent ECC errors, 9 on
// release). Each measurement blocks the input-source thread for 100 ms.
#pragma once

#include "core/types.h"
#include "inputs/iTE6805_data.h"

class ite6805_sys;

class ite6805_eq {
public:
    static constexpr int kChannels = 3;
    static constexpr int kTableSize = 4;
    // Sweep indexes 0..5: 0 is the engine's own result, 1..4 the table values, 5 the choice.
    static constexpr int kSweepSlots = 6;
    static constexpr int kRsValues = 14;

    static constexpr u8 iTE6805_EQ_Table_Hdmi10[kTableSize] = {0x01, 0x3F, 0x07, 0x0F};
    static constexpr u8 iTE6805_EQ_Table_Hdmi20[kTableSize] = {0x01, 0x07, 0x0F, 0x3F};
    // The EQ values the DFE table is read for, in the order of bank 3 0x36 bits 3..0.
    static constexpr u8 RS_Value[kRsValues] = {0x7F, 0x7E, 0x3F, 0x3E, 0x1F, 0x1E, 0x0F,
                                               0x0E, 0x07, 0x06, 0x03, 0x02, 0x01, 0x00};

    // Interrupt flags of bank 0 0x07.
    u8 flag_eq_done = 0;     // bit 4
    u8 flag_sar_done = 0;    // bit 5
    u8 flag_eq_timeout = 0;  // bit 6
    u8 flag_eq_fail = 0;     // bit 7

    // Mode flags.
    u8 hdmi1x_sweep = 0;
    u8 hdmi20_sweep = 0;
    u8 hdmi20_first_pass = 0;
    u8 skip_dfe = 0;
    u8 skew_pending = 0;

    const u8* eq_table = iTE6805_EQ_Table_Hdmi10;
    u8 sweep_index = 0;

    // The chosen EQ value per channel (7 bits), reported in the driver's Report_EQ.
    u8 chosen[kChannels] = {};
    // A channel's mark: it passed a bit-error check since the reset.
    u8 passed[kChannels] = {};
    // A channel's latch: set by a check it passed while others did not, with the sweep
    // index it passed at.
    u8 latched[kChannels] = {};
    u8 latch_index[kChannels] = {};

    // Bit-error readings per sweep index and channel: low byte, high byte (bit 7 valid,
    // bits 6..0 the count's bits 14..8).
    u8 bit_err[kSweepSlots][kChannels][2] = {};
    // Errors counted per channel while tuned (HDMI 2.0 supervision).
    u32 err_count[kChannels] = {};
    u16 min_err[kChannels] = {};
    u16 cur_err[kChannels] = {};

    // DFE bytes per RS value and channel.
    u8 dfe[kRsValues][kChannels][3] = {};

    u8 wait_count = 0;
    u8 supervise_count = 0;
    u8 supervise_interval = 1;
    // The link runs above 1 GHz or in HDMI 2.0 mode.
    u8 fast_link = 0;

    explicit ite6805_eq(ite6805_sys& sys);

    // Changes state and runs its entry action; nothing changes while the equaliser is
    // frozen (EQState 7).
    void iTE6805_EQ_chg(u32 state, u8 dev);
    // One pass.
    void iTE6805_EQ_fsm(u8 dev);
    void iTE6805_hdmirx_port0_EQ_irq(u8 dev);
    // Measures; 1 when every channel has passed since the reset.
    u8 iTE6805_BitErr_Check(u8 dev);
    // Measures again; 1 while the link still decodes well enough.
    u8 iTE6805_BitErr_Check_Again(u8 dev);

private:
    void reset();
    void enter_wait_clock();
    void check_result();
    void check_bit_errors();
    void next_value();
    void enter_done();
    void wait_clock_pass();
    void wait_result_pass();
    void supervise();

    void start_auto_eq();
    void start_sar_eq();
    void start_skew_eq();
    void clear_interrupt_flags();
    void pulse_port_reset(unsigned holdMs);
    void read_values();
    void report_chosen();
    void read_result_flags();
    void read_dfe_table();
    void write_dfe(int channel, u8 value);
    void choose();
    void toggle_scdc_ratio();

    void measure();
    bool channel_passes(int channel, u8 limit) const;
    bool any_valid_reading() const;
    u8 parity_check();
    static u16 error_of(const u8 reading[2]);

    u8 rd(u8 reg);
    void wr(u8 reg, u8 value);
    void set(u8 reg, u8 mask, u8 value);
    void bank(u8 n);
    void go(u32 state) { iTE6805_EQ_chg(state, 0); }

    ite6805_sys& sys_;
    iTE6805_DATA& data_;
};
