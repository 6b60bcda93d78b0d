// The driver of the input board's three IT6602 HDMI/DVI receiver channels: inputs 0 "DVI",
// 1 "HDMI1" and 2 "HDMI2".
//
// The input-source thread routes the receiver switch to a channel and then calls the entry
// points with the bus descriptor and the channel, so every access goes to "the" chip at
// chip_address. Per channel the driver is a polled state machine: IT6602_fsm_init until the
// chip answers (identification, then reset), IT6602_fsm_init_1 once (port 0 selected), then
// IT6602_fsm every polling cycle: the interrupt registers are read and cleared, the video and
// audio state machines step, the equaliser is tuned, and once a stable picture is found its
// timing is measured and published: the input's HDMI_INFO record under
// Utils::_source_hdminfo_mutex, its input_size entry of the parameter image under
// KrxRamPara::info_mutex (never both at once), then KrxRamPara::test_signal(1).
//
// Registers are in bank 0 unless said; bits 0..1 of register 0x0F select the bank, and the
// driver is back in bank 0 after every access to bank 1 or 2. Where the chip's registers are
// not otherwise known these are the ones used (the simulated chip documents the same):
//   HDMI mode          0x0A (port 1: 0x0B) bit 4
//   AV mute            0x0A (port 1: 0x0B) bit 5
//   audio              0xAA bit 7 audio present, bit 6 HBR, bit 5 more than two channels;
//                      0xAB channel count; 0xAC sample-rate code; 0x7D bit 0 audio output
//                      enable, bit 1 hardware mute-clear mode, bit 2 mute clear
//   converter          0x65 bits 0..1: 0 bypass, 1 RGB range, 2 RGB to YCbCr, 3 YCbCr to RGB
//   output mode        0x51 bit 2 half bus; bank 1 0x8D bits 0..2 signal type, 0x8E bits 0..1
//                      colour depth
//   oscillator count   0x73 bit 3 latches it into 0x61..0x63 (low byte first)
//   vendor infoframe   bank 2 0x30..0x32 header, from 0x33 checksum and data
//   3D frame timing    bank 1 0x8F control (bit 0 on), then 16-bit fields (low byte first)
//                      from 0x90: V total, V active start, V active end, V sync end, left
//                      start, left end, right start, right end
#pragma once

#include "core/types.h"
#include "inputs/drv_i2c.h"
#include "inputs/hdmi_info.h"

enum _Video_State_Type : u8 {
    VSTATE_Off = 0,
    VSTATE_TerminationOff,
    VSTATE_TerminationOn,
    VSTATE_5VOff,
    VSTATE_SyncWait,
    VSTATE_SWReset,
    VSTATE_SyncChecking,
    VSTATE_HDCPSet,
    VSTATE_HDCP_Reset,
    VSTATE_ModeDetecting,
    VSTATE_VideoOn,
    VSTATE_ColorDetectReset,
    VSTATE_HDMI_OFF,
    VSTATE_Reserved,
};

enum _Audio_State_Type : u8 {
    ASTATE_AudioOff = 0,
    ASTATE_RequestAudio,
    ASTATE_ResetAudio,
    ASTATE_WaitForReady,
    ASTATE_AudioOn,
    ASTATE_Reserved,
};

enum _Video_Output_Configure : u8 {
    eRGB444_SDR = 0,
    eYUV444_SDR,
    eRGB444_DDR,
    eYUV444_DDR,
    eYUV422_Emb_Sync_SDR,
    eYUV422_Emb_Sync_DDR,
    eYUV422_Sep_Sync_SDR,
    eYUV422_Sep_Sync_DDR,
    eCCIR656_Emb_Sync_SDR,
    eCCIR656_Emb_Sync_DDR,
    eCCIR656_Sep_Sync_SDR,
    eCCIR656_Sep_Sync_DDR,
    eRGB444_Half_Bus,
    eYUV444_Half_Bus,
    eBTA1004_SDR,
    eBTA1004_DDR,
};

// One row of a register set-up table: the bits of mask in reg take those of value.
struct IT6602RegRow {
    u8 reg;
    u8 mask;
    u8 value;
};

// Equaliser of one port.
struct IT6602_EQ_DATA {
    static constexpr u8 kIdle = 255;
    u8 eq_state;
    u8 ecc_count;        // ECC errors of the SCDT check or of the current trial
    u8 saturated_polls;  // successive polls with a saturated error counter
    u8 port;
    u8 busy;
    u8 ecc_sum[3];  // per trial value
    u8 no_scdt_steps;
    u8 ecc_bits;    // ECC error bits seen while checking SCDT
    u8 error_flag;  // an uncorrectable error in the current trial
    u8 manual;      // the equaliser value is set by the driver
    u8 amp_valid;   // bit pairs of the TMDS channels whose amplitude was read
    u8 amp[3];
    u8 fail_count;  // equalisation failures answered by a clock polarity toggle
};

