// The FPGA thread's pass: reset, the V-by-One bring-up of FPGA 0, its output start, the
// link watch and the hand-off to brightness, LED-parameter and card-job steps.
//
// Every periodic action is gated by ticks of G_timeTicks (10 ms), so a pass with nothing
// due is a handful of comparisons and no bus traffic.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_manage.h"
#include "fpga/send_para.h"
#include "inputs/velmosource.h"
#include "video/c331_manage.h"

namespace {

// Power-up turns are at least this far apart.
constexpr u32 kPowerUpTicks = 30;
// Link watch period.
constexpr u32 kVboTicks = 9;
// Current-time refresh period.
constexpr u32 kTimeTicks = 26;
// Output-start waits.
constexpr u32 kVideoCheckTicks = 10;
constexpr u32 kMeasureTicks = 70;
constexpr u32 kHandshakeTicks = 5;
constexpr u32 kLatchTicks = 20;
constexpr u32 kEnableTicks = 50;
constexpr unsigned kLightOnPauseMs = 3000;
// Output-start state 0 resets the FPGA after (level + 1) x 20 failed video checks and
// gives up once the level passes 100.
constexpr u16 kChecksPerLevel = 20;
constexpr u8 kLastCheckLevel = 100;
// V-by-One step retries.
constexpr u16 kVboRetries = 5;
constexpr u8 kVboResets = 3;
constexpr u16 kVboTrainTurns = 1000;
// Measured output accepted by the output start (frame period in 50 MHz cycles: 70 Hz
// down to 50 Hz).
constexpr u32 kPeriodMin = 714286;
constexpr u32 kPeriodMax = 999999;

constexpr u8 kStatusLinkError = 0x08;
constexpr u8 kStatusLocked = 0x10;
constexpr u8 kStatusVideo = 0x80;
constexpr u8 kLockBits = 0x1C;

// Output-start states (lcd_step).
enum : u8 {
    kLcdWaitVideo = 0,
    kLcdStart = 1,
    kLcdLatch = 2,
    kLcdApply = 3,
    kLcdMeasure = 7,
    kLcdStartAck = 8,
    kLcdEndHandshake = 9,
    kLcdEndAck = 10,
    kLcdHoldOff = 14,
    kLcdEnable = 15,
};

u32 now() {
    return G_timeTicks;
}

bool image_year_valid(u8 year) {
    return year >= fpga_manage::kImageYearMin && year <= fpga_manage::kImageYearMax;
}

void debug_step(const char* step, u8 fpga) {
    if (debugOn())
        std::printf("\n +++++++++++++++++++++FPGA[%d]_VBO_INIT_%s++++++++++++++++++++++++ !!!\n",
                    fpga + 1, step);
}

void test_signal(int reason) {
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        store->test_signal(reason);
}

}  // namespace

bool fpga_manage::d0_ready() {
    velmosource* source = velmosource::p_velmo_source;
    return source && source->d0_step[0] == 2;
}

u8 fpga_manage::fpga_ready_state(u8 fpga) const {
    return fpga < kFpgaCount ? reg_shadow[fpga][kRegReadyState].load() : 0;
}

void fpga_manage::set_fpga_ready_state(u8 fpga, u8 state) {
    if (fpga >= kFpgaCount)
        return;
    pthread_mutex_lock(&reg_mutex);
    reg_shadow[fpga][kRegReadyState].store(state);
    pthread_mutex_unlock(&reg_mutex);
}

