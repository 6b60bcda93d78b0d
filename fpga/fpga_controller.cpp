// The controller that the PC software and the screens see behind the FPGA link: register
// numbers with their side effects, the command area with its clock and schedule
// commands, the records those store on flash select 2, and the FPGA parameter RAM (block
// 1) with its output-port layout, defaults and back-parameter copy.
#include <QDate>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "core/para_apply.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_manage.h"
#include "fpga/send_para.h"

namespace {

constexpr u8 kFlashSelect = fpga_drv::kFlashSelectFpga0;

// Bytes of RAM1, the default of parameter-RAM bytes 0..255, that are not zero.
constexpr struct {
    u8 offset;
    u8 value;
} kRam1[] = {
    {1, 0x05},   {3, 0x04},   {4, 0x76},   {5, 0x05},   {6, 0xD2},   {7, 0x01},
    {13, 0x05},  {15, 0x02},  {24, 0x05},  {26, 0x02},  {30, 0x02},  {37, 0x01},
    {48, 0x01},  {61, 0x05},  {63, 0x04},  {96, 0x05},  {100, 0x02}, {116, 0x56},
    {117, 0x05}, {119, 0x03}, {120, 0xD9}, {121, 0xB8}, {122, 0x0C},
};
constexpr unsigned kRam1Size = 256;

// The back-parameter block is the port layout without the screen origin.
constexpr struct {
    u16 back;
    u16 image;
    u16 length;
} kBackMap[] = {
    {0, 60, 4},  {4, 8, 4},     {8, 12, 4},    {12, 19, 8},  {20, 32, 8},
    {28, 43, 8}, {36, 520, 32}, {68, 576, 64}, {132, 56, 4},
};

// Output groups the port layout functions look at.
constexpr u8 kLayoutGroups = 6;
constexpr u8 kGroups = 16;
// Default port pairs from parameter-RAM 296.
constexpr unsigned kPairsOffset = 296;
constexpr unsigned kPairs = 16;
constexpr u8 kPairDefault[4] = {0x76, 0x05, 0xD2, 0x01};

// Per-port bytes cleared while a port has no link, ports 0..5.
constexpr u16 kPortBytes[6][3] = {
    {100, 101, 104}, {102, 103, 106}, {108, 109, 112},
    {110, 111, 114}, {560, 561, 562}, {564, 565, 566},
};

// Command-area status bytes.
constexpr unsigned kFpgaStatusAt = 12;
constexpr unsigned kVersionAt = 24;
constexpr u8 kVersion[4] = {1, 17, 0, 0};
constexpr unsigned kPhyStatusAt = 30;

// The clock the controller can be set to.
constexpr int kYearMin = 1970;
constexpr int kYearMax = 2099;

bool bcd_valid(u8 value) {
    return (value >> 4) <= 9 && (value & 0x0F) <= 9;
}

u8 bcd(u8 value) {
    return static_cast<u8>((value >> 4) * 10 + (value & 0x0F));
}

u16 payload_length(const u8* cmd) {
    return get_u16(cmd + 6);
}

bool shadowed_from_fpga(unsigned reg) {
    return reg <= 63 || (reg >= 128 && reg < fpga_manage::kRegCount);
}

bool shadow_only(unsigned reg) {
    return reg >= 64 && reg <= 96;
}

void test_signal(int reason) {
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        store->test_signal(reason);
}

void refuse(const char* what) {
    if (debugOn())
        std::printf("\n command area: %s refused\n", what);
}

}  // namespace

u16 fpga_manage::image_u16(u8 fpga, unsigned offset) const {
    return static_cast<u16>(ram_para_image[fpga][offset] | ram_para_image[fpga][offset + 1] << 8);
}

void fpga_manage::set_image_u16(u8 fpga, unsigned offset, u16 value) {
    ram_para_image[fpga][offset] = static_cast<u8>(value);
    ram_para_image[fpga][offset + 1] = static_cast<u8>(value >> 8);
}

void fpga_manage::write_to_register(unsigned char reg, unsigned char mask, unsigned char value,
                                    unsigned char fpga) {
    write_register_value(reg, mask, value, fpga, true);
}

