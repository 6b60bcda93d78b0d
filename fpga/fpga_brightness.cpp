// Brightness, the screen schedule and the LED-panel hand-over with the video-processor
// thread.
//
// The brightness task runs every 10 s from the default job in the mode of the stored
// brightness record: the hand level (re-sent five times after each record), the
// half-hour table (sent at each new half hour), or the light sensor of a multifunction
// card on an output port (one level step towards the card's target per reading, full
// brightness after ten readings without an answer). A remote brightness command sends at
// once on the transport's thread; bri_mutex keeps it apart from the task.
//
// The picture brightness of the parameter image follows what the FPGA is sent. It is
// written under the apply protocol, and the resend that its apply raises is recognised
// and dropped: a resend stores a direct-value record over the stored one, which only a
// change of the picture brightness by a user may do.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "video/c331_manage.h"

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

// Brightness task.
constexpr u32 kTaskTicks = 1000;
constexpr u32 kHandResends = 4;  // sends while the re-send counter is at most this
constexpr u32 kTimedResends = 1;
constexpr u8 kLevelMin = 1;
constexpr u8 kLevelMax = 16;
constexpr u8 kLevelFloor = 15;  // the least a level mode sends
constexpr u16 kPictureMax = 100;
constexpr u8 kRegOutputFlags = 3;
constexpr u8 kBrightnessWritten = 0x04;  // register 3 bit 2 after each write
constexpr unsigned kSentMarkAt = 256;    // parameter RAM: a brightness was sent

// The brightness record a picture-brightness change stores: command 3, stored, payload
// of 49 bytes, mode 16 (direct), then the value for every half hour.
constexpr u8 kDirectRecordHead[9] = {0xAA, 0x03, 0xAA, 0x00, 0x00, 0x00, 0x31, 0x00, 0x10};

// Sensor fallback: readings without a good answer before full brightness.
constexpr u32 kSensorMisses = 10;

// The multifunction card: its address (port bits at 12..13) and its sensor-data read,
// answered within 35 ticks. The wait also counts its looks at the answer, so that it
// ends while the tick stands still.
constexpr u32 kVmfAddressBase = 0x4000;
constexpr u32 kVmfAddressStep = 0x1000;
constexpr u8 kVmfFrameHead[5] = {0x00, 0xF0, 0x10, 0xBB, 0x03};
constexpr u8 kOpRead = 0x61;
constexpr u32 kSensorAddress = 0x02000000;
constexpr unsigned kReadFrameSize = 19;
constexpr u32 kReplyTicks = 35;
constexpr unsigned kReplyPollUs = 1000;
constexpr unsigned kReplyPolls = kReplyTicks * 10;

// g_change words of the brightness code.
enum : unsigned {
    kWordBadReply = 6,
    kWordSendCleared = 9,
    kWordSendLinked = 12,
    kWordSending = 13,
    kWordTaskOn = 14,
    kWordTaskStamp = 15,
    kWordLevel = 16,
    kWordReload = 17,
    kWordResends = 18,
    kWordInit = 19,
    kWordSensorMisses = 26,
    kWordVmfGroup = 27,
    kWordVmfAddress = 28,
    kWordVmfFresh = 29,
    kWordVmfOpcode = 30,
    kWordVmfReply = 31,
};

bool direct(u32 mode) {
    return mode == fpga_manage::kBriHandDirect || mode == fpga_manage::kBriTimedDirect;
}

u8 clamp_level(u32 level) {
    return static_cast<u8>(std::clamp<u32>(level, kLevelMin, kLevelMax));
}

// What a mode keeps in register 64: a level 1..16, or a direct value as it is.
u8 setting_for(u32 mode, u32 value) {
    return direct(mode) ? static_cast<u8>(value) : clamp_level(value);
}

u16 picture_brightness() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    return store ? store->ram_para.u16At(para::picture_brightness) : 0;
}

}  // namespace

unsigned char fpga_manage::Brightness_hand_dealwith(unsigned char) {
    std::lock_guard<std::recursive_mutex> lock(bri_mutex);
    send_brightness(false);
    return 1;
}

void fpga_manage::send_brightness(bool resend) {
    g_change[kWordSending] = 1;
    g_change[kWordSendCleared] = 0;
    g_change[kWordSendLinked] = 0;
    // A resend takes the picture brightness as the setting, linked ports or not: the
    // record stored below holds it.
    const u8 value = resend ? value_from_picture() : value_from_setting();
    const u32 links = static_cast<u32>(reg_shadow[0][kRegLinksHigh].load()) << 8 |
                      reg_shadow[0][kRegLinksLow].load();
    if (links == 0) {
        g_change[kWordSending] = 0;
    } else {
        g_change[kWordSendLinked] = 2;
        {
            std::lock_guard<std::mutex> area(area_mutex);
            ram_para_image[0][kSentMarkAt] = 1;
        }
        write_to_register(kRegBrightnessSent, 0xFF, value, 0);
        write_to_register(kRegOutputFlags, kBrightnessWritten, kBrightnessWritten, 0);
        g_change[kWordVmfReply] = 1;
        g_change[kWordSending] = 0;
    }
    if (resend)
        store_direct_record();
}

