// The IT66121 transmitter's system state: the sink (present, receiver sense, HDMI or DVI,
// deep colour), the requested video format and audio, and the poll pass that follows the
// sink and sets the output up.
#pragma once

#include "core/types.h"
#include "inputs/it66121_hdmitx_drv.h"

class it66121_hdmitx_sys {
public:
    static constexpr u8 kMaxVic = 61;
    static constexpr u8 kPassWrap = 20;
    static constexpr u8 kColorRgb = 0;

    // What the sink's EDID says.
    struct SinkCaps {
        u8 valid;
        u8 hdmi;  // an HDMI vendor block: HDMI, else DVI
        u8 deep_color_30;
        u8 deep_color_36;
    };

    // Audio request: sample rate, channels and the audio type code.
    u32 audio_sample_rate = 48000;
    u8 audio_channels = 2;
    u16 audio_type = 0x1801;
    u16 option = 0x8000;

    it66121_instance InstanceData{};
    SinkCaps sink{};
    u8 hot_plug = 0;
    u8 rx_sense = 0;
    // Requests the poll pass serves.
    u8 change_mode = 0;
    u8 change_audio = 0;
    u8 variables_ready = 0;

    // The output format: CEA video code, pixel clock, 16:9 or 4:3, colour mode.
    u8 vic = 0;
    u32 pixel_clock_hz = 0;
    u8 aspect_16_9 = 0;
    u8 output_color_mode = kColorRgb;
    u8 pass_count = 0;

    explicit it66121_hdmitx_sys(it66121_hdmitx_drv& drv);

    void InitHDMITX_Variable();
    // Loads the set-up tables in their order.
    void InitHDMITX();
    // Records a CEA format (VIC 1..61) for the next output set-up; false for other codes.
    bool HDMITX_ChangeDisplayOption(u8 vicCode, u8 colorMode);
    // One poll pass.
    void HDMITX_DevLoopProc();

    void CheckHDMITX(u8& hotPlug, u8& changed);
    bool ParseEDID();
    // Reads the HDMI vendor block of a CEA extension block.
    bool ParseCEAEDID(const u8* block);
    void HDMITX_SetOutput();
    void HDMITX_SetAudioOutput();

private:
    it66121_hdmitx_drv& drv_;
};
