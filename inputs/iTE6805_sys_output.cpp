// The IT6805's output path: V-by-One lanes for the measured timing, the colour conversion
// to RGB, and the audio output with its sampling-frequency check.
#include <cstdio>

#include "core/global.h"
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

constexpr u16 kTwoSectionWidth = 2176;
constexpr u32 kOneLaneMaxKHz = 80000;
constexpr u32 kTwoLaneMaxKHz = 160000;
constexpr unsigned kVboClockWaits = 500;
constexpr u8 kForcedAudioErrors = 16;

// YUV to RGB conversion matrices, bank 1 0x70..0x85.
constexpr u8 kCscBt601[22] = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0x81, 0x39, 0xDD, 0x3C, 0x4F, 0x09,
                              0xC4, 0x0C, 0x01, 0x00, 0x4F, 0x09, 0xFD, 0x3F, 0x1F, 0x10, 0x00};
constexpr u8 kCscBt709[22] = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B, 0x3E, 0x4F, 0x09,
                              0x57, 0x0E, 0x02, 0x00, 0x4F, 0x09, 0xFE, 0x3F, 0xE8, 0x10, 0x00};
constexpr u8 kCscBt2020[22] = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xCC, 0x3A, 0x7E, 0x3E, 0x4F, 0x09,
                               0x69, 0x0D, 0x0B, 0x00, 0x4F, 0x09, 0xFE, 0x3F, 0x1D, 0x11, 0x00};

// Computed audio sampling rate (kHz, inclusive ranges) to the channel-status code.
struct FsRow {
    u16 low, high;
    u8 code;
};
constexpr FsRow kSamplingCodes[] = {
    {26, 38, 0x03},   {39, 45, 0x00},   {46, 58, 0x02},   {59, 78, 0x0B},    {79, 91, 0x08},
    {92, 106, 0x0A},  {107, 166, 0x2B}, {167, 182, 0x0C}, {183, 202, 0x0E},  {225, 320, 0x1B},
    {321, 448, 0x05}, {449, 638, 0x3B}, {639, 894, 0x09}, {895, 1324, 0x35},
};

u8 channelStatusCode(u8 reg) {
    return static_cast<u8>(((reg >> 2) & 0x30) | (reg & 0x0F));
}

}  // namespace

void ite6805_sys::iTE6807_Video_Output_Setting(u8 dev) {
    if (dev != 0)
        return;
    set(0x64, 0x04, 0x00);
    set(0x64, 0x02, 0x02);
    set(0x64, 0x02, 0x00);
    bank(5);
    set(0x20, 0x40, 0x40);
    set(0xCB, 0x01, 0x00);
    set(0xD3, 0x80, 0x80);
    set(0xD3, 0x80, 0x00);
    wr(0xC7, timing.PCLK > 29999 ? 0x00 : 0x49);
    bank(1);
    set(B1_MODE, 0x01, 0x00);
    set_two_section_mode();
    u8 lanes = vbo_lane_count();
    data.VBO_LaneCount = lanes;
    bank(1);
    set(0xBD, 0x30, lanes > 0 ? 0x10 : 0x00);
    data.VBO_ByteMode = 1;
    debugLog("Force ByteMode = 4B (variable iTE6805_DATA.VBO_ByteMode = 1)\n");
    bank(5);
    set(B5_LANES, 0xF0, static_cast<u8>(((data.VBO_ByteMode << 2) + lanes) << 4));
    start_vbo_clock();
    set(0xC6, 0x07, ((rd(B5_VBO_STATUS) >> 2) & 0x03) < 3 ? 0x03 : 0x04);
    set(0xC1, 0x04, 0x00);
    if (it6805_late_revision(data.ChipID))
        drv->set_late_vbo_registers();
    bool wasMultiLane = prev_lane_count > 0;
    bool firstSetUp = prev_lane_count == 7;
    prev_lane_count = lanes;
    if (firstSetUp || wasMultiLane != (lanes > 0)) {
        debugLog("Lane Count Changed, need reset video logic \r");
        bank(0);
        drv->iTE6805_Reset_Video_Logic(0);
        delay1ms(1);
        bank(5);
    }
    set(B5_VBO_OUTPUT, 0x01, 0x00);
    bank(0);
}

