#include "inputs/iTE6805_sys.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "inputs/iTE6805_cec_drv.h"
#include "inputs/iTE6805_cec_feture.h"
#include "inputs/iTE6805_cec_sys.h"
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_eq.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/velmosource.h"

using namespace ite6805;

namespace {

// Device 0 is input 3: its HDMI_INFO record and its input_size entry.
constexpr int kInput = 3;
constexpr int kChipPresentReg = 0x25;
constexpr u8 kChipPresentBit = 0x20;
constexpr u8 kSCDTChecks = 6;
constexpr u8 kAudioWaitPasses = 4;
constexpr u8 kAudioTries = 2;
constexpr u8 kVidStableSweep = 50;
constexpr u16 kRefreshShownAs60 = 55;

KrxRamPara* store() {
    return KrxRamPara::p_krxrampara_config;
}

HDMI_INFO* record() {
    velmosource* source = velmosource::p_velmo_source;
    return source ? &source->hdminfo[kInput] : nullptr;
}

// reg_para bytes are shared with the remote-control threads byte by byte.
void setChipPresent(bool present) {
    KrxRamPara* p = store();
    if (!p)
        return;
    if (present)
        __atomic_fetch_or(&p->reg_para[kChipPresentReg], kChipPresentBit, __ATOMIC_SEQ_CST);
    else
        __atomic_fetch_and(&p->reg_para[kChipPresentReg], static_cast<u8>(~kChipPresentBit),
                           __ATOMIC_SEQ_CST);
}

void writeInputSize(u16 width, u16 height, u16 refresh) {
    KrxRamPara* p = store();
    if (!p)
        return;
    InfoLock lock(p);
    size_t at = para::input_size_at(kInput);
    p->ram_para.setU16(at, width);
    p->ram_para.setU16(at + 2, height);
    p->ram_para.setU16(at + 4, refresh);
}

void signalChange() {
    if (KrxRamPara* p = store())
        p->test_signal(1);
}

}  // namespace

ite6805_sys::ite6805_sys() {
    i2c = new ite6805_i2c_rdwr(fd);
    drv = new ite6805_drv(*this);
    cec = new ite6805_cec_sys(*this);
    eq = new ite6805_eq(*this);
    cec_drv = new ite6805_cec_drv(*this);
    cec_feture = new ite6805_cec_feture(*this);
}

ite6805_sys::~ite6805_sys() {
    delete cec_feture;
    delete cec_drv;
    delete eq;
    delete cec;
    delete drv;
    delete i2c;
}

void ite6805_sys::ite6805_sys_reset_init() {
    fsm_step[0] = fsm_step[1] = kIdentify;
    identify_failures[0] = identify_failures[1] = 0;
    data = iTE6805_DATA();
    timing = iTE6805_VTiming();
    prev_scdt = 0;
    saved_color_format = saved_colorimetry = saved_ext_colorimetry = 0;
    saved_rgb_quantization = saved_yuv_quantization = 0;
    color_depth_code = 0;
    prev_lane_count = 7;
}

u8 ite6805_sys::rd(u8 reg) {
    return i2c->hdmirxrd(reg, 0);
}
void ite6805_sys::wr(u8 reg, u8 value) {
    i2c->hdmirxwr(reg, value, 0);
}
void ite6805_sys::set(u8 reg, u8 mask, u8 value) {
    i2c->hdmirxset(reg, mask, value, 0);
}
void ite6805_sys::bank(u8 n) {
    drv->chgbank(n, 0);
}

void ite6805_sys::delay1ms(unsigned ms) {
    board::msleep(ms);
}

void ite6805_sys::iTE6805_Set_HPD_Ctrl(u8 port, u8 level, u8 dev) {
    drv->iTE6805_Set_HPD_Ctrl(port, level, dev);
}

void ite6805_sys::iTE6805_Init_fsm(u8 dev) {
    drv->iTE6805_Init_fsm(dev);
}