// Per-channel state.
struct IT6602_dev_data {
    // flags
    static constexpr u8 kHdmiMode = 0x08;
    static constexpr u8 kNewAvi = 0x20;
    // event_flags, port 0 in bits 0..2, port 1 in bits 4..6
    static constexpr u8 kHold = 0x01;
    static constexpr u8 kTmdsCheck = 0x02;
    static constexpr u8 kEqDetect = 0x04;
    static constexpr u8 event(int port, u8 bit) { return static_cast<u8>(bit << (4 * port)); }

    u8 video_state;
    u8 audio_state;
    u8 output_mode_flag;  // 1: output set by hand, handlers leave it alone (never here)
    u8 audio_flag;
    u8 audio_channels;
    u8 audio_fs;
    u8 video_counter;
    u16 audio_counter;
    u8 selected_port;
    u8 output_colour_mode;  // bits 0..1: 0 RGB444, 1 YUV422, 2 YUV444; bit 6 limited range
    u8 input_video_mode;    // bits 0..1: 0 RGB, 1 YUV422, 2 YUV444; bit 4 ITU-709; bit 5 16..235
    u8 sync_wait_counter;
    u8 ecc_int_count[2];
    u8 deskew_count[2];
    u8 frame_3d;
    IT6602_EQ_DATA eq[2];
    u8 output_config;
    u8 output_signal_type;
    u8 output_colour_depth;
    u8 event_flags;
    u8 hold_count[2];
    u8 avi_colour_mode;
    u8 avi_colorimetry;
    u8 avi_ext_colorimetry;
    u8 avi_rgb_range;  // 1 limited, 2 full
    u8 avi_ycc_range;  // 0 limited, 1 full
    u8 avi_vic;
    u8 mute;
    u8 colour_depth;  // 0 24 bits, 1 30 bits, 2 36 bits
    u8 avi_last[2];   // bank 2 0x14/0x15 as last seen
    u8 flags;
};

// Timing as measured.
struct IT6602_VTiming {
    static constexpr u8 kInterlaced = 0x01;
    static constexpr u8 kVSyncPositive = 0x02;
    static constexpr u8 kHSyncPositive = 0x04;
    u16 HActive;
    u16 VActive;
    u16 HTotal;
    u16 VTotal;
    u32 PCLK;  // kHz, as the chip counts it (0 when it could not)
    u16 HFrontPorch;
    u16 HSyncWidth;
    u16 HBackPorch;
    u16 VFrontPorch;
    u16 VSyncWidth;
    u16 VBackPorch;
    u8 ScanMode;
};

class velmo_it6602 {
public:
    static constexpr int kChannels = 3;
    static constexpr u8 kChipAddresses[2] = {0x90, 0x94};
    static constexpr u8 kChipId[4] = {0x54, 0x49, 0x02, 0x68};
    // Bits of reg_para[0x25]: receiver channel found.
    static constexpr int kStatusReg = 0x25;
    static constexpr u8 kFoundBit[kChannels] = {0x04, 0x08, 0x10};

    // Bank 0 registers used in several places.
    static constexpr u8 REG_BANK = 0x0F;
    static constexpr u8 REG_INT_PORT0 = 0x05;  // 0x05..0x09 interrupt status
    static constexpr u8 REG_PORT0_STATUS = 0x0A;
    static constexpr u8 REG_PORT1_STATUS = 0x0B;
    static constexpr u8 REG_PLL_STATUS = 0x0C;
    static constexpr u8 REG_RESETS = 0x10;
    static constexpr u8 REG_PORT_SELECT = 0x51;
    static constexpr u8 REG_VIDEO_OUT = 0x53;
    static constexpr u8 REG_CSC = 0x65;
    static constexpr u8 REG_AUDIO_CTRL = 0x7D;
    static constexpr u8 REG_TMDS_RANGE = 0x90;  // 0x91/0x92 the dividers
    static constexpr u8 REG_PIXEL_PERIOD = 0x9A;
    static constexpr u8 REG_EQ_INT = 0xD0;
    static constexpr u8 REG_AUDIO_CAPS = 0xAA;
    // Per-port registers, port 0 then port 1.
    static constexpr u8 REG_DESKEW[2] = {0x20, 0x38};
    static constexpr u8 REG_CLOCK_EVENT[2] = {0x22, 0x3A};
    static constexpr u8 REG_EQ_CTRL[2] = {0x26, 0x3E};
    static constexpr u8 REG_EQ_VALUE[2] = {0x27, 0x3F};
    static constexpr u8 REG_PORT_RESET[2] = {0x11, 0x18};
    static constexpr u8 REG_ERRORS[2] = {0xB2, 0xB7};  // five registers each
    // Bank 1.
    static constexpr u8 REG_HPD = 0xB0;
    static constexpr u8 REG_RS_OVERWRITE[2] = {0xB1, 0xC1};
    static constexpr u8 REG_AMP_VALID[2] = {0xD0, 0xD8};
    static constexpr u8 REG_AMP[2] = {0xD5, 0xDD};
    static constexpr u8 REG_CSC_MATRIX = 0x70;
    static constexpr int kMatrixSize = 21;
    // Bank 2.
    static constexpr u8 REG_AVI = 0x14;
    static constexpr u8 REG_VENDOR_FRAME = 0x30;
    static constexpr u8 REG_PIXEL_CLOCK = 0xC0;

