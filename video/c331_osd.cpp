// The chip's on-screen display engine: the overlay state, the drawing into the OSD pages
// with the blitter of bank 0x04, and the per-tile OSD windows (banks 0x09 + 16k) that show
// the pages over the picture.
//
// krxApi_OsdSet and krxApi_OsdSetUnicode only record; the video-processor thread redraws
// on the update request (update_osd) and reprograms windows and scrolling on the set
// request. Everything here runs on that thread; the blitter sequences hold bank4_mutex so
// that a flash operation of another thread never lands in the middle of one.
//
// A drawing never leaves the canvas: text that starts outside it is skipped, characters
// that start past its right edge are cut, and a canvas too large for the OSD pages is not
// drawn at all (page 1 lies below the font area, which a runaway drawing would destroy).
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

const u32 c331_manage::osd_char_txt[15] = {
    1920,     1080,      // canvas (replaced by the output size)
    0xFF0000, 0,         // background colour, transparent background
    0,        0,         // text start x, y
    0xC0C0FF,            // character colour
    0x000023, 0x010023,  // data start of the sets: 32EN, 32CN,
    0x410023, 0x450023,  // 64EN, 64CN
    0x3000,   0x290000,  // data length: 32EN, 32CN,
    0xC000,   0xA40000,  // 64EN, 64CN
};

const u32 c331_manage::osd_bmp_txt[4] = {0xED9800, 1920, 1080, 0x10D3C00};