bool ite6805_sys::steady() const {
    if (fsm_step[0] != kRun)
        return fsm_step[0] == kIdentify;
    if (data.VidState == STATEV_Unplug)
        return true;
    const bool equalised = data.EQState == STATEEQ_EQDone || data.EQState == STATEEQ_Off ||
                           data.EQState == STATEEQ_KeepEQStateUntil5VOff;
    return data.VidState == STATEV_VidStable && data.AudState == STATEA_AudioOn && equalised;
}

void ite6805_sys::iTE6805_FSM(u8 dev) {
    if (dev != 0)
        return;
    switch (fsm_step[0]) {
        case kRun:
            main_body();
            return;
        case kSettle:
            delay1ms(1000);
            fsm_step[0] = kRun;
            return;
        default:
            identify();
            return;
    }
}

void ite6805_sys::identify() {
    static constexpr u8 kId[4] = {0x54, 0x49, 0x05, 0x68};
    static constexpr u8 kIdMask[4] = {0xFF, 0xFF, 0xFD, 0xFF};
    for (u8 reg = 0; reg < 4; ++reg) {
        if ((rd(reg) & kIdMask[reg]) != kId[reg]) {
            setChipPresent(false);
            ++identify_failures[0];
            return;
        }
    }
    setChipPresent(true);
    iTE6805_Init_fsm(0);
    fsm_step[0] = kSettle;
}

void ite6805_sys::iTE6805_Port_Select(u8 port, u8 dev) {
    if (dev != 0)
        return;
    if (port > 1) {
        debugLog("User Setting Current Port Warning !");
        return;
    }
    data.PortSelect_Port = port;
    data.Flag_PortSelect_Request = 1;
}

void ite6805_sys::iTE6805_Port_Reset(u8 port, u8 dev) {
    if (dev != 0 || port > 1)
        return;
    data.PortReset_Port = port;
    data.Flag_PortReset_Request = 1;
}

// The register work of a reset, and of a change to port 1, is not part of this driver:
// the board wires port 0 only. What a request does here is send the equaliser back to
// Off, as a new link needs.
void ite6805_sys::serve_port_reset() {
    if (!data.Flag_PortReset_Request)
        return;
    data.Flag_PortReset_Request = 0;
    debugLog("Port %d reset\n", data.PortReset_Port);
    data.EQState = STATEEQ_Off;
    eq->iTE6805_EQ_chg(STATEEQ_Off, 0);
}

void ite6805_sys::serve_port_select() {
    if (!data.Flag_PortSelect_Request)
        return;
    data.Flag_PortSelect_Request = 0;
    if (data.PortSelect_Port != data.CurrentPort) {
        data.CurrentPort = data.PortSelect_Port;
        data.EQState = STATEEQ_Off;
        eq->iTE6805_EQ_chg(STATEEQ_Off, 0);
    }
    debugLog("\n\nCustomer Setting Current Port = %d ! \n\n", data.CurrentPort);
}

void ite6805_sys::main_body() {
    serve_port_reset();
    serve_port_select();
    if (data.VidState > STATEV_Unplug) {
        iTE6805_hdmirx_port0_SYS_irq(0);
        eq->iTE6805_hdmirx_port0_EQ_irq(0);
        iTE6805_hdmirx_common_irq(0);
    }
    cec->iTE6805_hdmirx_CEC_irq(0);
    eq->iTE6805_EQ_fsm(0);
    video_fsm();
    audio_fsm();
    vbo_output_guard();
}

