// Register sequences of the IT6805: initialisation and self-calibration, hot-plug, clock
// and timing measurement, the AVI InfoFrame, and the output side's clock, colour and
// enable settings. It works on the records of its owning ite6805_sys.
#pragma once

#include "core/types.h"
#include "inputs/iTE6805_data.h"

class ite6805_sys;
class ite6805_i2c_rdwr;

class ite6805_drv {
public:
    // Factory reference-clock read-outs outside this range are not believed.
    static constexpr u32 kRclkMinKHz = 13000;
    static constexpr u32 kRclkMaxKHz = 27000;
    static constexpr u32 kRclkTypicalKHz = 19000;
    static const iTE6805_INI_REG iTE6805_INIT_HDMI_TABLE[];
    // The 4K timings the IT6807's down-scaler accepts. This board never enables the
    // down-scaler: the lane set-up never takes its path.
    static constexpr u8 kDSTimings = 6;
    static const iTE6805_DSTiming iTE6805_SupportedDSTiming[kDSTimings];

    u8 cec_time_unit[2] = {};  // reference clock / 160: the CEC engine's 100 us
    u8 ds_timing_count = kDSTimings;
    u32 rclk_khz[2] = {kRclkTypicalKHz, kRclkTypicalKHz};

    explicit ite6805_drv(ite6805_sys& sys);

    void iTE6805_Init_fsm(u8 dev);
    void iTE6805_Init_CAOF(u8 dev);
    u32 iTE6805_OCLK_Load(u8 dev);
    void iTE6805_OCLK_Cal(u8 dev);
    void iTE6805_Set_HPD_Ctrl(u8 port, u8 level, u8 dev);
    void chgbank(u8 bank, u8 dev);

    // Measurements, in kHz (0 when nothing could be counted).
    u32 iTE6805_Get_TMDS(u8 samples, u8 dev);
    u32 iTE6805_Get_PCLK(u8 dev);
    // Fills the timing record; returns the frame rate in Hz.
    u32 iTE6805_Get_VID_Info(u8 dev);
    void iTE6805_Get_AVIInfoFrame_Info(u8 dev);
    void iTE6805_Show_AVIInfoFrame_Info(u8 dev);
    void iTE6805_Show_AUD_Info(u8 dev);

    // Status of port 0.
    u8 iTE6805_Check_5V_State(u8 dev);
    u8 iTE6805_Check_PORT0_IS_MHL_Mode(u8 dev);
    u8 iTE6805_Check_CLK_Vaild(u8 dev);
    u8 iTE6805_Check_CLK_Stable(u8 dev);
    u8 iTE6805_Check_HDMI_OR_DVI_Mode(u8 dev);  // INPUT_HDMI or INPUT_DVI
    void iTE6805_GET_InputType(u8 dev);
    u8 iTE6805_Check_SCDT(u8 dev);
    u8 iTE6805_Check_AUDT(u8 dev);
    u8 iTE6805_Check_AVMute(u8 dev);
    u8 iTE6805_Check_HDMI2(u8 dev);
    u8 iTE6805_Check_TMDS_Bigger_Than_1G(u8 dev);
    u8 iTE6805_Check_Single_Dual_Mode(u8 dev);  // 1 dual
    u8 iTE6805_Check_4K_Resolution(u8 dev);

    // Output side.
    void iTE6805_Set_1B0_By_PixelClock(u8 dev);
    void iTE6805_Set_47_By_TMDS(u8 dev);
    void iTE6805_Set_ColorDepth(u8 dev);
    void iTE6805_Set_TTL_Video_Path(u8 dev);
    void iTE6805_Set_Video_Tristate(u8 on, u8 dev);
    void iTE6805_Set_AVMute(u8 on, u8 dev);
    void iTE6805_Reset_Audio_Logic(u8 dev);
    void iTE6805_Reset_Video_Logic(u8 dev);
    // The late revisions' V-by-One transmitter settings (bank 5 selected by the caller).
    void set_late_vbo_registers();

private:
    void calibrate_port(u8 port);
    bool otp_read(u16 address, u8& low, u8& high);
    u32 otp_reference_clock();
    void read_timing_registers();
    void pulse(u8 reg, u8 bit, unsigned holdMs);

    u8 rd(u8 reg);
    void wr(u8 reg, u8 value);
    void set(u8 reg, u8 mask, u8 value);
    void bank(u8 n);

    ite6805_sys& sys_;
    ite6805_i2c_rdwr& i2c_;
    iTE6805_DATA& data_;
    iTE6805_VTiming& timing_;
};
