// The IT6602 video state machine, the output and its colour-space converter.
#include <cstdio>

#include "core/global.h"
#include "inputs/velmo_it6602.h"

// Offsets, then the coefficients row by row; rows and columns in the chip's channel order
// (G/Y, R/Cr, B/Cb).
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_RGB_16_235_RGB_0_255 = {
    0xED, 0xED, 0x00, 0x50, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x50, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x09};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_RGB_0_255_RGB_16_235 = {
    0x10, 0x10, 0x00, 0xE0, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xE0, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x06};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_YUV2RGB_ITU709_0_255 = {
    0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B, 0x3E, 0x4F, 0x09,
    0x57, 0x0E, 0x02, 0x00, 0x4F, 0x09, 0xFE, 0x3F, 0xE8, 0x10};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_YUV2RGB_ITU709_16_235 = {
    0x00, 0x00, 0x00, 0x00, 0x08, 0x55, 0x3C, 0x88, 0x3E, 0x00, 0x08,
    0x51, 0x0C, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x84, 0x0E};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_YUV2RGB_ITU601_0_255 = {
    0x04, 0x00, 0xA7, 0x4F, 0x09, 0x81, 0x39, 0xDD, 0x3C, 0x4F, 0x09,
    0xC4, 0x0C, 0x01, 0x00, 0x4F, 0x09, 0xFD, 0x3F, 0x1F, 0x10};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_YUV2RGB_ITU601_16_235 = {
    0x00, 0x00, 0x00, 0x00, 0x08, 0x6B, 0x3A, 0x50, 0x3D, 0x00, 0x08,
    0xF5, 0x0A, 0x02, 0x00, 0x00, 0x08, 0xFD, 0x3F, 0xDA, 0x0D};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_RGB2YUV_ITU709_0_255 = {
    0x10, 0x80, 0x10, 0xE4, 0x04, 0x77, 0x01, 0x7F, 0x00, 0xD0, 0x3C,
    0x83, 0x03, 0xAD, 0x3F, 0x4B, 0x3D, 0x32, 0x3F, 0x84, 0x03};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_RGB2YUV_ITU709_16_235 = {
    0x00, 0x80, 0x10, 0xB8, 0x05, 0xB4, 0x01, 0x94, 0x00, 0x4A, 0x3C,
    0x17, 0x04, 0x9F, 0x3F, 0xD9, 0x3C, 0x10, 0x3F, 0x17, 0x04};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_RGB2YUV_ITU601_0_255 = {
    0x10, 0x80, 0x10, 0x09, 0x04, 0x0E, 0x02, 0xC9, 0x00, 0x0F, 0x3D,
    0x84, 0x03, 0x6D, 0x3F, 0xAB, 0x3D, 0xD1, 0x3E, 0x84, 0x03};
const velmo_it6602::Matrix velmo_it6602::bCSCMtx_RGB2YUV_ITU601_16_235 = {
    0x00, 0x80, 0x10, 0xB2, 0x04, 0x65, 0x02, 0xE9, 0x00, 0x93, 0x3C,
    0x18, 0x04, 0x55, 0x3F, 0x49, 0x3D, 0x9F, 0x3E, 0x18, 0x04};

namespace {

// Converter selections of register 0x65 bits 0..1.
constexpr u8 kCscBypass = 0, kCscRgbRange = 1, kCscRgbToYuv = 2, kCscYuvToRgb = 3;
constexpr u8 kModeRgb = 0;
constexpr u8 kModeItu709 = 0x10;
constexpr u8 kModeLimited = 0x20;
constexpr u8 kOutputLimited = 0x40;
// Below this pixel period the clock is an HD one (above about 61 MHz): ITU-R BT.709.
constexpr u8 kHdPixelPeriod = 52;

}  // namespace

void velmo_it6602::IT6602SwitchVideoState(int ch, u8 state) {
    IT6602_dev_data& d = dev[ch];
    if (d.video_state == state)
        return;
    if (debugOn() && state <= VSTATE_Reserved)
        std::printf("it6602[%d] %s -> %s\n", ch, VStateStr[d.video_state & 0x0F], VStateStr[state]);
    d.video_state = state;
    switch (state) {
        case VSTATE_Off:
            hpd(0, 0);
            hpd(1, 0);
            break;
        case VSTATE_SyncWait:
            IT6602VideoOutputEnable(ch, false);
            d.flags &= static_cast<u8>(~IT6602_dev_data::kNewAvi);
            d.ecc_int_count[0] = d.ecc_int_count[1] = 0;
            d.frame_3d = 0;
            wr(0x6A, 0x82);
            break;
        case VSTATE_SWReset:
            IT6602VideoOutputEnable(ch, false);
            IT6602_AFE_Rst(ch);
            for (int port = 0; port < 2; ++port)
                hpd(port, five_volt(port) ? 1 : 0);
            break;
        case VSTATE_SyncChecking:
            d.video_counter = 101;
            wr(0x6A, 0x82);
            break;
        case VSTATE_VideoOn:
            enter_video_on(ch);
            break;
        default:
            break;
    }
}

