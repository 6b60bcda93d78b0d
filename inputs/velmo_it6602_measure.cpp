// What the IT6602 measures of its input, and its publication to the video processor.
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "inputs/velmo_it6602.h"

namespace {

// The oscillator count (divided by 100) of a nominal chip, and how far a measured one may
// stray before it is not believed.
constexpr u32 kNominalOscillator = 48696;
constexpr u32 kOscillatorTolerance = 24349;

u16 field12(u8 high, u8 low) {
    return static_cast<u16>(high * 256 + low);
}

// What is left of a total after the other parts; a measurement that does not add up gives 0
// rather than a wrapped count.
u16 remainder(u16 total, u32 parts) {
    return total > parts ? static_cast<u16>(total - parts) : 0;
}

// TMDS clock in MHz from registers 0x90..0x92; 0 when the divider reads 0 (no clock).
u32 tmds_from(const u8 clock[3], int port) {
    u8 range = port ? clock[0] >> 2 : clock[0];
    u32 base = (range & 0x01) ? 6144 : ((range & 0x02) ? 12288 : 3072);
    u8 divider = port ? clock[2] : clock[1];
    return divider ? base / divider : 0;
}

}  // namespace

void velmo_it6602::get_vid_info(int ch) {
    u8 clock[3] = {};
    u8 mode[2] = {};  // 0x99, 0x9A
    u8 t[13] = {};    // 0x9C..0xA8
    rd_block(REG_TMDS_RANGE, clock, 3);
    rd_block(0x99, mode, 2);
    rd_block(0x9C, t, 13);
    auto r = [&t](u8 reg) { return t[reg - 0x9C]; };
    u8 period = mode[1];
    pixel_period_[ch] = period;
    pixel_clock[ch] = period ? 31620u / period / 10 : 0;
    tmds_clock[ch] = tmds_from(clock, dev[ch].selected_port);

    IT6602_VTiming& v = timing[ch];
    v.HTotal = field12(r(0x9D) & 0x3F, r(0x9C));
    v.HActive = field12(r(0x9F) & 0x3F, r(0x9E));
    v.HFrontPorch = static_cast<u16>((r(0xA1) & 0xF0) * 16 + r(0xA2));
    v.HSyncWidth = field12(r(0xA1) & 0x01, r(0xA0));
    v.HBackPorch = remainder(v.HTotal, 0u + v.HActive + v.HFrontPorch + v.HSyncWidth);
    v.VTotal = field12(r(0xA4) & 0x0F, r(0xA3));
    v.VActive = static_cast<u16>((r(0xA4) & 0xF0) * 16 + r(0xA5));
    v.VFrontPorch = r(0xA7) & 0x3F;
    v.VSyncWidth = r(0xA6) & 0x1F;
    v.VBackPorch = remainder(v.VTotal, 0u + v.VActive + v.VFrontPorch + v.VSyncWidth);
    v.ScanMode = static_cast<u8>(((mode[0] & 0x02) ? IT6602_VTiming::kInterlaced : 0) |
                                 ((r(0xA8) & 0x08) ? IT6602_VTiming::kVSyncPositive : 0) |
                                 ((r(0xA8) & 0x01) ? IT6602_VTiming::kHSyncPositive : 0));
    set_colour_depth(ch, mode[0]);

    set(0x77, 0x01, 0x01);  // latch the pixel clock count
    u8 count[3] = {};       // bank 2 0xC0..0xC2
    bank(2);
    input_colour_mode[ch] = (rd(REG_AVI + 1) >> 5) & 0x03;
    rd_block(REG_PIXEL_CLOCK, count, 3);
    bank(0);
    output_colour_mode[ch] = (rd(REG_CSC) >> 4) & 0x03;
    v.PCLK = static_cast<u32>(count[1]) * 4096 + static_cast<u32>(count[2]) * 16 + (count[0] >> 4);
}

void velmo_it6602::show_vid_info(int ch) {
    if (!debugOn())
        return;
    const IT6602_VTiming& v = timing[ch];
    std::printf("it6602[%d] %dx%d total %dx%d, pclk %u MHz (%u kHz), tmds %u MHz, %s\n", ch,
                v.HActive, v.VActive, v.HTotal, v.VTotal, static_cast<unsigned>(pixel_clock[ch]),
                static_cast<unsigned>(v.PCLK), static_cast<unsigned>(tmds_clock[ch]),
                (v.ScanMode & IT6602_VTiming::kInterlaced) ? "interlaced" : "progressive");
    std::printf("\t H front %d sync %d back %d, V front %d sync %d back %d, colour %u -> %u\n",
                v.HFrontPorch, v.HSyncWidth, v.HBackPorch, v.VFrontPorch, v.VSyncWidth,
                v.VBackPorch, static_cast<unsigned>(input_colour_mode[ch]),
                static_cast<unsigned>(output_colour_mode[ch]));
}