void fpga_manage::fpga_manage_deal() {
    check_fpga_rst();
    if (d0_ready())
        power_up_fpga_start(1, 0);
    pthread_mutex_lock(&passby_mutex);
    if (d0_ready())
        reg_IRQ_Dealwith(0, 0);
    pthread_mutex_unlock(&passby_mutex);
    if (d0_ready())
        power_up_check_fpga_status(0);
    if (bri_resend)
        set_fpga_bri_val();
    if (g_set_led_para || g_freeze_out)
        set_led_para_deal();
    if (get_fpga_status() && Utils::getTimeSpace(time_stamp) >= kTimeTicks) {
        IT8563WE_Get(&current_time);
        time_stamp = now();
    }
    switch (send_para_job()) {
        case SEND_PARA_JOB_SMART_MAPPING:
            SmartMapping_deal();
            break;
        case SEND_PARA_JOB_LOAD_SCAN:
            rcv_recovery_check_deal(RCV_LOAD_SCAN);
            break;
        case SEND_PARA_JOB_SAVE_PARA:
            save_para_deal();
            break;
        case SEND_PARA_JOB_MAPPING_ENABLE:
            mapping_enable_deal();
            break;
        case SEND_PARA_JOB_RECOVERY_QUERY:
            rcv_recovery_check_deal(RCV_CHECK);
            break;
        case SEND_PARA_JOB_RECOVERY_RUN:
            rcv_recovery_check_deal(RCV_RECOVERY);
            break;
        default:
            Check_search_card();
            break;
    }
    if (output_resend == 1)
        set_output_status();
    flush_screen_black();
    record.clock_record_deal();
}

bool fpga_manage::get_fpga_status() const {
    // A reset line held low ends the FPGA's usefulness at once, not at the release.
    return !reset_pending[0] && fpga_ready_state(0) == kReady && power_up_step[0] == kPowerUpDone &&
           lcd_step[0] == kLcdRunning && !(reg_shadow[0][kRegControl].load() & 0x08);
}

u32 fpga_manage::get_wlan_state() {
    if (fpga_ready_state(0) != kReady)
        return 0;
    read_from_register(kRegLinksLow, 0);
    read_from_register(kRegLinksHigh, 0);
    return static_cast<u32>(reg_shadow[0][kRegLinksHigh].load()) << 8 |
           reg_shadow[0][kRegLinksLow].load();
}

int fpga_manage::IT8563WE_Get(TimeRealType* t) {
    if (!t)
        return 0;
    std::tm local;
    {
        std::lock_guard<std::mutex> lock(Utils::_system_mutex);
        local = board::localTime();
    }
    t->year = static_cast<u16>(local.tm_year + 1900);
    t->month = static_cast<u8>(local.tm_mon + 1);
    t->day = static_cast<u8>(local.tm_mday);
    t->hour = static_cast<u8>(local.tm_hour);
    t->minute = static_cast<u8>(local.tm_min);
    t->second = static_cast<u8>(local.tm_sec);
    return 0;
}

void fpga_manage::hold_in_reset(u8 fpga) {
    reset_pending[fpga] = 1;
    reset_stamp[fpga] = now();
    set_gpio(fpga_rst_gpio[fpga], kGpioLow);
}

void fpga_manage::reset_fpga_rst(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    hold_in_reset(fpga);
    vbo_resets[fpga] = 0;
}

void fpga_manage::check_fpga_rst() {
    if (!reset_pending[0] || Utils::getTimeSpace(reset_stamp[0]) <= kResetTicks)
        return;
    set_gpio(fpga_rst_gpio[0], kGpioHigh);
    pthread_mutex_lock(&reg_mutex);
    reg_shadow[0][kRegReadyState].store(0);
    reg_shadow[0][kRegImageYear].store(0);
    pthread_mutex_unlock(&reg_mutex);
    lcd_step[0] = kLcdWaitVideo;
    g_change[38] = now();
    reset_pending[0] = 0;
    power_up_step[0] = 0;
    vbo_retry[0] = 0;
}

void fpga_manage::power_up_fpga_start(unsigned char check, unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    if (check && fpga_ready_state(fpga) == kReady && power_up_step[fpga] == kPowerUpDone)
        return;
    // A held reset line makes every register read 0xFF: nothing to bring up until the
    // release.
    if (reset_pending[fpga])
        return;
    if (Utils::getTimeSpace(g_change[32 + fpga]) <= kPowerUpTicks)
        return;
    if (!image_year_valid(reg_shadow[fpga][kRegImageYear].load())) {
        for (u8 reg : {u8{31}, u8{30}, u8{29}, u8{28}, u8{7}})
            read_from_register(reg, fpga);
        power_up_step[fpga] = kPowerUpS1;
        vbo_retry[fpga] = 0;
        // A new bring-up needs a new output start, whatever ended the last one.
        lcd_step[fpga] = kLcdWaitVideo;
    } else {
        switch (power_up_step[fpga]) {
            case kPowerUpS1:
                debug_step("S1", fpga);
                write_to_register(kRegLink, 0x40, 0x40, fpga);
                power_up_step[fpga] = kPowerUpS2;
                break;
            case kPowerUpS2:
                power_up_step_s2(fpga);
                if (reset_pending[fpga])
                    return;
                break;
            case kPowerUpS3:
                debug_step("S3", fpga);
                write_to_register(kRegLink, 0x80, 0x80, fpga);
                power_up_step[fpga] = kPowerUpS5;
                vbo_retry[fpga] = 0;
                vbo_resets[fpga] = 0;
                break;
            case kPowerUpS5:
                power_up_step_s5(fpga);
                break;
            case kPowerUpS6:
                power_up_step_s6(fpga);
                return;
            default:
                break;
        }
    }
    g_change[32 + fpga] = now();
}