void velmo_it6602::enter_video_on(int ch) {
    IT6602VideoOutputConfigure(ch);
    IT6602VideoOutputEnable(ch, true);
    IT6602SwitchAudioState(ch, ASTATE_RequestAudio);
    get_vid_info(ch);
    show_vid_info(ch);
    it6602_Get_Hdmi(ch);
    // The image keeps rates of 55 Hz and more as 60; a rate that cannot be measured is 0.
    u32 rate = frame_rate(ch);
    const IT6602_VTiming& t = timing[ch];
    publish_input_size(ch, t.HActive, t.VActive, static_cast<u16>(rate < 55 ? rate : 60));
    if (debugOn())
        std::printf("\t VSTATE_VideoOn %d stable=1\n", ch);
    wr(0x84, 0x8F);
    wr(0x6A, 0x81);
    dev[ch].sync_wait_counter = 0;
}

void velmo_it6602::IT6602VideoHandler(int ch) {
    IT6602_dev_data& d = dev[ch];
    if (d.video_counter >= 101) {
        d.video_counter = static_cast<u8>(d.video_counter - 100);
    } else {
        d.video_counter = 0;
        if (d.video_state == VSTATE_SyncChecking) {
            IT6602SwitchVideoState(ch, VSTATE_VideoOn);
            return;
        }
    }
    if (d.video_state == VSTATE_SyncWait) {
        WaitingForSCDT(ch);
        return;
    }
    if (d.video_state != VSTATE_VideoOn)
        return;
    if ((d.flags & IT6602_dev_data::kNewAvi) && d.output_mode_flag != 1) {
        IT6602VideoOutputConfigure(ch);
        d.flags &= static_cast<u8>(~IT6602_dev_data::kNewAvi);
    }
    if ((rd(REG_VIDEO_OUT) & 0x80) && !d.mute && !CheckAVMute())
        IT6602_SetVideoMute(false);
}

void velmo_it6602::WaitingForSCDT(int ch) {
    IT6602_dev_data& d = dev[ch];
    u8 status[2] = {};
    rd_block(REG_PORT0_STATUS, status, 2);
    int port = active_port();
    bool scdt = status[0] & 0x80;
    IPLLOvw_chk(ch, port, scdt);
    if (scdt) {
        IT6602SwitchVideoState(ch, VSTATE_SyncChecking);
        return;
    }
    if (d.eq[port].busy)
        return;
    if ((status[port] & 0x09) != 0x09)
        return;
    if (++d.sync_wait_counter <= 21)
        return;
    d.sync_wait_counter = 0;
    hdmirx_ECCTimingOut(port);
    DisableOverWriteRS(ch, port);
    TMDSCheck(ch, port);
}

void velmo_it6602::IT6602VideoOutputEnable(int ch, bool on) {
    if (!on) {
        set(REG_VIDEO_OUT, 0x0F, 0x0F);
        publish_no_signal(ch);
        return;
    }
    set(0x64, 0x80, 0x80);
    set(0x64, 0x80, 0x00);
    delay1ms(10);
    set(REG_VIDEO_OUT, 0x0F, 0x00);
}

void velmo_it6602::IT6602VideoOutputConfigure(int ch) {
    IT6602_dev_data& d = dev[ch];
    if (IsHDMIMode()) {
        d.flags |= IT6602_dev_data::kHdmiMode;
        read_avi(ch);
    } else {
        d.flags &= static_cast<u8>(~IT6602_dev_data::kHdmiMode);
        u8 period = rd(REG_PIXEL_PERIOD);
        d.input_video_mode =
            static_cast<u8>(kModeRgb | (period < kHdPixelPeriod ? kModeItu709 : 0));
    }
    SetColorSpaceConvert(ch);
    set_colour_depth(ch, rd(0x99));
    IT6602_VideoOutputModeSet(ch);
}

// The AVI infoframe as the chip holds it (bank 2, data bytes 1..5 from 0x15).
void velmo_it6602::read_avi(int ch) {
    IT6602_dev_data& d = dev[ch];
    u8 avi[5] = {};
    bank(2);
    rd_block(REG_AVI + 1, avi, 5);
    bank(0);
    d.avi_colour_mode = (avi[0] >> 5) & 0x03;
    d.avi_colorimetry = (avi[1] >> 6) & 0x03;
    d.avi_ext_colorimetry = (avi[2] >> 4) & 0x07;
    d.avi_rgb_range = (avi[2] >> 2) & 0x03;
    d.avi_vic = avi[3] & 0x7F;
    d.avi_ycc_range = (avi[4] >> 6) & 0x03;
    // The default range: full for VIC 0 and 1 (IT formats and 640x480), limited otherwise.
    if (d.avi_rgb_range == 0)
        d.avi_rgb_range = d.avi_vic < 2 ? 2 : 1;
    // The receiver has no 4:2:0 path; such a stream is taken as 4:4:4.
    u8 colour = d.avi_colour_mode > 2 ? 2 : d.avi_colour_mode;
    bool itu709 = false;
    switch (d.avi_colorimetry) {
        case 0:  // none given: by the clock, as for DVI
            itu709 = rd(REG_PIXEL_PERIOD) < kHdPixelPeriod;
            break;
        case 2:
            itu709 = true;
            break;
        case 3:  // extended: xvYCC709 and the BT.2020 codes go nearest to BT.709
            itu709 = d.avi_ext_colorimetry == 1 || d.avi_ext_colorimetry >= 5;
            break;
        default:
            break;
    }
    bool limited = colour == kModeRgb ? d.avi_rgb_range == 1 : d.avi_ycc_range == 0;
    d.input_video_mode =
        static_cast<u8>(colour | (itu709 ? kModeItu709 : 0) | (limited ? kModeLimited : 0));
}