namespace {

// Blitter, bank 0x04.
constexpr u32 kBlitCommand = reg(0x04, 0x08);
constexpr u32 kFillValue = reg(0x04, 0x0B, 2);
constexpr u32 kSource = reg(0x04, 0x0D, 4);
constexpr u32 kDestination = reg(0x04, 0x11, 4);
constexpr u32 kBlitBusy = reg(0x04, 0x17);
constexpr u32 kDestinationStride = reg(0x04, 0x1B);
constexpr u32 kSourceStride = reg(0x04, 0x1C);
constexpr u32 kWidth = reg(0x04, 0x1E, 2);
constexpr u32 kHeight = reg(0x04, 0x20, 2);
constexpr u32 kFlags = reg(0x04, 0x22);
constexpr u32 kTextFirst = reg(0x04, 0x23);
constexpr u32 kTextLast = reg(0x04, 0x24);
constexpr u32 kText25 = reg(0x04, 0x25);
constexpr u32 kText26 = reg(0x04, 0x26);
constexpr u32 kFifoAddress = reg(0x04, 0x27, 2);
constexpr u32 kFifoData = reg(0x04, 0x29);
constexpr u32 kCellMode = reg(0x04, 0x2A);

// OSD window of tile k: bank 0x09 + 16k.
constexpr u32 kWinControl = reg(0x09, 0x08, 2);
constexpr u32 kWinHStart = reg(0x09, 0x12, 2);
constexpr u32 kWinWidth = reg(0x09, 0x14, 2);
constexpr u32 kWinVStart = reg(0x09, 0x16, 2);
constexpr u32 kWinHeight = reg(0x09, 0x18, 2);
constexpr u32 kWinAddress = reg(0x09, 0x1A, 4);
constexpr u32 kWinStride = reg(0x09, 0x1E);
constexpr u32 kScrollControl = reg(0x09, 0x3C);
constexpr u32 kScrollSpeed = reg(0x09, 0x3D);
constexpr u32 kScrollWidth = reg(0x09, 0x40, 2);
constexpr u32 kScrollHeight = reg(0x09, 0x42, 2);
// The palette port and its access switch.
constexpr u32 kPaletteIndex = reg(0x09, 0x1F);
constexpr u32 kPaletteData = reg(0x09, 0x20);
constexpr u32 kPaletteAccess = reg(0xFF, 0x01);

constexpr u8 kFill = 1;
constexpr u8 kCopy = 2;
constexpr u8 kText = 3;
constexpr u8 kBusyBit = 0x01;
constexpr int kBlitBudgetMs = 1000;

constexpr u8 kFlagWideDestination = 16;
constexpr u8 kFlagWideSource = 32;
constexpr int kWideCopy = 8320;  // packed rows this wide count their stride in 512 bytes
constexpr u32 kFifoParameterSlot = 0xA00;

// Palette indexes of the text overlay.
constexpr u8 kBackground = 1;
constexpr u8 kCharacter = 2;
constexpr u8 kTransparent = 255;
constexpr u32 kBitmapPaletteBytes = 816;

// Glyph sets: codes 0x20..0x7F in the EN sets, 0x4E00.. in the CN sets.
constexpr int kFirstAscii = 0x20;
constexpr int kFirstCjk = 0x4E00;
constexpr int kLastAscii = 0x7F;
constexpr int kLastCjk = 0x9FFF;
constexpr int kGlyph32Bytes = 128;
constexpr int kGlyph32RowBytes = 4;
constexpr int kMaxLineCodes = OsdState::kLineCodes - 1;
constexpr int kMaxLines = OsdState::kLines - 1;

// Bank offset of tile k's OSD window block.
int tile_bank(int k) {
    return c331reg::kChannelBanks * k;
}

int clamp_int(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Column (or row) spans of a window [pos, pos + size) over count tiles of tile pixels.
void tile_spans(int pos, int size, int tile, int count, OsdSpan* out) {
    int firstShown = -1;
    int lastShown = -1;
    for (int i = 0; i < count; ++i) {
        const long long start = static_cast<long long>(i) * tile;
        const long long end = static_cast<long long>(pos) + size;
        const long long off = pos - start;
        OsdSpan span{0, 0, false, false};
        if (off >= tile) {
            span = OsdSpan{0, 0, false, false};
        } else if (off >= 0) {
            span.start = static_cast<int>(off);
            span.size = start + tile - 1 < end ? static_cast<int>(tile - off) : size;
        } else {
            span.size =
                end > start + tile - 1 ? tile : static_cast<int>(std::max(0LL, end - start));
        }
        out[i] = span;
        if (span.size > 0) {
            if (firstShown < 0)
                firstShown = i;
            lastShown = i;
        }
    }
    if (firstShown >= 0) {
        out[firstShown].first = true;
        out[lastShown].last = true;
    }
}

}  // namespace

bool c331_manage::osd_debug() const {
    return debugOn() && prnEn.osd != 0;
}

OsdArrangement c331_manage::osd_arrangement() const {
    return OsdArrangement{PS_ACTHW,  PS_ACTVW,        PS_ACTHST,
                          PS_ACTVST, PS_PANEL_HSHAPE, PS_PANEL_VSHAPE};
}

// ---- recording the overlay

u32 c331_manage::krxApi_OsdSet(int type, int value) {
    const OsdArrangement a = osd_arrangement();
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const long long ledX = store ? store->ram_para.u16At(para::led_x) : 0;
    int* out = pm.PM_OSD_OUTPUT_OFFSET;  // window A: x1, w1, y1, h1
    int* in = pm.PM_OSD_INPUT_OFFSET;    // window B: x2, w2, y2, h2
    const bool on = value != 0;
    if (osd_debug())
        std::printf("[krxApi_OsdSet] type:%d, val:%x\n", type, static_cast<unsigned>(value));
    switch (type) {
        case 0:
            pm.PM_OSD_EN = on;
            g_chg_osd_set = 1;
            if (osd_debug())
                std::printf("\t OSD display %s\n", on ? "enable" : "disable");
            break;
        case 1:
            pm.PM_OSD_HZOOM_EN = on;
            g_chg_osd_set = 1;
            if (osd_debug())
                std::printf("\t OSD horizontal zoom  %s\n", on ? "enable" : "disable");
            break;
        case 2:
            pm.PM_OSD_VZOOM_EN = on;
            g_chg_osd_set = 1;
            if (osd_debug())
                std::printf("\t OSD vertical zoom %s\n", on ? "enable" : "disable");
            break;
        case 3:
            pm.PM_OSD_DATA_MODE = on ? 1 : 0;
            g_chg_osd_update = 1;
            if (osd_debug())
                std::printf("\t OSD display data mode %s\n", on ? "char" : "bmp");
            break;
        case 4:
            pm.PM_OSD_SCROLL_MODE = (value % 9 + 9) % 9;
            g_chg_osd_set = 1;
            if (osd_debug())
                std::printf("\t OSD scroll mode %d\n", pm.PM_OSD_SCROLL_MODE);
            break;
        case 5:
            out[0] = clamp_int(ledX + value);
            break;
        case 6:
            out[1] = clamp_int(static_cast<long long>(a.outputWidth()) - value - out[0]);
            break;
        case 7:
            out[2] = value;
            break;
        case 8:
            out[3] = clamp_int(static_cast<long long>(a.outputHeight()) - value - out[2]);
            break;
        case 9:
            in[0] = clamp_int(ledX + value);
            break;
        case 10:
            in[1] = clamp_int(static_cast<long long>(osd.PS_BG_HACT) - value - out[0]);
            break;
        case 11:
            in[2] = value;
            break;
        case 12:
            in[3] = clamp_int(static_cast<long long>(osd.PS_BG_VACT) - value - out[2]);
            break;
        case 13:
            osd_scroll_speed = value & 0xFF;
            g_chg_osd_set = 1;
            if (osd_debug())
                std::printf("\t OSD scroll speed %d\n", osd_scroll_speed);
            break;
        case 14:
            osd_char_64dot = on;
            g_chg_osd_update = 1;
            if (osd_debug())
                std::printf("\t Charater size %s\n", on ? "64x64" : "32x32");
            break;
        case 15:
            pm.PM_OSD_UPDATE_BUTTON = on;
            g_chg_osd_update = 1;
            break;
        case 16:
            osd.PS_BG_COLOR = static_cast<u32>(value) & 0xFFFFFF;
            if (osd_debug())
                std::printf("\t background color BBGGRR %08x\n", osd.PS_BG_COLOR);
            break;
        case 17:
            osd.PS_CHAR_COLOR = static_cast<u32>(value) & 0xFFFFFF;
            if (osd_debug())
                std::printf("\t character color BBGGRR %08x\n", osd.PS_CHAR_COLOR);
            break;
        case 18:
            osd.PS_BG_TRANS = on;
            if (osd_debug())
                std::printf("\t transparent background color %s\n", on ? "Enable" : "Disable");
            break;
        case 19:
            osd.PS_BG_HACT = value;
            break;
        case 20:
            osd.PS_BG_VACT = value;
            break;
        case 21:
            osd.PS_CHAR_HST = value;
            break;
        case 22:
            osd.PS_CHAR_VST = value;
            break;
        case 32:
            g_chg_osd_set = (value >> 7) & 1;
            g_chg_osd_update = (value >> 6) & 1;
            break;
        case 33:
            osd.below = on;
            break;
        case 34:
            osd.word_space = value;
            break;
        case 35:
            osd.line_space = value;
            break;
        default:
            return 0;
    }
    return 1;
}

// A text of 64 lines is cut to 63 (the line count the state holds) rather than reduced
// modulo 64 to nothing; a code point beyond 16 bits would turn into another character
// when cut to 16 bits, so it is stored as a space.
int c331_manage::krxApi_OsdSetUnicode(int count, const int* lengths,
                                      const u32 (*lines)[OsdState::kLineCodes]) {
    std::memset(osd.text, 0, sizeof osd.text);
    const int stored = lengths && lines ? std::clamp(count, 0, kMaxLines) : 0;
    osd.line_count = stored;
    for (int i = 0; i < stored; ++i) {
        const int n = std::clamp(lengths[i], 0, kMaxLineCodes);
        for (int j = 0; j < n; ++j) {
            const u32 code = lines[i][j] > 0xFFFF ? u32{' '} : lines[i][j];
            osd.text[i][2 * j] = static_cast<u8>(code >> 8);
            osd.text[i][2 * j + 1] = static_cast<u8>(code);
        }
    }
    return 0;
}

void c331_manage::load_char() {
    const u32* t = osd_char_txt;
    const OsdArrangement a = osd_arrangement();
    osd.PS_BG_HACT = a.outputWidth();
    osd.PS_BG_VACT = a.outputHeight();
    osd.PS_BG_COLOR = t[2];
    osd.PS_BG_TRANS = static_cast<int>(t[3]);
    osd.PS_CHAR_HST = static_cast<int>(t[4]);
    osd.PS_CHAR_VST = static_cast<int>(t[5]);
    osd.PS_CHAR_COLOR = t[6];
    osd.PS_CHAR_ADDR_32ASCII = t[7];
    osd.PS_CHAR_ADDR_32CHN = t[8];
    osd.PS_CHAR_ADDR_64ASCII = t[9];
    osd.PS_CHAR_ADDR_64CHN = t[10];
    osd.PS_CHAR_SIZE_32ASCII = t[11];
    osd.PS_CHAR_SIZE_32CHN = t[12];
    osd.PS_CHAR_SIZE_64ASCII = t[13];
    osd.PS_CHAR_SIZE_64CHN = t[14];
}

void c331_manage::load_bmp() {
    osd.PS_BMP_ADDR = osd_bmp_txt[0];
    osd.PS_BMP_HACT = static_cast<int>(osd_bmp_txt[1]);
    osd.PS_BMP_VACT = static_cast<int>(osd_bmp_txt[2]);
    osd.PS_BMPCP_ADDR = osd_bmp_txt[3];
}

// ---- geometry

void c331_manage::osd_stride(int canvasWidth) {
    if (canvasWidth <= 0) {
        osd.stride = 0;
        osd.wide = 0;
        return;
    }
    u32 s = 2 * ((static_cast<u32>(canvasWidth) + 127) / 128);
    s = (s + 3) / 4 * 4;
    osd.wide = s > 64;
    osd.stride = osd.wide ? s / 4 : s;
}

// Page 0 must hold the canvas (and a line of text reaching below it) and page 1 its 2 x 2
// copy without reaching the font area; the blitter's sizes and the stride register set
// the other limits.
bool c331_manage::osd_canvas_fits(int width, int height) const {
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536 || osd.stride > 0xFF)
        return false;
    const u64 pitch = osd.pitch();
    const u64 page0 = PS_OSD_MEM[kOsdPage1] - static_cast<u64>(PS_OSD_MEM[kOsdPage0]);
    const u64 page1 = PS_OSD_MEM[kOsdFontArea] - static_cast<u64>(PS_OSD_MEM[kOsdPage1]);
    const u64 load = PS_OSD_MEM[kOsdPage0] - static_cast<u64>(PS_OSD_MEM[kOsdLoadArea]);
    if (pm.PM_OSD_DATA_MODE == 0 && static_cast<u64>(width) * height > load)
        return false;
    return pitch * (static_cast<u64>(height) + 64) <= page0 &&
           pitch * 2 * static_cast<u64>(height) <= page1;
}

