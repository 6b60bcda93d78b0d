// Panel geometry and output timing: from the LED screen size, the size of output 1 and the
// splice mode, the arrangement of output channels that carries the screen, an output
// timing that fits the chip's pixel budget, the chip's system timing and output-channel
// registers, and the figures the PC shows of all this.
#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;

// ---- the output timing list
//
// The chip sends every output channel at 594 MHz, so a channel frame of 9,900,000 pixels
// (the 4400 x 2250 frame of 3840 x 2160 at 60 Hz) is shown 60 times a second. For each
// total width from 660 to 8280 in steps of 4 the list holds the smallest total height
// that makes a frame of at least that many pixels and up to twelve more, 8 lines apart,
// as long as the frame stays within 9,971,200 pixels (59.57 Hz).
constexpr u32 kListFirstHtt = 660;
constexpr u32 kListLastHtt = 8280;
constexpr u32 kListHttStep = 4;
constexpr u32 kListMinPixels = 9900000;
constexpr u32 kListMaxPixels = 9971200;
constexpr u32 kListVttStep = 8;
constexpr u32 kListPerHtt = 13;

constexpr u32 first_vtt(u32 htt) {
    return (kListMinPixels + htt - 1) / htt;
}

constexpr u32 pairs_of(u32 htt) {
    u32 n = 0;
    while (n < kListPerHtt && u64{htt} * (first_vtt(htt) + n * kListVttStep) <= u64{kListMaxPixels})
        ++n;
    return n;
}

constexpr size_t list_size() {
    size_t n = 0;
    for (u32 htt = kListFirstHtt; htt <= kListLastHtt; htt += kListHttStep)
        n += pairs_of(htt);
    return n;
}

constexpr std::array<OutputTiming, list_size()> build_list() {
    std::array<OutputTiming, list_size()> list{};
    size_t i = 0;
    for (u32 htt = kListFirstHtt; htt <= kListLastHtt; htt += kListHttStep)
        for (u32 k = 0; k < pairs_of(htt); ++k)
            list[i++] = OutputTiming{htt, first_vtt(htt) + k * kListVttStep};
    return list;
}

constexpr std::array<OutputTiming, list_size()> kOutputTimingList = build_list();

// ---- splice modes and channel arrangements
constexpr int kSpliceModes = 6;
constexpr int kSpliceNone = 0;
constexpr int kSpliceHv = 1;
constexpr int kSpliceV = 2;
constexpr int kSpliceH = 3;
constexpr int kSpliceCp12 = 4;
constexpr int kSpliceCp21 = 5;
constexpr char kSpliceName[kSpliceModes][20] = {
    "SPLICE MODE: NONE", "SPLICE MODE: HV",   "SPLICE MODE: V",
    "SPLICE MODE: H",    "SPLICE MODE: CP12", "SPLICE MODE: CP21",
};

bool splits_vertically(int splice) {
    return splice == kSpliceHv || splice == kSpliceV;
}

struct Arrangement {
    int code;
    u8 across;
    u8 down;
    const char* name;
};
constexpr Arrangement k2x1{5, 2, 1, "ARRANG2K4_2x1"};
constexpr Arrangement k4x1{6, 4, 1, "ARRANG2K4_4x1_8K"};
constexpr Arrangement k2x2{7, 2, 2, "ARRANG2K4_2x2_8K"};
constexpr Arrangement k1x2{8, 1, 2, "ARRANG2K4_1x2"};
constexpr int kFirstPanelArrangement = 5;
constexpr int kLastPanelArrangement = 8;

// Sync widths, front porches and blanking of the channel timing, and the multiple the
// channel width is rounded up to.
struct Blanking {
    int hsw;
    int hfp;
    int vsw;
    int vfp;
    int hblank;
    int vblank;
    int align;
};
constexpr Blanking kOneChannel{12, 8, 3, 3, 64, 12, 4};
constexpr Blanking kTwoChannel{12, 32, 12, 32, 76, 76, 8};