void fpga_manage::write_to_0x00_register(unsigned char reg, unsigned char mask, unsigned char value,
                                         unsigned char fpga) {
    write_register_value(reg, mask, value, fpga, false);
}

void fpga_manage::write_register_value(unsigned char reg, unsigned char mask, unsigned char value,
                                       unsigned char fpga, bool full) {
    if (fpga >= kFpgaCount)
        return;
    if (shadow_only(reg)) {
        pthread_mutex_lock(&reg_mutex);
        std::atomic<u8>& cell = reg_shadow[fpga][reg];
        cell.store(static_cast<u8>((cell.load() & ~mask) | (value & mask)));
        pthread_mutex_unlock(&reg_mutex);
        return;
    }
    if (!shadowed_from_fpga(reg))
        return;
    read_from_register(reg, fpga);
    pthread_mutex_lock(&reg_mutex);
    std::atomic<u8>& cell = reg_shadow[fpga][reg];
    u8 v = static_cast<u8>((cell.load() & ~mask) | (value & mask));
    cell.store(v);
    pthread_mutex_unlock(&reg_mutex);

    if (full && reg == kRegCommand) {
        // Bits 1 and 2 are commands to this controller, never passed on to the FPGA.
        if (v & 0x04) {
            v = static_cast<u8>(v & ~0x04);
            Dealwith_mcu_ram();
        }
        v = static_cast<u8>(v & ~0x02);
    }
    if (reg == kRegControl) {
        const bool black = v & 0x04;
        ScreenState = black ? 0 : 1;
        if (full && mask == 0x04 && g_set_led_para == 0) {
            screen_black_pending = black ? 1 : 0;
            flush_screen_black();
        }
        std::lock_guard<std::mutex> lock(area_mutex);
        MCU_RAM_EXTEND[29] = ScreenState;
    }
    write_fpga_register(reg, v, fpga, mask);
}

// fpga_para is an image field like any other: written under the apply lock, which the
// panel's save and the video thread's copy hold while they read it. The video thread may
// hold that lock while it waits for the FPGA thread (LED-panel hand-over), so the FPGA
// thread only tries it, and a busy lock leaves the value for its next pass; a transport
// waits for it, as for any image write of the PC.
void fpga_manage::flush_screen_black() {
    const int black = screen_black_pending.load();
    if (black < 0)
        return;
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store) {
        if (!on_own_thread())
            pthread_mutex_lock(&ParaApply::para_mutex);
        else if (pthread_mutex_trylock(&ParaApply::para_mutex) != 0)
            return;
        store->ram_para.setU16(para::fpga_para, static_cast<u16>(black));
        pthread_mutex_unlock(&ParaApply::para_mutex);
    }
    // A value posted meanwhile by another thread stays for the next flush.
    int written = black;
    screen_black_pending.compare_exchange_strong(written, -1);
    test_signal(1);
}

void fpga_manage::SCREEN_fpgactrl_status(u8 status) {
    switch (status) {
        case SCREEN_BLACK:
            write_to_register(kRegControl, 0x04, 0x04, 0);
            break;
        case SCREEN_SHOWN:
            write_to_register(kRegControl, 0x04, 0x00, 0);
            break;
        case SCREEN_CTRL_SET:
            write_to_register(kRegControl, 0x02, 0x02, 0);
            break;
        case SCREEN_CTRL_CLEAR:
            write_to_register(kRegControl, 0x02, 0x00, 0);
            break;
        case SCREEN_OUTPUT_ON:
            write_to_register(kRegLink, 0x20, 0x20, 0);
            break;
        case SCREEN_OUTPUT_OFF:
            write_to_register(kRegLink, 0x20, 0x00, 0);
            break;
        case SCREEN_FREEZE_CLEAR:
            write_to_register(kRegHandshake, 0x01, 0x00, 0);
            break;
        case SCREEN_FREEZE_SET:
            write_to_register(kRegHandshake, 0x01, 0x01, 0);
            break;
        case SCREEN_READ_STATUS:
            read_from_register(kRegStatus, 0);
            break;
        default:
            break;
    }
}

