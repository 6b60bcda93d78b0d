#include "inputs/it66121_hdmitx_sys.h"

#include <cstdio>

#include "core/global.h"

namespace {

constexpr u8 kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr int kExtensionCount = 126;
constexpr u8 kCeaTag = 0x02;
constexpr u8 kVendorBlockTag = 3;
constexpr u8 kHdmiOui[3] = {0x03, 0x0C, 0x00};  // IEEE 00-0C-03, least significant first
constexpr u8 kDeepColor30 = 0x10;
constexpr u8 kDeepColor36 = 0x20;

// Pixel clocks of CEA-861 formats 1..61 in Hz: formats sent with pixel repetition carry
// the clock of their unrepeated picture.
constexpr u32 kVicPixelClock[it66121_hdmitx_sys::kMaxVic + 1] = {
    0,        25000000,  27000000,  27000000,  74250000,  74250000,  13500000, 13500000,  13500000,
    13500000, 13500000,  13500000,  13500000,  13500000,  27000000,  27000000, 148500000, 27000000,
    27000000, 74250000,  74250000,  13500000,  13500000,  13500000,  13500000, 13500000,  13500000,
    13500000, 13500000,  27000000,  27000000,  148500000, 74250000,  74250000, 74250000,  27000000,
    27000000, 27000000,  27000000,  72000000,  148500000, 148500000, 54000000, 54000000,  27000000,
    27000000, 148500000, 148500000, 54000000,  54000000,  27000000,  27000000, 108000000, 108000000,
    54000000, 54000000,  108000000, 108000000, 54000000,  54000000,  59400000, 74250000};

// The 4:3 formats; every other code of 1..61 is 16:9.
constexpr u8 kFourByThree[] = {1,  2,  6,  8,  10, 12, 14, 17, 21, 23, 25, 27,
                               29, 35, 37, 42, 44, 48, 50, 52, 54, 56, 58};

bool fourByThree(u8 vic) {
    for (u8 code : kFourByThree)
        if (code == vic)
            return true;
    return false;
}

bool validBlock(const u8* block) {
    u8 sum = 0;
    for (unsigned i = 0; i < it66121_hdmitx_drv::kEdidBlock; ++i)
        sum = static_cast<u8>(sum + block[i]);
    return sum == 0;
}

}  // namespace

it66121_hdmitx_sys::it66121_hdmitx_sys(it66121_hdmitx_drv& drv) : drv_(drv) {}

void it66121_hdmitx_sys::InitHDMITX_Variable() {
    InstanceData = it66121_instance{};
    InstanceData.i2c_address = 0x98;
    InstanceData.audio_channels = 0x03;
    sink = SinkCaps{};
    hot_plug = rx_sense = 0;
    change_mode = change_audio = 0;
    pass_count = 0;
    drv_.instance = InstanceData;
    variables_ready = 1;
}

void it66121_hdmitx_sys::InitHDMITX() {
    for (const it66121_reg_row* table :
         {it66121_hdmitx_drv::HDMITX_Init_Table, it66121_hdmitx_drv::HDMITX_DefaultVideo_Table,
          it66121_hdmitx_drv::HDMITX_SetHDMI_Table, it66121_hdmitx_drv::HDMITX_DefaultAVIInfo_Table,
          it66121_hdmitx_drv::HDMITX_DeaultAudioInfo_Table,
          it66121_hdmitx_drv::HDMITX_Aud_CHStatus_LPCM_20bit_48Khz,
          it66121_hdmitx_drv::HDMITX_AUD_SPDIF_2ch_24bit})
        drv_.hdmitx_LoadRegSetting(table);
}

bool it66121_hdmitx_sys::HDMITX_ChangeDisplayOption(u8 vicCode, u8 colorMode) {
    if (vicCode < 1 || vicCode > kMaxVic)
        return false;
    vic = vicCode;
    pixel_clock_hz = kVicPixelClock[vicCode];
    aspect_16_9 = fourByThree(vicCode) ? 0 : 1;
    output_color_mode = colorMode;
    InstanceData.output_color_mode = colorMode;
    InstanceData.tmds_clock = pixel_clock_hz;
    change_mode = 1;
    return true;
}