// Wide or fast pictures are sent in two sections (ends in bank 0).
void ite6805_sys::set_two_section_mode() {
    bool twoSection = timing.HActive > kTwoSectionWidth || timing.PCLK >= kTwoLaneMaxKHz;
    debugLog(twoSection ? "!! Enable _iTE6807_EnableTwoSectionMode_ !!\n"
                        : "!! _iTE6807_EnableTwoSectionMode_ Disabled !!\n");
    bank(5);
    set(0xCB, 0x01, twoSection ? 0x01 : 0x00);
    bank(0);
    set(0x64, 0x04, twoSection ? 0x04 : 0x00);
    if (twoSection) {
        set(0x33, 0x02, 0x02);
        set(0x33, 0x02, 0x00);
    }
}

// 0..3 for 1, 2, 4, 8 lanes. Four lanes need every horizontal value in multiples of 4.
u8 ite6805_sys::vbo_lane_count() {
    const iTE6805_VTiming& t = timing;
    u8 lanes = 0;
    if (drv->iTE6805_Check_4K_Resolution(0))
        lanes = 3;
    else if (t.PCLK > kOneLaneMaxKHz && t.PCLK <= kTwoLaneMaxKHz)
        lanes = t.HActive > kTwoSectionWidth ? 2 : 1;
    else if (t.PCLK > kTwoLaneMaxKHz)
        lanes = 2;
    if (lanes == 2 && (t.HTotal % 4 || t.HActive % 4 || t.HBackPorch % 4 || t.HFrontPorch % 4 ||
                       t.HSyncWidth % 4)) {
        lanes = 1;
        debugLog(
            "!!!!!! Set VBO_LaneCount = 2 Lan because of H parameter need devided by 4!!!!!!\n");
    }
    return lanes;
}

// Restarts the transmitter clock until it runs, within a bound (bank 5 selected).
void ite6805_sys::start_vbo_clock() {
    set(0xD2, 0x10, 0x00);
    set(0xD2, 0x10, 0x10);
    delay1ms(10);
    for (unsigned i = 0; i < kVboClockWaits && !(rd(B5_VBO_STATUS) & 0x10); ++i) {
        set(0xD2, 0x10, 0x00);
        set(0xD2, 0x10, 0x10);
        delay1ms(10);
        debugLog("Wait VBOTX Clock Stable! i = %d\n", i);
    }
}

void ite6805_sys::iTE6805_Enable_Video_Output(u8 dev) {
    if (dev != 0)
        return;
    if (drv->iTE6805_Check_HDMI_OR_DVI_Mode(0) == INPUT_DVI) {
        debugLog("---- CSC DVI mode ----\n");
        data.InputType = INPUT_DVI;
        // A DVI source sends RGB and no InfoFrame.
        data.AVIInfoFrame_Input_ColorFormat = Color_Format_RGB;
        data.Flag_IS_YUV420 = 0;
        set(REG_CSC_IN, 0x31, 0x11);
        data.AVIInfoFrame_Colorimetry = rd(REG_TMDS_COUNT) < 52 ? 2 : 1;
    } else {
        debugLog("---- CSC HDMI mode ----\n");
        drv->iTE6805_Get_AVIInfoFrame_Info(0);
        drv->iTE6805_GET_InputType(0);
        set(REG_CSC_IN, 0x31, static_cast<u8>(data.AVIInfoFrame_Input_ColorFormat << 4));
    }
    wr(0x6E, 0xE0);
    bank(1);
    wr(0x86, 0x00);
    bank(0);
    if (data.AVIInfoFrame_Input_ColorFormat != Color_Format_RGB) {
        debugLog("---- input YUV to output RGB ----\n");
        set(REG_CSC_CTRL, 0x03, 0x03);
        const u8* table = kCscBt601;
        int number = 5;
        if (data.AVIInfoFrame_Colorimetry == 2) {
            table = kCscBt709;
            number = 7;
        } else if (data.AVIInfoFrame_Colorimetry == 3 &&
                   (data.AVIInfoFrame_ExtendedColorimetry == 5 ||
                    data.AVIInfoFrame_ExtendedColorimetry == 6)) {
            table = kCscBt2020;
            number = 8;
        }
        bank(1);
        i2c->hdmirxbwr(B1_CSC_TABLE, sizeof kCscBt601, table, 0);
        bank(0);
        debugLog("--- Using CSC_TABLE = %d --- \n", number);
    } else {
        debugLog("---- YUV to YUV or RGB to RGB ----\n");
        set(REG_CSC_CTRL, 0x03, 0x00);
        bank(1);
        wr(B1_CSC_LAST, 0x00);
        bank(0);
    }
    drv->iTE6805_Set_ColorDepth(0);
    drv->iTE6805_Set_TTL_Video_Path(0);
}

