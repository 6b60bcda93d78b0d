// Brightness, the screen schedule and the LED-panel hand-over with the video-processor
// thread.
//
// The brightness modes, the schedule task and the multifunction-card power control are
// not built yet: Brightness_hand_dealwith, Brightness_init, Extension_function and
// Power_ctrl_init are empty until they land, and are already called where they belong.
#include <QMutexLocker>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"

namespace {

// Freeze-out and hand-over waits, in ticks.
constexpr u32 kBlackTicks = 11;
constexpr u32 kPanelTicks = 31;
constexpr u32 kFreezeTicks = 21;
constexpr u32 kFreezeCheckTicks = 11;
constexpr u32 kFreezePolls = 501;  // polls are counted while fewer than this

// Freeze-out steps (g_set_led_setup while g_freeze_out is 1).
enum : u8 {
    kFreezeWaitIdle = 0,
    kFreezeClear = 1,
    kFreezeSet = 2,
    kFreezeOn = 3,
    kFreezeWaitVideo = 4,
    kFreezePulseOff = 99,
    kFreezePulseOn = 100,
};

}  // namespace

unsigned char fpga_manage::Brightness_hand_dealwith(unsigned char) {
    return 1;
}

void fpga_manage::Brightness_init(const unsigned char*) {}

void fpga_manage::Extension_function() {}

void fpga_manage::Power_ctrl_init() {}

bool fpga_manage::set_fpga_bri_val() {
    if (!get_fpga_status())
        return false;
    // Take the request before the work, so that one raised meanwhile is served next pass.
    {
        QMutexLocker lock(&Utils::_bri_set_mutex);
        bri_resend = 0;
    }
    bri_resend_taken = 1;
    Brightness_hand_dealwith(1);
    bri_resend_taken = 0;
    return true;
}

bool fpga_manage::set_output_status() {
    if (!get_fpga_status())
        return false;
    {
        QMutexLocker lock(&Utils::_system_mutex);
        output_resend = 0;
    }
    u16 black = 0;
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        black = store->ram_para.u16At(para::fpga_para);
    SCREEN_fpgactrl_status(black == 0 ? SCREEN_SHOWN : SCREEN_BLACK);
    return true;
}

void fpga_manage::set_led_para_deal() {
    QMutexLocker lock(&Utils::_led_para_init_mutex);
    auto wait = [this](u32 ticks) {
        if (Utils::getTimeSpace(led_stamp) < ticks)
            return false;
        led_stamp = G_timeTicks;
        return true;
    };
    if (!get_fpga_status()) {
        // The video-processor thread waits for this step while it holds the apply lock.
        // With FPGA 0 not running no output needs the old size blanked: let it go on now.
        if (g_set_led_para == 1) {
            g_set_led_setup = 0;
            g_set_led_para = 0;
        }
        return;
    }
    if (g_set_led_para == 1) {
        switch (g_set_led_setup) {
            case 0:
                SCREEN_fpgactrl_status(SCREEN_BLACK);
                led_stamp = G_timeTicks;
                g_set_led_setup = 1;
                break;
            case 1:
                if (!wait(kBlackTicks))
                    break;
                SCREEN_fpgactrl_status(SCREEN_OUTPUT_OFF);
                g_set_led_setup = 2;
                break;
            default:
                if (!wait(kPanelTicks))
                    break;
                g_set_led_setup = 0;
                g_set_led_para = 0;
                break;
        }
        return;
    }
    if (g_set_led_para == 2) {
        g_set_led_para = 0;
        g_set_led_setup = 0;
        reset_fpga_rst(0);
        return;
    }
    if (g_freeze_out != 1)
        return;
    switch (g_set_led_setup) {
        case kFreezeWaitIdle:
            if (!wait(kFreezeTicks))
                break;
            if ((MCU_REG_func[0][kRegStatus].load() & 0x04) && led_count < kFreezePolls) {
                ++led_count;
                SCREEN_fpgactrl_status(SCREEN_READ_STATUS);
                break;
            }
            g_set_led_setup = kFreezeClear;
            break;
        case kFreezeClear:
            if (!wait(kFreezeTicks))
                break;
            SCREEN_fpgactrl_status(SCREEN_FREEZE_CLEAR);
            g_set_led_setup = kFreezeSet;
            break;
        case kFreezeSet:
            if (!wait(kFreezeTicks))
                break;
            SCREEN_fpgactrl_status(SCREEN_FREEZE_SET);
            g_set_led_setup = kFreezePulseOn;
            break;
        case kFreezePulseOn:
            if (!wait(kFreezeTicks))
                break;
            write_to_register(kRegHandshake, 0x20, 0x20, 0);
            g_set_led_setup = kFreezePulseOff;
            break;
        case kFreezePulseOff:
            if (!wait(kFreezeTicks))
                break;
            write_to_register(kRegHandshake, 0x20, 0x00, 0);
            g_set_led_setup = kFreezeOn;
            break;
        case kFreezeOn:
            if (Utils::getTimeSpace(led_stamp) < kFreezeTicks)
                break;
            SCREEN_fpgactrl_status(SCREEN_OUTPUT_ON);
            g_set_led_setup = kFreezeWaitVideo;
            led_count = 0;
            break;
        case kFreezeWaitVideo:
            if (!wait(kFreezeCheckTicks))
                break;
            if (!(MCU_REG_func[0][kRegStatus].load() & 0x80) && led_count < kFreezePolls) {
                ++led_count;
                SCREEN_fpgactrl_status(SCREEN_READ_STATUS);
                break;
            }
            g_freeze_out = 0;
            SCREEN_fpgactrl_status(SCREEN_SHOWN);
            g_set_led_setup = 0;
            break;
        default:
            break;
    }
}
