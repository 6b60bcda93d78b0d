#include "inputs/it66121_hdmitx_drv.h"

#include "board/board.h"
#include "inputs/sdi_it66121.h"

namespace {

constexpr u8 REG_RESET = 0x04;  // bit 3: video path held in reset
constexpr u8 RESET_VIDEO = 0x08;
constexpr u8 REG_INT0 = 0x06;  // bit 2: DDC busy
constexpr u8 INT0_DDC_BUSY = 0x04;
constexpr u8 REG_INT1 = 0x07;
constexpr u8 REG_INT_CLEAR0 = 0x0C;
constexpr u8 REG_INT_CLEAR1 = 0x0D;
constexpr u8 REG_SYS_STATUS = 0x0E;  // 7 sink present, 6 RxSense, 1..0 clear
constexpr u8 SYS_HOT_PLUG = 0x80;
constexpr u8 SYS_RX_SENSE = 0x40;
constexpr u8 SYS_INT_CLEAR = 0x03;
constexpr u8 REG_DDC_MASTER = 0x10;
constexpr u8 REG_DDC_HEADER = 0x11;
constexpr u8 REG_DDC_OFFSET = 0x12;
constexpr u8 REG_DDC_COUNT = 0x13;
constexpr u8 REG_DDC_SEGMENT = 0x14;
constexpr u8 REG_DDC_COMMAND = 0x15;
constexpr u8 REG_DDC_STATUS = 0x16;  // 7 done, 5..3 errors
constexpr u8 DDC_DONE = 0x80;
constexpr u8 DDC_ERRORS = 0x38;
constexpr u8 REG_DDC_FIFO = 0x17;
constexpr u8 DDC_EDID_READ = 3;
constexpr u8 DDC_FIFO_CLEAR = 9;
constexpr u8 DDC_GENERATE_SCL = 10;
constexpr u8 DDC_ABORT = 15;
constexpr u8 REG_OUTPUT = 0x61;
constexpr u8 OUTPUT_OFF = 0x30;
constexpr u8 REG_OUTPUT2 = 0x62;
constexpr u8 REG_OUTPUT4 = 0x64;
constexpr u8 REG_INT2 = 0xEE;

constexpr it66121_reg_row kEnd = {0x00, 0x00, 0x00};

}  // namespace

// The rows of these tables are the transmitter's programming guide's.
const it66121_reg_row it66121_hdmitx_drv::HDMITX_Init_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_DefaultVideo_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_SetHDMI_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_SetDVI_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_DefaultAVIInfo_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_DeaultAudioInfo_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_Aud_CHStatus_LPCM_20bit_48Khz[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_AUD_SPDIF_2ch_24bit[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_AUD_I2S_2ch_24bit[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_DefaultAudio_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_PwrOn_Table[] = {kEnd};
const it66121_reg_row it66121_hdmitx_drv::HDMITX_PwrDown_Table[] = {kEnd};

it66121_hdmitx_drv::it66121_hdmitx_drv(sdi_it66121& bus) : bus_(bus) {}

void it66121_hdmitx_drv::hdmitx_LoadRegSetting(const it66121_reg_row* table) {
    if (!table)
        return;
    for (const it66121_reg_row* row = table; row->reg || row->mask || row->value; ++row) {
        if (row->mask == 0xFF)
            bus_.HDMITX_WriteI2C_Byte(row->reg, row->value);
        else if (row->mask)
            bus_.HDMITX_SetI2C_Byte(row->reg, row->mask, row->value);
        else if (row->reg && !row->value)
            board::msleep(row->reg);
    }
}

void it66121_hdmitx_drv::HDMITX_PowerOn() {
    hdmitx_LoadRegSetting(HDMITX_PwrOn_Table);
}

void it66121_hdmitx_drv::HDMITX_PowerDown() {
    hdmitx_LoadRegSetting(HDMITX_PwrDown_Table);
}

void it66121_hdmitx_drv::hdmitx_ClearDDCFIFO() {
    bus_.HDMITX_WriteI2C_Byte(REG_DDC_MASTER, 1);
    bus_.HDMITX_WriteI2C_Byte(REG_DDC_COMMAND, DDC_FIFO_CLEAR);
}

void it66121_hdmitx_drv::hdmitx_GenerateDDCSCLK() {
    bus_.HDMITX_WriteI2C_Byte(REG_DDC_MASTER, 1);
    bus_.HDMITX_WriteI2C_Byte(REG_DDC_COMMAND, DDC_GENERATE_SCL);
}

// Issued twice: a first abort can leave the master mid-byte.
void it66121_hdmitx_drv::hdmitx_AbortDDC() {
    for (int i = 0; i < 2; ++i) {
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_MASTER, 1);
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_COMMAND, DDC_ABORT);
        for (unsigned poll = 0; poll < kDdcPolls; ++poll) {
            u8 status = bus_.HDMITX_ReadI2C_Byte(REG_DDC_STATUS);
            if (status & (DDC_DONE | DDC_ERRORS))
                break;
            board::msleep(1);
        }
    }
}

bool it66121_hdmitx_drv::ddc_wait() {
    for (unsigned poll = 0; poll < kDdcPolls; ++poll) {
        u8 status = bus_.HDMITX_ReadI2C_Byte(REG_DDC_STATUS);
        if (status & DDC_ERRORS)
            return false;
        if (status & DDC_DONE)
            return true;
        board::msleep(1);
    }
    return false;
}

bool it66121_hdmitx_drv::getHDMITX_EDIDBytes(u8* data, u8 segment, u8 offset, u16 count) {
    if (!data)
        return false;
    if (bus_.HDMITX_ReadI2C_Byte(REG_INT0) & INT0_DDC_BUSY)
        hdmitx_AbortDDC();
    unsigned at = 0;
    while (at < count) {
        u8 n = static_cast<u8>(count - at < kDdcChunk ? count - at : kDdcChunk);
        hdmitx_ClearDDCFIFO();
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_HEADER, kEdidAddress);
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_OFFSET, static_cast<u8>(offset + at));
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_COUNT, n);
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_SEGMENT, segment);
        bus_.HDMITX_WriteI2C_Byte(REG_DDC_COMMAND, DDC_EDID_READ);
        if (!ddc_wait() || !bus_.HDMITX_ReadI2C_ByteN(REG_DDC_FIFO, data + at, n))
            return false;
        at += n;
    }
    return true;
}