// The earlier revisions do not manage their V-by-One output themselves: it must run while
// the picture is stable and stay off otherwise.
void ite6805_sys::vbo_output_guard() {
    if (data.Flag_VidStable_Done)
        data.AVMute_Status = drv->iTE6805_Check_AVMute(0);
    if (it6805_vbo_self_managed(data.ChipID))
        return;
    bank(5);
    u8 output = rd(B5_VBO_OUTPUT);
    if (data.Flag_VidStable_Done && (output & 0x01)) {
        wr(B5_VBO_OUTPUT, VBO_OUTPUT_ON);
        debugLog("Video Stable Done but VB1 output off, need to turn on! \r");
    } else if (data.VidState != STATEV_VidStable && !(output & 0x01)) {
        wr(B5_VBO_OUTPUT, VBO_OUTPUT_OFF);
        debugLog("Video is not stable, need to turn of VB1 otuput! \r");
    }
    bank(0);
}

void ite6805_sys::video_fsm() {
    switch (data.VidState) {
        case STATEV_Unplug:
            if (drv->iTE6805_Check_5V_State(0))
                iTE6805_INT_5VPWR_Chg(0, 0);
            return;
        case STATEV_WaitSync:
            if (drv->iTE6805_Check_SCDT(0)) {
                iTE6805_vid_chg(STATEV_CheckSync, 0);
                return;
            }
            if (drv->iTE6805_Check_CLK_Stable(0) && ++data.Clock_Stable_Count > 6) {
                data.Clock_Stable_Count = 0;
                drv->iTE6805_Set_47_By_TMDS(0);
            }
            return;
        case STATEV_CheckSync:
            check_sync();
            return;
        case STATEV_VidStable:
            video_stable_pass();
            return;
        default:
            debugLog("Video State Error !!!\n");
            return;
    }
}

u8 ite6805_sys::read_avi_db1() {
    bank(2);
    u8 db1 = rd(B2_AVI_DB1);
    bank(0);
    return db1;
}

// The picture counts as stable once AVI data byte 1 stayed the same for five passes.
void ite6805_sys::check_sync() {
    u8 db1 = read_avi_db1();
    if (data.Current_SCDTCheck_Count == kSCDTChecks) {
        data.prevAVIDB1 = db1;
        --data.Current_SCDTCheck_Count;
    } else if (db1 == data.prevAVIDB1) {
        --data.Current_SCDTCheck_Count;
    } else {
        data.prevAVIDB1 = db1;
    }
    if (data.Current_SCDTCheck_Count == 0)
        iTE6805_vid_chg(STATEV_VidStable, 0);
}

void ite6805_sys::video_stable_pass() {
    if (data.Flag_NewAVIInfoFrame) {
        setup_picture();
        data.Flag_NewAVIInfoFrame = 0;
        drv->iTE6805_Set_Video_Tristate(0, 0);
    }
    if ((rd(REG_AVMUTE_CTRL) & 0x20) && !data.AVMute_Status)
        drv->iTE6805_Set_AVMute(0, 0);
    if (++data.VidStable_Pass_Count >= kVidStableSweep) {
        data.VidStable_Pass_Count = 0;
        if (data.Current_AudioSamplingFreq_ErrorCount < 6)
            data.Current_AudioSamplingFreq_ErrorCount = 0;
    }
    if (!(rd(REG_AUDIO_FORCE) & AUDIO_FORCED)) {
        u8 status = rd(REG_AUDIO_CH_STATUS);
        data.Audio_CH_Status = static_cast<u8>(((status >> 2) & 0x30) | (status & 0x0F));
    }
}

// Measures the picture and sets the output path up for it.
void ite6805_sys::setup_picture() {
    check_color_change();
    drv->iTE6805_Get_VID_Info(0);
    drv->iTE6805_Show_AVIInfoFrame_Info(0);
    iTE6807_Video_Output_Setting(0);
    drv->iTE6805_Set_1B0_By_PixelClock(0);
    iTE6805_Enable_Video_Output(0);
}