// Page 1 repeats the block 2 x 2 and the chip wraps the scroll at the block's size: both
// take it from here, or the picture shows a seam where the copies and the wrap disagree.
OsdBlock c331_manage::osd_scroll_block() const {
    const bool text = pm.PM_OSD_DATA_MODE != 0;
    const long long canvasW = text ? osd.PS_BG_HACT : osd.PS_BMP_HACT;
    const long long canvasH = text ? osd.PS_BG_VACT : osd.PS_BMP_VACT;
    const int* in = pm.PM_OSD_INPUT_OFFSET;
    OsdBlock b{};
    b.x = clamp_int(std::clamp<long long>(in[0], 0, std::max(0LL, canvasW)));
    b.y = clamp_int(std::clamp<long long>(in[2], 0, std::max(0LL, canvasH)));
    b.width = clamp_int(std::min(canvasW - in[0] - in[1], canvasW - b.x));
    b.height = clamp_int(std::min(canvasH - in[2] - in[3], canvasH - b.y));
    return b;
}

void c331_manage::calc_osd() {
    const OsdArrangement a = osd_arrangement();
    const int* out = pm.PM_OSD_OUTPUT_OFFSET;
    // The window shows no more than the scroll block, however the margins came out.
    const OsdBlock block = osd_scroll_block();
    const long long limitW =
        std::max(0LL, static_cast<long long>(block.width)) * (pm.PM_OSD_HZOOM_EN ? 2 : 1);
    const long long limitH =
        std::max(0LL, static_cast<long long>(block.height)) * (pm.PM_OSD_VZOOM_EN ? 2 : 1);
    long long w = static_cast<long long>(a.outputWidth()) - out[0] - out[1];
    long long h = static_cast<long long>(a.outputHeight()) - out[2] - out[3];
    osd.x = std::max(0, out[0]);
    osd.y = std::max(0, out[2]);
    osd.width = clamp_int(std::max(0LL, std::min(w, limitW)));
    osd.height = clamp_int(std::max(0LL, std::min(h, limitH)));
    const int cols = std::clamp(a.cols, 0, OsdState::kMaxTiles);
    const int rows = std::clamp(a.rows, 0, OsdState::kMaxTiles);
    tile_spans(osd.x, osd.width, a.width, cols, osd.column);
    tile_spans(osd.y, osd.height, a.height, rows, osd.row);
}