void fpga_manage::SCREEN_fpgactrl_status2(u8 status, unsigned char fpga) {
    switch (status) {
        case SCREEN_BLACK:
            write_to_0x00_register(kRegControl, 0x04, 0x04, fpga);
            break;
        case SCREEN_SHOWN:
            write_to_0x00_register(kRegControl, 0x04, 0x00, fpga);
            break;
        case SCREEN_OUTPUT_ON:
            write_to_register(kRegLink, 0x20, 0x20, fpga);
            break;
        case SCREEN_HOLD_SET:
            write_to_register(kRegHandshake, 0x08, 0x08, fpga);
            break;
        case SCREEN_HOLD_CLEAR:
            write_to_register(kRegHandshake, 0x08, 0x00, fpga);
            break;
        default:
            break;
    }
}

void fpga_manage::Dealwith_mcu_ram() {
    // Decode from a copy: the status bytes of the area (12..15 among them) are rewritten
    // by other threads and must not change a command half-way.
    u8 cmd[64];
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        std::memcpy(cmd, MCU_RAM_CMD, sizeof cmd);
    }
    if (cmd[0] != kCmdPresent)
        return;
    const u32 record_size = kCmdHeader + payload_length(cmd);
    switch (cmd[1]) {
        case kCmdSetClock:
            Checktime(cmd);
            break;
        case kCmdOnOffSchedule:
            if (record_size != kOnOffRecordSize) {
                refuse("on/off schedule of a wrong length");
                return;
            }
            OnOff_time(cmd);
            if (cmd[2] == kCmdStore) {
                store_record(kOnOffRecordSector, kOnOffRecordAddress, cmd, record_size);
                write_to_register(kRegScheduleActive, 0xFF, 1, 0);
            } else if (cmd[2] == kCmdErase) {
                erase_record(kOnOffRecordSector);
                write_to_register(kRegScheduleActive, 0xFF, 0, 0);
            }
            break;
        case kCmdBrightSchedule:
            if (record_size != kBrightRecordSize) {
                refuse("brightness record of a wrong length");
                return;
            }
            brightness_command(cmd);
            break;
        default:
            break;
    }
}

QString fpga_manage::clock_command(const u8* cmd) {
    const u8* p = cmd + kCmdHeader;
    for (int i = 0; i < 7; ++i)
        if (!bcd_valid(p[i]))
            return QString();
    const int year = bcd(p[1]) * 100 + bcd(p[0]);
    const int month = bcd(p[2]), day = bcd(p[3]);
    const int hour = bcd(p[4]), minute = bcd(p[5]), second = bcd(p[6]);
    if (year < kYearMin || year > kYearMax || !QDate::isValid(year, month, day) || hour > 23 ||
        minute > 59 || second > 59)
        return QString();
    const QString date = QString("%1-%2-%3").arg(year).arg(month).arg(day);
    const QString time = QString("%1:%2:%3").arg(hour).arg(minute).arg(second);
    return QString("date \"%1 %2\";hwclock -wu").arg(date, time);
}

int fpga_manage::Checktime(const u8* cmd) {
    const QString command = clock_command(cmd);
    if (command.isEmpty()) {
        refuse("clock with invalid fields");
        return 1;
    }
    if (Utils::system_mutex(command) != 0)
        return 2;
    record.dealwith_record_timing();
    return 0;
}

void fpga_manage::OnOff_time(const u8* cmd) {
    const u8 count = std::min<u8>(cmd[kCmdHeader], kScheduleEntries);
    onoff_count = count;
    std::fill(on_armed, on_armed + kScheduleEntries, 0);
    std::fill(off_armed, off_armed + kScheduleEntries, 0);
    for (u8 i = 0; i < count; ++i) {
        const u8* entry = cmd + kCmdHeader + 1 + 4 * i;
        on_hour[i] = bcd(entry[0]);
        on_minute[i] = bcd(entry[1]);
        off_hour[i] = bcd(entry[2]);
        off_minute[i] = bcd(entry[3]);
        on_armed[i] = 1;
        off_armed[i] = 1;
    }
}

