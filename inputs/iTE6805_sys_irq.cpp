// The IT6805's interrupt registers and the link events they report: HDMI/DVI mode
// changes, ECC errors, deskew and symbol-lock trouble, 5 V and sync (SCDT) changes.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "core/global.h"
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_eq.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

constexpr u8 kEccCountBeforeEscalation = 6;
constexpr u8 kEccTimeoutCount = 11;
constexpr u8 kEccTimeoutsBeforeReset = 3;
constexpr u8 kDeskewErrorsBeforeRestart = 6;
constexpr u8 kDeskewRestartsBeforeReset = 3;
constexpr u8 kSymbolLockResetsForRatio = 21;

void countUp(u8& count) {
    if (count < 0xFF)
        ++count;
}

}  // namespace

// Interrupt status registers are write-1-to-clear: writing back what was read clears
// exactly the events seen, and writing nothing when nothing was seen changes nothing.
void ite6805_sys::write_back(u8 reg, u8 value) {
    if (value)
        wr(reg, value);
}

void ite6805_sys::eq_restart() {
    eq->iTE6805_EQ_chg(STATEEQ_Off, 0);
    eq->iTE6805_EQ_chg(STATEEQ_WaitClock, 0);
}

void ite6805_sys::iTE6805_hdmirx_port0_SYS_irq(u8 dev) {
    if (dev != 0)
        return;
    // 0x05..0x09 and 0x13..0x14 each in one read: reading has no side effects, and each
    // poll costs bus time of every input.
    u8 status[5];
    i2c->hdmirxbrd(REG_P0_INT, sizeof status, status, 0);
    u8 portInt = status[0];
    u8 symbolLock = status[1];
    u8 scdc = status[REG_P0_SCDC - REG_P0_INT];
    u8 hdcp = status[REG_P0_HDCP - REG_P0_INT];
    write_back(REG_P0_INT, portInt);
    write_back(REG_P0_SYMLOCK, symbolLock);
    write_back(REG_P0_SCDC, scdc);
    write_back(REG_P0_HDCP, hdcp & static_cast<u8>(~0x04));  // bit 2 is the common handler's
    u8 port[2];
    i2c->hdmirxbrd(REG_P0_STATUS, sizeof port, port, 0);
    u8 portStatus = port[0];
    u8 linkStatus = port[1];
    handle_port0_int(portInt, portStatus, linkStatus);
    handle_symbol_lock(symbolLock, portInt, portStatus, linkStatus);
    if (scdc & 0x01) {
        iTE6805_vid_chg(STATEV_WaitSync, 0);
        eq_restart();
    }
    if (scdc & 0x80)
        set(0x4C, 0x80, 0x80);
    if (hdcp & 0x09)
        data.ECCErr_Count = 0;
}

void ite6805_sys::handle_port0_int(u8 status, u8 portStatus, u8 linkStatus) {
    if ((status & 0x10) && (portStatus & P0_CLK_VALID))
        iTE6805_INT_HDMI_DVI_Mode_Chg(0);
    if (status & 0x20) {
        debugLog("# Port 0 ECC Error # ");
        iTE6805_INT_ECC_ERROR(0);
    }
    if (status & 0x40) {
        countUp(data.DeskewErr_Count);
        debugLog("# Port 0 Deskew Error #  deskewerrcnt=%d\n", data.DeskewErr_Count);
        if (data.DeskewErr_Count > kDeskewErrorsBeforeRestart && !(linkStatus & LINK_HDMI2)) {
            data.DeskewErr_Count = 0;
            eq->iTE6805_EQ_chg(STATEEQ_WaitClock, 0);
            if (++data.DeskewRestart_Count >= kDeskewRestartsBeforeReset) {
                data.DeskewRestart_Count = 0;
                iTE6805_Reset_ALL_Logic(0, 0);
            }
        }
    }
    if (status & 0x04) {
        std::fill(std::begin(data.SymbolLockRst_Count), std::end(data.SymbolLockRst_Count), 0);
        if (!(portStatus & P0_CLK_STABLE)) {
            debugLog("# Clock NOT Stable\t#");
            data.HDCP_Status = 0;
            eq_restart();
        }
    }
    if (status & 0x02)
        data.ECCErr_Count = 0;
    if (status & 0x01) {
        debugLog("# Port 0 5V state change INT #");
        iTE6805_INT_5VPWR_Chg(0, 0);
    }
}