u32 velmo_it6602::tmds_mhz(int port) {
    u8 clock[3] = {};
    rd_block(REG_TMDS_RANGE, clock, 3);
    return tmds_from(clock, port);
}

// Frames (fields when interlaced) a second, from the chip's kHz count of the pixel clock,
// rounded; from the whole-MHz clock of the pixel period only when that count is missing.
// 0 when no total or clock was measured.
u32 velmo_it6602::frame_rate(int ch) const {
    const IT6602_VTiming& v = timing[ch];
    u64 pixels = static_cast<u64>(v.HTotal) * v.VTotal;
    if (pixels == 0)
        return 0;
    if (v.PCLK)
        return static_cast<u32>((static_cast<u64>(v.PCLK) * 1000 + pixels / 2) / pixels);
    return static_cast<u32>(1000000ull * pixel_clock[ch] / pixels);
}

void velmo_it6602::it6602_Get_Hdmi(int ch) {
    const IT6602_VTiming& v = timing[ch];
    float pfreq = 0;
    if (v.PCLK) {
        pfreq = static_cast<float>(v.PCLK) / 1000.0f;
    } else if (pixel_period_[ch]) {
        u32 count = oclk_count_[ch] / 100;
        int off = static_cast<int>(count) - static_cast<int>(kNominalOscillator);
        if (static_cast<u32>(std::abs(off)) >= kOscillatorTolerance)
            count = kNominalOscillator;
        pfreq = static_cast<float>(count) / 400.0f * 255.0f / pixel_period_[ch] / 10.0f;
    }
    if (!records_)
        return;
    HDMI_INFO published;
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        HDMI_INFO& r = records_[ch & 3];
        r.updated = 0;
        r.Hact = v.HActive;
        r.Hsync = v.HSyncWidth;
        r.Hback = v.HBackPorch;
        r.Hpol = 1;
        r.Htotal = v.HTotal;
        r.Vact = v.VActive;
        r.Vsync = v.VSyncWidth;
        r.Vback = v.VBackPorch;
        r.Vpol = 1;
        r.Vtotal = v.VTotal;
        r.pfreq = pfreq;
        r.type = 0;
        r.datamode = 0;
        r.lane = 0;
        r.ip = (v.ScanMode & IT6602_VTiming::kInterlaced) ? 1 : 0;
        r.nosignal = 0;
        r.updated = 1;
        published = r;
    }
    if (!debugOn())
        return;
    std::printf(" hdminfo[%d].pfreq:%f\n", ch, static_cast<double>(published.pfreq));
    std::printf("\t dev_id:%d, idx:%d\n", chip_address, ch);
    print_hdmi_info(published);
}

void velmo_it6602::publish_input_size(int ch, u16 width, u16 height, u16 refresh) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    pthread_mutex_lock(&store->info_mutex);
    size_t at = para::input_size_at(ch);
    store->ram_para.setU16(at, width);
    store->ram_para.setU16(at + 2, height);
    store->ram_para.setU16(at + 4, refresh);
    pthread_mutex_unlock(&store->info_mutex);
    store->test_signal(1);
}

// The output is off: the input's size entry and its record say "no signal". The change
// signal goes out only when either said something else, so that a channel that stays
// without signal does not refresh the screens again and again.
void velmo_it6602::publish_no_signal(int ch) {
    bool changed = false;
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store) {
        pthread_mutex_lock(&store->info_mutex);
        size_t at = para::input_size_at(ch);
        for (size_t i = 0; i < 6; ++i) {
            changed = changed || store->ram_para[at + i] != 0;
            store->ram_para[at + i] = 0;
        }
        pthread_mutex_unlock(&store->info_mutex);
    }
    if (records_) {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        HDMI_INFO& r = records_[ch & 3];
        HDMI_INFO cleared{};
        cleared.nosignal = 1;
        cleared.updated = r.updated;
        changed = changed || r.nosignal != 1 || r.Hact || r.Vact || r.Htotal || r.Vtotal;
        r = cleared;
    }
    if (changed && store)
        store->test_signal(1);
}