constexpr int kMaxTotal = 0xFFFF;

// V-by-One transmitter modes and layouts the panel uses.
constexpr int kVboMode = 2;
constexpr int kVboFallbackMode = 0;

// ---- registers
constexpr u32 kInputHsw[] = {reg(0x03, 0x44), reg(0x03, 0x4C)};
constexpr u32 kInputVsw[] = {reg(0x03, 0x45), reg(0x03, 0x4D)};
constexpr u32 kLaneMap0 = reg(0x03, 0x55, 4);
constexpr u32 kLaneMaps12[] = {reg(0x03, 0x5E, 4), reg(0x03, 0x62, 4)};
constexpr u32 kLaneMapStraight = 0x76543210;
constexpr u32 kTransmitterMode[] = {reg(0x02, 0x08), reg(0x02, 0x78)};
constexpr u32 kTransmitterModeValue = 9;
struct PllRow {
    u32 desc;
    u32 value;
};
constexpr PllRow kPanelPlls[] = {
    {reg(0x00, 0x47), 33}, {reg(0x00, 0x4C), 33},  {reg(0x00, 0x4B), 11},
    {reg(0x00, 0x50), 11}, {reg(0x00, 0x48), 137}, {reg(0x00, 0x4D), 137},
};
constexpr u32 kOutputAreaControl = reg(0x0E, 0x0D, 2);
constexpr u32 kOutputPortTiming = reg(0x00, 0x55, 2);
constexpr u32 kForcedBackground = 0xFF00;

int round_up(int value, int multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

int ceil_div(int value, int divisor) {
    return (value + divisor - 1) / divisor;
}

u16 to_u16(int value) {
    return static_cast<u16>(std::clamp(value, 0, 0xFFFF));
}

const OutputTiming* find_timing(int htt, int vtt) {
    for (const OutputTiming& t : kOutputTimingList)
        if (static_cast<int>(t.htt) >= htt && static_cast<int>(t.vtt) >= vtt)
            return &t;
    return nullptr;
}

}  // namespace

const OutputTiming* c331_manage::output_timings(size_t& count) {
    count = kOutputTimingList.size();
    return kOutputTimingList.data();
}

void c331_manage::krxApi_PnlInit2(int ledW, int ledH, int out1W, int out1H, int splice) {
    const int mode = (splice % kSpliceModes + kSpliceModes) % kSpliceModes;
    c331_log("[krxApi_PnlInit2] ledW:%d ledH:%d, out1w:%d, out1h:%d, splice:%s\n", ledW, ledH,
             out1W, out1H, kSpliceName[mode]);
    // A screen of no pixels has no channels and no timing: the panel that runs stays.
    if (ledW <= 0 || ledH <= 0) {
        std::printf("c331: LED size %d x %d, the panel stays as it is\n", ledW, ledH);
        return;
    }
    pnl = ST_PANEL{};
    const u16 w = to_u16(ledW);
    const u16 h = to_u16(ledH);
    // Output 1 lies within the screen, so output 2 never gets a negative size.
    const u16 o1w = std::min(to_u16(out1W), w);
    const u16 o1h = std::min(to_u16(out1H), h);
    pnl.w = w;
    pnl.h = h;
    pnl.splice = mode;
    switch (mode) {
        case kSpliceNone:
        case kSpliceCp12:
            pnl.out1_w = pnl.out2_w = w;
            pnl.out1_h = h;
            break;
        case kSpliceHv:
        case kSpliceV:
            pnl.out1_w = w;
            pnl.out1_h = o1h;
            pnl.out2_h = static_cast<u16>(h - o1h);
            break;
        case kSpliceH:
            pnl.out1_w = o1w;
            pnl.out2_w = static_cast<u16>(w - o1w);
            pnl.out1_h = h;
            break;
        default:
            break;
    }
    krxApi_PnlInitOch3();
    krxApi_initEnvC331();
    for (int win = 0; win < kWindows; ++win) {
        std::fill(std::begin(ich_list[win]), std::end(ich_list[win]), -1);
        reset_dbd_mem(win);
        g_chg_input[win] = 1;
    }
    krxApi_MultiWinChAlloc(1);
    krxApi_MultiWinChInit();
    krxDbg_c331_param();
}

