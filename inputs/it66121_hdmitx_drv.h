// The IT66121 transmitter's register layer: register tables, power, the DDC master that
// reads the sink's EDID, and the video output controls.
//
// Register tables are sequences of {register, mask, value} rows: mask 0xFF writes the
// value, another non-zero mask writes the masked bits (read-modify-write), mask 0 with a
// non-zero register and value 0 waits that many milliseconds, and the row 0, 0, 0 ends the
// table. The set of tables and the order the driver loads them in are fixed; their rows
// come from the transmitter's programming guide, which this driver does not carry, so each
// table holds its end row only until they are filled in.
#pragma once

#include "core/types.h"

class sdi_it66121;

struct it66121_reg_row {
    u8 reg;
    u8 mask;
    u8 value;
};

// The device's input and output settings (the system object's InstanceData).
struct it66121_instance {
    u8 device;             // the device index
    u8 i2c_address;        // 8-bit bus address
    u8 input_signal;       // input video signal kind
    u8 input_color_mode;   // 0 RGB, 1 YUV 4:2:2, 2 YUV 4:4:4
    u8 output_color_mode;  // as the input
    u8 input_color_depth;  // bits per component
    u8 output_color_depth;
    u8 hdmi_mode;       // 1 HDMI, 0 DVI
    u8 audio_input;     // 0 S/PDIF, 1 I2S
    u8 audio_channels;  // enabled channels, one bit each
    u8 audio_swap;
    u8 audio_fs_code;
    u32 tmds_clock;  // Hz
    u8 hot_plug;
    u8 rx_sense;
    u8 reserved[2];
};
static_assert(sizeof(it66121_instance) == 20, "the instance data is 20 bytes");

class it66121_hdmitx_drv {
public:
    static constexpr u8 kEdidAddress = 0xA0;
    static constexpr unsigned kEdidBlock = 128;
    // Bytes the DDC master moves per command.
    static constexpr unsigned kDdcChunk = 32;
    static constexpr unsigned kDdcPolls = 200;

    static const it66121_reg_row HDMITX_Init_Table[];
    static const it66121_reg_row HDMITX_DefaultVideo_Table[];
    static const it66121_reg_row HDMITX_SetHDMI_Table[];
    static const it66121_reg_row HDMITX_SetDVI_Table[];
    static const it66121_reg_row HDMITX_DefaultAVIInfo_Table[];
    static const it66121_reg_row HDMITX_DeaultAudioInfo_Table[];
    static const it66121_reg_row HDMITX_Aud_CHStatus_LPCM_20bit_48Khz[];
    static const it66121_reg_row HDMITX_AUD_SPDIF_2ch_24bit[];
    static const it66121_reg_row HDMITX_AUD_I2S_2ch_24bit[];
    static const it66121_reg_row HDMITX_DefaultAudio_Table[];
    static const it66121_reg_row HDMITX_PwrOn_Table[];
    static const it66121_reg_row HDMITX_PwrDown_Table[];

    it66121_instance instance{};

    explicit it66121_hdmitx_drv(sdi_it66121& bus);

    // Applies the rows of a table in order up to its end row.
    void hdmitx_LoadRegSetting(const it66121_reg_row* table);

    void HDMITX_PowerOn();
    void HDMITX_PowerDown();

    // The DDC master: FIFO clear, SCL clocks to free a stuck sink, abort of a transfer.
    void hdmitx_ClearDDCFIFO();
    void hdmitx_GenerateDDCSCLK();
    void hdmitx_AbortDDC();
    // count bytes of the sink's EDID from offset of segment (a busy DDC master is aborted
    // first); false when a chunk does not complete.
    bool getHDMITX_EDIDBytes(u8* data, u8 segment, u8 offset, u16 count);
    bool getHDMITX_EDIDBlock(int block, u8* data);

    // Sink present (hot plug) and receiver sense; reads and clears the interrupt status.
    void CheckSinkState(u8& hotPlug, u8& rxSense);
    void HDMITX_EnableVideoOutput(u8 hdmi);
    void HDMITX_DisableVideoOutput();
    // The audio set-up for the instance's input kind.
    void HDMITX_EnableAudioOutput();

private:
    // Waits for the DDC master; true when it finished without error.
    bool ddc_wait();

    sdi_it66121& bus_;
};
