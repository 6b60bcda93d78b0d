// The output side of the IT6805 driver: clock-path settings, colour depth, the TTL path,
// output enables and the logic resets.
#include <cstdio>

#include "core/global.h"
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

constexpr u8 kDepth10Bit = 0x10;
constexpr u8 kDepth12Bit = 0x20;

}  // namespace

void ite6805_drv::iTE6805_Set_1B0_By_PixelClock(u8 dev) {
    if (dev != 0)
        return;
    // Bank 1 0xB0 bit 0 ends up telling whether more than one lane runs; the values the
    // clock and the single/dual mode would give it are overwritten by that at once.
    bool above1G = iTE6805_Check_TMDS_Bigger_Than_1G(0);
    bank(1);
    set(0xB0, 0x01, data_.VBO_LaneCount > 0 ? 0x01 : 0x00);
    bank(3);
    set(0xB0, 0x08, above1G ? 0x00 : 0x08);
    bank(0);
}

void ite6805_drv::iTE6805_Set_47_By_TMDS(u8 dev) {
    if (dev != 0)
        return;
    u8 range = rd(REG_TMDS_RANGE);
    unsigned shift = (range & 0x80) ? 3 : (range & 0x40) ? 2 : (range & 0x20) ? 1 : 0;
    u32 refSum = rd(REG_TMDS_COUNT) >> shift;
    debugLog("RefSUM = %d \n", refSum);
    u32 rclkValue = rclk_khz[0] / 1000;
    debugLog("RCLKVALUE = %d \n", rclkValue);
    if (!(rd(REG_P0_LINK) & LINK_PLL) && refSum < rclkValue) {
        debugLog("OverWrite IPLL/OPLL ");
        wr(REG_PLL_47, rd(REG_PLL_47));
    }
}

void ite6805_drv::set_late_vbo_registers() {
    set(B5_VBO_OUTPUT, 0xF7, VBO_OUTPUT_ON);
    wr(0xD5, 0x80);
    wr(0xD7, 0x0C);
    wr(0xDF, 0x87);
    set(0xE1, 0x80, 0x80);
    set(B5_VBO_OUTPUT, 0x02, (rd(B5_VBO_STATUS) & 0x08) ? 0x02 : 0x00);
}

void ite6805_drv::iTE6805_Set_ColorDepth(u8 dev) {
    if (dev != 0)
        return;
    bank(5);
    wr(0xC7, sys_.timing.PCLK < 30000 ? 0x49 : 0x00);
    bank(0);
    set(REG_CSC_IN, 0x03, 0x01);
    data_.VBO_ByteMode = 1;
    if (!it6805_late_revision(data_.ChipID))
        return;
    bank(5);
    set_late_vbo_registers();
    bank(0);
}

void ite6805_drv::iTE6805_Set_TTL_Video_Path(u8 dev) {
    if (dev != 0)
        return;
    set(REG_CSC_IN, 0x0C, static_cast<u8>(data_.US_Output_ColorFormat << 2));
}

void ite6805_drv::iTE6805_Set_Video_Tristate(u8 on, u8 dev) {
    if (dev != 0)
        return;
    if (on) {
        debugLog("---------------- iTE6805_Set_Video_Tristate -> VIDEO_OFF = Tristate on\n");
        sys_.color_depth_code = rd(REG_VID_MODE) & 0xF0;
        bank(1);
        wr(B1_TRISTATE0, 0xFF);
        wr(B1_TRISTATE1, 0xFF);
        bank(0);
        return;
    }
    debugLog("---------------- iTE6805_Set_Video_Tristate -> VIDEO_ON = Tristate off\n");
    u8 depth = sys_.color_depth_code;
    bank(1);
    set(B1_TRISTATE0, 0x80, 0x00);
    set(B1_TRISTATE1, 0x80, 0x00);
    u8 mode = rd(B1_MODE);
    if (mode & 0x01) {
        wr(B1_TRISTATE1, depth == kDepth10Bit ? 0x40 : 0x00);
    } else if ((mode & 0xC0) == 0x80) {
        wr(B1_TRISTATE0, depth == kDepth10Bit ? 0x63 : depth == kDepth12Bit ? 0x23 : 0x03);
    } else if ((mode & 0xC0) == 0x00 || (mode & 0xC0) == 0x40) {
        wr(B1_TRISTATE0, depth == kDepth10Bit ? 0x78 : depth == kDepth12Bit ? 0x38 : 0x18);
    }
    bank(0);
}

void ite6805_drv::iTE6805_Set_AVMute(u8 on, u8 dev) {
    if (dev != 0)
        return;
    if (on) {
        debugLog("+++++++++++ iTE6805_Set_AVMute -> On\n");
        set(REG_AVMUTE_CTRL, 0xA0, 0xA0);
        bank(1);
        set(B1_TRISTATE0, 0x80, 0x80);
        bank(0);
        return;
    }
    debugLog("+++++++++++  iTE6805_Set_AVMute -> Off\n");
    if (data_.VidState != STATEV_VidStable)
        return;
    if (iTE6805_Check_AVMute(0)) {
        set(REG_AVMUTE_CTRL, 0x80, 0x80);
        return;
    }
    bank(1);
    pulse(B1_TRISTATE0, 0x01, 0);
    if (rd(B1_MODE) & 0x01)
        set(B1_TRISTATE0, 0x01, 0x01);
    bank(0);
    set(REG_AVMUTE_CTRL, 0xA0, 0xA0);
    set(REG_AVMUTE_CTRL, 0xA0, 0x80);
}

void ite6805_drv::iTE6805_Reset_Video_Logic(u8 dev) {
    if (dev != 0)
        return;
    pulse(REG_RESET, 0x01, 1);
    // Write-1-to-clear registers: only the bit the reset raised is cleared.
    wr(REG_SYS_INT, 0x02);
    wr(REG_PKT_INT, 0x80);
}

void ite6805_drv::iTE6805_Reset_Audio_Logic(u8 dev) {
    if (dev != 0)
        return;
    pulse(REG_RESET, 0x02, 0);
    for (int i = 0; i < 4; ++i)
        wr(REG_AUDIO_FS, rd(REG_AUDIO_FS));
}