// ---- windows and scrolling

void c331_manage::set_osd(int, int page) {
    const OsdArrangement a = osd_arrangement();
    if (a.cols < 1 || a.rows < 1 || a.tiles() > OsdState::kMaxTiles)
        return;
    calc_osd();
    const bool text = pm.PM_OSD_DATA_MODE != 0;
    const u64 pitch = osd.pitch();
    const u32 x2 = static_cast<u32>(std::max(0, pm.PM_OSD_INPUT_OFFSET[0]));
    const u32 y2 = static_cast<u32>(std::max(0, pm.PM_OSD_INPUT_OFFSET[2]));
    u32 control = 0x4000;
    if (osd.wide)
        control |= 0x2000;
    if (pm.PM_OSD_HZOOM_EN)
        control |= 0x1000;
    if (pm.PM_OSD_VZOOM_EN)
        control |= 0x0800;
    if (pm.PM_OSD_EN)
        control |= text ? 3 : 2;
    if (osd.below)
        control |= 0x8000;
    u64 rowsAbove = 0;
    for (int r = 0; r < a.rows; ++r) {
        u64 colsLeft = 0;
        for (int c = 0; c < a.cols; ++c) {
            const int k = tile_bank(r * a.cols + c);
            const OsdSpan& col = osd.column[c];
            const OsdSpan& row = osd.row[r];
            wr(kWinHStart, static_cast<u32>(a.hStart + col.start - 4), k);
            wr(kWinWidth, static_cast<u32>(col.size), k);
            wr(kWinVStart, static_cast<u32>(a.vStart + row.start + 1), k);
            wr(kWinHeight, static_cast<u32>(row.size), k);
            const u64 address =
                page == 0 ? PS_OSD_MEM[kOsdPage0] + x2 + pitch * (y2 + rowsAbove) + colsLeft
                          : PS_OSD_MEM[kOsdPage1] + pitch * rowsAbove + colsLeft;
            wr(kWinAddress, static_cast<u32>(address), k);
            wr(kWinStride, osd.stride, k);
            wr(kWinControl, control, k);
            colsLeft += static_cast<u64>(col.size) / (pm.PM_OSD_HZOOM_EN ? 2 : 1);
        }
        rowsAbove += static_cast<u64>(osd.row[r].size) / (pm.PM_OSD_VZOOM_EN ? 2 : 1);
    }
}

