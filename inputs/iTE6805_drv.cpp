#include "inputs/iTE6805_drv.h"

#include <cstdio>

#include "core/global.h"
#include "inputs/iTE6805_cec_sys.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

constexpr unsigned kCaofPolls = 5;
constexpr unsigned kCaofRetries = 6;
constexpr unsigned kOtpReadyWaitMs = 5000;
constexpr u8 kOtpReadyValue = 0x19;
constexpr u8 kOtpReadCommand = 0x04;
constexpr unsigned kPclkSamples = 20;

// Where each port's front-end calibration lives.
struct CaofPort {
    u8 frontEndBank;
    u8 doneReg;  // bank 0; bit 4
    u8 pulseReg;
};
constexpr CaofPort kCaofPorts[2] = {{3, REG_P0_SCDC, REG_P0_CAOF_PULSE},
                                    {7, REG_P1_SCDC, REG_P1_CAOF_PULSE}};

}  // namespace

// clang-format off
const iTE6805_INI_REG ite6805_drv::iTE6805_INIT_HDMI_TABLE[] = {
    {0x0F, 0x07, 0x00},
    // Reset sequence of the receiver and both ports.
    {0x22, 0xFF, 0x08}, {0x22, 0xFF, 0x17}, {0x23, 0xFF, 0x1F}, {0x2B, 0xFF, 0x1F},
    {0x24, 0xFF, 0xF8}, {0x22, 0xFF, 0x10}, {0x23, 0xFF, 0xA0}, {0x2B, 0xFF, 0xA0},
    {0x24, 0xFF, 0x00}, {0x34, 0xFF, 0x00},
    {0x3A, 0xFF, 0x89}, {0x49, 0xFF, 0xE1}, {0x43, 0xFF, 0x01},
    {0x4F, 0xFF, 0x84}, {0x44, 0xFF, 0x19}, {0x46, 0xFF, 0x15}, {0x47, 0xFF, 0x88},
    {0xD9, 0xFF, 0x00}, {0xF0, 0xFF, 0x78}, {0xF1, 0xFF, 0x10},
    {0x28, 0xFF, 0x88}, {0x6E, 0xFF, 0x80}, {0x77, 0xFF, 0x87}, {0x7B, 0xFF, 0x00},
    {0x86, 0xFF, 0x00}, {0x36, 0xFF, 0x06}, {0x8F, 0xFF, 0x41},
    {0x86, 0x0C, 0x08}, {0x81, 0x80, 0x80},
    {0x21, 0x04, 0x00}, {0x4A, 0xFF, 0xC8},
    {0x91, 0x40, 0x40}, {0x21, 0x40, 0x40}, {0xCE, 0x30, 0x00}, {0x42, 0xE0, 0xC0},
    {0x7B, 0x10, 0x10}, {0x3C, 0x21, 0x00}, {0x3B, 0xFF, 0x23}, {0xF6, 0xFF, 0x08},
    {0x59, 0xFF, 0x00}, {0x2C, 0x01, 0x01}, {0x2D, 0x10, 0x10}, {0x39, 0x01, 0x01},
    {0x67, 0x80, 0x80}, {0x68, 0x10, 0x00}, {0xD8, 0xF0, 0x20},
    // Output side.
    {0x0F, 0x07, 0x01},
    {0xC0, 0xFF, 0x42}, {0xC4, 0xF0, 0x30}, {0xC5, 0xFF, 0x00}, {0xC6, 0xFF, 0x00},
    {0xC7, 0xFF, 0x00}, {0xC8, 0xFF, 0x00}, {0xC9, 0xFF, 0x99}, {0xCA, 0xFF, 0x99},
    {0x10, 0xFF, 0x00}, {0x11, 0xFF, 0x00}, {0x12, 0xFF, 0x00}, {0x13, 0xFF, 0x00},
    {0x28, 0xFF, 0x00}, {0x29, 0xFF, 0x00}, {0x2A, 0xFF, 0x00}, {0x2B, 0xFF, 0x00},
    {0x2C, 0xFF, 0x00}, {0xC0, 0xC0, 0x40},
    // Reference-clock read-out: unlocked, loaded and locked again.
    {0x0F, 0x07, 0x00}, {0xF8, 0xFF, 0xC3}, {0xF8, 0xFF, 0xA5},
    {0x0F, 0x07, 0x01}, {0x5F, 0xFF, 0x04}, {0x58, 0xFF, 0x12}, {0x58, 0xFF, 0x02},
    {0x5F, 0xFF, 0x00},
    {0x0F, 0x07, 0x00}, {0xF8, 0xFF, 0xFF},
    // Front ends of both ports.
    {0x0F, 0x07, 0x03},
    {0xAA, 0xFF, 0xEC}, {0xAC, 0xFF, 0x40}, {0xA8, 0xFF, 0x0B}, {0x3A, 0xFF, 0x02},
    {0xE3, 0xFF, 0x07}, {0x27, 0xFF, 0x9F}, {0x28, 0xFF, 0x9F}, {0x29, 0xFF, 0x9F},
    {0xA7, 0x40, 0x40}, {0xA6, 0x08, 0x08}, {0xF0, 0xFF, 0xC0},
    {0x0F, 0x07, 0x07},
    {0xAA, 0xFF, 0xEC}, {0xAC, 0xFF, 0x40}, {0xA8, 0xFF, 0x0B},
    {0xE3, 0xFF, 0x07}, {0x27, 0xFF, 0x9F}, {0x28, 0xFF, 0x9F}, {0x29, 0xFF, 0x9F},
    {0xA7, 0x40, 0x40}, {0xA6, 0x08, 0x08},
    // Port 1.
    {0x0F, 0x07, 0x04},
    {0x43, 0xFF, 0x01}, {0x3A, 0xFF, 0x89}, {0x3C, 0x20, 0x00}, {0xCE, 0x30, 0x00},
    {0x42, 0xE0, 0xC0}, {0x3C, 0x21, 0x00}, {0x3B, 0xFF, 0x23},
    // V-by-One transmitter.
    {0x0F, 0x07, 0x05},
    {0x20, 0x03, 0x01}, {0xC7, 0xFF, 0x49}, {0xCB, 0x06, 0x00},
    {0x0F, 0x07, 0x00},
    {0xFF, 0xFF, 0xFF},
};
// clang-format on