u8 fpga_manage::value_from_picture() {
    const u16 percent = std::min<u16>(picture_brightness(), kPictureMax);
    u8 value = static_cast<u8>(percent * 255u / 100u);
    if (!direct(bri_mode))
        value = std::max(value, kLevelFloor);
    write_to_register(kRegBrightnessLevel, 0xFF, value, 0);
    return value;
}

u8 fpga_manage::value_from_setting() {
    u8 value = MCU_REG_func[0][kRegBrightnessLevel].load();
    if (!direct(bri_mode))
        value = static_cast<u8>(clamp_level(value) * 16u - 1u);
    const int percent = value * 100 / 255;
    bri_picture_pending = percent != picture_brightness() ? percent : -1;
    flush_picture_brightness();
    return value;
}

void fpga_manage::flush_picture_brightness() {
    const int percent = bri_picture_pending.load();
    if (percent < 0)
        return;
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store) {
        bri_picture_pending = -1;
        return;
    }
    // The video-processor thread may hold the apply lock while it waits for this thread
    // (LED-panel hand-over): never wait for it here, try again on a later pass.
    if (pthread_mutex_trylock(&c331_manage::para_mutex) != 0)
        return;
    store->ram_para.setU16(para::picture_brightness, static_cast<u16>(percent));
    if (c331_manage::para_update == 0)
        c331_manage::para_update = 1;
    bri_picture_echo = percent;
    bri_picture_pending = -1;
    pthread_mutex_unlock(&c331_manage::para_mutex);
    c331_manage::wakeup.notify();
}

void fpga_manage::store_direct_record() {
    u8 record[kBrightRecordSize];
    std::memcpy(record, kDirectRecordHead, sizeof kDirectRecordHead);
    std::fill(record + sizeof kDirectRecordHead, record + sizeof record,
              MCU_REG_func[0][kRegBrightnessLevel].load());
    store_record(kBrightRecordSector, kBrightRecordAddress, record, sizeof record);
    // The stored record is what runs from now on, not only after the next start.
    Brightness_init(record);
}

bool fpga_manage::set_fpga_bri_val() {
    if (!get_fpga_status())
        return false;
    // Take the request before the work, so that one raised meanwhile is served next pass.
    {
        std::lock_guard<std::mutex> lock(Utils::_bri_set_mutex);
        bri_resend = 0;
    }
    std::lock_guard<std::recursive_mutex> lock(bri_mutex);
    // The apply of a picture brightness this side wrote: the FPGA has that value already.
    const int echo = bri_picture_echo.exchange(-1);
    if (echo >= 0 && echo == picture_brightness())
        return true;
    send_brightness(true);
    return true;
}

void fpga_manage::Brightness_init(const unsigned char* record) {
    std::lock_guard<std::recursive_mutex> lock(bri_mutex);
    bri_mode = record[8];
    bri_last_slot = kNoSlot;
    g_change[kWordInit] = 0xFFFFFFFF;
    g_change[kWordTaskOn] = 0;
    switch (bri_mode) {
        case kBriHand:
        case kBriHandDirect: {
            const u8 setting = setting_for(bri_mode, record[9]);
            write_to_register(kRegBrightnessLevel, 0xFF, setting, 0);
            g_change[kWordLevel] = setting;
            g_change[kWordResends] = 0;
            g_change[kWordTaskOn] = 1;
            break;
        }
        case kBriTimed:
        case kBriTimedDirect:
            for (u8 i = 0; i < kHalfHours; ++i)
                HalfHourValue[i] = setting_for(bri_mode, record[9 + i]);
            g_change[kWordTaskOn] = 1;
            break;
        case kBriSensor:
            g_change[kWordTaskOn] = 1;
            break;
        default:
            break;
    }
}