void c331_manage::set_scroll(int) {
    const OsdArrangement a = osd_arrangement();
    if (a.cols < 1 || a.rows < 1 || a.tiles() > OsdState::kMaxTiles)
        return;
    const OsdBlock block = osd_scroll_block();
    const int width = std::max(0, block.width);
    const int height = std::max(0, block.height);
    for (int t = 0; t < a.tiles(); ++t) {
        wr(kScrollSpeed, static_cast<u32>(osd_scroll_speed), tile_bank(t));
        wr(kScrollWidth, static_cast<u32>(width), tile_bank(t));
        wr(kScrollHeight, static_cast<u32>(height), tile_bank(t));
        wr(kScrollControl, 0, tile_bank(t));
    }
    const int mode = pm.PM_OSD_SCROLL_MODE;
    const u32 run = mode == 0 ? 0x80 : static_cast<u32>(((mode - 1) * 16) | 0x81);
    for (int t = 0; t < a.tiles(); ++t)
        wr(kScrollControl, run, tile_bank(t));
}

// ---- drawing

int c331_manage::blit(u8 command) {
    wr(kBlitCommand, command);
    const int polls = bank4_wait(kBlitBusy, kBusyBit, false, kBlitBudgetMs);
    wr(kBlitCommand, 0);
    if (polls >= 0)
        return 0;
    std::printf("c331 OSD: blitter command %d did not finish\n", command);
    return 255;
}