// clang-format off
const iTE6805_DSTiming ite6805_drv::iTE6805_SupportedDSTiming[kDSTimings] = {
    {3840, 2160, 5280, 2250, 297000, 1056, 88, 296, 8, 10, 72, 25000, 0, 1, 1, "3840x2160p25", 94},
    {4096, 2160, 5280, 2250, 297000,  968, 88, 128, 8, 10, 72, 25000, 0, 1, 1, "4096x2160p25", 99},
    {3840, 2160, 4400, 2250, 297000,  176, 88, 296, 8, 10, 72, 30000, 0, 1, 1, "3840x2160p30", 95},
    {4096, 2160, 5500, 2250, 297000, 1020, 88, 296, 8, 10, 72, 24000, 0, 1, 1, "4096x2160p24", 98},
    {3840, 2160, 5500, 2250, 297000, 1276, 88, 296, 8, 10, 72, 24000, 0, 1, 1, "3840x2160p24", 93},
    {4096, 2160, 4400, 2250, 297000,   88, 88, 128, 8, 10, 72, 30000, 0, 1, 1, "4096x2160p30", 100},
};
// clang-format on

ite6805_drv::ite6805_drv(ite6805_sys& sys)
    : sys_(sys), i2c_(*sys.i2c), data_(sys.data), timing_(sys.timing) {}

u8 ite6805_drv::rd(u8 reg) {
    return i2c_.hdmirxrd(reg, 0);
}
void ite6805_drv::wr(u8 reg, u8 value) {
    i2c_.hdmirxwr(reg, value, 0);
}
void ite6805_drv::set(u8 reg, u8 mask, u8 value) {
    i2c_.hdmirxset(reg, mask, value, 0);
}
void ite6805_drv::bank(u8 n) {
    chgbank(n, 0);
}

