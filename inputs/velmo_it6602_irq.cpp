// IT6602 interrupts, the event manager and 3D frames.
#include <cstdio>

#include "core/global.h"
#include "core/le.h"
#include "inputs/velmo_it6602.h"

namespace {

constexpr u8 kHold = IT6602_dev_data::kHold;
constexpr u8 kTmdsCheck = IT6602_dev_data::kTmdsCheck;
constexpr u8 kEqDetect = IT6602_dev_data::kEqDetect;
// Hold counter of a clock event, in polling steps.
constexpr u8 kHoldSteps = 3;
// Port ECC and deskew interrupts tolerated before the link is reset.
constexpr u8 kEventLimit = 22;
// Data bytes of the vendor-specific infoframe that carries a 3D structure.
constexpr u8 kVendorFrameLength = 12;

u8 ev(int port, u8 bit) {
    return IT6602_dev_data::event(port, bit);
}

}  // namespace

void velmo_it6602::IT6602HDMIInterruptHandler(int ch) {
    if (dev[ch].video_state == VSTATE_Off)
        return;
    u8 st[5] = {};  // 0x05..0x09
    if (!rd_block(REG_INT_PORT0, st, 5))
        return;
    if (st[0] | st[1] | st[2] | st[3] | st[4])
        hdmirxbwr_it6602(bus_, REG_INT_PORT0, 5, st);  // write 1 to clear what was read
    u8 eq = rd(REG_EQ_INT);
    if (eq & 0x0F)
        wr(REG_EQ_INT, eq & 0x0F);
    for (int port = 0; port < 2; ++port)
        if (st[port])
            port_interrupts(ch, port, st[port]);
    if (st[2])
        video_interrupts(ch, st[2]);
    if ((st[3] & 0x04) && !dev[ch].frame_3d)
        dev[ch].frame_3d = static_cast<u8>(IT6602_DE3DFrame(ch));
    if (st[4])
        packet_interrupts(ch, st[4]);
    if (eq & 0xF0)
        eq_interrupts(ch, eq);
}

void velmo_it6602::port_interrupts(int ch, int port, u8 bits) {
    IT6602_dev_data& d = dev[ch];
    bool clock = clock_present(port);
    if (bits & 0x80)
        d.ecc_int_count[port] = 0;
    if (bits & 0x40)
        hdmirx_INT_P_ECC(ch, port);
    if ((bits & 0x20) && clock)
        hdmirx_INT_HDMIMode_Chg(ch, port);
    if (bits & 0x08) {
        d.event_flags |= ev(port, kHold);
        d.hold_count[port] = kHoldSteps;
        wr(REG_CLOCK_EVENT[port], 0x00);
    }
    if (bits & 0x10)
        d.event_flags |= ev(port, kTmdsCheck);
    if ((bits & 0x04) && !(rd(REG_PLL_STATUS) & (port ? 0x80 : 0x40))) {
        bank(1);
        set(REG_RS_OVERWRITE[port], 0x60, 0x00);
        bank(0);
        pll_check_count[ch] = 0;
    }
    if (bits & 0x02) {
        d.ecc_int_count[port] = 0;
        d.deskew_count[port] = 0;
        pll_check_count[ch] = 0;
        if (clock)
            TMDSCheck(ch, port);
    }
    if (bits & 0x01)
        hdmirx_INT_5V_Pwr_Chg(ch, port);
}

void velmo_it6602::video_interrupts(int ch, u8 bits) {
    if (bits & 0x80)
        aud_fiforst();
    if (bits & 0x20)
        IT6602_SetVideoMute(false);
    if (bits & 0x10)
        IT6602_SetVideoMute(true);
    if (bits & 0x02) {
        if (rd(REG_PORT0_STATUS) & 0x80) {
            IT6602SwitchVideoState(ch, VSTATE_SyncChecking);
        } else {
            IT6602SwitchVideoState(ch, VSTATE_SyncWait);
            IT6602SwitchAudioState(ch, ASTATE_AudioOff);
        }
    }
    if ((bits & 0x01) && !(rd(REG_PORT0_STATUS) & 0x40) && chip_address == 0x94) {
        bank(1);
        set(0xB6, 0x07, 0x03);
        set(0xB1, 0x20, 0x00);
        set(0xB2, 0x07, 0x04);
        bank(0);
    }
}