bool it66121_hdmitx_drv::getHDMITX_EDIDBlock(int block, u8* data) {
    if (block < 0 || block > 0xFF)
        return false;
    return getHDMITX_EDIDBytes(data, static_cast<u8>(block / 2),
                               static_cast<u8>((block % 2) * kEdidBlock), kEdidBlock);
}

void it66121_hdmitx_drv::CheckSinkState(u8& hotPlug, u8& rxSense) {
    u8 status = bus_.HDMITX_ReadI2C_Byte(REG_SYS_STATUS);
    hotPlug = (status & SYS_HOT_PLUG) ? 1 : 0;
    rxSense = (status & SYS_RX_SENSE) ? 1 : 0;
    u8 int0 = bus_.HDMITX_ReadI2C_Byte(REG_INT0);
    u8 int1 = bus_.HDMITX_ReadI2C_Byte(REG_INT1);
    u8 int2 = bus_.HDMITX_ReadI2C_Byte(REG_INT2);
    if (int0 || int1 || int2) {
        bus_.HDMITX_WriteI2C_Byte(REG_INT_CLEAR0, 0xFF);
        bus_.HDMITX_WriteI2C_Byte(REG_INT_CLEAR1, 0xFF);
        bus_.HDMITX_SetI2C_Byte(REG_SYS_STATUS, SYS_INT_CLEAR, SYS_INT_CLEAR);
        bus_.HDMITX_SetI2C_Byte(REG_SYS_STATUS, SYS_INT_CLEAR, 0x00);
        if (int2)
            bus_.HDMITX_WriteI2C_Byte(REG_INT2, int2);
    }
    if (!hotPlug)
        bus_.HDMITX_WriteI2C_Byte(REG_OUTPUT, OUTPUT_OFF);
    instance.hot_plug = hotPlug;
    instance.rx_sense = rxSense;
}

void it66121_hdmitx_drv::HDMITX_EnableVideoOutput(u8 hdmi) {
    instance.hdmi_mode = hdmi ? 1 : 0;
    hdmitx_LoadRegSetting(HDMITX_DefaultVideo_Table);
    hdmitx_LoadRegSetting(hdmi ? HDMITX_SetHDMI_Table : HDMITX_SetDVI_Table);
}

void it66121_hdmitx_drv::HDMITX_DisableVideoOutput() {
    bus_.HDMITX_SetI2C_Byte(REG_RESET, RESET_VIDEO, RESET_VIDEO);
    bus_.HDMITX_WriteI2C_Byte(REG_OUTPUT, OUTPUT_OFF);
    bus_.HDMITX_SetI2C_Byte(REG_OUTPUT2, 0x90, 0x00);
    bus_.HDMITX_SetI2C_Byte(REG_OUTPUT4, 0x89, 0x00);
}

void it66121_hdmitx_drv::HDMITX_EnableAudioOutput() {
    hdmitx_LoadRegSetting(HDMITX_DefaultAudio_Table);
    hdmitx_LoadRegSetting(instance.audio_input ? HDMITX_AUD_I2S_2ch_24bit
                                               : HDMITX_AUD_SPDIF_2ch_24bit);
    hdmitx_LoadRegSetting(HDMITX_Aud_CHStatus_LPCM_20bit_48Khz);
}
