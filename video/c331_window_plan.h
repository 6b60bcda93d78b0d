// Window composition as pure rules over plain data: which window records become window
// slots and where they lie, which output channels carry each slot and which panel
// position each of them composes into, which input channels each slot receives its source
// on, which part of the source each slot shows (IWIN) and where it lands (OWIN), how that
// is split over the slot's output channels, and the scale between them.
//
// Nothing here touches the chip or the manager: c331_manage feeds these functions its
// tables and writes what they return (c331_window.cpp, c331_channels.cpp, c331_output.cpp).
// Diagnostics the rules produce are appended to an optional list of lines, which the
// manager prints on its debug console.
#pragma once

#include <string>
#include <vector>

#include "core/ramparaimage.h"
#include "core/types.h"
#include "video/c331_manage.h"

namespace c331plan {

constexpr int kWindows = 6;
constexpr int kOutputChannels = 8;
constexpr int kInputChannels = 8;
constexpr int kPorts = 6;
constexpr int kNoSlot = 6;          // PM_WIN_NUM / PM_INPUT: none
constexpr int kNoArea = 8;          // PM_AREA_NUM: none
constexpr u8 kNoChannel = 0xFF;     // ochLst / ochPosLst: none
constexpr int kFree = -1;           // ich_owner: free
constexpr int kMaxFadeSteps = 255;  // a fade is at most this many frames (about 4 s)

using Log = std::vector<std::string>;
void note(Log* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

// ---- the panel grid of output-channel units

struct PanelGrid {
    int unitW = 0;  // one output channel
    int unitH = 0;
    int across = 0;  // units of the arrangement
    int down = 0;
    int arrang = 0;  // 5: 2x1, 6: 4x1, 7: 2x2, 8: 1x2; 0 (not set up): 8x1
    int xoffs = 0;   // of the LED image within the grid, added to every window
    int yoffs = 0;
    int splice = 0;
};

// ---- the window model

// What a window slot takes from its window record besides ST_WIN_INFO.
struct SlotExtra {
    int imageWindow = -1;  // the record it came from, -1 for a default window
    int cropEnabled = 0;   // PM_INPUT_OFFSET_EN
    int dbdMode = 0;       // PM_WIN_DBD_MODE (chip code)
    int fadeIn = 0;        // PM_WIN_FADE_IN, PM_WIN_FADE_OUT
    int fadeOut = 0;
    int switchEffect = 0;  // 1: a source change of this slot alone fades
    int hMirror = 0;
    int vMirror = 0;
};

struct WindowModel {
    int cnt = 0;            // gMwin.cnt
    bool fallback = false;  // the default layout of the arrangement
    ST_RECT rect[kWindows]{};
    ST_WIN_INFO info[kWindows]{};
    SlotExtra extra[kWindows]{};
    int slotOf[kWindows]{-1, -1, -1, -1, -1, -1};  // image window -> slot, -1: not shown
};

// The chip's dot-by-dot code of a record's DbdMode (1 for a value outside 0..9).
int dbd_chip_code(int dbdMode);

// krxApi_initEnvC331: the model from the live image. `before` supplies the fields a
// default layout keeps; `defaults` are the rectangles of the arrangement's default set.
WindowModel load_windows(const RamParaImage& image, const PanelGrid& grid,
                         const WindowModel& before, const ST_RECT* defaults, int defaultCount,
                         Log* log = nullptr);
// krxApi_initEnvC331Default on its own.
void load_default(WindowModel& model, const PanelGrid& grid, const ST_RECT* defaults,
                  int defaultCount);

// ---- output channels

struct ChannelRect {
    int x, y, w, h;
};
// The channel rectangles of the arrangement in pixels, channel 0 first, and the columns
// of its grid.
std::vector<ChannelRect> arrangement(const PanelGrid& grid, int* columns);

// krxApi_MultiWinChAlloc: ochLst, ochPosLst, och_hcnt, och_vcnt of every slot.
void allocate_output_channels(ST_WIN_INFO info[kWindows], int cnt, const PanelGrid& grid,
                              Log* log = nullptr);

// krxApi_MultiWinChOverlay: channels of their own for windows sharing a panel area, and
// the panel position each channel composes into (PM_OVERLAY: position + 1). True when the
// overlay changed (two or more windows).
bool overlay_channels(ST_WIN_INFO info[kWindows], int cnt, int overlay[kOutputChannels],
                      Log* log = nullptr);

struct ChannelTables {
    int winNum[kOutputChannels];   // PM_WIN_NUM
    int areaNum[kOutputChannels];  // PM_AREA_NUM
    bool error = false;
};
ChannelTables channel_tables(const ST_WIN_INFO info[kWindows], int cnt, Log* log = nullptr);

// The output channels of a slot in area order (get_och), -1 where none.
void channels_of(const ChannelTables& t, int slot, int och[kOutputChannels]);

// update_overlay_info: per panel position, the channels composed there, bottom first.
struct LayerLists {
    int layer[kOutputChannels][kOutputChannels];
    int count[kOutputChannels];
};
LayerLists layer_lists(const int winNum[kOutputChannels], const int overlay[kOutputChannels],
                       const int priority[kWindows]);
// set_overlay: the overlay-order word of one position.
u32 overlay_word(const LayerLists& lists, int position);

// ---- input channels

struct PortNeeds {
    bool wide = false;     // needs an input-channel pair
    int lanes = 4;         // V-by-One lanes
    bool lowOnly = false;  // must be received on ICH 0..3
};

// The input-channel tables and what the allocation reads of the slots.
struct IchTables {
    int owner[kInputChannels];           // ich_owner
    int list[kWindows][kInputChannels];  // ich_list, ascending, -1 terminated
    int shape[kWindows][2];              // PM_WIN_SHAPE
    int input[kWindows];                 // PM_INPUT (chip port)
    int dbd[kWindows];                   // PM_WIN_DBD_MODE
    int newFlag[kWindows];               // N
    int inputFlag[kWindows];             // I (2 when the allocator moved the slot)
    PortNeeds port[kPorts];
};
void init_ich_tables(IchTables& t);
int ich_demand(const IchTables& t, int slot);
void rebuild_ich_lists(IchTables& t);
int check_ich_all(IchTables& t, int slot, Log* log = nullptr);
int check_ich(const IchTables& t, int lowOnly, int pair);
int adjust_ich(IchTables& t, int lowOnly, int pair, int slot, Log* log = nullptr);
// 0 allocated directly, 1 after moving another slot, 2 not allocated.
int set_input(IchTables& t, int slot, int port, Log* log = nullptr);
void reset_ich(IchTables& t, int slot);

// ---- input and output windows

struct PortArea {
    _ImageWindowDef_st act{};  // PI_ACT
    _ImageWindowDef_st dbd{};  // the dot-by-dot active area
    int state = 0;             // PI_STATE
    int interlaced = 0;
};

struct IwinInput {
    int hcnt = 0, vcnt = 0;  // PM_WIN_SHAPE
    int port = kNoSlot;      // PM_INPUT
    int dbdMode = 0;
    int cropEnabled = 0;
    int crop[4]{};  // left, right, top, bottom
    int firstIch = -1;
    PortArea ports[kPorts];
};
_ImageWindowDef_st calc_iwin(const IwinInput& in);

struct OwinInput {
    int ochW = 0, ochH = 0;
    int hcnt = 0, vcnt = 0;
    int offset[4]{};  // PM_WIN_OFFSET: left, right, top, bottom
    int dbdMode = 0;
    bool stitched = false;
};
// OWIN; a dot-by-dot slot also narrows iwin.
_ImageWindowDef_st calc_owin(const OwinInput& in, _ImageWindowDef_st& iwin);

// Parts of an output window per channel column (HST, HW, h_first, h_last) and row (VST,
// VW, v_first, v_last): record i holds column i and row i.
struct OutputArea {
    int HST, HW, VST, VW, h_first, h_last, v_first, v_last;
};
void calc_oact(const _ImageWindowDef_st& owin, OutputArea out[kOutputChannels], int ochW, int ochH,
               int hcnt, int vcnt);

struct Scaling {
    int h_mode, v_mode;                      // 0 none, 1 shrink, 2 zoom
    int h_shrink, v_shrink, h_zoom, v_zoom;  // in 1/65536
};
Scaling calc_scaling(const _ImageWindowDef_st& iwin, const _ImageWindowDef_st& owin);
// The ratio of one direction: ((to - 1) * 65536) / (from - 1) + 1, in 64 bits.
int ratio(int from, int to);
// The input shrink ratio of one direction (65536: none).
int input_shrink(int in, int out);
// How many pixels the input shrinker keeps of n at a ratio (65536 keeps all).
int shrunk_size(int n, int shrink);

// Memory units per stored pixel by the write mode: u / d.
struct MemoryUnits {
    int u, d;
};
MemoryUnits memory_units(int writeMode);

// ---- the output side of one slot

struct OutputSideInput {
    _ImageWindowDef_st iwin{}, owin{};
    int ochW = 0, ochH = 0, hcnt = 0, vcnt = 0;
    int och[kOutputChannels]{};  // area order, -1 none
    int firstIch = 0;
    u32 bases[5]{};  // frame-buffer bases of the slot's picture
    int writeMode = 1;
    int pitch = 64;  // line pitch (line step = pitch * 1024)
    int hMirror = 0, vMirror = 0;
    int noVzoom = 1;                 // 0: the read start takes no line correction
    int hOffset = 0, vOffset = 0;    // the channel's active start
    int hOffset2 = 0, vOffset2 = 0;  // added to the area ends
};

struct ChannelProgramme {
    int och = -1;
    u32 control = 0;                                   // bank 0x08 0x08
    u32 readStart[5]{};                                // bank 0x16 0x08..0x18
    u32 pitch = 0;                                     // bank 0x16 0x30
    u32 hStart = 0, hSize = 0, vStart = 0, vSize = 0;  // bank 0x08 0x40, 0x42, 0x44, 0x46
    u32 hMirror = 0;                                   // bank 0x08 0x22
    u32 hEnd = 0, vEnd = 0;                            // bank 0x08 0x32, 0x36
    u32 hZoomCtl = 0, hPhase = 0, hZoom = 0;           // bank 0x0A 0x46, 0x47/0x48, 0x49
    u32 vZoomCtl = 0, vPhase = 0, vZoom = 0;           // bank 0x0A 0x44, 0x4B..0x4D, 0x4E
    bool vZoomTable = false;
};
// The read start of the window inside its stored picture (step 3 of the output side).
struct ReadStart {
    long long h, v;
};
ReadStart read_start(const _ImageWindowDef_st& iwin, const Scaling& s, MemoryUnits m, long long P);
std::vector<ChannelProgramme> plan_output_side(const OutputSideInput& in);

// ---- the input side of one normal slot

struct CaptureProgramme {
    int ich = -1;
    u32 control = 1;  // bank 0x10 0x09: 1 first, ich0 + 8 the others
    u32 hStart = 0, width = 0, vStart = 0, height = 0;  // bank 0x10 0x17, 0x19, 0x1B, 0x1D
    u32 hShrink = 65536, vShrink = 65536;
    u32 base[5]{};  // bank 0x16 0x1C..0x2C
};
struct InputSideInput {
    _ImageWindowDef_st iwin{}, owin{};
    int ichs[kInputChannels]{};  // -1 terminated
    PortArea port{};
    u32 bases[5]{};  // of the first ICH
    int writeMode = 1;
    int pitch = 64;
};
std::vector<CaptureProgramme> plan_input_side(const InputSideInput& in);

// ---- freeze and fades

// The frame-buffer record r0..r4 as the two control words hold it.
u32 memory_control_word(const int r[5]);  // bank 0x16 0x66
u32 output_control_word(const int r[5]);  // bank 0x16 0x6C
u32 frozen_output_word(const int r[5]);   // r4 in all four nibbles

// One step of a fade: the slot's layer weight and that of the layer below.
struct FadeStep {
    int own, below;
};
std::vector<FadeStep> fade_steps(int steps, int dir);

// The five coefficients (layers 0..4) of combination s of the default blend.
void default_coefficients(int s, int e, u8 out[5]);

}  // namespace c331plan