void fpga_manage::fpga_flash_access() {}

bool fpga_manage::erase_record(u32 sector) {
    fpga_flash_access();
    return p_fpga_drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFlashSelect, sector, fpga_drv::kErase4K, 1);
}

bool fpga_manage::store_record(u32 sector, u32 address, const u8* record, u32 n) {
    if (!erase_record(sector))
        return false;
    std::vector<u8> buffer(fpga_drv::kFlashWriteHeadroom + n);
    std::memcpy(buffer.data() + fpga_drv::kFlashWriteHeadroom, record, n);
    return p_fpga_drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFlashSelect, address, buffer.data(), n);
}

void fpga_manage::record_onoff_time(unsigned char select) {
    if (fpga_ready_state(0) != kReady && select != 2)
        return;
    fpga_flash_access();
    u8 marker = 0;
    if (!p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSelect, kOnOffRecordAddress, 1, &marker) ||
        marker != kRecordValid)
        return;
    // Read into a buffer of its own: the command area's status bytes stay what the PC
    // expects to read there.
    u8 stored[kOnOffRecordSize];
    if (!p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSelect, kOnOffRecordAddress, sizeof stored,
                                                stored))
        return;
    OnOff_time(stored);
    write_to_register(kRegScheduleActive, 0xFF, 1, 0);
}

void fpga_manage::record_bright_change() {
    if (fpga_ready_state(0) != kReady)
        return;
    std::lock_guard<std::recursive_mutex> lock(bri_mutex);
    fpga_flash_access();
    u8 marker = 0;
    if (!p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSelect, kBrightRecordAddress, 1, &marker))
        return;
    if (marker != kRecordValid) {
        g_change[14] = 0;
        g_change[16] = 16;
        return;
    }
    u8 stored[kBrightRecordSize];
    if (p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSelect, kBrightRecordAddress, sizeof stored,
                                               stored))
        Brightness_init(stored);
}

void fpga_manage::FPGA_to_RAM(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    u8 status[4];
    for (u8 i = 0; i < 4; ++i) {
        read_from_register(static_cast<u8>(kRegImageFunction + i), fpga);
        status[i] = reg_shadow[fpga][kRegImageFunction + i].load();
    }
    std::lock_guard<std::mutex> lock(area_mutex);
    std::memcpy(MCU_RAM_CMD + kFpgaStatusAt, status, sizeof status);
}

void fpga_manage::Version_to_RAM() {
    std::lock_guard<std::mutex> lock(area_mutex);
    std::memcpy(MCU_RAM_CMD + kVersionAt, kVersion, sizeof kVersion);
}

void fpga_manage::PHY_status_to_RAM() {
    // The controller has no network PHY of its own to report.
    std::lock_guard<std::mutex> lock(area_mutex);
    std::memset(MCU_RAM_CMD + kPhyStatusAt, 0, 4);
}

void fpga_manage::softinit() {
    const u32 now = G_timeTicks;
    g_change[34] = g_change[35] = 15;
    g_change[42] = g_change[43] = g_change[44] = 0;
    for (int word : {3, 4, 32, 33, 38, 39, 45})
        g_change[word] = now;
    Power_ctrl_init();
    Version_to_RAM();
    PHY_status_to_RAM();
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        MCU_RAM_CMD[28] = 0xFF;
        MCU_RAM_CMD[29] = 1;
        MCU_RAM_EXTEND[49] = 0x9F;
        MCU_RAM_EXTEND[50] = 0x1F;
    }
    send_para_set_job_step(SEND_PARA_JOB_NONE, 255);
    g_send_para.card_back = 0;
}

int fpga_manage::get_eth_param_addr(unsigned char group, unsigned short* x, unsigned short* y,
                                    unsigned short* w, unsigned short* h) {
    static constexpr u16 kFirstGroups[4] = {8, 19, 32, 43};
    u16 base;
    if (group >= 1 && group <= 3)
        base = kFirstGroups[group];
    else if (group >= 4 && group <= 7)
        base = static_cast<u16>(520 + 8 * (group - 4));
    else if (group >= 8 && group <= 15)
        base = static_cast<u16>(576 + 8 * (group - 8));
    else
        base = kFirstGroups[0];
    *x = base;
    *y = static_cast<u16>(base + 2);
    *w = static_cast<u16>(base + 4);
    *h = static_cast<u16>(base + 6);
    return 0;
}