void ite6805_drv::chgbank(u8 n, u8 dev) {
    i2c_.hdmirxset(REG_BANK, BANK_MASK, static_cast<u8>(n & BANK_MASK), dev);
}

// Sets bit, holds it for holdMs, clears it.
void ite6805_drv::pulse(u8 reg, u8 bit, unsigned holdMs) {
    set(reg, bit, bit);
    if (holdMs)
        sys_.delay1ms(holdMs);
    set(reg, bit, 0);
}

void ite6805_drv::iTE6805_Init_fsm(u8 dev) {
    if (dev != 0)
        return;
    data_.ChipID = rd(REG_CHIP_ID);
    debugLog("iTE6805_DATA.ChipID = %X !!!\n", data_.ChipID);
    data_.VidState = STATEV_Unplug;
    data_.AudState = STATEA_AudioOff;
    data_.EQState = STATEEQ_Off;
    sys_.prev_lane_count = 7;
    i2c_.hdimrx_write_init(iTE6805_INIT_HDMI_TABLE, 0);
    set(0x3E, 0x20, it6805_late_revision(data_.ChipID) ? 0x00 : 0x20);
    set(0x3D, 0x02, 0x02);
    wr(0x3F, 0x57);
    set(0x41, 0xC0, 0x40);
    iTE6805_Init_CAOF(0);
    wr(0x28, 0x88);
    iTE6805_Set_Video_Tristate(1, 0);
    iTE6805_OCLK_Cal(0);
    data_.Flag_PortSelect_Request = 0;
    data_.Flag_PortReset_Request = 0;
    set(0xC5, 0x01, 0x01);
    bank(4);
    set(0xC5, 0x01, 0x01);
    bank(0);
    data_.US_Output_ColorFormat = Color_Format_RGB;
    iTE6805_Set_TTL_Video_Path(0);
    sys_.cec->iTE6805_CEC_INIT(0);
    // Port 0 is the only port of this board: selecting it is a message only.
    data_.CurrentPort = 0;
    sys_.iTE6805_Port_Select(0, 0);
    sys_.serve_port_select();
    data_.HDCP_Status = 0;
    sys_.iTE6805_INT_5VPWR_Chg(0, 0);
}

void ite6805_drv::iTE6805_Init_CAOF(u8 dev) {
    if (dev != 0)
        return;
    calibrate_port(0);
    calibrate_port(1);
    set(REG_P0_SCDC, 0x30, 0x30);
    set(REG_P1_SCDC, 0x30, 0x30);
    set(0x29, 0x01, 0x00);
    set(0x24, 0x04, 0x00);
    set(0x3C, 0x10, 0x10);
    set(0x2C, 0x04, 0x00);
    bank(4);
    set(0x3C, 0x10, 0x10);
    for (u8 frontEnd : {u8{3}, u8{7}}) {
        bank(frontEnd);
        for (u8 reg : {u8{0x3A}, u8{0xA0}, u8{0xA1}, u8{0xA2}})
            set(reg, 0x80, 0x00);
    }
    bank(0);
}

// Offset calibration of one port's front end: prepared, started, then polled; a run that
// does not finish is kicked again a bounded number of times and then abandoned.
void ite6805_drv::calibrate_port(u8 port) {
    const CaofPort& p = kCaofPorts[port];
    bank(p.frontEndBank);
    set(0x3A, 0x80, 0x00);
    for (u8 reg : {u8{0xA0}, u8{0xA1}, u8{0xA2}})
        set(reg, 0x80, 0x80);
    set(0xA4, 0x08, 0x08);
    set(0x3B, 0xC0, 0x00);
    set(0xA7, 0x10, 0x10);
    set(0x48, 0x80, 0x80);
    bank(0);
    set(p.pulseReg, 0x41, 0x41);
    sys_.delay1ms(10);
    set(p.pulseReg, 0x40, 0x00);
    bank(p.frontEndBank);
    set(0x3A, 0x80, 0x80);
    bank(0);
    for (unsigned retry = 0;; ++retry) {
        bool done = false;
        for (unsigned poll = 0; poll < kCaofPolls && !done; ++poll) {
            sys_.delay1ms(10);
            done = rd(p.doneReg) & 0x10;
            if (!done)
                debugLog("Wait for PORT%d CAOF Done!!!!!!\n", port);
        }
        if (done)
            break;
        debugLog("CAOF Fail to Finish!! ");
        pulse(p.pulseReg, 0x40, 10);
        if (retry + 1 >= kCaofRetries) {
            debugLog("CAOF Fail !! ");
            bank(p.frontEndBank);
            set(0x3A, 0x80, 0x00);
            bank(0);
            pulse(p.pulseReg, 0x40, 10);
            break;
        }
    }
    bank(p.frontEndBank);
    u8 interrupt = rd(0x5A);
    u8 status = rd(0x59);
    bank(0);
    debugLog("Port %d CAOF Int =%x , CAOF Status=%3x\n", port, interrupt, status);
}