void velmo_it6602::packet_interrupts(int ch, u8 bits) {
    IT6602_dev_data& d = dev[ch];
    if (bits & 0x40)
        hdmirx_INT_Deskew(ch, 1);
    if (bits & 0x20)
        hdmirx_INT_Deskew(ch, 0);
    if (!(bits & 0x01))
        return;
    u8 avi[2] = {};
    bank(2);
    rd_block(REG_AVI, avi, 2);
    bank(0);
    if (avi[0] == d.avi_last[0] && avi[1] == d.avi_last[1])
        return;
    d.avi_last[0] = avi[0];
    d.avi_last[1] = avi[1];
    d.flags |= IT6602_dev_data::kNewAvi;
}

void velmo_it6602::eq_interrupts(int ch, u8 bits) {
    if (bits & 0x10) {
        wr(REG_EQ_INT, 0x30);
        AmpValidCheck(ch, 0);
        dev[ch].event_flags |= ev(0, kEqDetect);
        if (bits & 0x20)
            hdmirx_INT_EQ_FAIL(ch, 0);
    } else if (bits & 0x20) {
        wr(REG_EQ_INT, 0x20);
        hdmirx_INT_EQ_FAIL(ch, 0);
    }
    if (bits & 0x40) {
        wr(REG_EQ_INT, 0xC0);
        AmpValidCheck(ch, 1);
    }
    if (bits & 0x80) {
        wr(REG_EQ_INT, 0x80);
        hdmirx_INT_EQ_FAIL(ch, 1);
    }
}

void velmo_it6602::hdmirx_INT_5V_Pwr_Chg(int ch, int port) {
    bank(1);
    set(REG_RS_OVERWRITE[0], 0x60, 0x00);
    set(REG_RS_OVERWRITE[1], 0x60, 0x00);
    bank(0);
    pll_check_count[ch] = 0;
    bool present = five_volt(port);
    if (port == active_port()) {
        if (present) {
            IT6602SwitchVideoState(ch, VSTATE_SyncWait);
            hpd(port, 1);
        } else {
            hpd(port, 0);
            IT6602SwitchVideoState(ch, VSTATE_SWReset);
        }
        return;
    }
    if (present) {
        hpd(port, 1);
        return;
    }
    DisableOverWriteRS(ch, port);
    hpd(port, 0);
}

void velmo_it6602::hdmirx_INT_HDMIMode_Chg(int ch, int port) {
    if (port != active_port())
        return;
    IT6602_dev_data& d = dev[ch];
    if (IsHDMIMode()) {
        if (d.video_state == VSTATE_VideoOn)
            IT6602SwitchAudioState(ch, ASTATE_RequestAudio);
        d.flags |= IT6602_dev_data::kHdmiMode;
        return;
    }
    IT6602SwitchAudioState(ch, ASTATE_AudioOff);
    d.flags &= static_cast<u8>(~IT6602_dev_data::kNewAvi);
    if (d.video_state == VSTATE_VideoOn)
        IT6602VideoOutputConfigure(ch);
    d.flags &= static_cast<u8>(~IT6602_dev_data::kHdmiMode);
}

void velmo_it6602::hdmirx_INT_P_ECC(int ch, int port) {
    u8& count = dev[ch].ecc_int_count[port];
    if (count >= kEventLimit && !dev[ch].eq[port].busy) {
        count = 0;
        hdmirx_ECCTimingOut(port);
        return;
    }
    if (count < 255)
        ++count;
}

void velmo_it6602::hdmirx_INT_Deskew(int ch, int port) {
    u8& count = dev[ch].deskew_count[port];
    if (count >= kEventLimit && !dev[ch].eq[port].busy) {
        count = 0;
        toggle_deskew(port);
        return;
    }
    if (count < 255)
        ++count;
}

// The source sees hot-plug low while the port is held in reset, and starts over.
void velmo_it6602::hdmirx_ECCTimingOut(int port) {
    hpd(port, 0);
    set(REG_PORT_RESET[port], 0x0F, 0x0F);
    delay1ms(300);
    set(REG_PORT_RESET[port], 0x0F, 0x00);
    hpd(port, 1);
}