void c331_manage::pnl_arrangement(int width, int height) {
    const int mode = pnl.splice;
    const Arrangement* a;
    if (pnl.use1och)
        a = splits_vertically(mode) ? &k1x2 : &k2x1;
    else if (splits_vertically(mode))
        a = &k2x2;
    else
        a = mode == kSpliceCp21 ? &k2x1 : &k4x1;
    pnl.arrang = a->code;
    pnl.och_hnum = a->across;
    pnl.och_vnum = a->down;
    c331_log("\t %s, %d x %d, %s\n", a->name, width, height, pnl.use1och ? "1OCH" : "2OCH");
}

void c331_manage::krxApi_PnlInitOch3() {
    const bool vertical = splits_vertically(pnl.splice);
    const int width = vertical ? pnl.out1_w + pnl.out2_w : std::max(pnl.out1_w, pnl.out2_w);
    const int height = vertical ? std::max(pnl.out1_h, pnl.out2_h) : pnl.out1_h + pnl.out2_h;
    pnl.use1och = static_cast<int64_t>(width) * height <= kOneChannelPixels;
    const Blanking& b = pnl.use1och ? kOneChannel : kTwoChannel;
    pnl.och.hsw = b.hsw;
    pnl.och.hfp = b.hfp;
    pnl.och.vsw = b.vsw;
    pnl.och.vfp = b.vfp;
    pnl_arrangement(width, height);
    pnl.lane_cfg = 0;
    krxApi_PnlInitOch_diff(&pnl.och.htt, &pnl.och.vtt, b.hblank, b.vblank, round_up(width, b.align),
                           height);
    pnl_channel_height(height);
    pnl_keep_porches(b.hblank, b.vblank);
    krxApi_WriteRam(static_cast<int>(para::splice_mode));

    const ST_OCH_SPEC& o = pnl.och;
    c331_log("PANEL: %d x %d, out1 %d x %d, out2 %d x %d, offset %d, %d, och %d x %d, %s\n", pnl.w,
             pnl.h, pnl.out1_w, pnl.out1_h, pnl.out2_w, pnl.out2_h, pnl.xoffs, pnl.yoffs,
             pnl.och_hnum, pnl.och_vnum, pnl.use1och ? "1OCH" : "2OCH");
    c331_log("c331_out: arrang %d, lane cfg %d\n", pnl.arrang, pnl.lane_cfg);
    c331_log("OCH SPEC: width %d, HTT %d, HBLANK %d, HFP %d, HSW %d, HBP %d\n", o.width, o.htt,
             o.htt - o.width, o.hfp, o.hsw, o.htt - o.width - o.hsw - o.hfp);
    c331_log("          height %d, VTT %d, VBLANK %d, VFP %d, VSW %d, VBP %d\n", o.height, o.vtt,
             o.vtt - o.height, o.vfp, o.vsw, o.vtt - o.height - o.vsw - o.vfp);
    krxApi_c331InitRegPanel();
}