// One 16-bit word of the factory memory through the read port (bank 1 selected).
bool ite6805_drv::otp_read(u16 address, u8& low, u8& high) {
    bool ok = i2c_.hdmirxwr(B1_OTP_ADDR_LO, static_cast<u8>(address), 0) == 0 &&
              i2c_.hdmirxwr(B1_OTP_ADDR_HI, static_cast<u8>(address >> 8), 0) == 0 &&
              i2c_.hdmirxwr(B1_OTP_CMD, kOtpReadCommand, 0) == 0;
    low = rd(B1_OTP_DATA_LO);
    high = rd(B1_OTP_DATA_HI);
    return ok;
}

// The factory value of the reference clock (bank 1 selected, port unlocked). The first
// answer of the port after it is enabled reads all ones; a page 0 that reads zero at both
// probe addresses means the value was programmed into page 4.
u32 ite6805_drv::otp_reference_clock() {
    wr(B1_OTP_ENABLE, 0x01);
    u8 low = 0, high = 0;
    otp_read(0x0000, low, high);
    bool portAlive = (low & high) == 0xFF;
    u8 a0 = 0, a1 = 0, b0 = 0, b1 = 0;
    otp_read(0x0000, a0, a1);
    otp_read(0x0100, b0, b1);
    u16 page = (portAlive && !a0 && !a1 && !b0 && !b1) ? 0x0400 : 0x0000;
    u8 valueLow = 0, valueMiddle = 0, valueHigh = 0, flags = 0;
    otp_read(static_cast<u16>(page | 0xB0), valueLow, valueMiddle);
    otp_read(static_cast<u16>(page | 0xB1), valueHigh, flags);
    u32 value =
        (static_cast<u32>(valueHigh) << 16) | (static_cast<u32>(valueMiddle) << 8) | valueLow;
    if ((flags & 0xC0) == 0xC0)
        value /= 100;
    return value;
}

u32 ite6805_drv::iTE6805_OCLK_Load(u8 dev) {
    if (dev != 0)
        return kRclkTypicalKHz;
    wr(REG_KEY, 0xC3);
    wr(REG_KEY, 0xA5);
    wr(0x34, 0x00);
    bank(1);
    wr(B1_OTP_POWER, 0x04);
    wr(B1_OTP_POWER, 0x05);
    wr(B1_OTP_LOAD, 0x12);
    wr(B1_OTP_LOAD, 0x02);
    if (rd(B1_OTP_READY) != kOtpReadyValue) {
        bank(0);
        wr(REG_KEY, 0xC3);
        wr(REG_KEY, 0xA5);
        bank(1);
        wr(B1_OTP_POWER, 0x04);
        for (unsigned ms = 0; ms < kOtpReadyWaitMs && rd(B1_OTP_READY) != kOtpReadyValue; ++ms)
            sys_.delay1ms(1);
    }
    sys_.delay1ms(10);
    bank(0);
    set(REG_HDCP_STATUS, 0x01, 0x01);
    bank(1);
    u32 value = otp_reference_clock();
    if (value < kRclkMinKHz || value > kRclkMaxKHz) {
        debugLog(" Readback value invalid: 0x%08lX, use typical value instead.\n",
                 static_cast<unsigned long>(value));
        value = kRclkTypicalKHz;
    }
    wr(B1_OTP_POWER, 0x00);
    bank(0);
    wr(REG_KEY, 0x00);
    return value;
}

