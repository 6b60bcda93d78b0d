// The monitor output of an FPGA and the LED size it is told.
//
// The FPGA measures the monitor on its monitor output (RAM block 0 at 116: u16 width, u16
// height). Once a size is there and the monitor's SiI9022 transmitter answers, the FPGA
// gets the LED screen's size (parameter RAM 424..431) and the row and column masks that
// say which source lines it keeps (RAM block 35 for the columns, block 34 for the rows).
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/sii9022.h"

namespace {

// Monitor steps between kMonitorChanged and kMonitorIdle.
constexpr u32 kMonitorClear = 1;
constexpr u32 kMonitorMeasure = 2;
constexpr u32 kMonitorSend = 4;

constexpr u8 kRegCommandBits = 2;  // bit 0: take the new size
constexpr u8 kRegHandshake = 23;   // bit 4: monitor size valid
constexpr u8 kTakeSize = 0x01;
constexpr u8 kSizeValid = 0x10;

constexpr u8 kMonitorBlock = 0;
constexpr u32 kMonitorAt = 116;
constexpr u8 kParaBlock = 1;
constexpr u32 kLedSizeAt = 424;

// Line masks: columns of up to 1024 shown lines (2000 bytes, written as 1024 + 976),
// rows of up to 768 (512 bytes).
constexpr u8 kColumnBlock = 35;
constexpr u8 kRowBlock = 34;
constexpr unsigned kColumnLines = 1024;
constexpr unsigned kRowLines = 768;
constexpr unsigned kColumnBytes = 2000;
constexpr unsigned kColumnFirst = 1024;
constexpr unsigned kRowBytes = 512;

u32 now() {
    return G_timeTicks;
}

}  // namespace

void fpga_manage::set_lcd_change_flag() {
    for (u32& state : monitor_state)
        state = kMonitorChanged;
}

void fpga_manage::check_monitor_change(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    u32& stamp = monitor_stamp[fpga];
    switch (monitor_state[fpga]) {
        case kMonitorClear:
            write_to_register(kRegHandshake, kSizeValid, 0x00, fpga);
            monitor_state[fpga] = kMonitorMeasure;
            stamp = now();
            break;
        case kMonitorMeasure: {
            if (Utils::getTimeSpace(stamp) <= monitor_interval[fpga])
                break;
            stamp = now();
            u8 size[4];
            if (!read_fpga_ram(size, kMonitorAt, sizeof size, kMonitorBlock, fpga))
                break;
            {
                std::lock_guard<std::mutex> lock(area_mutex);
                std::memcpy(ram_para_image[fpga] + kMonitorAt, size, sizeof size);
            }
            if (get_u16(size) && get_u16(size + 2))
                monitor_state[fpga] = kMonitorChanged;
            break;
        }
        case kMonitorChanged:
            set_9022_para(fpga);
            break;
        case kMonitorSend:
            set_fpga_lcd_wh(fpga);
            write_to_register(kRegCommandBits, kTakeSize, kTakeSize, fpga);
            write_to_register(kRegHandshake, kSizeValid, kSizeValid, fpga);
            monitor_state[fpga] = kMonitorIdle;
            monitor_interval[fpga] = kMonitorTicks;
            break;
        default:
            break;
    }
}

int fpga_manage::set_9022_para(int fpga) {
    if (fpga < 0 || fpga >= kFpgaCount)
        return 0;
    const int answered = SiI9022::pInstance()->check_9022(fpga);
    if (answered)
        monitor_state[fpga] = kMonitorSend;
    return answered;
}

void fpga_manage::set_fpga_lcd_wh(unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    u16 width = 0, height = 0;
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config) {
        width = store->ram_para.u16At(para::led_width);
        height = store->ram_para.u16At(para::led_height);
    }
    u8 size[8] = {};
    put_u16(size + 4, width);
    put_u16(size + 6, height);
    {
        std::lock_guard<std::mutex> lock(area_mutex);
        std::memcpy(ram_para_image[fpga] + kLedSizeAt, size, sizeof size);
    }
    write_fpga_ram(size, kLedSizeAt, sizeof size, kParaBlock, fpga);
    set_fpga_row_col_ram(width, height, fpga);
}

void fpga_manage::set_fpga_row_col_ram(unsigned short w, unsigned short h, unsigned char fpga) {
    if (fpga >= kFpgaCount)
        return;
    u8 columns[kColumnBytes];
    u8 rows[kRowBytes];
    {
        // The scratch area is the PC's to read as well.
        std::lock_guard<std::mutex> lock(area_mutex);
        std::memset(MCU_RAM_DEFAULT, 0, kColumnBytes);
        row_col_calcul_ram(w, kColumnLines, MCU_RAM_DEFAULT, kColumnBytes);
        std::memcpy(columns, MCU_RAM_DEFAULT, sizeof columns);
        std::memset(MCU_RAM_DEFAULT, 0, kRowBytes);
        row_col_calcul_ram(h, kRowLines, MCU_RAM_DEFAULT, kRowBytes);
        std::memcpy(rows, MCU_RAM_DEFAULT, sizeof rows);
    }
    write_fpga_ram(columns, 0, kColumnFirst, kColumnBlock, fpga);
    write_fpga_ram(columns + kColumnFirst, kColumnFirst, kColumnBytes - kColumnFirst, kColumnBlock,
                   fpga);
    write_fpga_ram(rows, 0, kRowBytes, kRowBlock, fpga);
}

void fpga_manage::row_col_calcul_ram(unsigned int n, unsigned int m, unsigned char* out,
                                     unsigned int room) {
    if (!out || n == 0 || m == 0)
        return;
    if (n <= m) {
        std::fill(out, out + std::min(m / 8, room), 0xFF);
        return;
    }
    const unsigned bytes = std::min((n + 7) / 8, room);
    std::fill(out, out + bytes, 0x00);
    // Line j of the m shown is source line j x n / m.
    for (unsigned j = 0; j < m; ++j) {
        const u64 line = static_cast<u64>(j) * n / m;
        if (line / 8 < bytes)
            out[line / 8] = static_cast<u8>(out[line / 8] | 1u << (line % 8));
    }
    for (unsigned i = 0; i < bytes; ++i)
        out[i] = static_cast<u8>(~out[i]);
}