// The output is RGB in full range (the output colour mode of configuration 0). A matrix
// named _0_255 takes limited-range YCbCr to full-range RGB; one named _16_235 keeps the
// levels, so it carries full-range YCbCr to full-range RGB.
void velmo_it6602::SetColorSpaceConvert(int ch) {
    IT6602_dev_data& d = dev[ch];
    u8 in = d.input_video_mode & 0x03;
    bool in709 = d.input_video_mode & kModeItu709;
    bool inLimited = d.input_video_mode & kModeLimited;
    bool outYuv = (d.output_colour_mode & 0x03) != kModeRgb;
    bool outLimited = d.output_colour_mode & kOutputLimited;
    const u8* matrix = nullptr;
    u8 csc = kCscBypass;
    if (!outYuv && in != kModeRgb) {
        bool expand = inLimited && !outLimited;
        matrix = in709 ? (expand ? bCSCMtx_YUV2RGB_ITU709_0_255 : bCSCMtx_YUV2RGB_ITU709_16_235)
                       : (expand ? bCSCMtx_YUV2RGB_ITU601_0_255 : bCSCMtx_YUV2RGB_ITU601_16_235);
        csc = kCscYuvToRgb;
    } else if (outYuv && in == kModeRgb) {
        matrix = in709 ? (inLimited ? bCSCMtx_RGB2YUV_ITU709_16_235 : bCSCMtx_RGB2YUV_ITU709_0_255)
                       : (inLimited ? bCSCMtx_RGB2YUV_ITU601_16_235 : bCSCMtx_RGB2YUV_ITU601_0_255);
        csc = kCscRgbToYuv;
    } else if (!outYuv && inLimited && !outLimited) {
        matrix = bCSCMtx_RGB_16_235_RGB_0_255;
        csc = kCscRgbRange;
        set(0x67, 0x78, 0x78);
        wr(0x68, 0xED);
    } else if (!outYuv && !inLimited && outLimited) {
        matrix = bCSCMtx_RGB_0_255_RGB_16_235;
        csc = kCscRgbRange;
        set(0x67, 0x78, 0x40);
        wr(0x68, 0x10);
    }
    if (matrix) {
        bank(1);
        hdmirxbwr_it6602(bus_, REG_CSC_MATRIX, kMatrixSize, matrix);
        bank(0);
    }
    set(REG_CSC, 0x03, csc);
}

void velmo_it6602::set_colour_depth(int ch, u8 reg99) {
    u8 depth = reg99 >> 4;
    u8 code = depth == 5 ? 1 : (depth == 6 ? 2 : 0);
    set(REG_CSC, 0x0C, static_cast<u8>(code << 2));
    dev[ch].colour_depth = code;
    colour_depth_code[ch] = code;
}

void velmo_it6602::IT6602_VideoOutputModeSet(int ch) {
    IT6602_dev_data& d = dev[ch];
    set(REG_CSC, 0x30, static_cast<u8>((d.output_colour_mode & 0x03) << 4));
    set(REG_PORT_SELECT, 0x04, d.output_signal_type == 2 ? 0x04 : 0x00);
    bank(1);
    set(0x8D, 0x07, d.output_signal_type);
    set(0x8E, 0x03, d.output_colour_depth);
    bank(0);
}

bool velmo_it6602::IsHDMIMode() {
    return rd(active_port() ? REG_PORT1_STATUS : REG_PORT0_STATUS) & 0x10;
}

bool velmo_it6602::CheckAVMute() {
    return rd(active_port() ? REG_PORT1_STATUS : REG_PORT0_STATUS) & 0x20;
}

void velmo_it6602::IT6602_SetVideoMute(bool on) {
    set(REG_VIDEO_OUT, 0x80, on ? 0x80 : 0x00);
}

void velmo_it6602::IT6602_ManualVideoTristate(bool on) {
    if (on) {
        set(REG_VIDEO_OUT, 0xC0, 0xC0);
        set(REG_VIDEO_OUT, 0x0E, 0x00);
        set(0x52, 0x20, 0x20);
        return;
    }
    set(REG_VIDEO_OUT, 0xC0, 0x40);
}

void velmo_it6602::IT6602_HDCP_ContentOff(int ch, int port, bool on) {
    IT6602_dev_data& d = dev[ch];
    if (port != d.selected_port)
        return;
    if (on) {
        IT6602_ManualVideoTristate(true);
        d.mute = 1;
        return;
    }
    if (d.video_state == VSTATE_VideoOn && d.mute) {
        IT6602_ManualVideoTristate(false);
        d.mute = 0;
    }
}