bool ite6805_sys::check_color_change() {
    drv->iTE6805_Get_AVIInfoFrame_Info(0);
    bool changed = saved_color_format != data.AVIInfoFrame_Input_ColorFormat ||
                   saved_colorimetry != data.AVIInfoFrame_Colorimetry ||
                   saved_ext_colorimetry != data.AVIInfoFrame_ExtendedColorimetry ||
                   saved_rgb_quantization != data.AVIInfoFrame_RGBQuantization ||
                   saved_yuv_quantization != data.AVIInfoFrame_YUVQuantization;
    if (!changed)
        return false;
    debugLog("AVI colour changed\n");
    saved_color_format = data.AVIInfoFrame_Input_ColorFormat;
    saved_colorimetry = data.AVIInfoFrame_Colorimetry;
    saved_ext_colorimetry = data.AVIInfoFrame_ExtendedColorimetry;
    saved_rgb_quantization = data.AVIInfoFrame_RGBQuantization;
    saved_yuv_quantization = data.AVIInfoFrame_YUVQuantization;
    return true;
}

void ite6805_sys::iTE6805_vid_chg(u32 state, u8 dev) {
    if (dev != 0)
        return;
    data.VidState = state;
    switch (state) {
        case STATEV_Unplug:
            debugLog("VidState change to STATEV_Unplug state\n");
            enter_unplug();
            return;
        case STATEV_WaitSync:
            debugLog("VidState change to STATEV_WaitSync state\n");
            data.Flag_VidStable_Done = 0;
            data.DeskewErr_Count = 0;
            data.Clock_Stable_Count = 0;
            drv->iTE6805_Set_Video_Tristate(1, 0);
            return;
        case STATEV_CheckSync:
            debugLog("VidState change to STATEV_CheckSync state\n");
            data.Current_SCDTCheck_Count = kSCDTChecks;
            return;
        case STATEV_VidStable:
            debugLog("VidState change to STATEV_VidStable state\n");
            enter_video_stable();
            return;
        default:
            debugLog("Video State Error !!!\n");
            return;
    }
}

void ite6805_sys::enter_unplug() {
    bank(3);
    set(B3_SCDC_RATIO, 0x1C, 0x00);
    bank(0);
    data.Flag_VidStable_Done = 0;
    data.Flag_IS_YUV420 = 0;
    data.prevAVIDB1 = 0;
    data.Audio_CH_Status = 0;
    std::memset(data.Audio_Status_Copy, 0, sizeof data.Audio_Status_Copy);
    data.DeskewErr_Count = 0;
    std::memset(data.SymbolLockRst_Count, 0, sizeof data.SymbolLockRst_Count);
    data.Clock_Stable_Count = 0;
    data.Flag_HDCP_Check = 1;
    wr(REG_P0_SCDC, 0x04);
    wr(REG_P1_SCDC, 0x04);
    wr(REG_RESET, 0x12);
    wr(REG_RESET, 0x10);
    set(REG_P0_RESET, 0xFD, 0xAD);
    set(REG_P1_RESET, 0xFD, 0xAD);
    set(REG_P0_RESET, 0xFD, 0xA0);
    set(REG_P1_RESET, 0xFD, 0xA0);
    cec->iTE6805_CEC_INIT(0);
    drv->iTE6805_Set_Video_Tristate(1, 0);
}

void ite6805_sys::enter_video_stable() {
    wr(0x90, 0x8F);
    setup_picture();
    drv->iTE6805_Set_AVMute(1, 0);
    iTE6805_aud_chg(STATEA_RequestAudio, 0);
    drv->iTE6805_Set_Video_Tristate(0, 0);
    data.Flag_VidStable_Done = 1;
    if (data.EQState == STATEEQ_KeepEQStateUntil5VOff) {
        debugLog("Release state STATEEQ_KeepEQStateUntil5VOff to normal state(STATEEQ_EQDone)!!!");
        data.EQState = STATEEQ_EQDone;
        eq->iTE6805_EQ_chg(STATEEQ_EQDone, 0);
    }
}

