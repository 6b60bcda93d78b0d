// Records, states and register names of the IT6805 HDMI 2.0 receiver driver.
//
// The receiver block answers at 0x90 with 256 registers per bank; register 0x0F selects
// one of 8 banks in its bits 2..0. Register numbers below are of bank 0 unless their name
// carries another bank. Every operation that leaves bank 0 returns to it before it ends.
#pragma once

#include "core/types.h"

namespace ite6805 {

constexpr u8 kRxAddress = 0x90;
constexpr u8 kEdidRamAddress = 0xA8;
constexpr u8 kLvdsAddress = 0xB4;

// Bank select.
constexpr u8 REG_BANK = 0x0F;
constexpr u8 BANK_MASK = 0x07;

// Identity.
constexpr u8 REG_CHIP_ID = 0x04;

// Port-0 interrupt status (write 1 to clear).
constexpr u8 REG_P0_INT = 0x05;      // 0 5V, 1 clock on, 2 clock change, 4 mode, 5 ECC, 6 deskew
constexpr u8 REG_P0_SYMLOCK = 0x06;  // 0 lock change, 4/5/6 symbol-lock reset CH0/CH1/CH2
constexpr u8 REG_P0_SCDC = 0x08;     // 0 clock ratio, 4 front-end calibration done, 7 SCDC
constexpr u8 REG_P0_HDCP = 0x09;     // 0 authentication start, 2 encryption change, 3 off
constexpr u8 REG_P1_SCDC = 0x0D;     // port 1 twin of 0x08
// Common interrupt status (write 1 to clear).
constexpr u8 REG_SYS_INT = 0x10;  // 1 SCDT change, 4 AV-mute set, 5 mute left, 7 audio
constexpr u8 REG_SYS_INT2 = 0x11;
constexpr u8 REG_PKT_INT = 0x12;  // 0 new AVI InfoFrame, 7 packet error
constexpr u8 REG_SCDT_LATE = 0x1C;
constexpr u8 REG_HDCP_INT = 0x1D;
constexpr u8 REG_INT_D4 = 0xD4;
constexpr u8 REG_INT_D5 = 0xD5;

// Port-0 status.
constexpr u8 REG_P0_STATUS = 0x13;  // 0 5V, 1 HDMI mode, 3 clock valid, 4 stable, 6 MHL
constexpr u8 P0_5V = 0x01;
constexpr u8 P0_HDMI = 0x02;
constexpr u8 P0_CLK_VALID = 0x08;
constexpr u8 P0_CLK_STABLE = 0x10;
constexpr u8 P0_MHL = 0x40;
constexpr u8 REG_P0_LINK = 0x14;  // 0 above 1 GHz, 1 PLL, 3..5 channels locked, 6 HDMI 2.0
constexpr u8 LINK_ABOVE_1G = 0x01;
constexpr u8 LINK_PLL = 0x02;
constexpr u8 LINK_LOCKED = 0x38;
constexpr u8 LINK_HDMI2 = 0x40;
constexpr u8 REG_VIDEO_STATUS = 0x19;  // 7 SCDT, 1 output detect stable
constexpr u8 VS_SCDT = 0x80;
constexpr u8 VS_OUTPUT_STABLE = 0x02;

// Resets and front end.
constexpr u8 REG_RESET = 0x22;
constexpr u8 REG_P0_RESET = 0x23;
constexpr u8 REG_P1_RESET = 0x2B;
constexpr u8 REG_P0_CAOF_PULSE = 0x2A;
constexpr u8 REG_P1_CAOF_PULSE = 0x32;

// Clock measurement.
constexpr u8 REG_TMDS_RANGE = 0x43;  // bits 7..5: the range the TMDS count was taken in
constexpr u8 REG_PLL_47 = 0x47;
constexpr u8 REG_TMDS_COUNT = 0x48;
constexpr u8 REG_PCLK_COUNT_LO = 0x99;
constexpr u8 REG_PCLK_COUNT_HI = 0x9A;  // bits 1..0 count, bit 7 latch (0 holds the count)

// Video path.
constexpr u8 REG_AVMUTE_CTRL = 0x4F;
constexpr u8 REG_CSC_IN = 0x6B;
constexpr u8 REG_CSC_CTRL = 0x6C;
constexpr u8 REG_VID_MODE = 0x98;  // 1 interlaced, 7..4 colour depth code
constexpr u8 REG_VID_SYNC = 0xAA;  // 6 VSync positive, 5 HSync positive, 3 AV mute

// Audio.
constexpr u8 REG_AUDIO_FORCE = 0x81;  // bit 6 forced sampling frequency
constexpr u8 AUDIO_FORCED = 0x40;
constexpr u8 REG_AUDIO_CTRL = 0x86;
constexpr u8 REG_AUDIO_FS = 0x8A;
constexpr u8 REG_AUDIO_PULSE = 0x8C;
constexpr u8 REG_AUDIO_STATUS0 = 0xB0;
constexpr u8 REG_AUDIO_STATUS1 = 0xB1;  // bit 7 audio detected
constexpr u8 REG_AUDIO_STATUS2 = 0xB2;
constexpr u8 REG_AUDIO_CH_STATUS = 0xB5;
constexpr u8 REG_AUDIO_ERROR = 0xB9;

// Reference clock read port.
constexpr u8 REG_KEY = 0xF8;
constexpr u8 REG_HDCP_STATUS = 0xCF;

// Bank 1: output side.
constexpr u8 B1_OTP_ADDR_LO = 0x50;
constexpr u8 B1_OTP_ADDR_HI = 0x51;
constexpr u8 B1_OTP_CMD = 0x54;
constexpr u8 B1_OTP_ENABLE = 0x57;
constexpr u8 B1_OTP_LOAD = 0x58;
constexpr u8 B1_OTP_POWER = 0x5F;
constexpr u8 B1_OTP_READY = 0x60;
constexpr u8 B1_OTP_DATA_LO = 0x61;
constexpr u8 B1_OTP_DATA_HI = 0x62;
constexpr u8 B1_CSC_TABLE = 0x70;  // 22 bytes up to 0x85
constexpr u8 B1_CSC_LAST = 0x85;
constexpr u8 B1_MODE = 0xC0;  // bit 0 dual mode, bits 7..6 single-mode layout
constexpr u8 B1_TRISTATE0 = 0xC5;
constexpr u8 B1_TRISTATE1 = 0xC6;
constexpr u8 B1_AUDIO_TRISTATE = 0xC7;

// Bank 2: InfoFrames and audio clock regeneration.
constexpr u8 B2_AVI_DB1 = 0x15;
constexpr u8 B2_AUDIO_N = 0xBE;  // 0xBE..0xC2: N and CTS

// Bank 3: port-0 front end.
constexpr u8 B3_HPD = 0xAB;  // bits 7..6: 11 high, 01 low, 00 released
constexpr u8 B3_HPD_DRIVE = 0xAC;
constexpr u8 B3_SCDC_RATIO = 0xE5;

// Bank 5: IT6807 V-by-One transmitter.
constexpr u8 B5_LANES = 0xC0;       // bits 7..4: (byte mode shl 2) + lane count
constexpr u8 B5_VBO_OUTPUT = 0xC9;  // bit 0 set: output off
constexpr u8 B5_VBO_STATUS = 0xDB;  // bit 4 transmitter clock stable
constexpr u8 VBO_OUTPUT_OFF = 0x79;
constexpr u8 VBO_OUTPUT_ON = 0x78;

}  // namespace ite6805