void fpga_manage::power_up_step_s2(u8 fpga) {
    debug_step("S2", fpga);
    read_from_register(kRegStatus, fpga);
    if (reg_shadow[fpga][kRegStatus].load() & kStatusLinkError) {
        if (++vbo_retry[fpga] < kVboRetries)
            return;
        if (++vbo_resets[fpga] < kVboResets) {
            if (debugOn())
                std::printf("\n +++++++++++++++++FPGA[%d]_VBO_INIT_S2 reset!!!++++++++++++++++\n",
                            fpga + 1);
            hold_in_reset(fpga);
            power_up_step[fpga] = kPowerUpWaitReset;
            return;
        }
    }
    power_up_step[fpga] = kPowerUpS3;
}

void fpga_manage::power_up_step_s5(u8 fpga) {
    debug_step("S5", fpga);
    read_from_register(kRegStatus, fpga);
    if (reg_shadow[fpga][kRegStatus].load() & kStatusLocked) {
        power_up_step[fpga] = kPowerUpS6;
        vbo_resets[fpga] = 0;
        write_to_register(kRegHandshake, 0x01, 0x00, fpga);
        return;
    }
    if (++vbo_retry[fpga] < kVboRetries)
        return;
    if (++vbo_resets[fpga] < kVboResets)
        return;
    power_up_step[fpga] = kPowerUpS6;
}

void fpga_manage::power_up_step_s6(u8 fpga) {
    debug_step("S6", fpga);
    write_to_register(kRegHandshake, 0x01, 0x01, fpga);
    set_fpga_ready_state(fpga, kReady);
    fpgainit(fpga);
    if (reset_pending[fpga]) {
        // The parameter RAM did not read back and the FPGA is held in reset: it is not
        // ready, and the bring-up starts again after the release.
        set_fpga_ready_state(fpga, 0);
        power_up_step[fpga] = kPowerUpWaitReset;
        return;
    }
    SCREEN_fpgactrl_status2(SCREEN_BLACK, fpga);
    set_fpga_ready_state(fpga, kReady);
    power_up_step[fpga] = kPowerUpDone;
}

void fpga_manage::fpgainit(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    u8 block50[256];
    if (p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(fpga_drv::kFlashSelectFpga0, kBlock50Address,
                                               sizeof block50, block50))
        write_fpga_ram(block50, 0, sizeof block50, 50, fpga);

    write_to_register(kRegHandshake, 0x40, 0x40, fpga);
    write_to_register(kRegHandshake, 0x40, 0x00, fpga);
    read_from_register(kRegStatus, fpga);
    write_to_register(kRegStatus, 0x20, 0x00, fpga);

    record_bright_change();
    record_onoff_time(fpga + 2);
    for (int i = 0; i < 3; ++i)
        read_from_register(21, fpga);

    load_para_ram(fpga);
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        for (u8 i = 0; i < 6; ++i)
            ram_para_image[fpga][276 + i] = static_cast<u8>(6 * fpga + 1 + i);
    }
    write_fpga_ram(ram_para_image[fpga], 0, kRamImageSize, 1, fpga);

    update_eth_state(fpga);
    FPGA_to_RAM(fpga);
    write_to_register(kRegCommand, 0x08, 0x08, fpga);

    ram_ok[fpga] = static_cast<u8>(check_fpga_ram_param(fpga));
    if (!ram_ok[fpga]) {
        reset_fpga_rst(fpga);
        if (debugOn())
            std::printf("\n check fpga%d ram error ,start to reset .... \n", fpga + 1);
    } else if (debugOn()) {
        std::printf("\n check fpga%d ram ok  .... \n", fpga + 1);
    }
}