int c331_manage::krxApi_PnlInitOch_diff(int* htt, int* vtt, int hblank, int vblank, int width,
                                        int height) {
    const bool vertical = splits_vertically(pnl.splice);
    const char* kind = vertical ? "SPLICE_V" : "SPLICE_H";
    c331_log("[krxApi_PnlInitOch_diff] hblank:%d, vblank:%d\n", hblank, vblank);
    c331_log("\t %d x %d = %lld, use1och:%d\n", width, height,
             static_cast<long long>(width) * height, pnl.use1och);
    for (;;) {
        int w = width;
        int h = height;
        if (!pnl.use1och) {
            if (!vertical) {
                w /= 2;
            } else {
                h = (h + 1) / 2;
                if (pnl.arrang == k2x2.code)
                    w /= 2;
            }
        }
        int ht = w + hblank;
        int vt = h + vblank;
        if (static_cast<int64_t>(ht) * vt > kPixelBudget) {
            if (vertical) {
                ht = kPixelBudget / vt;
                c331_log("\t SPLICE_V, oPixels OOR, reduce htt to:%d\n", ht);
            } else {
                vt = kPixelBudget / ht;
                c331_log("\t SPLICE_H, oPixels OOR, reduce vtt to:%d,htt=%d,vtt=%d\n", vt, ht, vt);
            }
        }
        c331_log("\t %s:  htt:%d, vtt:%d\n", kind, ht, vt);
        if (const OutputTiming* found = find_timing(ht, vt)) {
            ht = static_cast<int>(found->htt);
            vt = static_cast<int>(found->vtt);
            c331_log("\t found htt: %d, vtt:%d\n", ht, vt);
        } else if (pnl.use1och) {
            c331_log("\t not found in list for Use one OCH, continue find for Use TWO OCH");
            pnl.use1och = 0;
            continue;
        } else {
            c331_log("\t not found in list, calc htt: %d -- %04x\n", ht, ht);
            // The channel registers hold the totals in 16 bits.
            ht = std::min(ht, kMaxTotal);
            vt = std::min(vt, kMaxTotal);
        }
        *htt = ht;
        *vtt = vt;
        pnl.och.width = w;
        pnl.och.height = vt - vblank;
        return 1;
    }
}

void c331_manage::pnl_channel_height(int height) {
    ST_OCH_SPEC& o = pnl.och;
    if (pnl.splice == kSpliceH)
        return;  // the channel keeps the whole frame height of the timing
    if (splits_vertically(pnl.splice))
        o.height = ceil_div(height, std::max(pnl.och_vnum / 2, 1));
    else
        o.height = ceil_div(pnl.h, std::max<int>(pnl.och_vnum, 1));
}

// A screen larger than the chip can send in one frame would leave the channel's active
// area longer than its frame, with a negative back porch: the channel shows what fits.
// The offsets of the screen within the channel grid are then never negative either.
void c331_manage::pnl_keep_porches(int hblank, int vblank) {
    ST_OCH_SPEC& o = pnl.och;
    const int widest = std::max(o.htt - hblank, 0);
    const int tallest = std::max(o.vtt - vblank, 0);
    if (o.width > widest || o.height > tallest) {
        std::printf("c331: output channel %d x %d does not fit the timing %d x %d, %d x %d shown\n",
                    o.width, o.height, o.htt, o.vtt, std::min(o.width, widest),
                    std::min(o.height, tallest));
        o.width = std::min(o.width, widest);
        o.height = std::min(o.height, tallest);
    }
    if (pnl.splice == kSpliceH)
        pnl.xoffs = to_u16(o.width * pnl.och_hnum / 2 - pnl.out1_w);
    else if (splits_vertically(pnl.splice))
        pnl.yoffs = to_u16(o.height * std::max(pnl.och_vnum / 2, 1) - pnl.out1_h);
}

void c331_manage::krxApi_WriteRam(int offset) {
    if (offset != static_cast<int>(para::splice_mode)) {
        c331_log("[krxApi_WriteRam] offset:%d\n", offset);
        return;
    }
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    const bool one = pnl.use1och != 0;
    u16 across;
    u16 down;
    switch (pnl.splice) {
        case kSpliceNone:
        case kSpliceCp12:
            across = one ? 1 : 2;
            down = 1;
            break;
        case kSpliceH:
            across = one ? 2 : 4;
            down = 1;
            break;
        default:
            across = one ? 1 : 2;
            down = 2;
            break;
    }
    RamParaImage& image = store->ram_para;
    image.setU16(para::led_x, pnl.xoffs);
    image.setU16(para::led_y, pnl.yoffs);
    image.setU16(para::och_num_h, across);
    image.setU16(para::och_num_v, down);
    image.setU16(para::och_w, to_u16(pnl.och.width));
    image.setU16(para::och_h, to_u16(pnl.och.height));
    image.setU16(para::panel_written_back, to_u16(pnl.lane_cfg));
    c331_log("PC RAM: och_num_h %d, och_num_v %d, och_w %d, och_h %d, led_x %d, led_y %d\n", across,
             down, pnl.och.width, pnl.och.height, pnl.xoffs, pnl.yoffs);
}