void ite6805_sys::audio_fsm() {
    switch (data.AudState) {
        case STATEA_AudioOff:
            return;
        case STATEA_RequestAudio:
            data.Flag_FirstTimeAudioInfo = 1;
            std::memset(data.Audio_Status_Copy, 0, sizeof data.Audio_Status_Copy);
            iTE6805_aud_chg(STATEA_WaitForReady, 0);
            return;
        case STATEA_WaitForReady:
            audio_ready_pass();
            return;
        case STATEA_AudioOn:
            audio_on_pass();
            return;
        default:
            debugLog("Audio State Error !!!\n");
            return;
    }
}

// Audio is given a few passes to appear; a source without audio (DVI) goes on without it.
void ite6805_sys::audio_ready_pass() {
    if (data.Audio_Wait_Count) {
        --data.Audio_Wait_Count;
        return;
    }
    if (rd(REG_AUDIO_ERROR) & 0xC0)
        drv->iTE6805_Reset_Audio_Logic(0);
    bool ready = drv->iTE6805_Check_SCDT(0) && drv->iTE6805_Check_AUDT(0);
    if (!ready && data.Current_AudioCheck_TryCount < kAudioTries) {
        ++data.Current_AudioCheck_TryCount;
        debugLog("Current_AudioCheck_TryCount = %d !!!\n", data.Current_AudioCheck_TryCount);
        data.Audio_Wait_Count = kAudioWaitPasses;
        return;
    }
    iTE6805_aud_chg(STATEA_AudioOn, 0);
}

void ite6805_sys::audio_on_pass() {
    if (data.Audio_Recheck_Count < 3) {
        ++data.Audio_Recheck_Count;
        return;
    }
    data.Audio_Recheck_Count = 0;
    u8 status[3] = {static_cast<u8>(rd(REG_AUDIO_STATUS0) & 0xF0), rd(REG_AUDIO_STATUS1),
                    static_cast<u8>(rd(REG_AUDIO_STATUS2) & 0x02)};
    if (data.Flag_FirstTimeAudioInfo) {
        data.Flag_FirstTimeAudioInfo = 0;
        std::memcpy(data.Audio_Status_Copy, status, sizeof status);
        set(REG_AUDIO_PULSE, 0x08, 0x08);
        return;
    }
    if (std::memcmp(data.Audio_Status_Copy, status, sizeof status) != 0)
        iTE6805_aud_chg(STATEA_RequestAudio, 0);
}

void ite6805_sys::iTE6805_aud_chg(u32 state, u8 dev) {
    if (dev != 0 || state == data.AudState)
        return;
    data.AudState = state;
    switch (state) {
        case STATEA_AudioOff:
        case STATEA_RequestAudio:
            debugLog("AudState change to STATEA_RequestAudio state !!!\n");
            data.Current_AudioSamplingFreq_ErrorCount = 0;
            set(REG_AUDIO_FORCE, AUDIO_FORCED, 0x00);
            iTE6805_Set_Audio_Tristate(1, 0);
            return;
        case STATEA_WaitForReady:
            debugLog("AudState change to STATEA_WaitForReady state !!!\n");
            set(REG_AUDIO_PULSE, 0x10, 0x10);
            set(REG_AUDIO_PULSE, 0x10, 0x00);
            data.Audio_Wait_Count = kAudioWaitPasses;
            data.Current_AudioCheck_TryCount = 0;
            return;
        case STATEA_AudioOn:
            drv->iTE6805_Show_AUD_Info(0);
            debugLog("AudState change to STATEA_AudioOn state !!!\n");
            data.Audio_Recheck_Count = 0;
            iTE6805_Enable_Audio_Output(0);
            iTE6805_Set_Audio_Tristate(0, 0);
            iTE6805_update_hdmi(0);
            iTE6805_Show_VID_Info(0);
            return;
        default:
            debugLog("ERROR: AudState change to Unknown state !!!\n");
            return;
    }
}