// A register-table row; a table ends at the first row whose reg is 0xFF.
struct iTE6805_INI_REG {
    u8 reg;
    u8 mask;
    u8 value;
};

enum STATEV_Type : u32 {
    STATEV_Unplug = 1,
    STATEV_WaitSync = 2,
    STATEV_CheckSync = 3,
    STATEV_VidStable = 4,
};

enum STATEA_Type : u32 {
    STATEA_AudioOff = 0,
    STATEA_RequestAudio = 1,
    STATEA_WaitForReady = 2,
    STATEA_AudioOn = 3,
};

enum STATEEQ_Type : u32 {
    STATEEQ_Off = 0,
    STATEEQ_WaitClock = 1,
    STATEEQ_WaitResult = 2,
    STATEEQ_CheckResult = 3,
    STATEEQ_CheckBitErr = 4,
    STATEEQ_NextValue = 5,
    STATEEQ_Retry = 6,
    STATEEQ_KeepEQStateUntil5VOff = 7,
    STATEEQ_EQDone = 9,
};

enum STATECEC_Type : u32 {
    STATECEC_None = 0,
    STATECEC_TXFail = 2,
    STATECEC_TXDone = 3,
    STATECEC_RXCheck = 4,
};

// Input type as the driver records it.
constexpr u8 INPUT_HDMI = 0;
constexpr u8 INPUT_MHL = 1;
constexpr u8 INPUT_DVI = 2;