void fpga_manage::brightness_command(const unsigned char* cmd) {
    std::lock_guard<std::recursive_mutex> lock(bri_mutex);
    const u8 mode = cmd[kCmdHeader];
    if ((mode & 0xEF) != kBriHand) {
        if (cmd[2] == kCmdStore) {
            store_record(kBrightRecordSector, kBrightRecordAddress, cmd, kBrightRecordSize);
            g_change[kWordReload] = 1;
        } else if (cmd[2] == kCmdErase) {
            erase_record(kBrightRecordSector);
            g_change[kWordReload] = 1;
        }
        g_change[kWordSensorMisses] = 0;
        return;
    }
    // A hand command is sent in its own unit (a level, or a direct value). It becomes the
    // running mode while the hand modes run; the timed and sensor modes go on from it.
    const u32 running = bri_mode;
    const bool hand_running =
        g_change[kWordTaskOn] == 0 || running == kBriHand || running == kBriHandDirect;
    const u8 setting = setting_for(mode, cmd[9]);
    write_to_register(kRegBrightnessLevel, 0xFF, setting, 0);
    g_change[kWordLevel] = setting;
    bri_mode = mode;
    send_brightness(false);
    if (!hand_running)
        bri_mode = running;
    if (cmd[2] == kCmdStore) {
        store_record(kBrightRecordSector, kBrightRecordAddress, cmd, kBrightRecordSize);
        g_change[kWordReload] = 1;
    }
}

void fpga_manage::Extension_function() {
    std::lock_guard<std::recursive_mutex> lock(bri_mutex);
    flush_picture_brightness();
    if (g_change[kWordReload]) {
        record_bright_change();
        g_change[kWordReload] = 0;
    }
    if (g_change[kWordTaskOn])
        Brightness_task();
    if (MCU_REG_func[0][kRegScheduleActive].load() == 1)
        dealwith_onoff();
}

void fpga_manage::Brightness_task() {
    if (Utils::getTimeSpace(g_change[kWordTaskStamp]) < kTaskTicks)
        return;
    switch (bri_mode) {
        case kBriHand:
        case kBriHandDirect:
            Brightness_hand_change();
            break;
        case kBriTimed:
        case kBriTimedDirect:
            Brightness_time_change();
            break;
        case kBriSensor:
            Brightness_auto_change();
            break;
        default:
            break;
    }
    g_change[kWordTaskStamp] = G_timeTicks;
}

void fpga_manage::Brightness_hand_change() {
    if (g_change[kWordResends] > kHandResends)
        return;
    send_brightness(false);
    ++g_change[kWordResends];
}

void fpga_manage::Brightness_time_change() {
    const u32 slot = (current_time.hour * 60u + current_time.minute) / 30u;
    if (slot >= kHalfHours)
        return;
    if (slot == bri_last_slot) {
        if (g_change[kWordResends] <= kTimedResends) {
            send_brightness(false);
            ++g_change[kWordResends];
        }
        return;
    }
    const u8 value = HalfHourValue[slot];
    g_change[kWordLevel] = value;
    write_to_register(kRegBrightnessLevel, 0xFF, value, 0);
    send_brightness(false);
    bri_last_slot = slot;
    g_change[kWordResends] = 0;
    send_brightness(false);
    g_change[kWordResends] = 1;
}

void fpga_manage::Brightness_auto_change() {
    Brightness_check_VMF();
    Brightness_read_VMF_value();
    Brightness_auto_filter();
    send_brightness(false);
}

void fpga_manage::Brightness_check_VMF() {
    // Multifunction-card byte of each output port in FPGA 0's parameter RAM.
    static constexpr u16 kCardAt[16] = {104, 106, 112, 114, 562, 566, 570, 574,
                                        642, 646, 650, 654, 658, 662, 666, 670};
    g_change[kWordVmfAddress] = 0;
    g_change[kWordVmfGroup] = 0;
    std::lock_guard<std::mutex> area(area_mutex);
    for (u8 port = 0; port < 16; ++port) {
        if (ram_para_image[0][kCardAt[port]] == 0)
            continue;
        g_change[kWordVmfAddress] = kVmfAddressBase + kVmfAddressStep * (port % 4u);
        g_change[kWordVmfGroup] = port / 4u + 1u;
        return;
    }
}

void fpga_manage::Brightness_read_VMF_value() {
    if (!g_change[kWordVmfAddress])
        return;
    // Armed before the request goes out: a transport's receive may take the answer as
    // soon as the card gives it.
    g_change[kWordVmfReply] = 0;
    g_change[kWordVmfFresh] = 0;
    g_change[kWordVmfOpcode] = kOpRead;
    card_answer_ready = 0;
    Send_read_VMF_data_cmd();
    const u32 stamp = G_timeTicks;
    for (unsigned polls = 0;; ++polls) {
        Brightness_VMF_run();
        if (g_change[kWordVmfReply] == 1) {
            g_change[kWordSensorMisses] = 0;
            return;
        }
        if (g_change[kWordVmfReply] != 0 || Utils::getTimeSpace(stamp) > kReplyTicks ||
            polls >= kReplyPolls)
            break;
        board::usleep(kReplyPollUs);
    }
    ++g_change[kWordSensorMisses];
}

