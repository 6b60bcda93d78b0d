// The SiI9022A HDMI transmitter behind the FPGA's monitor output, programmed through its
// TPI registers (0x76) with a user-defined timing at a fixed 62.5 MHz pixel clock. Nothing
// in this system programs it or creates the singleton; the module is complete for the
// monitor-output step that would.
#pragma once

#include "core/types.h"

class SiI9022 {
public:
    static constexpr u8 kAddress = 0x76;
    static constexpr u32 kPixelClockHz = 62500000;
    static constexpr int kStatusReg = 0x27;  // reg_para: bit 1 FPGA 0's, bit 2 FPGA 1's

    static SiI9022* p_9022;
    static SiI9022* pInstance();

    // Timing parameters p0..p8: p1 + p2 start the active line, p4 + p5 the active frame,
    // p8 lines of vertical blanking.
    u8 para[9] = {};

    SiI9022();

    void SiI9022_para_init();
    // Writes n bytes from reg on, then reads them back (printed while debugging); the
    // result of the write.
    u8 I2C_SiI9022A2_Write(u8 reg, u8* data, u8 n);
    u8 SiI9022_ByteWrite(u8 reg, u8 value);
    // n single-byte writes to consecutive registers; 1 when all were taken.
    u8 WriteBlockTPI(u8 first, u8 n, const u8* data);
    u8 I2C_set_SiI9022(int width, int height, int refresh);
    // Programs the timing; 1 when every write was taken, 0 when one was not, and 0 without
    // a transfer for a refresh of 0 or a value that does not fit its register.
    u8 siHdmiTx_UserDefineSet(int width, int height, int refresh);
    // Whether the transmitter of an FPGA answers, recorded in reg_para[0x27].
    u8 check_9022(int fpga);
};