void ite6805_drv::iTE6805_OCLK_Cal(u8 dev) {
    if (dev != 0)
        return;
    u32 value = iTE6805_OCLK_Load(0);
    rclk_khz[0] = value;
    cec_time_unit[0] = static_cast<u8>(value / 160);
    bank(3);
    set(0xAA, 0x1F, 0x0C);
    bank(0);
    // The 1 us timer: whole MHz, then the fraction in 256ths.
    set(0x91, 0x3F, static_cast<u8>(value / 1000));
    wr(0x92, static_cast<u8>(((value % 1000) << 8) / 1000));
    bank(3);
    wr(0xE1, static_cast<u8>(value / 100));
    bank(0);
    u32 osc = 2 * value;
    wr(0x45, static_cast<u8>(osc / 312));
    wr(0x44, static_cast<u8>(osc / 1560));
    wr(0x46, static_cast<u8>(osc / 2320));
    wr(0x47, static_cast<u8>(osc / 5312));
    u32 t = (2560 * (osc / 4) / 1000000) & 0xFF;
    bank(5);
    wr(0xD3, static_cast<u8>((2 * t) & 0xFE));
    wr(0xD4, static_cast<u8>(t));
    bank(0);
}

void ite6805_drv::iTE6805_Set_HPD_Ctrl(u8 port, u8 level, u8 dev) {
    if (dev != 0)
        return;
    debugLog("iTE6805_Set_HPD_Ctrl PORT%d_HPD = %d \r\n", port, level);
    if (port != 0) {
        data_.InputType = INPUT_HDMI;
        return;
    }
    if (!iTE6805_Check_5V_State(0)) {
        bank(3);
        set(B3_HPD, 0xC0, 0x00);
        bank(0);
        if (level == 0)
            sys_.publish_no_signal();
        return;
    }
    if (iTE6805_Check_PORT0_IS_MHL_Mode(0))
        return;
    data_.InputType = INPUT_HDMI;
    bank(3);
    set(B3_HPD, 0xC0, level ? 0xC0 : 0x40);
    set(B3_HPD_DRIVE, 0x7C, 0x40);
    bank(0);
}

u8 ite6805_drv::iTE6805_Check_5V_State(u8 dev) {
    return dev == 0 && (rd(REG_P0_STATUS) & P0_5V);
}
u8 ite6805_drv::iTE6805_Check_PORT0_IS_MHL_Mode(u8 dev) {
    return dev == 0 && (rd(REG_P0_STATUS) & P0_MHL);
}
u8 ite6805_drv::iTE6805_Check_CLK_Vaild(u8 dev) {
    return dev == 0 && (rd(REG_P0_STATUS) & P0_CLK_VALID);
}
u8 ite6805_drv::iTE6805_Check_CLK_Stable(u8 dev) {
    return dev == 0 && (rd(REG_P0_STATUS) & P0_CLK_STABLE);
}
u8 ite6805_drv::iTE6805_Check_HDMI_OR_DVI_Mode(u8 dev) {
    return (dev == 0 && (rd(REG_P0_STATUS) & P0_HDMI)) ? INPUT_HDMI : INPUT_DVI;
}
void ite6805_drv::iTE6805_GET_InputType(u8 dev) {
    if (dev != 0)
        return;
    if (iTE6805_Check_PORT0_IS_MHL_Mode(0))
        data_.InputType = INPUT_MHL;
    else
        data_.InputType = iTE6805_Check_HDMI_OR_DVI_Mode(0);
}
u8 ite6805_drv::iTE6805_Check_SCDT(u8 dev) {
    return dev == 0 && (rd(REG_VIDEO_STATUS) & VS_SCDT);
}
u8 ite6805_drv::iTE6805_Check_AUDT(u8 dev) {
    return dev == 0 && (rd(REG_AUDIO_STATUS1) & 0x80) && !(rd(REG_SYS_INT) & 0x80);
}
u8 ite6805_drv::iTE6805_Check_AVMute(u8 dev) {
    return dev == 0 && (rd(REG_VID_SYNC) & 0x08);
}
u8 ite6805_drv::iTE6805_Check_HDMI2(u8 dev) {
    return dev == 0 && (rd(REG_P0_LINK) & LINK_HDMI2);
}
u8 ite6805_drv::iTE6805_Check_TMDS_Bigger_Than_1G(u8 dev) {
    return dev == 0 && (rd(REG_P0_LINK) & LINK_ABOVE_1G);
}
u8 ite6805_drv::iTE6805_Check_Single_Dual_Mode(u8 dev) {
    if (dev != 0)
        return 0;
    bank(1);
    u8 dual = rd(B1_MODE) & 0x01;
    bank(0);
    return dual;
}