int c331_manage::osd_paint(int, int x, int w, int y, int h, int fill, u32 base) {
    if (w <= 0 || h <= 0)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    const u64 destination = base + static_cast<u64>(x) + osd.pitch() * static_cast<u64>(y);
    wr(kDestination, static_cast<u32>(destination));
    wr(kWidth, static_cast<u32>(w - 1));
    wr(kHeight, static_cast<u32>(h - 1));
    wr(kSourceStride, osd.stride);
    wr(kDestinationStride, osd.stride);
    wr(kFlags, osd.wide ? kFlagWideDestination | kFlagWideSource : 0);
    wr(kFillValue, static_cast<u32>(fill));
    return blit(kFill);
}

int c331_manage::osd_copy(int, u32 src, u32 dst, int w, int h, int mode) {
    if (w <= 0 || h <= 0)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    u32 sourceStride = osd.stride;
    u32 flags = osd.wide ? kFlagWideDestination | kFlagWideSource : 0;
    if (mode == 1) {
        sourceStride = static_cast<u32>(w < kWideCopy ? w / 128 : w / 512);
        flags = (osd.wide ? kFlagWideDestination : 0) + (w >= kWideCopy ? kFlagWideSource : 0);
    }
    wr(kSource, src);
    wr(kDestination, dst);
    wr(kWidth, static_cast<u32>(w - 1));
    wr(kHeight, static_cast<u32>(h - 1));
    wr(kSourceStride, sourceStride);
    wr(kDestinationStride, osd.stride);
    wr(kFlags, flags);
    return blit(kCopy);
}