int fpga_manage::get_eth_min_x_y(unsigned char fpga, unsigned short* x, unsigned short* y) {
    if (fpga >= kFpgaCount)
        return 255;
    u16 min_x = 0xFFFF, min_y = 0xFFFF;
    for (u8 g = 0; g < kLayoutGroups; ++g) {
        u16 xo, yo, wo, ho;
        get_eth_param_addr(g, &xo, &yo, &wo, &ho);
        min_x = std::min(min_x, image_u16(fpga, xo));
        min_y = std::min(min_y, image_u16(fpga, yo));
    }
    *x = min_x;
    *y = min_y;
    return 0;
}

int fpga_manage::get_eth_max_border(unsigned char fpga, unsigned short* x, unsigned short* y) {
    if (fpga >= kFpgaCount)
        return 255;
    u16 max_x = 0, max_y = 0;
    for (u8 g = 0; g < kLayoutGroups; ++g) {
        u16 xo, yo, wo, ho;
        get_eth_param_addr(g, &xo, &yo, &wo, &ho);
        max_x = std::max<u16>(max_x, static_cast<u16>(image_u16(fpga, xo) + image_u16(fpga, wo)));
        max_y = std::max<u16>(max_y, static_cast<u16>(image_u16(fpga, yo) + image_u16(fpga, ho)));
    }
    *x = max_x;
    *y = max_y;
    return 0;
}

int fpga_manage::get_eth_lcd_x_y(unsigned char fpga, unsigned short* x, unsigned short* y) {
    if (fpga >= kFpgaCount)
        return 255;
    *x = image_u16(fpga, 56);
    *y = image_u16(fpga, 58);
    return 0;
}

int fpga_manage::get_eth_lcd_w_h(unsigned char fpga, unsigned short* w, unsigned short* h) {
    if (fpga >= kFpgaCount)
        return 255;
    *w = image_u16(fpga, 60);
    *h = image_u16(fpga, 62);
    return 0;
}

void fpga_manage::T47_back_mcu_set_net_para(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    for (const auto& row : kBackMap)
        std::memcpy(eth_back_para_image[fpga] + row.back, ram_para_image[fpga] + row.image,
                    row.length);
}

void fpga_manage::T47_mcu_set_net_para(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    const u8* back = eth_back_para_image[fpga];
    auto back_u16 = [back](u16 image_offset) -> u16 {
        for (const auto& row : kBackMap)
            if (image_offset >= row.image && image_offset + 2 <= row.image + row.length) {
                const u8* p = back + row.back + (image_offset - row.image);
                return get_u16(p);
            }
        return 0;
    };
    u16 led_x = 0, led_y = 0;
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config) {
        led_x = store->ram_para.u16At(para::led_x);
        led_y = store->ram_para.u16At(para::led_y);
    }
    set_image_u16(fpga, 60, static_cast<u16>((back_u16(60) + led_x + 31) & 0xFFE0));
    set_image_u16(fpga, 62, static_cast<u16>(back_u16(62) + led_y));
    for (u8 g = 0; g < kGroups; ++g) {
        u16 xo, yo, wo, ho;
        get_eth_param_addr(g, &xo, &yo, &wo, &ho);
        set_image_u16(fpga, xo, static_cast<u16>(back_u16(xo) + led_x));
        set_image_u16(fpga, yo, static_cast<u16>(back_u16(yo) + led_y));
        set_image_u16(fpga, wo, back_u16(wo));
        set_image_u16(fpga, ho, back_u16(ho));
    }
}