void velmo_it6602::toggle_deskew(int port) {
    wr(REG_DESKEW[port], rd(REG_DESKEW[port]) ? 0x00 : 0x3F);
}

// A clock event holds the port's pending work for a few steps; then a pending TMDS check or
// equaliser detection runs once the port has a clock.
void velmo_it6602::IT6602HDMIEventManager(int ch) {
    IT6602_dev_data& d = dev[ch];
    for (int port = 0; port < 2; ++port) {
        if (d.event_flags & ev(port, kHold)) {
            if (d.hold_count[port])
                --d.hold_count[port];
            if (!d.hold_count[port])
                d.event_flags &= static_cast<u8>(~ev(port, kHold));
            continue;
        }
        u8 pending = d.event_flags & (ev(port, kTmdsCheck) | ev(port, kEqDetect));
        if (!pending || !clock_present(port))
            continue;
        if (pending & ev(port, kTmdsCheck)) {
            TMDSCheck(ch, port);
            d.event_flags &= static_cast<u8>(~ev(port, kTmdsCheck));
            continue;
        }
        HDMIStartEQDetect(ch, port);
        d.event_flags &= static_cast<u8>(~ev(port, kEqDetect));
    }
}

// A new vendor-specific infoframe: HDMI's (type 0x81, 12 data bytes, the OUI 00-0C-03)
// announcing a 3D structure. Frame packing gets the chip's 3D frame timing; 1 when it was
// set up.
int velmo_it6602::IT6602_DE3DFrame(int ch) {
    u8 f[9] = {};  // header 0..2, checksum, OUI, video format, 3D structure
    bank(2);
    rd_block(REG_VENDOR_FRAME, f, sizeof f);
    bank(0);
    bool hdmi =
        f[0] == 0x81 && f[2] == kVendorFrameLength && f[4] == 0x03 && f[5] == 0x0C && f[6] == 0x00;
    bool is3d = hdmi && ((f[7] >> 5) & 0x07) == 0x02;
    u8 structure = f[8] >> 4;
    if (is3d && debugOn()) {
        if (structure == 0)
            std::printf("it660x - HDMI_3DFORMAT is FRAME_PACKING\n");
        else if (structure == 6)
            std::printf("it660x - HDMI_3DFORMAT is TOP_AND_BOTTOM\n");
        else if (structure == 8)
            std::printf("it660x - HDMI_3DFORMAT is SIDE_BY_SIDE\n");
    }
    if (is3d && structure == 0) {
        program_3d_frame(ch);
        set(0x66, 0x10, 0x10);
        set(0x85, 0x20, 0x20);
        return 1;
    }
    wr(0x6A, 0x82);
    set(0x66, 0x10, 0x00);
    set(0x85, 0x20, 0x00);
    return 0;
}

// A frame-packed frame is the left picture, a gap as tall as the vertical blanking, then the
// right picture.
void velmo_it6602::program_3d_frame(int ch) {
    u8 t[5] = {};  // 0xA3..0xA7
    rd_block(0xA3, t, sizeof t);
    u16 vtotal = static_cast<u16>((t[1] & 0x0F) << 8 | t[0]);
    u16 vactive = static_cast<u16>((t[1] & 0xF0) * 16 + t[2]);
    u16 vsync = t[3] & 0x1F;
    u16 blank = vtotal > vactive ? static_cast<u16>(vtotal - vactive) : 0;
    u16 eye = static_cast<u16>(vactive > blank ? (vactive - blank) / 2 : 0);
    const u16 fields[8] = {vtotal,
                           blank,
                           vtotal,
                           vsync,
                           blank,
                           static_cast<u16>(blank + eye),
                           static_cast<u16>(2 * blank + eye),
                           vtotal};
    u8 regs[17] = {0x01};
    for (int i = 0; i < 8; ++i)
        put_u16(regs + 1 + 2 * i, fields[i]);
    bank(1);
    hdmirxbwr_it6602(bus_, 0x8F, sizeof regs, regs);
    bank(0);
    if (debugOn())
        std::printf("it6602[%d] 3D frame: V total %d, eye %d lines\n", ch, vtotal, eye);
}