void c331_manage::krxApi_c331InitRegPanel() {
    const ST_OCH_SPEC& o = pnl.och;
    PS_ACTHW = o.width;
    PS_ACTVW = o.height;
    PS_HTOTAL = o.htt;
    PS_VTOTAL = o.vtt;
    PS_HSW = o.hsw;
    PS_VSW = o.vsw;
    PS_HBP = o.htt - o.width - o.hsw - o.hfp;
    PS_VBP = o.vtt - o.height - o.vsw - o.vfp;
    PS_OAOIHST = PS_ACTHST = PS_HSW + PS_HBP;
    PS_OAOIHED = PS_OAOIHST + PS_ACTHW;
    PS_OAOIVST = PS_ACTVST = PS_VSW + PS_VBP;
    PS_OAOIVED = PS_OAOIVST + PS_ACTVW;
    for (u32 desc : kInputHsw)
        wr(desc, static_cast<u32>(PS_HSW / 2 - 1));
    for (u32 desc : kInputVsw)
        wr(desc, static_cast<u32>(PS_VSW - 1));
    pnl_vbo_layout();
    pnl_write_channels();
    pnl_write_lanes_and_plls();
}

void c331_manage::pnl_vbo_layout() {
    if (pnl.arrang < kFirstPanelArrangement || pnl.arrang > kLastPanelArrangement) {
        c331_log("\t not found arrang mode");
        PS_VBOTX_MODE = kVboFallbackMode;
        PS_VBOTX_LAYOUT = 0;
        PS_PANEL_HSHAPE = 4;
        PS_PANEL_VSHAPE = 1;
    } else {
        PS_VBOTX_MODE = kVboMode;
        PS_VBOTX_LAYOUT = pnl.arrang == k2x2.code || pnl.arrang == k1x2.code;
        c331_log("PS_VBOTX_MODE = 2\n");
        const bool one = pnl.use1och != 0;
        if (PS_VBOTX_LAYOUT) {
            PS_PANEL_HSHAPE = one ? 1 : 2;
            PS_PANEL_VSHAPE = 2;
        } else {
            PS_PANEL_HSHAPE = one ? 2 : 4;
            PS_PANEL_VSHAPE = 1;
        }
    }
    PS_PANEL_HW = PS_PANEL_HSHAPE * PS_ACTHW;
    PS_PANEL_VW = PS_PANEL_VSHAPE * PS_ACTVW;
}

void c331_manage::pnl_write_channels() {
    struct Row {
        u32 desc;
        int value;
    };
    const Row timing[] = {
        {reg(0x08, 0x0A, 2), PS_HTOTAL - 2},
        {reg(0x08, 0x0C, 2), PS_VTOTAL - 2},
        {reg(0x08, 0x1D, 2), 64},
        {reg(0x08, 0x28, 2), PS_OAOIHST},
        {reg(0x08, 0x2A, 2), PS_OAOIHED},
        {reg(0x08, 0x2C, 2), PS_OAOIVST},
        {reg(0x08, 0x2E, 2), PS_OAOIVED},
        {reg(0x08, 0x30, 2), PS_OAOIHST},
        {reg(0x08, 0x32, 2), PS_OAOIHED},
        {reg(0x08, 0x34, 2), PS_OAOIVST},
        {reg(0x08, 0x36, 2), PS_OAOIVED},
        {reg(0x08, 0x40, 2), PS_ACTHST},
        {reg(0x08, 0x42, 2), PS_ACTHW},
        {reg(0x08, 0x44, 2), PS_ACTVST},
        {reg(0x08, 0x46, 2), PS_ACTVW + 1},
    };
    for (int c = 0; c < kOutputChannels; ++c)
        for (const Row& row : timing)
            wr(row.desc, static_cast<u32>(row.value), kBanks * c);
}

