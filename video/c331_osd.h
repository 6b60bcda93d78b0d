// State of the c331's on-screen display (OSD) and of its fonts, kept by the video-processor
// manager (c331_manage::osd).
//
// The OSD draws one overlay into chip memory, either lines of text from the font sets of
// the chip's serial flash or the full-screen bitmap stored there, and shows it through an
// OSD window in every output channel ("tile"). Page 0 holds the drawn canvas, page 1 a
// 2 x 2 copy of the window's part of it, which the chip scrolls through without a seam.
//
// Colours are 0x00BBGGRR words. OSD pixels are palette indexes: 1 the background, 2 the
// characters, 255 transparent.
#pragma once

#include "core/types.h"

// What the four words of c331_manage::PS_OSD_MEM hold: the bitmap load area
// (PS_SFL_ADDR), page 0 (PS_MEM_OSD), page 1 (PS_MEM_OSD1) and the font area
// (PS_FONT_ADDR).
enum OsdMemory { kOsdLoadArea = 0, kOsdPage0 = 1, kOsdPage1 = 2, kOsdFontArea = 3 };

// One column or row of the tile grid as the display window covers it.
struct OsdSpan {
    int start;  // first pixel of the window within the tile
    int size;   // pixels of the window in the tile, 0 when it misses the tile
    bool first;
    bool last;
};

// The part of the canvas that scrolls: from window B's origin (x, y) over its size, cut at
// the canvas; negative when window B lies outside the canvas.
struct OsdBlock {
    int x;
    int y;
    int width;
    int height;
};

struct OsdState {
    static constexpr int kLines = 64;
    static constexpr int kLineCodes = 128;  // 16-bit codes a line holds, terminator included
    static constexpr int kMaxTiles = 8;

    // Bitmap overlay: its flash address, size and palette address.
    u32 PS_BMP_ADDR{};
    int PS_BMP_HACT{};
    int PS_BMP_VACT{};
    u32 PS_BMPCP_ADDR{};

    // Text overlay: canvas, colours, where the text starts.
    int PS_BG_HACT{};
    int PS_BG_VACT{};
    u32 PS_BG_COLOR{};
    int PS_BG_TRANS{};
    int PS_CHAR_HST{};
    int PS_CHAR_VST{};
    u32 PS_CHAR_COLOR{};

    // The four font sets in the flash: data start and length.
    u32 PS_CHAR_ADDR_32ASCII{};
    u32 PS_CHAR_ADDR_32CHN{};
    u32 PS_CHAR_ADDR_64ASCII{};
    u32 PS_CHAR_ADDR_64CHN{};
    u32 PS_CHAR_SIZE_32ASCII{};
    u32 PS_CHAR_SIZE_32CHN{};
    u32 PS_CHAR_SIZE_64ASCII{};
    u32 PS_CHAR_SIZE_64CHN{};

    // The display window calc_osd works out: over the whole output, then per tile column
    // and row.
    int x{};
    int width{};
    int y{};
    int height{};
    OsdSpan column[kMaxTiles]{};
    OsdSpan row[kMaxTiles]{};

    // Row pitch of both pages: stride units of 128 bytes, or of 512 bytes when wide.
    u32 stride{};
    int wide{};
    u32 pitch() const { return stride * (wide ? 512u : 128u); }

    int below{};  // shown below the video
    int word_space{};
    int line_space{};

    // Chip-memory start of each font set: 32EN, 32CN, 64EN, 64CN.
    u32 font_load[4]{};

    // The text: 16-bit codes, high byte first, each line ended by 0x0000.
    u8 text[kLines][2 * kLineCodes]{};
    int line_count{};
};

// The output channels the OSD windows lie in, from the panel set-up's system parameters:
// tiles of width x height, cols x rows of them, the active area starting at hStart, vStart.
struct OsdArrangement {
    int width;
    int height;
    int hStart;
    int vStart;
    int cols;
    int rows;
    int outputWidth() const { return width * cols; }
    int outputHeight() const { return height * rows; }
    int tiles() const { return cols * rows; }
};