int c331_manage::osd_put_unicode_string(int, const u8* line, int x, int y, u8 fg, u8 bg,
                                        int cellWidth, int charSize, u32 base, int is64) {
    const int canvasW = osd.PS_BG_HACT;
    if (x < 0 || y < 0 || x >= canvasW || y >= osd.PS_BG_VACT)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    wr(kCellMode, is64 ? 72 : 8);
    wr(kFifoAddress, kFifoParameterSlot);
    wr(kFifoData, static_cast<u32>(charSize));
    wr(kFifoAddress, 0);
    const u32 glyphBytes = is64 ? 512 : 128;
    const u32 enGlyphs = (is64 ? osd.PS_CHAR_SIZE_64ASCII : osd.PS_CHAR_SIZE_32ASCII) / glyphBytes;
    const u32 cnGlyphs = (is64 ? osd.PS_CHAR_SIZE_64CHN : osd.PS_CHAR_SIZE_32CHN) / glyphBytes;
    const int halfAdvance = std::clamp(cellWidth / 2 + osd.word_space, 0, 255);
    const int fullAdvance = std::clamp(cellWidth + osd.word_space, 0, 255);
    int count = 0;
    int cursor = x;
    for (int j = 0; j < OsdState::kLineCodes && cursor < canvasW; ++j) {
        const u32 code = static_cast<u32>(line[2 * j]) << 8 | line[2 * j + 1];
        if (code == 0)
            break;
        // A code no glyph set holds draws as a space, advancing as its kind does: half a
        // cell for a one-byte code, a whole cell for any other (full-width punctuation).
        const bool oneByte = code >> 8 == 0;
        const int advance = oneByte ? halfAdvance : fullAdvance;
        u32 index = 0;
        if (oneByte) {
            if (code >= kFirstAscii && code - kFirstAscii < enGlyphs)
                index = code - kFirstAscii;
        } else if (code >= kFirstCjk && code - kFirstCjk < cnGlyphs) {
            index = code - kFirstCjk + enGlyphs;
        }
        const u32 entry[5] = {index & 0xFF, index >> 8 & 0xFF, fg, bg, static_cast<u32>(advance)};
        for (u32 byte : entry)
            wr(kFifoData, byte);
        cursor += advance;
        ++count;
    }
    if (count == 0)
        return 0;
    wr(kTextFirst, 0);
    wr(kTextLast, static_cast<u32>(count - 1));
    wr(kText25, 0);
    wr(kText26, 0);
    wr(kSource, is64 ? osd.font_load[2] : osd.font_load[0]);
    const u64 destination = base + static_cast<u64>(x) + osd.pitch() * static_cast<u64>(y);
    wr(kDestination, static_cast<u32>(destination));
    return blit(kText);
}

int c331_manage::gen_char(int fd) {
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    const int cell = osd_char_64dot ? 64 : 32;
    const u8 bg = osd.PS_BG_TRANS ? kTransparent : kBackground;
    for (int i = 0; i < osd.line_count; ++i) {
        const long long y = osd.PS_CHAR_VST + static_cast<long long>(i) * (osd.line_space + cell);
        if (osd_put_unicode_string(fd, osd.text[i], osd.PS_CHAR_HST, clamp_int(y), kCharacter, bg,
                                   cell, cell, PS_OSD_MEM[kOsdPage0], osd_char_64dot) != 0)
            return 255;
    }
    return 0;
}

void c331_manage::set_char_color(int) {
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    wr(kPaletteAccess, 1);
    wr(kPaletteIndex, kBackground);
    for (u32 colour : {osd.PS_BG_COLOR, osd.PS_CHAR_COLOR}) {
        wr(kPaletteData, colour & 0xFF);
        wr(kPaletteData, colour >> 8 & 0xFF);
        wr(kPaletteData, colour >> 16 & 0xFF);
    }
    wr(kPaletteAccess, 0);
}