void ite6805_sys::iTE6805_update_hdmi(u8 dev) {
    if (dev != 0)
        return;
    if (!(rd(REG_VIDEO_STATUS) & VS_OUTPUT_STABLE))
        return;
    // A 4:2:0 picture arrives with half its pixels per line at the receiver's clock.
    u32 scale = data.Flag_IS_YUV420 ? 2 : 1;
    std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
    HDMI_INFO* r = record();
    if (!r)
        return;
    r->updated = 0;
    r->nosignal = 0;
    r->Hact = timing.HActive * scale;
    r->Hsync = timing.HSyncWidth * scale;
    r->Hback = timing.HBackPorch * scale;
    r->Hpol = timing.HSyncPol;
    r->Htotal = timing.HTotal * scale;
    r->Vact = timing.VActive;
    r->Vsync = timing.VSyncWidth;
    r->Vback = timing.VBackPorch;
    r->Vpol = timing.VSyncPol;
    r->Vtotal = timing.VTotal;
    r->pfreq = static_cast<float>(timing.PCLK) / 1000.0f;
    r->type = 1;
    r->datamode = 1;
    r->lane = 1u << data.VBO_LaneCount;
    r->ip = timing.ScanMode;
    r->updated = 1;
}

void ite6805_sys::iTE6805_Show_VID_Info(u8 dev) {
    if (dev != 0)
        return;
    u16 width = static_cast<u16>(timing.HActive * (data.Flag_IS_YUV420 ? 2 : 1));
    debugLog("\n\n dev_id:%d -------Video Timing-------\n", dev);
    debugLog("HActive = %d\n", width);
    debugLog("VActive = %d\n", timing.VActive);
    debugLog("VTotal = %d\n", timing.VTotal);
    debugLog("HFrontPorch = %d\n", timing.HFrontPorch);
    debugLog("HSyncWidth = %d\n", timing.HSyncWidth);
    debugLog("HBackPorch = %d\n", timing.HBackPorch);
    debugLog("VSyncWidth = %d\n", timing.VSyncWidth);
    debugLog("VBackPorch = %d\n", timing.VBackPorch);
    debugLog("%s, HSync %s, VSync %s\n", timing.ScanMode ? "Interlaced" : "Progressive",
             timing.HSyncPol ? "positive" : "negative", timing.VSyncPol ? "positive" : "negative");
    if (KrxRamPara* p = store()) {
        InfoLock lock(p);
        p->ram_para[para::it6805_timing] = static_cast<u8>(width);
        p->ram_para[para::it6805_timing + 1] = static_cast<u8>(timing.VActive);
        p->ram_para[para::it6805_timing + 2] = static_cast<u8>(timing.FrameRate);
    }
    u8 status = rd(REG_VIDEO_STATUS);
    if (!(status & VS_OUTPUT_STABLE)) {
        debugLog("Video Output Detect Non-Stable   LVPCLK_HS=%d\n", (rd(0x36) >> 2) & 0x03);
        iTE6805_Set_HPD_Ctrl(0, 0, 0);
        delay1ms(100);
        iTE6805_Set_HPD_Ctrl(0, 1, 0);
        delay1ms(100);
        return;
    }
    debugLog("Video Output Detect Stable   LVPCLK_HS=%d\n", (rd(0x36) >> 2) & 0x03);
    u16 refresh = timing.FrameRate < kRefreshShownAs60 ? static_cast<u16>(timing.FrameRate) : 60;
    publish_size(width, timing.VActive, refresh);
}

void ite6805_sys::publish_size(u16 width, u16 height, u16 refresh) {
    writeInputSize(width, height, refresh);
    signalChange();
}

void ite6805_sys::publish_no_signal() {
    writeInputSize(0, 0, 0);
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        if (HDMI_INFO* r = record()) {
            r->updated = 0;
            r->nosignal = 1;
            r->Hact = r->Hsync = r->Hback = r->Hpol = r->Htotal = 0;
            r->Vact = r->Vsync = r->Vback = r->Vpol = r->Vtotal = 0;
            r->pfreq = 0.0f;
            r->ip = 0;
            r->type = r->datamode = r->lane = 1;
            r->updated = 1;
        }
    }
    signalChange();
}