void ite6805_sys::iTE6805_Set_Audio_Tristate(u8 on, u8 dev) {
    if (dev != 0)
        return;
    bank(1);
    wr(B1_AUDIO_TRISTATE, on ? 0x7F : 0x00);
    bank(0);
}

// Checks the sampling rate the audio clock regeneration gives (TMDS x N / (CTS x 128))
// against the rate the channel status announces; when they keep disagreeing, the
// computed rate is forced.
void ite6805_sys::iTE6805_Enable_Audio_Output(u8 dev) {
    if (dev != 0)
        return;
    set(REG_AUDIO_CTRL, 0x01, 0x01);
    bank(2);
    u8 acr[5];
    for (u8 i = 0; i < 5; ++i)
        acr[i] = rd(static_cast<u8>(B2_AUDIO_N + i));
    bank(0);
    u32 n = (static_cast<u32>(acr[0]) << 12) + (static_cast<u32>(acr[1]) << 4) + (acr[2] & 0x0F);
    u32 cts = (static_cast<u32>(acr[3]) << 12) + (static_cast<u32>(acr[4]) << 4) + (acr[2] >> 4);
    u32 tmds = drv->iTE6805_Get_TMDS(10, 0);
    debugLog("N = %ld \n", static_cast<long>(n));
    debugLog("CTS = %ld \n", static_cast<long>(cts));
    debugLog("TMDSCLK = %ld \n", static_cast<long>(tmds));
    if (cts == 0)
        return;
    u16 fs = static_cast<u16>(static_cast<u64>(tmds) * n / (static_cast<u64>(cts) * 128));
    debugLog("SW caulate SW_Sampling_Frequency = %d \r\n", fs);
    for (const FsRow& row : kSamplingCodes)
        if (fs >= row.low && fs <= row.high)
            data.Force_Sampling_Frequency = row.code;
    u8 announced = channelStatusCode(rd(REG_AUDIO_CH_STATUS));
    if (announced == data.Force_Sampling_Frequency) {
        debugLog("Audio_CH_Status == iTE6805_DATA.Force_Sampling_Frequency reset Audio \r\n");
        bool forced = rd(REG_AUDIO_FORCE) & AUDIO_FORCED;
        set(REG_AUDIO_FORCE, AUDIO_FORCED, 0x00);
        if (forced)
            drv->iTE6805_Reset_Audio_Logic(0);
        data.Current_AudioSamplingFreq_ErrorCount = 0;
        return;
    }
    ++data.Current_AudioSamplingFreq_ErrorCount;
    debugLog("Current_AudioSamplingFreq_ErrorCount=%d \r\n",
             data.Current_AudioSamplingFreq_ErrorCount);
    if (data.Current_AudioSamplingFreq_ErrorCount < kForcedAudioErrors)
        return;
    set(REG_AUDIO_FORCE, AUDIO_FORCED, AUDIO_FORCED);
    set(REG_AUDIO_FS, 0x3F, data.Force_Sampling_Frequency);
    data.Current_AudioSamplingFreq_ErrorCount = 0;
    drv->iTE6805_Reset_Audio_Logic(0);
    debugLog("ForceAudio Mode\r");
}