void fpga_manage::eth_param_init(unsigned char mode, unsigned char fpga) {
    if (fpga >= kFpgaCount || mode != 1)
        return;
    for (u8 g = 0; g < kLayoutGroups; ++g) {
        u16 xo, yo, wo, ho;
        get_eth_param_addr(g, &xo, &yo, &wo, &ho);
        set_image_u16(fpga, xo, 0);
        set_image_u16(fpga, yo, 0);
        set_image_u16(fpga, wo, 1280);
        set_image_u16(fpga, ho, 512);
    }
}

void fpga_manage::load_para_ram(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    const u8 select = static_cast<u8>(fpga + 2);
    fpga_flash_access();
    u8 marker = 0;
    std::vector<u8> stored(kRamImageSize);
    const bool marked =
        p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(select, kParaRamMarkAddress, 1, &marker) &&
        marker == kRecordValid &&
        p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(select, kParaRamAddress, kRamImageSize,
                                               stored.data());
    std::lock_guard<std::mutex> lock(area_mutex);
    u8* image = ram_para_image[fpga];
    if (marked) {
        std::memcpy(image, stored.data(), kRamImageSize);
        std::memset(image + 96, 0, 32);
        T47_back_mcu_set_net_para(fpga);
        if (fpga == 0)
            T47_mcu_set_net_para(0);
        return;
    }
    std::memset(image, 0, kRam1Size);
    for (const auto& cell : kRam1)
        image[cell.offset] = cell.value;
    for (unsigned i = 0; i < kPairs; ++i)
        std::memcpy(image + kPairsOffset + 4 * i, kPairDefault, sizeof kPairDefault);
    set_image_u16(fpga, 496, 0);
    set_image_u16(fpga, 498, 0);
    eth_param_init(1, fpga);
    T47_back_mcu_set_net_para(fpga);
}

int fpga_manage::store_para_ram() {
    if (fpga_ready_state(0) != kReady)
        return 1;
    // The marker byte, then the image, in their own sector.
    std::vector<u8> record(1 + kRamImageSize);
    record[0] = kRecordValid;
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        std::memcpy(record.data() + 1, ram_para_image[0], kRamImageSize);
    }
    const u32 sector = kParaRamMarkAddress / fpga_drv::kFlashSectorSize;
    const u32 n = static_cast<u32>(record.size());
    return store_record(sector, kParaRamMarkAddress, record.data(), n) ? 1 : 0;
}

int fpga_manage::check_fpga_ram_param(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return 0;
    std::vector<u16> offsets;
    for (u8 g = 0; g < kLayoutGroups; ++g) {
        u16 o[4];
        get_eth_param_addr(g, &o[0], &o[1], &o[2], &o[3]);
        offsets.insert(offsets.end(), o, o + 4);
    }
    for (unsigned i = 0; i < 12; ++i)
        offsets.push_back(static_cast<u16>(kPairsOffset + 2 * i));
    for (u16 offset : offsets) {
        u8 back[2];
        if (!read_fpga_ram(back, offset, 2, 1, fpga))
            return 0;
        if (get_u16(back) != image_u16(fpga, offset))
            return 0;
    }
    return 1;
}

void fpga_manage::update_eth_state(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    read_from_register(kRegLinksLow, fpga);
    read_from_register(kRegLinksHigh, fpga);
    const u8 low = reg_shadow[fpga][kRegLinksLow].load();
    const u8 high = reg_shadow[fpga][kRegLinksHigh].load();

    std::vector<u16> changed;
    std::vector<u16> cleared;
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        u8* image = ram_para_image[fpga];
        const u8 ports03 = static_cast<u8>((low & 0x03) | (low & 0x0C) << 1);
        const u8 b96 = static_cast<u8>((image[96] & 0xE4) | ports03);
        const u8 b512 = static_cast<u8>((image[512] & 0xF0) | (low >> 4));
        for (auto [offset, value] : {std::pair<u16, u8>{96, b96}, {512, b512}, {513, high}}) {
            if (image[offset] != value) {
                image[offset] = value;
                changed.push_back(offset);
            }
        }
        for (u8 port = 0; port < 6; ++port) {
            if (low & (1u << port))
                continue;
            // The FPGA's RAM follows the image: only bytes that held something are sent.
            for (u16 offset : kPortBytes[port]) {
                if (image[offset] == 0)
                    continue;
                image[offset] = 0;
                cleared.push_back(offset);
            }
        }
    }
    for (u16 offset : changed)
        write_fpga_ram(ram_para_image[fpga] + offset, offset, 1, 1, fpga);
    for (u16 offset : cleared)
        write_fpga_ram(ram_para_image[fpga] + offset, offset, 1, 1, fpga);
}