void c331_manage::pnl_write_lanes_and_plls() {
    for (u32 desc : kLaneMaps12)
        wr(desc, kLaneMapStraight);
    u32 map0 = 0x03020100;
    const bool one = pnl.use1och != 0;
    if (pnl.arrang >= kFirstPanelArrangement && pnl.arrang <= kLastPanelArrangement) {
        const int mode = pnl.splice;
        if (mode == kSpliceCp12)
            map0 = one ? 0 : 0x01000100;
        else if (mode == kSpliceHv || mode == kSpliceCp21 ||
                 (one && (mode == kSpliceV || mode == kSpliceH)))
            map0 = 0x00010000;
    }
    wr(kLaneMap0, map0);
    for (u32 desc : kTransmitterMode)
        wr(desc, kTransmitterModeValue);
    PS_PLL[4] = 11;
    PS_PLL[1] = 137;
    for (const PllRow& row : kPanelPlls)
        wr(row.desc, row.value);
}

void c331_manage::krxApi_MultiWinInit() {
    const int W = pnl.w;
    const int H = pnl.h;
    const int cw = pnl.och.width;
    const int ch = pnl.och.height;
    auto set = [this](int preset, std::initializer_list<ST_RECT> rects) {
        int i = 0;
        for (const ST_RECT& r : rects)
            multi_win_rect[preset][i++] = r;
    };
    set(0, {{0, 0, W, H}});
    if (pnl.arrang == 0 || pnl.arrang == 1)
        set(1, {{0, 0, 2 * cw, ch}, {2 * cw, 0, 2 * cw, ch}});
    else
        set(1, {{0, 0, W / 2, H}, {W / 2, 0, W - W / 2, H}});
    set(2, {{0, 0, 1600, 900}, {1600, 0, 3800, 2160}, {5400, 0, 1024, 768}});
    set(3, {{0, 0, W, H / 2},
            {0, H / 2, W / 3 + W / 2, H / 2},
            {W / 3 + W / 2, H / 2, W / 2 - W / 3, H / 2}});
    // Four windows: quarters, and four columns.
    set(4, {{0, 0, W / 2, H / 2},
            {W / 2, 0, W - W / 2, H / 2},
            {0, H / 2, W / 2, H - H / 2},
            {W / 2, H / 2, W - W / 2, H - H / 2}});
    set(5, {{0, 0, W / 4, H},
            {W / 4, 0, W / 2 - W / 4, H},
            {W / 2, 0, 3 * W / 4 - W / 2, H},
            {3 * W / 4, 0, W - 3 * W / 4, H}});
    set(6, {{0, 0, W / 2, H / 2},
            {0, H / 2, W / 2, H / 2},
            {W / 2, 0, W / 2, H / 3},
            {W / 2, H / 3, W / 2, H / 3},
            {W / 2, 2 * H / 3, W / 2, H / 3}});
    set(7, {{0, 0, W / 2, H / 2},
            {W / 2, 0, W / 2, H / 2},
            {0, H / 2, W / 3, H / 2},
            {W / 3, H / 2, W / 3, H / 2},
            {2 * W / 3, H / 2, W / 3, H / 2}});
    // Six windows: three across two rows, and two across three rows.
    set(8, {{0, 0, W / 3, H / 2},
            {W / 3, 0, 2 * W / 3 - W / 3, H / 2},
            {2 * W / 3, 0, W - 2 * W / 3, H / 2},
            {0, H / 2, W / 3, H - H / 2},
            {W / 3, H / 2, 2 * W / 3 - W / 3, H - H / 2},
            {2 * W / 3, H / 2, W - 2 * W / 3, H - H / 2}});
    set(9, {{0, 0, W / 2, H / 3},
            {W / 2, 0, W - W / 2, H / 3},
            {0, H / 3, W / 2, 2 * H / 3 - H / 3},
            {W / 2, H / 3, W - W / 2, 2 * H / 3 - H / 3},
            {0, 2 * H / 3, W / 2, H - 2 * H / 3},
            {W / 2, 2 * H / 3, W - W / 2, H - 2 * H / 3}});
}