// AVI colour formats.
constexpr u8 Color_Format_RGB = 0;
constexpr u8 Color_Format_YUV422 = 1;
constexpr u8 Color_Format_YUV444 = 2;
constexpr u8 Color_Format_YUV420 = 3;

struct iTE6805_DATA {
    u8 ChipID = 0;
    u8 CurrentPort = 0;
    // Port requests, served by the next pass of the main body.
    u8 Flag_PortSelect_Request = 0;
    u8 PortSelect_Port = 0;
    u8 Flag_PortReset_Request = 0;
    u8 PortReset_Port = 0;
    u32 VidState = STATEV_Unplug;
    u32 AudState = STATEA_AudioOff;
    u32 EQState = STATEEQ_Off;
    u32 CECState = STATECEC_None;

    u8 Flag_VidStable_Done = 0;
    u8 Flag_NewAVIInfoFrame = 0;
    u16 HDCP_Status = 0;  // 0 off, 1 HDCP 1.x, 256 HDCP 2.x
    u8 InputType = INPUT_HDMI;
    u8 AVMute_Status = 0;
    u8 Audio_CH_Status = 0;
    u8 Force_Sampling_Frequency = 0;

    u8 Current_SCDTCheck_Count = 0;
    u8 prevAVIDB1 = 0;
    u8 Current_AudioCheck_TryCount = 0;
    u8 Audio_Wait_Count = 0;
    u8 Audio_Recheck_Count = 0;
    u8 Flag_FirstTimeAudioInfo = 0;
    u8 Audio_Status_Copy[3] = {};
    u8 Current_AudioSamplingFreq_ErrorCount = 0;
    u8 VidStable_Pass_Count = 0;
    u8 Clock_Stable_Count = 0;
    u8 DeskewErr_Count = 0;
    u8 DeskewRestart_Count = 0;
    u8 SymbolLockRst_Count[3] = {};  // CH0, CH1, CH2
    u8 ECCErr_Count = 0;
    u8 ECCTimeout_Count = 0;
    u8 Flag_HDCP_Check = 1;
    // The equaliser's EQ value of CH0, CH1, CH2 as last read or chosen (7 bits).
    u8 Report_EQ[3] = {};

    u8 VBO_LaneCount = 0;  // 0..3 = 1, 2, 4, 8 lanes
    u8 VBO_ByteMode = 1;
    u8 Flag_IS_YUV420 = 0;
    u8 US_Output_ColorFormat = Color_Format_RGB;
    u8 AVIInfoFrame_Input_ColorFormat = Color_Format_RGB;
    u8 AVIInfoFrame_Colorimetry = 0;
    u8 AVIInfoFrame_RGBQuantization = 0;
    u8 AVIInfoFrame_YUVQuantization = 0;
    u8 AVIInfoFrame_ExtendedColorimetry = 0;
    u8 AVIInfoFrame_VIC = 0;
};

struct iTE6805_VTiming {
    u16 HActive = 0;
    u16 VActive = 0;
    u16 HTotal = 0;
    u16 VTotal = 0;
    u32 PCLK = 0;     // kHz
    u32 TMDSCLK = 0;  // kHz
    u32 FrameRate = 0;
    u16 HFrontPorch = 0;
    u16 HSyncWidth = 0;
    u16 HBackPorch = 0;
    u16 VFrontPorch = 0;
    u16 VSyncWidth = 0;
    u16 VBackPorch = 0;
    u8 ScanMode = 0;  // 1 interlaced
    u8 VSyncPol = 0;  // 1 positive
    u8 HSyncPol = 0;
};

// A timing the IT6807's down-scaler accepts.
struct iTE6805_DSTiming {
    u16 HActive;
    u16 VActive;
    u16 HTotal;
    u16 VTotal;
    u32 PCLK;  // kHz
    u16 HFrontPorch;
    u16 HSyncWidth;
    u16 HBackPorch;
    u16 VFrontPorch;
    u16 VSyncWidth;
    u16 VBackPorch;
    u32 FrameRate;  // Hz x 1000
    u8 ScanMode;    // 1 interlaced
    u8 HSyncPol;    // 1 positive
    u8 VSyncPol;
    const char* Name;
    u8 VIC;
};

// The revision bits the driver branches on.
inline bool it6805_late_revision(u8 chipId) {
    return chipId == 0x10 || chipId == 0xE0;
}
// Chips that keep their V-by-One output on by themselves.
inline bool it6805_vbo_self_managed(u8 chipId) {
    return chipId == 0x10 || chipId >= 0xE0;
}