void it66121_hdmitx_sys::CheckHDMITX(u8& hotPlug, u8& changed) {
    u8 sense = 0;
    drv_.CheckSinkState(hotPlug, sense);
    changed = hotPlug != hot_plug ? 1 : 0;
    hot_plug = hotPlug;
    rx_sense = sense;
}

void it66121_hdmitx_sys::HDMITX_DevLoopProc() {
    if (!variables_ready)
        return;
    u8 present = 0;
    u8 changed = 0;
    CheckHDMITX(present, changed);
    if (changed && present) {
        debugLog("IT66121: sink connected\n");
        drv_.HDMITX_PowerOn();
        ParseEDID();
        change_mode = 1;
        change_audio = 1;
    } else if (changed) {
        debugLog("IT66121: sink removed\n");
        drv_.HDMITX_DisableVideoOutput();
        drv_.HDMITX_PowerDown();
    } else if (present) {
        if (change_mode) {
            HDMITX_SetOutput();
            change_mode = 0;
        }
        if (change_audio) {
            HDMITX_SetAudioOutput();
            change_audio = 0;
        }
    }
    if (++pass_count >= kPassWrap)
        pass_count = 0;
}

bool it66121_hdmitx_sys::ParseEDID() {
    u8 block[it66121_hdmitx_drv::kEdidBlock];
    sink = SinkCaps{};
    if (!drv_.getHDMITX_EDIDBlock(0, block) || !validBlock(block))
        return false;
    for (int i = 0; i < 8; ++i)
        if (block[i] != kEdidHeader[i])
            return false;
    sink.valid = 1;
    int extensions = block[kExtensionCount];
    for (int b = 1; b <= extensions && b < 4; ++b) {
        if (drv_.getHDMITX_EDIDBlock(b, block) && validBlock(block) && block[0] == kCeaTag &&
            ParseCEAEDID(block))
            break;
    }
    InstanceData.hdmi_mode = sink.hdmi;
    debugLog("IT66121: sink %s, deep colour 30 %d 36 %d\n", sink.hdmi ? "HDMI" : "DVI",
             sink.deep_color_30, sink.deep_color_36);
    return true;
}

// Walks the data blocks of a CEA extension for the HDMI vendor block.
bool it66121_hdmitx_sys::ParseCEAEDID(const u8* block) {
    unsigned end = block[2];
    if (end < 4 || end > it66121_hdmitx_drv::kEdidBlock)
        return false;
    for (unsigned at = 4; at < end;) {
        unsigned tag = block[at] >> 5;
        unsigned length = block[at] & 0x1F;
        if (at + 1 + length > end)
            return false;
        const u8* payload = block + at + 1;
        if (tag == kVendorBlockTag && length >= 5 && payload[0] == kHdmiOui[0] &&
            payload[1] == kHdmiOui[1] && payload[2] == kHdmiOui[2]) {
            sink.hdmi = 1;
            if (length >= 6) {
                sink.deep_color_30 = (payload[5] & kDeepColor30) ? 1 : 0;
                sink.deep_color_36 = (payload[5] & kDeepColor36) ? 1 : 0;
            }
            return true;
        }
        at += 1 + length;
    }
    return false;
}

void it66121_hdmitx_sys::HDMITX_SetOutput() {
    InstanceData.tmds_clock = pixel_clock_hz;
    drv_.instance.output_color_mode = output_color_mode;
    drv_.instance.tmds_clock = pixel_clock_hz;
    // A sink whose EDID could not be read gets DVI, which every sink takes.
    drv_.HDMITX_EnableVideoOutput(sink.hdmi);
}

void it66121_hdmitx_sys::HDMITX_SetAudioOutput() {
    drv_.instance.audio_input = InstanceData.audio_input;
    drv_.HDMITX_EnableAudioOutput();
}