u8 ite6805_drv::iTE6805_Check_4K_Resolution(u8 dev) {
    if (dev != 0)
        return 0;
    u32 pclk = iTE6805_Get_PCLK(0);
    debugLog("PCLK = %ld.%03ldMHz\n", static_cast<long>(pclk / 1000),
             static_cast<long>(pclk % 1000));
    bool uhd = pclk > 320000 ||
               (pclk > 160000 && data_.AVIInfoFrame_Input_ColorFormat == Color_Format_YUV420);
    debugLog(uhd ? "iTE6805_Check_4K_Resolution = TRUE!!!"
                 : "iTE6805_Check_4K_Resolution = FALSE!!!");
    return uhd;
}

// TMDS character clock from n samples of the count of reference-clock periods the chip
// takes over 2^k TMDS periods.
u32 ite6805_drv::iTE6805_Get_TMDS(u8 samples, u8 dev) {
    if (dev != 0)
        return 0;
    u32 sum = 0;
    for (u8 i = 0; i < samples; ++i) {
        if (i)
            sys_.delay1ms(3);
        sum += static_cast<u8>(rd(REG_TMDS_COUNT) + 1);
    }
    u8 range = rd(REG_TMDS_RANGE);
    unsigned k = (range & 0x80) ? 10 : (range & 0x40) ? 9 : (range & 0x20) ? 8 : 7;
    u32 tmds = 0;
    if (sum)
        tmds = static_cast<u32>(static_cast<u64>(rclk_khz[0]) * samples * (1u << k) / sum);
    timing_.TMDSCLK = tmds;
    return tmds;
}

// Pixel clock from 20 latched counts of reference-clock periods per 512 pixels, taken at
// growing intervals.
u32 ite6805_drv::iTE6805_Get_PCLK(u8 dev) {
    if (dev != 0)
        return 0;
    u32 sum = 0;
    for (unsigned i = 1; i <= kPclkSamples; ++i) {
        sys_.delay1ms(10 * i);
        set(REG_PCLK_COUNT_HI, 0x80, 0x00);
        u32 high = rd(REG_PCLK_COUNT_HI) & 0x03;
        sum += (high << 8) + rd(REG_PCLK_COUNT_LO);
        set(REG_PCLK_COUNT_HI, 0x80, 0x80);
    }
    if (!sum)
        return 0;
    return static_cast<u32>(10240ull * rclk_khz[0] / sum);
}

// The two revisions keep the porch and vertical registers at different places.
void ite6805_drv::read_timing_registers() {
    auto field = [&](u8 low, u8 high) {
        return static_cast<u16>(((rd(high) & 0x3F) << 8) + rd(low));
    };
    timing_.HTotal = field(0x9B, 0x9C);
    timing_.HActive = field(0x9D, 0x9E);
    timing_.ScanMode = (rd(REG_VID_MODE) & 0x02) ? 1 : 0;
    if (it6805_late_revision(data_.ChipID)) {
        timing_.HFrontPorch = field(0xA1, 0xA2);
        timing_.HSyncWidth = field(0x9F, 0xA0);
        timing_.VTotal = field(0xA3, 0xA4);
        timing_.VActive = field(0xA5, 0xA6);
        timing_.VFrontPorch = field(0xA9, 0xAB);
        timing_.VSyncWidth = field(0xA7, 0xA8);
        return;
    }
    u8 a1 = rd(0xA1);
    timing_.HFrontPorch = static_cast<u16>(((a1 << 4) & 0xF00) + rd(0xA0));
    timing_.HSyncWidth = static_cast<u16>(((a1 << 8) & 0x100) + rd(0x9F));
    timing_.VTotal = field(0xA2, 0xA3);
    timing_.VActive = field(0xA4, 0xA5);
    u8 a8 = rd(0xA8);
    timing_.VFrontPorch = static_cast<u16>(((a8 << 4) & 0xF00) + rd(0xA7));
    timing_.VSyncWidth = static_cast<u16>(((a8 << 8) & 0x100) + rd(0xA6));
}