u8* fpga_manage::area_base(Area area, u8 fpga, unsigned* size) {
    const bool per_fpga = area <= Area::EthBackPara;
    if (per_fpga && fpga >= kFpgaCount)
        return nullptr;
    switch (area) {
        case Area::ParaRam:
            *size = kRamImageSize;
            return ram_para_image[fpga];
        case Area::RxRam:
            *size = kRamImageSize;
            return ram_rx_image[fpga];
        case Area::TxRam:
            *size = kRamImageSize;
            return ram_tx_image[fpga];
        case Area::EthPara:
            *size = kEthParaSize;
            return eth_para_image[fpga];
        case Area::EthBackPara:
            *size = kEthParaSize;
            return eth_back_para_image[fpga];
        case Area::Cmd:
            *size = sizeof MCU_RAM_CMD;
            return MCU_RAM_CMD;
        case Area::Extend:
            *size = sizeof MCU_RAM_EXTEND;
            return MCU_RAM_EXTEND;
        case Area::Zoom:
            *size = sizeof MCU_RAM_ZOOM;
            return MCU_RAM_ZOOM;
        case Area::Default:
            *size = sizeof MCU_RAM_DEFAULT;
            return MCU_RAM_DEFAULT;
    }
    return nullptr;
}

int fpga_manage::controller_area_read(Area area, unsigned char fpga, unsigned int offset,
                                      unsigned char* out, unsigned int n) {
    unsigned size = 0;
    u8* base = area_base(area, fpga, &size);
    if (!base || (n && !out) || static_cast<u64>(offset) + n > size)
        return 0;
    std::lock_guard<std::mutex> lock(area_mutex);
    std::memcpy(out, base + offset, n);
    return 1;
}

int fpga_manage::controller_area_write(Area area, unsigned char fpga, unsigned int offset,
                                       const unsigned char* in, unsigned int n) {
    unsigned size = 0;
    u8* base = area_base(area, fpga, &size);
    if (!base || (n && !in) || static_cast<u64>(offset) + n > size)
        return 0;
    // FPGA 1's link is never opened: its parameter RAM is refused before the bus is routed
    // to a transfer that can only fail.
    if (area == Area::ParaRam && n > 0 &&
        (!fpga_driven(fpga) || write_fpga_ram(in, offset, n, 1, fpga) != 1))
        return 0;
    std::lock_guard<std::mutex> lock(area_mutex);
    std::memcpy(base + offset, in, n);
    return 1;
}

int fpga_manage::controller_register_read(unsigned char fpga, unsigned char reg,
                                          unsigned char* value) {
    if (fpga >= kFpgaCount || !value || !(shadowed_from_fpga(reg) || shadow_only(reg)))
        return 0;
    // An FPGA whose link was never opened (FPGA 1 is not fitted) answers from its copy: a
    // transfer would route the shared bus away from the c331 only to fail on the closed
    // link, printing an error for every register the PC asks for.
    if (shadowed_from_fpga(reg) && fpga_driven(fpga))
        read_from_register(reg, fpga);
    *value = reg_shadow[fpga][reg].load();
    return 1;
}

int fpga_manage::controller_register_write(unsigned char fpga, unsigned char reg,
                                           unsigned char mask, unsigned char value) {
    if (fpga >= kFpgaCount || !(shadowed_from_fpga(reg) || shadow_only(reg)))
        return 0;
    // A write to an FPGA whose link was never opened reaches nothing (FPGA 1 is not fitted):
    // taking it would leave a copy that passes for the FPGA's, and a register-0 write would
    // black or show the screen of the FPGA that is driven.
    if (!fpga_driven(fpga))
        return 0;
    write_to_register(reg, mask, value, fpga);
    return 1;
}