void fpga_manage::power_up_check_fpga_status(unsigned char fpga) {
    if (fpga >= kFpgaCount || fpga_ready_state(fpga) != kReady ||
        power_up_step[fpga] != kPowerUpDone)
        return;
    u32& stamp = g_change[47 + fpga];
    auto due = [&stamp](u32 ticks) {
        if (Utils::getTimeSpace(stamp) <= ticks)
            return false;
        stamp = now();
        return true;
    };
    auto lcd_due = [this, fpga](u32 ticks) {
        if (Utils::getTimeSpace(lcd_stamp[fpga]) <= ticks)
            return false;
        lcd_stamp[fpga] = now();
        return true;
    };
    switch (lcd_step[fpga]) {
        case kLcdWaitVideo:
            if (due(kVideoCheckTicks))
                output_start_wait_video(fpga);
            break;
        case kLcdMeasure:
            if (lcd_due(kMeasureTicks))
                output_start_measure(fpga);
            break;
        case kLcdStart:
            write_to_register(kRegOutputStart, 0x01, 0x01, fpga);
            lcd_step[fpga] = kLcdStartAck;
            stamp = now();
            write_to_register(kRegHandshake, 0x02, 0x02, fpga);
            break;
        case kLcdStartAck:
            if (!due(kHandshakeTicks))
                break;
            read_from_register(kRegHandshake, fpga);
            lcd_step[fpga] =
                (reg_shadow[fpga][kRegHandshake].load() & 0x02) ? kLcdLatch : kLcdStart;
            break;
        case kLcdLatch:
            if (!due(kLatchTicks))
                break;
            read_from_register(kRegOutputStart, fpga);
            lcd_latch[fpga] = 1;
            lcd_step[fpga] = kLcdEndHandshake;
            break;
        case kLcdEndHandshake:
            write_to_register(kRegHandshake, 0x02, 0x00, fpga);
            lcd_step[fpga] = kLcdEndAck;
            stamp = now();
            break;
        case kLcdEndAck:
            if (!due(kHandshakeTicks))
                break;
            read_from_register(kRegHandshake, fpga);
            lcd_step[fpga] =
                (reg_shadow[fpga][kRegHandshake].load() & 0x02) ? kLcdEndHandshake : kLcdApply;
            break;
        case kLcdApply:
            output_start_apply(fpga);
            break;
        case kLcdHoldOff:
            if (!lcd_due(kEnableTicks))
                break;
            SCREEN_fpgactrl_status2(SCREEN_HOLD_CLEAR, fpga);
            lcd_step[fpga] = kLcdEnable;
            write_to_register(kRegCommand, 0x01, 0x01, fpga);
            write_to_register(kRegCommand, 0x01, 0x01, fpga);
            break;
        case kLcdEnable:
            if (!lcd_due(kEnableTicks))
                break;
            SCREEN_fpgactrl_status2(SCREEN_OUTPUT_ON, fpga);
            if (debugOn())
                std::printf("\n over to enable lcd");
            board::msleep(kLightOnPauseMs);
            SCREEN_fpgactrl_status2(SCREEN_SHOWN, fpga);
            if (debugOn())
                std::printf("\n start to light on ");
            lcd_step[fpga] = kLcdRunning;
            lcd_stamp[fpga] = now();
            break;
        default:
            break;
    }
}

void fpga_manage::output_start_wait_video(u8 fpga) {
    read_from_register(kRegStatus, fpga);
    if (reg_shadow[fpga][kRegStatus].load() & kStatusVideo) {
        lcd_step[fpga] = kLcdMeasure;
        return;
    }
    const u16 threshold = static_cast<u16>((check_level[fpga] + 1) * kChecksPerLevel);
    if (check_count[fpga] < threshold)
        ++check_count[fpga];
    if (check_count[fpga] < threshold)
        return;
    if (check_level[fpga] > kLastCheckLevel) {
        lcd_step[fpga] = kLcdMeasure;
        return;
    }
    ++check_level[fpga];
    hold_in_reset(fpga);
    power_up_step[fpga] = kPowerUpWaitReset;
}