void ite6805_sys::handle_symbol_lock(u8 status, u8 portInt, u8 portStatus, u8 linkStatus) {
    u8* counts = data.SymbolLockRst_Count;
    bool mhl = portStatus & P0_MHL;
    if (!mhl && (status & 0x40))
        countUp(counts[2]);
    if (!mhl && (status & 0x20))
        countUp(counts[1]);
    if (status & 0x10)
        countUp(counts[0]);
    if ((status & 0x70) == 0x70 && (portInt & 0x04)) {
        debugLog("# Symbol lock call STATEV_WaitSync #");
        iTE6805_vid_chg(STATEV_WaitSync, 0);
    }
    bool manyResets = counts[0] >= kSymbolLockResetsForRatio &&
                      counts[1] >= kSymbolLockResetsForRatio &&
                      counts[2] >= kSymbolLockResetsForRatio;
    if (manyResets && data.EQState == STATEEQ_Off && !(linkStatus & LINK_HDMI2)) {
        bank(3);
        set(B3_SCDC_RATIO, 0x1C, 0x1C);
        bank(0);
        debugLog("# Force set SCDC to 1/40#");
    }
    if ((status & 0x01) && (linkStatus & LINK_LOCKED) && data.EQState == STATEEQ_Off)
        eq_restart();
}

void ite6805_sys::iTE6805_hdmirx_common_irq(u8 dev) {
    if (dev != 0)
        return;
    u8 hdcp = rd(REG_P0_HDCP);
    write_back(REG_P0_HDCP, hdcp & 0x04);
    u8 common[3];
    i2c->hdmirxbrd(REG_SYS_INT, sizeof common, common, 0);
    u8 sys = common[0];
    u8 sys2 = common[1];
    u8 packets = common[2];
    u8 hdcpInt = rd(REG_HDCP_INT);
    u8 more[2];
    i2c->hdmirxbrd(REG_INT_D4, sizeof more, more, 0);
    u8 d4 = more[0];
    u8 d5 = more[1];
    write_back(REG_SYS_INT, sys);
    // The write-back clears bits 1 and 0 of 0x11 as well; bit 7 of 0x12 is cleared below.
    write_back(REG_SYS_INT2, sys2 & 0xBF);
    write_back(REG_PKT_INT, packets & 0x5F);
    write_back(REG_HDCP_INT, hdcpInt);
    write_back(REG_INT_D4, d4);
    write_back(REG_INT_D5, d5);

    if (hdcp & 0x04) {
        if (rd(REG_HDCP_STATUS) & 0x20) {
            data.HDCP_Status = (rd(0xD6) & 0xC0) ? 256 : 1;
            debugLog("HDCP Encryption ON! ");
        } else {
            data.HDCP_Status = 0;
            debugLog("HDCP Encryption OFF !");
        }
    }
    bool scdtChange = sys & 0x02;
    if (scdtChange && !it6805_vbo_self_managed(data.ChipID)) {
        bank(5);
        wr(B5_VBO_OUTPUT, VBO_OUTPUT_OFF);
        bank(0);
        debugLog("SCDT change INT happened, trun off VB1 output \r");
    }
    if ((sys & 0x80) && data.VidState == STATEV_VidStable) {
        drv->iTE6805_Reset_Audio_Logic(0);
        iTE6805_Enable_Audio_Output(0);
    }
    if ((sys & 0x20) && data.Flag_VidStable_Done) {
        debugLog("# PKT Left Mute #");
        drv->iTE6805_Set_AVMute(0, 0);
    }
    if ((sys & 0x10) && data.Flag_VidStable_Done) {
        debugLog("# Set Mute PKT Received #");
        drv->iTE6805_Set_AVMute(1, 0);
    }
    if (packets & 0x80)
        wr(REG_PKT_INT, 0x80);
    if (packets & 0x01) {
        u8 db1 = read_avi_db1();
        if (!data.Flag_VidStable_Done) {
            data.prevAVIDB1 = db1;
            debugLog("Flag_VidStable_Done!=TRUE, Save AVI Infoframe to variable. ");
        } else {
            // A change of colorimetry or range alone (data byte 1 the same) needs the
            // output path set up again as much as a change of colour format does.
            bool changed = check_color_change();
            if (db1 != data.prevAVIDB1) {
                data.prevAVIDB1 = db1;
                changed = true;
            }
            if (changed)
                data.Flag_NewAVIInfoFrame = 1;
        }
    }
    if ((hdcpInt & 0x08) && data.Flag_HDCP_Check && !drv->iTE6805_Check_HDMI2(0)) {
        data.Flag_HDCP_Check = 0;
        if (!eq->iTE6805_BitErr_Check_Again(0))
            eq->iTE6805_EQ_chg(STATEEQ_WaitClock, 0);
    }
    if (scdtChange)
        iTE6805_INT_SCDT_Chg(0);
}

void ite6805_sys::iTE6805_INT_HDMI_DVI_Mode_Chg(u8 dev) {
    if (dev != 0)
        return;
    bool stable = data.VidState == STATEV_VidStable;
    if (drv->iTE6805_Check_HDMI_OR_DVI_Mode(0) == INPUT_DVI) {
        debugLog("# HDMI/DVI Mode : DVI #");
        iTE6805_aud_chg(STATEA_AudioOff, 0);
        if (stable)
            iTE6805_Enable_Video_Output(0);
        return;
    }
    debugLog("# HDMI/DVI Mode : HDMI #");
    if (stable) {
        iTE6805_Enable_Video_Output(0);
        iTE6805_aud_chg(STATEA_RequestAudio, 0);
    }
}