void c331_manage::krxApi_debug_printf_unicode(int fd, int code) {
    u32 address;
    if (code >= kFirstAscii && code <= kLastAscii) {
        address = osd.PS_CHAR_ADDR_32ASCII + static_cast<u32>(code - kFirstAscii) * kGlyph32Bytes;
    } else if (code >= kFirstCjk && code <= kLastCjk) {
        address = osd.PS_CHAR_ADDR_32CHN + static_cast<u32>(code - kFirstCjk) * kGlyph32Bytes;
    } else {
        std::printf("\t unicode:%x OOR, rang:%x - %x, return;\n", static_cast<unsigned>(code),
                    kFirstCjk, kLastCjk);
        return;
    }
    u8 glyph[kGlyph32Bytes];
    if (read_flash(fd, static_cast<int>(address), kGlyph32Bytes, glyph) != 0) {
        std::printf("c331 OSD: the glyph of %x could not be read\n", static_cast<unsigned>(code));
        return;
    }
    std::string rows;
    for (int i = 0; i < kGlyph32Bytes; ++i) {
        for (int bit = 0; bit < 8; ++bit)
            rows += (glyph[i] >> bit & 1) ? 'O' : ' ';
        if (i % kGlyph32RowBytes == kGlyph32RowBytes - 1)
            rows += '\n';
    }
    std::fputs(rows.c_str(), stdout);
}

void c331_manage::update_osd(int fd) {
    const bool text = pm.PM_OSD_DATA_MODE != 0;
    if (!text)
        load_bmp();
    const int canvasW = text ? osd.PS_BG_HACT : osd.PS_BMP_HACT;
    const int canvasH = text ? osd.PS_BG_VACT : osd.PS_BMP_VACT;
    osd_stride(canvasW);
    if (!osd_canvas_fits(canvasW, canvasH)) {
        std::printf("c331 OSD: a canvas of %d x %d does not fit the OSD pages, not drawn\n",
                    canvasW, canvasH);
        return;
    }
    const u32 page0 = PS_OSD_MEM[kOsdPage0];
    const u32 page1 = PS_OSD_MEM[kOsdPage1];
    if (text) {
        {
            std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
            const int fill = osd.PS_BG_TRANS ? kTransparent : kBackground;
            if (osd_paint(fd, 0, canvasW, 0, canvasH, fill, page0) != 0 || gen_char(fd) != 0)
                return;
        }
        wait1_povs(fd, 0);
        set_char_color(fd);
    } else {
        const u32 load = PS_OSD_MEM[kOsdLoadArea];
        const u32 bytes = static_cast<u32>(canvasW) * static_cast<u32>(canvasH);
        if (osd_write_dma_sfl(fd, osd.PS_BMP_ADDR, load, 0, bytes) != 0 ||
            osd_copy(fd, load, page0, canvasW, canvasH, 1) != 0)
            return;
        wait1_povs(fd, 0);
        std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
        wr(kPaletteAccess, 1);
        const int loaded = osd_write_dma_sfl(fd, osd.PS_BMPCP_ADDR, 0, 4, kBitmapPaletteBytes);
        wr(kPaletteAccess, 0);
        if (loaded != 0)
            return;
    }
    set_rtct(fd, 2);
    set_osd(fd, 0);
    set_rtct(fd, 1);
    wait1_povs(fd, 0);

    // The scroll source: the window's part of the canvas, repeated 2 x 2 into page 1 so
    // that scrolling wraps without a seam.
    const OsdBlock block = osd_scroll_block();
    if (block.width < 0 || block.height < 0)
        return;
    const u64 pitch = osd.pitch();
    const u64 sw = static_cast<u64>(block.width);
    const u64 sh = static_cast<u64>(block.height);
    const u32 source = static_cast<u32>(page0 + static_cast<u64>(block.x) + pitch * block.y);
    const u64 offsets[4][2] = {{0, 0}, {sw, 0}, {0, sh}, {sw, sh}};
    for (const auto& o : offsets) {
        const u32 to = static_cast<u32>(page1 + o[0] + pitch * o[1]);
        if (osd_copy(fd, source, to, block.width, block.height, 0) != 0)
            return;
    }
    set_rtct(fd, 2);
    set_osd(fd, 1);
    set_scroll(fd);
    set_rtct(fd, 1);
}