// The measured clock scatters around the true one by a fraction of a permille, so the
// frame rate is rounded: truncation made a 50 Hz source 49 Hz about half the time.
u32 ite6805_drv::iTE6805_Get_VID_Info(u8 dev) {
    if (dev != 0)
        return 0;
    iTE6805_Get_TMDS(1, 0);
    timing_.PCLK = iTE6805_Get_PCLK(0);
    read_timing_registers();
    iTE6805_VTiming& t = timing_;
    t.HBackPorch = static_cast<u16>(t.HTotal - t.HActive - t.HFrontPorch - t.HSyncWidth);
    t.VBackPorch = static_cast<u16>(t.VTotal - t.VActive - t.VFrontPorch - t.VSyncWidth);
    u8 sync = rd(REG_VID_SYNC);
    t.VSyncPol = (sync & 0x40) ? 1 : 0;
    t.HSyncPol = (sync & 0x20) ? 1 : 0;
    u64 pixelsPerFrame = static_cast<u64>(t.HTotal) * t.VTotal;
    t.FrameRate = 0;
    if (pixelsPerFrame)
        t.FrameRate = static_cast<u32>((1000ull * t.PCLK + pixelsPerFrame / 2) / pixelsPerFrame);
    return t.FrameRate;
}

void ite6805_drv::iTE6805_Get_AVIInfoFrame_Info(u8 dev) {
    if (dev != 0)
        return;
    bank(2);
    u8 db[5];
    for (u8 i = 0; i < 5; ++i)
        db[i] = rd(static_cast<u8>(B2_AVI_DB1 + i));
    bank(0);
    data_.AVIInfoFrame_Input_ColorFormat = (db[0] >> 5) & 0x03;
    data_.AVIInfoFrame_Colorimetry = (db[1] >> 6) & 0x03;
    data_.AVIInfoFrame_ExtendedColorimetry = (db[2] >> 4) & 0x07;
    data_.AVIInfoFrame_VIC = db[3] & 0x7F;
    u8 quantization = (db[2] >> 2) & 0x03;
    if (quantization == 0)
        quantization = data_.AVIInfoFrame_VIC <= 1 ? 2 : 1;
    data_.AVIInfoFrame_RGBQuantization = quantization;
    data_.AVIInfoFrame_YUVQuantization = (db[4] >> 6) & 0x03;
    data_.Flag_IS_YUV420 = data_.AVIInfoFrame_Input_ColorFormat == Color_Format_YUV420;
}

void ite6805_drv::iTE6805_Show_AVIInfoFrame_Info(u8 dev) {
    if (dev != 0)
        return;
    debugLog("AVI colour format %d, colorimetry %d, extended %d, VIC %d, RGB range %d\n",
             data_.AVIInfoFrame_Input_ColorFormat, data_.AVIInfoFrame_Colorimetry,
             data_.AVIInfoFrame_ExtendedColorimetry, data_.AVIInfoFrame_VIC,
             data_.AVIInfoFrame_RGBQuantization);
}

void ite6805_drv::iTE6805_Show_AUD_Info(u8 dev) {
    if (dev != 0)
        return;
    debugLog("Audio channel status %02X, forced sampling code %02X\n", data_.Audio_CH_Status,
             data_.Force_Sampling_Frequency);
}