void c331_manage::krxApi_SetOutBkg() {
    const bool forced = g_force_bkcolor == 1;
    c331_log("[krxApi_SetOutBkg] color:%08X\r\n", forced ? kForcedBackground : 0u);
    set_rtct(c331_fd, 2);
    for (int c = 0; c < kOutputChannels; ++c) {
        const int o = kBanks * c;
        const int win = pm.PM_WIN_NUM[c];
        const bool shown = win >= 0 && win < kWindows;
        const u32 colour = shown && forced ? kForcedBackground : 0;
        wr(c331reg::kBackgroundColour, colour, o);
        wr(c331reg::kBackgroundEnable, 1, o);
        c331_log(shown ? "\t Used CH:%d color ==> %8X\n" : "\t unUsed CH:%d color ==> %8X\n", c,
                 colour);
        // The second area of a window's channels.
        const bool secondArea = (pm.PM_AREA_NUM[c] & 7) == 1;
        wr(kOutputAreaControl, secondArea ? 85 : 0, o);
    }
    set_rtct(c331_fd, 1);
}

// Clock, sync and field selections of the two output ports, one byte each (lo port 1, hi
// port 2): bits 0..1 the clock, bits 2..3 the vertical-sync output, bits 4..5 the field
// output, bit 7 the sync outputs on.
void c331_manage::c331_outputTimmingCtrlReg(int lo, int hi) {
    struct Signal {
        bool ofPort;  // "PO<n>" + name, else name + "<n>"
        const char* name;
    };
    static constexpr const char* kClock[4] = {"PIPLLCLK", "XTALCLK", "CLK", "CLK"};
    static constexpr Signal kSync[4] = {
        {true, "VS"}, {true, "HS"}, {true, "ACT"}, {false, "PWMCH"}};
    static constexpr Signal kField[4] = {
        {true, "FLD"}, {true, "ACT"}, {true, "HS"}, {false, "GLPWM"}};
    auto named = [](const Signal& s, int port) {
        const std::string n = std::to_string(port);
        return s.ofPort ? "PO" + n + s.name : s.name + n;
    };
    const int value = (lo & 0xFF) | (hi & 0xFF) << 8;
    c331_log("[%s] %X\n", __func__, static_cast<unsigned>(value));
    for (int port = 1; port <= 2; ++port) {
        const int bits = port == 1 ? lo : hi;
        c331_log("\t PO%dCLK: %s\n", port, kClock[bits & 3]);
        c331_log("\t PO%dVS: %s\n", port, named(kSync[bits >> 2 & 3], port).c_str());
        c331_log("\t PO%dFLD: %s\n", port, named(kField[bits >> 4 & 3], port).c_str());
    }
    c331_log("\t POSY1EN: %s, POSY2EN: %s\n", (lo & 0x80) ? "Enable" : "Disable",
             (hi & 0x80) ? "Enable" : "Disable");
    wr(kOutputPortTiming, static_cast<u32>(value));
}

void c331_manage::c331_calc_PixelCLK() {
    constexpr int kFirst = 100;
    constexpr int kLast = 17407;
    for (int clock : {9900000, 4950000}) {
        c331_log(clock == 9900000 ? "[c331_calc_PixelCLK] 9.9MHz\n"
                                  : "[c331_calc_PixelCLK] 4.95MHz\n");
        for (int htt = kFirst; htt <= kLast; ++htt)
            if (clock % htt == 0)
                c331_log("htt:%d\n", htt);
    }
}