void fpga_manage::output_start_measure(u8 fpga) {
    u8 measured[8];
    if (!read_fpga_ram(measured, 116, sizeof measured, 1, fpga))
        return;
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        std::copy(measured, measured + sizeof measured, ram_para_image[fpga] + 116);
    }
    const u32 width = get_u16(measured);
    const u32 height = get_u16(measured + 2);
    const u32 period = get_u32(measured + 4);
    u32 led_width = 0, led_height = 0;
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config) {
        led_width = store->ram_para.u16At(para::led_width);
        led_height = store->ram_para.u16At(para::led_height);
    }
    if (width < led_width / 2 || height < led_height / 2 || period < kPeriodMin ||
        period > kPeriodMax)
        return;
    write_to_register(kRegCommand, 0x01, 0x01, fpga);
    write_to_register(kRegCommand, 0x01, 0x01, fpga);
    lcd_step[fpga] = kLcdStart;
}

void fpga_manage::output_start_apply(u8 fpga) {
    if (lcd_latch[fpga] != 1)
        return;
    // The video-processor thread may hold the apply lock while it waits for this thread
    // to finish an LED-panel hand-over: never wait for the lock here, try again on the
    // next pass once the hand-over step of this pass has let it go on.
    if (pthread_mutex_trylock(&c331_manage::para_mutex) != 0)
        return;
    c331_manage::para_update = 1;
    g_force_bkcolor = 0;
    pthread_mutex_unlock(&c331_manage::para_mutex);
    c331_manage::wakeup.notify();
    write_to_register(kRegCommand, 0x01, 0x01, fpga);
    lcd_step[fpga] = kLcdHoldOff;
    lcd_stamp[fpga] = now();
}

u8 fpga_manage::check_vbo_status(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return 0;
    if (Utils::getTimeSpace(g_change[3 + fpga]) <= kVboTicks)
        return vbo_fault[fpga];
    if (!vbo_fault[fpga]) {
        int unlocked = 0;
        for (int i = 0; i < 8; ++i) {
            read_from_register(kRegLock, fpga);
            if ((reg_shadow[fpga][kRegLock].load() & kLockBits) != kLockBits)
                ++unlocked;
        }
        if (unlocked > 3) {
            vbo_fault[fpga] = 1;
            write_to_register(kRegLink, 0xC0, 0x00, fpga);
            vbo_substep[fpga] = 0;
        }
    } else if (vbo_substep[fpga] == 0) {
        write_to_register(kRegLink, 0x40, 0x40, fpga);
        vbo_substep[fpga] = 1;
        vbo_count[fpga] = 0;
    } else {
        read_from_register(kRegStatus, fpga);
        ++vbo_count[fpga];
        if (!(reg_shadow[fpga][kRegStatus].load() & kStatusLinkError) ||
            vbo_count[fpga] >= kVboTrainTurns) {
            write_to_register(kRegLink, 0x80, 0x80, fpga);
            vbo_fault[fpga] = 0;
        }
    }
    g_change[3 + fpga] = now();
    return vbo_fault[fpga];
}

void fpga_manage::check_wlanonline_state() {
    // The Part reads the two link registers on every pass; once per tick is as fresh as
    // any screen can show, and keeps the idle pass off the shared bus.
    if (wlan_read_once && G_timeTicks == wlan_stamp)
        return;
    wlan_read_once = true;
    wlan_stamp = now();
    u32 bitmap = 0;
    if (d0_ready() && fpga_ready_state(0) == kReady) {
        read_from_register(kRegLinksLow, 0);
        read_from_register(kRegLinksHigh, 0);
        bitmap = static_cast<u32>(reg_shadow[0][kRegLinksHigh].load()) << 8 |
                 reg_shadow[0][kRegLinksLow].load();
    }
    if (get_fpga_status() && bitmap != last_wlan_state) {
        test_signal(11);
        last_wlan_state = bitmap;
    }
}
