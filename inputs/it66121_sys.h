// The SDI card: its GS2971 SDI receiver feeds an IT66121 HDMI transmitter whose output
// enters the video path like any other source. The input-source manager owns one object;
// in this system only the receiver's reset pulse is ever used, and the card's bring-up
// (velmosource::it66121_sdi_enable, one step per call) is started by nothing.
#pragma once

#include "core/types.h"

class it66121_hdmitx_sys;
class it66121_hdmitx_drv;
class sdi_it66121;

class it66121_sys {
public:
    static constexpr u8 kVendorLow = 0x54;   // register 0
    static constexpr u8 kVendorHigh = 0x49;  // register 1
    static constexpr unsigned kGs2971ResetMs = 50;

    // 1 when the last identification found the transmitter.
    u8 ident_result = 0;
    it66121_hdmitx_sys* hdmitx_sys;
    it66121_hdmitx_drv* hdmitx_drv;
    sdi_it66121* bus;
    u8 failures = 0;
    // The card's enable line. The board's GPIO table has no word for it, so it stays
    // unset and the card is taken as powered.
    volatile u16* sdi_power_gpio = nullptr;

    it66121_sys();
    ~it66121_sys();
    it66121_sys(const it66121_sys&) = delete;
    it66121_sys& operator=(const it66121_sys&) = delete;

    // 1 when the transmitter answers with its vendor id 0x4954.
    u8 IT66121_Test();
    // Holds the SDI receiver in reset for 50 ms.
    void GS2971_Reset();
    // Powers the card and lets the receiver run.
    void sdi_it66121_init();
    // Sets the transmitter up, selects input format 7 and resets the receiver.
    void IT66121_init();
    // Selects the output format by its index (taken modulo 18).
    void CHANGE_INPUT(int n);
};