void fpga_manage::Send_read_VMF_data_cmd() {
    u8 frame[kReadFrameSize] = {};
    put_u16(frame, static_cast<u16>(g_change[kWordVmfAddress]));
    std::memcpy(frame + 2, kVmfFrameHead, sizeof kVmfFrameHead);
    frame[9] = kOpRead;
    put_u32(frame + 10, kSensorAddress);
    put_u16(frame + 14, sizeof vmf_sensor_data);
    frame[kReadFrameSize - 1] = Utils::BCC(frame, kReadFrameSize - 1);
    const u32 port = (g_change[kWordVmfGroup] - 1) * 4 +
                     (g_change[kWordVmfAddress] - kVmfAddressBase) / kVmfAddressStep;
    Send_to_port(frame, sizeof frame, static_cast<u16>(port), 0);
}

void fpga_manage::Brightness_task_run() {
    pthread_mutex_lock(&passby_mutex);
    reg_IRQ_Dealwith(0, 0);
    pthread_mutex_unlock(&passby_mutex);
}

void fpga_manage::Brightness_VMF_run() {
    // Like every receive, under passby_mutex: a transport may be passing a PC frame.
    pthread_mutex_lock(&passby_mutex);
    reg_IRQ_Dealwith(0, 0);
    reg_IRQ_Dealwith(1, 0);
    VMF_data_back_result();
    pthread_mutex_unlock(&passby_mutex);
}

void fpga_manage::VMF_data_back_result() {
    if (!card_answer_ready.exchange(0))
        return;
    if (card_answer[1] == 0 && card_answer[0] == g_change[kWordVmfOpcode]) {
        std::memcpy(vmf_sensor_data, card_answer + 2, sizeof vmf_sensor_data);
        g_change[kWordVmfFresh] = 1;
        g_change[kWordVmfReply] = 1;
        return;
    }
    g_change[kWordBadReply] = 2;
    g_change[kWordVmfReply] = 2;
    write_to_register(kRegVmfBadReplies, 0xFF,
                      static_cast<u8>(MCU_REG_func[0][kRegVmfBadReplies].load() + 1), 0);
}

void fpga_manage::Brightness_auto_filter() {
    if (g_change[kWordVmfFresh]) {
        if (vmf_sensor_data[49] == 0xFF) {
            const u32 target = clamp_level(vmf_sensor_data[52]);
            u32 level = g_change[kWordLevel];
            if (level < target)
                ++level;
            else if (level > target)
                --level;
            level = clamp_level(level);
            g_change[kWordLevel] = level;
            write_to_register(kRegBrightnessLevel, 0xFF, static_cast<u8>(level), 0);
        }
        g_change[kWordVmfFresh] = 0;
    }
    if (g_change[kWordSensorMisses] >= kSensorMisses) {
        g_change[kWordLevel] = kLevelMax;
        for (u8 f = 0; f < kFpgaCount; ++f)
            write_to_register(kRegBrightnessLevel, 0xFF, kLevelMax, f);
        g_change[kWordSensorMisses] = 0;
    }
}

void fpga_manage::dealwith_onoff() {
    // Re-arm first: an entry at 00:00 then fires once on the new day, not twice.
    if (current_time.day != onoff_day) {
        std::fill(on_armed, on_armed + onoff_count, 1);
        std::fill(off_armed, off_armed + onoff_count, 1);
        onoff_day = current_time.day;
    }
    const u8 hour = current_time.hour, minute = current_time.minute;
    for (u8 i = 0; i < onoff_count; ++i) {
        if (!on_armed[i] || on_hour[i] != hour || on_minute[i] != minute)
            continue;
        SCREEN_fpgactrl_status(SCREEN_SHOWN);
        on_armed[i] = 0;
        onoff_state = 0;
        Power_ctrl_reset();
    }
    for (u8 i = 0; i < onoff_count; ++i) {
        if (!off_armed[i] || off_hour[i] != hour || off_minute[i] != minute)
            continue;
        SCREEN_fpgactrl_status(SCREEN_BLACK);
        off_armed[i] = 0;
        onoff_state = 1;
        Power_ctrl_reset();
    }
}

bool fpga_manage::set_output_status() {
    if (!get_fpga_status())
        return false;
    {
        std::lock_guard<std::mutex> lock(Utils::_system_mutex);
        output_resend = 0;
    }
    u16 black = 0;
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        black = store->ram_para.u16At(para::fpga_para);
    SCREEN_fpgactrl_status(black == 0 ? SCREEN_SHOWN : SCREEN_BLACK);
    return true;
}

void fpga_manage::set_led_para_deal() {
    std::lock_guard<std::mutex> lock(Utils::_led_para_init_mutex);
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