// Persistent ECC errors: twice the source is made to retrain (hot-plug pulse) with the
// equaliser frozen; the third time the port logic is reset and the equaliser restarted.
void ite6805_sys::iTE6805_INT_ECC_ERROR(u8 dev) {
    if (dev != 0)
        return;
    u8& count = data.ECCErr_Count;
    if (count < kEccCountBeforeEscalation) {
        ++count;
        return;
    }
    if (count % 3 == 0)
        set(0xD9, 0x04, 0x04);
    if (count < kEccTimeoutCount)
        ++count;
    if (count < kEccTimeoutCount)
        return;
    count = 0;
    if (++data.ECCTimeout_Count >= kEccTimeoutsBeforeReset) {
        data.ECCTimeout_Count = 0;
        debugLog("++++++++++++++ECC ERROR TIMEOUT ++++++++++++++ Force EQ STATEEQ_Off ");
        data.EQState = STATEEQ_Off;
        eq->iTE6805_EQ_chg(STATEEQ_Off, 0);
        iTE6805_Reset_ALL_Logic(0, 0);
        return;
    }
    debugLog(
        "++++++++++++++ECC ERROR TIMEOUT ++++++++++++++ Force EQ STATEEQ_KeepEQStateUntil5VOff ");
    data.EQState = STATEEQ_KeepEQStateUntil5VOff;
    iTE6805_Set_HPD_Ctrl(0, 0, 0);
    delay1ms(100);
    if (!(rd(REG_P0_RESET) & 0x02)) {
        set(REG_P0_RESET, 0x02, 0x02);
        delay1ms(300);
        set(REG_P0_RESET, 0x02, 0x00);
    } else {
        delay1ms(300);
    }
    iTE6805_Set_HPD_Ctrl(0, 1, 0);
    delay1ms(100);
}

void ite6805_sys::iTE6805_Reset_ALL_Logic(u8 port, u8 dev) {
    if (dev != 0 || port != 0)
        return;
    debugLog("******* iTE6805_Reset_ALL_Logic *******");
    iTE6805_Set_HPD_Ctrl(0, 0, 0);
    delay1ms(100);
    wr(REG_P0_SCDC, 0x04);
    wr(REG_RESET, 0x12);
    wr(REG_RESET, 0x10);
    set(REG_P0_RESET, 0xFD, 0xAC);
    set(REG_P0_RESET, 0xFD, 0xA0);
    iTE6805_INT_5VPWR_Chg(0, 0);
}

void ite6805_sys::iTE6805_INT_5VPWR_Chg(u8 port, u8 dev) {
    if (dev != 0 || port != 0)
        return;
    if (!drv->iTE6805_Check_5V_State(0)) {
        debugLog("# Power 5V OFF #");
        iTE6805_Set_HPD_Ctrl(0, 0, 0);
        delay1ms(100);
        iTE6805_Set_HPD_Ctrl(0, 0, 0);
        delay1ms(100);
        iTE6805_vid_chg(STATEV_Unplug, 0);
        data.EQState = STATEEQ_Off;
        eq->iTE6805_EQ_chg(STATEEQ_Off, 0);
        return;
    }
    debugLog("# Power 5V ON #");
    iTE6805_vid_chg(STATEV_WaitSync, 0);
    iTE6805_Set_HPD_Ctrl(0, 1, 0);
    delay1ms(100);
    iTE6805_Set_HPD_Ctrl(0, 0, 0);
    delay1ms(100);
    iTE6805_Set_HPD_Ctrl(0, 1, 0);
    delay1ms(100);
}

void ite6805_sys::iTE6805_INT_SCDT_Chg(u8 dev) {
    if (dev != 0)
        return;
    u8 scdt = drv->iTE6805_Check_SCDT(0);
    auto acknowledge = [&] {
        if (rd(REG_SCDT_LATE) & 0x80)
            set(REG_SCDT_LATE, 0x80, 0x80);
    };
    if (scdt == prev_scdt) {
        if (it6805_vbo_self_managed(data.ChipID)) {
            acknowledge();
        } else if (scdt) {
            bank(5);
            if (rd(B5_VBO_OUTPUT) == VBO_OUTPUT_OFF) {
                wr(B5_VBO_OUTPUT, VBO_OUTPUT_ON);
                debugLog("# SCDT ON - should keep VB1 output #");
            }
            bank(0);
        }
        return;
    }
    prev_scdt = scdt;
    if (scdt) {
        if (it6805_late_revision(data.ChipID))
            acknowledge();
        debugLog("# SCDT ON #");
        iTE6805_vid_chg(STATEV_CheckSync, 0);
        return;
    }
    debugLog("# SCDT OFF #");
    iTE6805_vid_chg(STATEV_WaitSync, 0);
    iTE6805_aud_chg(STATEA_AudioOff, 0);
    publish_no_signal();
    iTE6805_Set_HPD_Ctrl(0, 0, 0);
    delay1ms(100);
    iTE6805_Set_HPD_Ctrl(0, 1, 0);
    delay1ms(100);
    iTE6805_Init_fsm(0);
}