    // The register set-up applied at every reset.
    static const IT6602RegRow IT6602_HDMI_INIT_TABLE[];
    // Equaliser values tried, in order.
    static constexpr u8 IT6602EQTable[3] = {0xFF, 0x9F, 0x83};
    // Colour-space converter matrices (3 offsets, 9 coefficients of 14 bits, 0x0800 = 1.0).
    using Matrix = u8[kMatrixSize];
    static const Matrix bCSCMtx_RGB_16_235_RGB_0_255;
    static const Matrix bCSCMtx_RGB_0_255_RGB_16_235;
    static const Matrix bCSCMtx_YUV2RGB_ITU709_0_255;
    static const Matrix bCSCMtx_YUV2RGB_ITU709_16_235;
    static const Matrix bCSCMtx_YUV2RGB_ITU601_0_255;
    static const Matrix bCSCMtx_YUV2RGB_ITU601_16_235;
    static const Matrix bCSCMtx_RGB2YUV_ITU709_0_255;
    static const Matrix bCSCMtx_RGB2YUV_ITU709_16_235;
    static const Matrix bCSCMtx_RGB2YUV_ITU601_0_255;
    static const Matrix bCSCMtx_RGB2YUV_ITU601_16_235;
    static const char* const VStateStr[];
    static const char* const AStateStr[];
    static const char* const VModeStateStr[];

    // The bus descriptor; the input-source manager writes it.
    int fd;
    u8 identify_failures[kChannels];
    IT6602_dev_data dev[kChannels];
    IT6602_VTiming timing[kChannels];
    u32 pixel_clock[kChannels];  // MHz, from the pixel period
    u32 tmds_clock[kChannels];   // MHz
    u32 input_colour_mode[kChannels];
    u32 output_colour_mode[kChannels];
    u32 colour_depth_code[kChannels];
    u8 pll_check_count[kChannels];
    u8 eq_result[kChannels][2];  // index of the trial value in use; 0xFF none
    u8 chip_address;

    // records: the per-input timing records the driver publishes into (inputs 0..2).
    explicit velmo_it6602(HDMI_INFO* records = nullptr);

    // Entry points of the input-source thread.
    // Identifies the chip and, when found, resets the channel; 1 found, 0 not.
    int IT6602_fsm_init(int fd, int ch);
    void IT6602_fsm_init_1(int fd, int ch);
    void IT6602_fsm(int fd, int ch);
    // True when the channel, at the input-source thread's start-up step, is where only a
    // latched interrupt can move it: showing a picture (audio on, or off for DVI), or
    // waiting for 5 V; also a chip not found, whose identification is simply retried.
    bool steady(int ch, u8 step) const;
    // Hot-plug of a port of the routed chip (port 1 is not wired and is ignored): high only
    // while 5 V is present.
    void IT6602HPDCtrl(int fd, int port, int level);

    // Register access at chip_address.
    u8 hdmirxrd_it6602(int fd, u8 reg);
    void hdmirxwr_it6602(int fd, u8 reg, u8 value);
    void hdmirxset_it6602(int fd, u8 reg, u8 mask, u8 value);
    void hdmirxbwr_it6602(int fd, u8 reg, u8 n, const u8* data);
    void chgbank_it6602(int fd, u8 bank);
    void hdimrx_write_init_it6602(int fd, const IT6602RegRow* table);
    IT6602_dev_data* get_IT6602_dev_data(int ch);
    static void delay1ms(unsigned n);

private:
    // Access on the descriptor of the current call.
    u8 rd(u8 reg) { return hdmirxrd_it6602(bus_, reg); }
    bool rd_block(u8 reg, u8* data, int n);
    void wr(u8 reg, u8 value) { hdmirxwr_it6602(bus_, reg, value); }
    void set(u8 reg, u8 mask, u8 value) { hdmirxset_it6602(bus_, reg, mask, value); }
    void bank(u8 b) { chgbank_it6602(bus_, b); }
    void hpd(int port, int level) { IT6602HPDCtrl(bus_, port, level); }
    bool five_volt(int port);
    bool clock_present(int port);
    u8 active_port();
    static void set_status_bits(int index, u8 bits, bool on);

