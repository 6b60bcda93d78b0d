// The IT6805 HDMI 2.0 receiver (input 3, "HDMI3") and its IT6807 V-by-One output side.
//
// One call of iTE6805_FSM per pass of the input-source thread identifies the chip,
// initialises it, services its interrupt registers, steps the video and audio state
// machines and, once the picture and audio are settled, publishes the measured timing:
// the input's HDMI_INFO record, its input_size entry of the image and the change signal.
// The driver is written for two devices; this board has device 0 only, and a call for
// another device does nothing. Everything runs on the input-source thread, sleeps
// included (hot-plug steps, calibration waits, the 2.1 s pixel-clock measurement).
#pragma once

#include "core/types.h"
#include "inputs/iTE6805_data.h"

class ite6805_i2c_rdwr;
class ite6805_drv;
class ite6805_cec_sys;
class ite6805_eq;
class ite6805_cec_drv;
class ite6805_cec_feture;

class ite6805_sys {
public:
    // Start-up steps of fsm_step.
    static constexpr u8 kIdentify = 0;
    static constexpr u8 kRun = 1;
    static constexpr u8 kSettle = 2;

    // The bus descriptor; the input-source manager copies it in after construction.
    int fd = -1;
    u8 identify_failures[2] = {};
    iTE6805_DATA data;
    iTE6805_VTiming timing;
    ite6805_i2c_rdwr* i2c;
    ite6805_drv* drv;
    ite6805_cec_sys* cec;
    ite6805_eq* eq;
    ite6805_cec_drv* cec_drv;
    ite6805_cec_feture* cec_feture;
    // Start-up step per device record: 0 identify, 2 settle, 1 run. The input-source
    // manager clears it to have the chip identified and initialised again.
    u8 fsm_step[2] = {kIdentify, kIdentify};
    u8 prev_scdt = 0;
    // AVI colour fields of the picture on the output, to notice a colour change.
    u8 saved_color_format = 0;
    u8 saved_colorimetry = 0;
    u8 saved_ext_colorimetry = 0;
    u8 saved_rgb_quantization = 0;
    u8 saved_yuv_quantization = 0;
    // Colour-depth code taken when the output was tristated, used when it is enabled.
    u8 color_depth_code = 0;
    // Lane count of the last V-by-One set-up; 7 forces a video reset at the next one.
    u8 prev_lane_count = 7;

    ite6805_sys();
    ~ite6805_sys();
    ite6805_sys(const ite6805_sys&) = delete;
    ite6805_sys& operator=(const ite6805_sys&) = delete;

    // Back to the constructed state, without touching the chip.
    void ite6805_sys_reset_init();
    // One pass of the state machine.
    void iTE6805_FSM(u8 dev);
    // True when device 0 is where only a latched interrupt can move it: a stable picture
    // with its audio settled and the equaliser done, or no source; also a chip still to be
    // identified, whose identification is simply retried.
    bool steady() const;
    void iTE6805_Set_HPD_Ctrl(u8 port, u8 level, u8 dev);
    void iTE6805_Init_fsm(u8 dev);
    // Requests served by the next pass of the main body: a change of the current port and
    // a reset of a port. Nothing in this system raises them but the initialisation, which
    // selects port 0.
    void iTE6805_Port_Select(u8 port, u8 dev);
    void iTE6805_Port_Reset(u8 port, u8 dev);
    // Serves a pending select request at once.
    void serve_port_select();
    void delay1ms(unsigned ms);

    // State changes with their entry actions.
    void iTE6805_vid_chg(u32 state, u8 dev);
    void iTE6805_aud_chg(u32 state, u8 dev);

    // Publication of the measured picture, and of its absence. A record published while
    // the signal is lost carries updated = 1, so that the video processor takes it.
    void iTE6805_update_hdmi(u8 dev);
    void iTE6805_Show_VID_Info(u8 dev);
    void publish_no_signal();

    // Interrupts and link events.
    void iTE6805_hdmirx_port0_SYS_irq(u8 dev);
    void iTE6805_hdmirx_common_irq(u8 dev);
    void iTE6805_INT_HDMI_DVI_Mode_Chg(u8 dev);
    void iTE6805_INT_ECC_ERROR(u8 dev);
    void iTE6805_Reset_ALL_Logic(u8 port, u8 dev);
    void iTE6805_INT_5VPWR_Chg(u8 port, u8 dev);
    void iTE6805_INT_SCDT_Chg(u8 dev);

    // Output path.
    void iTE6807_Video_Output_Setting(u8 dev);
    void iTE6805_Enable_Video_Output(u8 dev);
    void iTE6805_Enable_Audio_Output(u8 dev);
    void iTE6805_Set_Audio_Tristate(u8 on, u8 dev);

private:
    void identify();
    void main_body();
    void serve_port_reset();
    void video_fsm();
    void audio_fsm();
    void check_sync();
    void video_stable_pass();
    void audio_ready_pass();
    void audio_on_pass();
    void vbo_output_guard();
    void enter_unplug();
    void enter_video_stable();
    void setup_picture();
    // Reads the AVI InfoFrame and notes a colour change; true when one happened.
    bool check_color_change();
    u8 read_avi_db1();
    void handle_port0_int(u8 status, u8 portStatus, u8 linkStatus);
    void handle_symbol_lock(u8 status, u8 portInt, u8 portStatus, u8 linkStatus);
    void eq_restart();
    void publish_size(u16 width, u16 height, u16 refresh);
    void set_two_section_mode();
    u8 vbo_lane_count();
    void start_vbo_clock();
    void write_back(u8 reg, u8 value);

    u8 rd(u8 reg);
    void wr(u8 reg, u8 value);
    void set(u8 reg, u8 mask, u8 value);
    void bank(u8 n);
};