    // Identification and reset (velmo_it6602.cpp).
    int IT6602_Identify_Chip(int ch);
    void IT6602_Rst(int ch);
    void hdmirx_Var_init(int ch);
    void IT6602_VideoOutputConfigure_Init(int ch, u8 config);
    void IT6602PortSelect(int ch, u8 port);
    void IT6602_AFE_Rst(int ch);
    void Cal_oclk(int ch);
    u32 CP_OCLK();

    // Video state machine and output (velmo_it6602_video.cpp).
    void IT6602SwitchVideoState(int ch, u8 state);
    void enter_video_on(int ch);
    void IT6602VideoHandler(int ch);
    void WaitingForSCDT(int ch);
    void IT6602VideoOutputEnable(int ch, bool on);
    void IT6602VideoOutputConfigure(int ch);
    void read_avi(int ch);
    void SetColorSpaceConvert(int ch);
    void set_colour_depth(int ch, u8 reg99);
    void IT6602_VideoOutputModeSet(int ch);
    bool IsHDMIMode();
    bool CheckAVMute();
    void IT6602_SetVideoMute(bool on);
    void IT6602_ManualVideoTristate(bool on);
    void IT6602_HDCP_ContentOff(int ch, int port, bool on);

    // Measurement and publication (velmo_it6602_measure.cpp).
    void get_vid_info(int ch);
    void show_vid_info(int ch);
    u32 tmds_mhz(int port);
    u32 frame_rate(int ch) const;
    void it6602_Get_Hdmi(int ch);
    void publish_input_size(int ch, u16 width, u16 height, u16 refresh);
    void publish_no_signal(int ch);

    // Interrupts and events (velmo_it6602_irq.cpp).
    void IT6602HDMIInterruptHandler(int ch);
    void port_interrupts(int ch, int port, u8 bits);
    void video_interrupts(int ch, u8 bits);
    void packet_interrupts(int ch, u8 bits);
    void eq_interrupts(int ch, u8 bits);
    void hdmirx_INT_5V_Pwr_Chg(int ch, int port);
    void hdmirx_INT_HDMIMode_Chg(int ch, int port);
    void hdmirx_INT_P_ECC(int ch, int port);
    void hdmirx_INT_Deskew(int ch, int port);
    void hdmirx_ECCTimingOut(int port);
    void toggle_deskew(int port);
    void IT6602HDMIEventManager(int ch);
    int IT6602_DE3DFrame(int ch);
    void program_3d_frame(int ch);

    // Equaliser (velmo_it6602_eq.cpp).
    void HDMIStartEQDetect(int ch, int port);
    void HDMIAdjustEQ(int ch, int port);
    void HDMICheckSCDTon(int ch, int port);
    void HDMIPollingErrorCount(int ch, int port);
    void HDMISwitchEQstate(int ch, int port, u8 state);
    void HDMIFinishEQ(int ch, int port);
    void set_eq_value(int ch, int port, int index);
    void clear_error_counters(int ch, int port);
    void JudgeBestEQ(int ch, int port);
    void OverWriteAmpValue2EQ(int ch, int port);
    void DisableOverWriteRS(int ch, int port);
    void AmpValidCheck(int ch, int port);
    void hdmirx_INT_EQ_FAIL(int ch, int port);
    void TogglePolarity(int ch, int port);
    void TMDSCheck(int ch, int port);
    void IPLLOvw_chk(int ch, int port, bool scdt);

    // Audio (velmo_it6602_audio.cpp).
    void IT6602SwitchAudioState(int ch, u8 state);
    void IT6602AudioHandler(int ch);
    bool IT6602_GetAudioInfo(int ch);
    void hdmirx_audio_reset();
    void aud_fiforst();

    Drv_I2C0 i2c_;
    HDMI_INFO* records_;
    int bus_ = -1;                // descriptor of the current call
    u32 oclk_count_[kChannels];   // oscillator count of the last reset
    u8 pixel_period_[kChannels];  // register 0x9A as last measured
};
