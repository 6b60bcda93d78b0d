// The video-processor manager: owner of the c331 and of its worker thread.
//
// One object (p_c331_manage, created by pInstance and kept for the life of the process)
// holds the chip's parameter blocks: the system parameters (PS_: output timing, panel,
// memory map), the multi-window parameters (PM_: per-window shape, offsets, input port,
// overlay, priorities, fades, OSD) with their change flags, and the input parameters (PI_:
// per chip port, the receivers' timing and what the chip measures). Its thread reads the
// chip identity until it has seen it five times, brings the chip up, opens
// g_fpga_c331_start for the FPGA thread and then runs one apply cycle (c331managerdeal)
// after another.
//
// Apply protocol, for every writer of the parameter image: lock para_mutex (ParaLock), edit
// KrxRamPara::ram_para, set para_update (1 parameters changed, 2 user-mode slots
// changed), unlock. The next cycle programs the chip for what differs from the image it
// last applied, reports through KrxRamPara::test_signal(para_update) and clears the
// request. A change made while a cycle runs stays a difference and is applied by the
// next cycle with a request; a change is applied once.
//
// Lock order: para_mutex before Utils::_led_para_init_mutex, Utils::_bri_set_mutex and
// Utils::_test_signal_mutex; Utils::_c331_bnk_mutex before Utils::_spi_mutex.
#pragma once

#include <pthread.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/para_apply.h"
#include "core/ramparaimage.h"
#include "core/types.h"
#include "core/wakeup.h"
#include "inputs/hdmi_info.h"
#include "video/c331_osd.h"

class c331_drv;
namespace c331plan {
struct PanelGrid;
struct IchTables;
struct PortNeeds;
}  // namespace c331plan

// Set when the OSD is to be reloaded from its file at the end of the next apply.
extern std::atomic<u8> g_osd_update;

struct ST_RECT {
    int x;
    int y;
    int w;
    int h;
};

// A set of window rectangles: the count and the rectangles.
struct ST_MWIN {
    int cnt;
    ST_RECT* pwin;
};

// Start and size of an area, horizontal then vertical.
struct _ImageWindowDef_st {
    int HST;
    int HW;
    int VST;
    int VW;
};

// A receiver's timing record as the chip side keeps it, per chip port.
struct PiHdmiInfo {
    int Hact;
    int Hsync;
    int Hback;
    int Hpol;
    int Htotal;
    int Vact;
    int Vsync;
    int Vback;
    int Vpol;
    int Vtotal;
    float pfreq;  // MHz, as the receiver measured it
    int type;
    int datamode;
    int lane;
    int ip;
    int nosignal;
};

// What the chip measured on a port. STATE: 0 no signal, 1 V-by-One, 3 parallel with a
// data mode, 4 parallel (or V-by-One within limits), 5..8 interlaced kinds.
struct PiPortInfo {
    int HTOTAL;
    int VTOTAL;
    int FHW;
    int FVM;
    int ACTHW;
    int STATE;
    int NOSIG;
    int IP;
    int extra[2];
};

// The multi-window parameters in the order of the built-in set parameters_txt (160
// words; load_param copies the set word by word).
struct MultiWinParam {
    int PM_WIN_SHAPE[6][2];
    int PM_INPUT[6];
    int PM_WIN_OFFSET[6][4];
    int PM_INPUT_OFFSET[6][4];
    int PM_INPUT_OFFSET_EN[6];
    int PM_WIN_NUM[8];
    int PM_AREA_NUM[8];
    int PM_OVERLAY[8];
    int PM_WIN_PRIORITY[6];
    int PM_WIN_EFFECT[2][6];
    int PM_WIN_FADE_EN[6];
    int PM_WIN_FADE_IN[6];
    int PM_WIN_FADE_OUT[6];
    int PM_WIN_DBD_MODE[6];
    int PM_WIN_DBD_SUB[6];
    int PM_OSD_EN;
    int PM_OSD_HZOOM_EN;
    int PM_OSD_VZOOM_EN;
    int PM_OSD_DATA_MODE;
    int PM_OSD_SCROLL_MODE;
    int PM_OSD_OUTPUT_OFFSET[4];
    int PM_OSD_INPUT_OFFSET[4];
    int PM_EXTRA[2];
    int PM_OSD_UPDATE_BUTTON;
};
static_assert(sizeof(MultiWinParam) == 160 * sizeof(int), "160 words");

// A window slot as the window model keeps it (filled by the window code).
struct ST_WIN_INFO {
    u16 x;
    u16 y;
    u16 w;
    u16 h;
    u8 rotate;
    u8 output;
    u8 winEn;
    u8 input;  // source id (DSP_INPUT_PORT)
    u8 crop;   // crop-table index when the source is a crop
    u8 layer;
    u8 ochLst[8];     // output channels in area order, 0xFF none
    u8 ochPosLst[8];  // panel position each of them shows, 0xFF none
    u8 och_hcnt;      // output channels spanned across (0: not allocated)
    u8 och_vcnt;
};
static_assert(sizeof(ST_WIN_INFO) == 32, "32 bytes");

// Output timing of one output channel: active size, totals, sync widths, front porches.
struct ST_OCH_SPEC {
    int width;
    int height;
    int htt;
    int hsw;
    int hfp;
    int vtt;
    int vsw;
    int vfp;
};

// The panel record: the LED screen, how it is split between the two outputs, the grid of
// output channels that carries it and their timing. Rebuilt by every krxApi_PnlInit2.
struct ST_PANEL {
    u16 w;  // LED screen
    u16 h;
    u16 out1_w;
    u16 out2_w;
    u16 out1_h;
    u16 out2_h;
    u16 xoffs;  // of the LED image within the channel grid
    u16 yoffs;
    u8 och_hnum;  // channels across and down of the arrangement
    u8 och_vnum;
    int splice;    // 0 NONE, 1 HV, 2 V, 3 H, 4 CP12, 5 CP21
    int lane_cfg;  // 0 "1 OCH 4 Lane", 1 "1 OCH 2 Lane"
    int arrang;    // 5: 2x1, 6: 4x1, 7: 2x2, 8: 1x2 channels
    ST_OCH_SPEC och;
    int use1och;  // 1 when the picture fits the small arrangement
};
static_assert(sizeof(ST_PANEL) == 68, "68 bytes");

// One {total width, total height} of the output timing list.
struct OutputTiming {
    u32 htt;
    u32 vtt;
};

class c331_manage {
public:
    static constexpr int kWindows = 6;
    static constexpr int kPorts = 6;
    static constexpr int kOutputChannels = 8;
    static constexpr int kInputChannels = 8;
    static constexpr int kPresets = 10;
    static constexpr int kMemSlots = 6;
    static constexpr int kParameterWords = 160;

    // States of the thread: 0..4 identity reads seen, 5 bring-up, 6 applying.
    static constexpr u8 kStateBringUp = 5;
    static constexpr u8 kStateRun = 6;

    // Thread timing (see the .cpp for the reasons).
    static constexpr unsigned kCycleSleepUs = 2000;
    static constexpr unsigned kFollowPeriodUs = 40000;
    static constexpr unsigned kNoChipSleepMs = 100;
    static constexpr unsigned kLedHandOverPollUs = 1000;
    static constexpr unsigned kLedHandOverPolls = 2000;

    static c331_manage* p_c331_manage;
    // The apply protocol's lock, wake-up and request (core/para_apply.h).
    static pthread_mutex_t& para_mutex;
    static Wakeup& wakeup;
    static std::atomic<u8>& para_update;
    static const u32 parameters_txt[kParameterWords];

    // Creates the manager and starts its thread on the first call; later calls return it.
    static c331_manage* pInstance();

    c331_manage();
    // Stops the thread (the program keeps the manager; tests and benchmarks free theirs).
    ~c331_manage();
    c331_manage(const c331_manage&) = delete;
    c331_manage& operator=(const c331_manage&) = delete;

    // Opens the chip, reads its identity once and starts the thread. 0, or 255 when the
    // thread cannot be created. A running thread is not started again.
    int initialize();
    // The part of initialize before the thread: the SPI device.
    void open_device();
    static void* c331manageThread(void* arg);
    // One turn of the thread: an identity read, the bring-up or an apply cycle.
    void manage_pass();
    // One apply cycle; arg is the manager. Returns 0.
    static int c331managerdeal(void* arg);
    // Stops and joins the thread; the program never calls it.
    void stop_thread();

    // ---- bring-up, parameter defaults and chip timing routines. The fd they take is the
    // manager's own descriptor, as their callers pass it; the chip is reached through
    // c331_fd.
    void c331_bringup();
    void load_system_param();
    void define_param();
    void load_param();
    void write_initial_setting(int fd, int full);
    void set_rtct(int fd, int mode);
    void Sleep(int ms);
    void wait1_pivs(int fd, int ch);
    void wait1_pivs2(int fd);
    // 1 when the output channel's vertical sync came, 0 when the wait ran out without it.
    int wait1_povs(int fd, int ch);
    int wait_ifld_change(int fd, int ch);
    int wait_ofld_change(int fd, int ch);
    void set_sypol(int fd, int which, int ch);
    void set_VBOInput(int fd, int ch);
    void set_VBORXfrange(int fd, int rx, double freq, int toggle);
    void set_pict(int fd, int on, int ch);
    void set_input_bkg(int fd, int port, int on);
    void reset_dbd_mem(int w);
    int check_dbd_input(int fd, int port);
    int set_dbd_mem(int fd, int w);
    void c331_debugEnv();

    // ---- service sequences and register dumps
    void input_slidebar();
    void output_slidebar();
    void disable_slidebar();
    void vbyone_rx_ch1_seq();
    void vbyone_rx_ch2_seq();
    void read_c331_b174bug();
    void write_read_c331_b80_iacthstch5();
    void sync_c331_device_test_input();
    void sync_c331_device_test_frame_lock();
    void krxDbg_c331_param();
    void krxDbg_c331_param(int group);
    void krxDbg_c331_print_regGrp(int group);
    // Reads and prints every register field of the chip's map; safe from another thread.
    void c331_print();

    // ---- panel geometry and output timing
    // Output channel pixels a frame may hold: HTT x VTT at the chip's output clock.
    static constexpr int kPixelBudget = 9908192;
    // Above this many LED pixels the picture needs the larger channel arrangement.
    static constexpr int kOneChannelPixels = 9800000;

    // The output timing list, in search order.
    static const OutputTiming* output_timings(size_t& count);

    // The whole panel set-up: panel record, channel arrangement and timing, the chip's
    // output registers, the image's write-back and the windows rebuilt. The caller holds
    // para_mutex (the write-back edits the live image). A zero LED size keeps the panel
    // as it is.
    void krxApi_PnlInit2(int ledW, int ledH, int out1W, int out1H, int splice);
    void krxApi_PnlInitOch3();
    // Finds the output totals for a channel picture in the list; always 1.
    int krxApi_PnlInitOch_diff(int* htt, int* vtt, int hblank, int vblank, int width, int height);
    // Writes the panel figures the PC shows back into the image (offset 1376 only).
    void krxApi_WriteRam(int offset);
    void krxApi_c331InitRegPanel();
    void krxApi_MultiWinInit();
    void krxApi_SetOutBkg();
    void c331_outputTimmingCtrlReg(int lo, int hi);
    void c331_calc_PixelCLK();

    // ---- input ports, input timing and no-signal handling
    static constexpr int kNoPort = 255;
    // DSP_INPUT_PORT source id -> chip port (kNoPort for anything but 0..3).
    static int krxApi_inputCvtC331(int id);
    // Chip port -> timing record of the receiver feeding it (kNoPort for none).
    static int krxApi_GetPortDevId(int port);
    // The ports a dot-by-dot window joins (6 in unused slots); 1 when it joins several.
    int krxApi_GetWinDbdMultiPort(int w, int ports[6]);
    void krxApi_forceColorDisable(int fd);
    void load_hdmi();
    void check_port_valid(int fd);
    void check_input_port(int fd);
    void c331_SetInputsource(int w, int source);
    void c331_SetCrop(int w, int enable, ST_RECT rect);
    void krxApi_updateCrop(int port);
    int krxApi_CropGetOffset(int port, ST_RECT rect, int side);
    int krxApi_OchGetWinOffset1(const ST_WIN_INFO* win, int side);

    // ---- window model, environment and window geometry
    //
    // The enabled window records, in image order, become window slots 0..wincnt-1; every
    // per-window table below is indexed by slot. slot_of() maps an image window to its
    // slot (-1 when the window is not shown).
    int krxApi_IsPatternGen() const { return pattern_gen; }
    void krxApi_initEnvC331();
    void krxApi_initEnvC331Default();
    void krxApi_MultiWinGet(ST_MWIN* out);
    void krxApi_PreviewCh() {}
    void calc_iwin2(int slot);
    void calc_owin2(int slot);
    void set_input_bkg2(int dev, int slot, int onoff);
    int slot_of(int imageWindow) const;
    // Input channels free, no previous pass, frame buffers in their first order, and
    // nothing known of what the chip holds (every bring-up).
    void reset_window_state();

    // ---- output channels and overlay
    void krxApi_MultiWinChAlloc(u8 init);
    void krxApi_MultiWinChOverlay();
    void krxApi_MultiWinChInit();
    void get_och(int slot, int* och);
    void update_overlay_info();
    void set_overlay(int dev);

    // ---- input channels
    int check_ich_all(int slot);
    int check_ich(int lowOnly, int pair);
    int adjust_ich(int lowOnly, int pair, int slot);
    // 0 allocated directly, 1 after moving another slot, 2 not allocated.
    int set_input(int slot, int port);
    void reset_ich(int slot);
    void set_ichsel(int dev, int slot);
    void set_idual(int dev, int ich, int on, int port);
    void set_display_window_ich_dbd(int dev, int slot, int dbdMode);

    // ---- the output pass
    void set_output(int dev);
    u32 output_passes{};  // how many passes ran (for the console and tests)
    int check_stitching_win(int* slot, int* partner);
    void check_stitching_chg();
    void set_display_window_ich(int dev, _ImageWindowDef_st iwin, _ImageWindowDef_st owin,
                                int slot);
    void set_display_window_och(int dev, _ImageWindowDef_st iwin, _ImageWindowDef_st owin,
                                int slot);
    void set_oscwct(int dev, int och);
    void set_lut_vzoom_4sym(int dev, int on, int och);

    // ---- freeze, fades and layer blend
    void set_freeze(int dev, int on);
    void reset_act(int dev, int mode);
    void reset_layer_coef(int dev, int mode);
    // A fade steps once per output frame. When a wait for a frame runs out (the output has
    // lost its sync) the fade ends at once on its final weights, and so does the fade-in of
    // the same pass: a fade-out begins a pass's fade, so it tries the output's frames again.
    void set_layer_coef(int dev, int slot, int steps, int dir);
    void win_freeze_sel(int fd, int slot, int output);

    // ---- input processing and channel linking. An input processor (ip 0..3, the input
    // channel of the same number) de-interlaces and filters the port of the slot that owns
    // the channel; p is that port (anything but 0..5 is no input).
    void set_ip(int fd, int ip);
    void set_nr(int fd, int ip, int p);
    void set_nr_block(int fd, int ip, int p);
    void set_nr_b_480i(int fd, int ip, int p);
    void set_nr_b_480p(int fd, int ip, int p);
    void set_nr_b_1080i(int fd, int ip, int p);
    void set_nr_b_720p(int fd, int ip, int p);
    void set_nr_b_1080p(int fd, int ip, int p);
    void set_nr_tpx(int fd, int ip, int p);
    void set_nr_hvpx(int fd, int ip, int p);
    void set_nr_mosq(int fd, int ip, int p);
    void set_diag(int fd, int ip, int p);
    void set_comb(int fd, int ip, int p);
    void set_mvflt(int fd, int ip, int p);
    void set_ipregs(int fd, int ip, int p);
    void set_mct(int fd, int slot, int force);
    void set_iscwct(int fd, int slot);
    // Scaler kernels for a ratio of output / input x 65536.
    static int shrink_class(int ratio);
    static int shrink_class_4sym(int ratio);
    void set_lut_hshrnk(int fd, int ratio, int path, int both);
    void set_lut_vshrnk_4sym(int fd, int ratio, int path, int both);
    // The horizontal zoom kernel of path 0..7 (the ratio does not choose it). Nothing in
    // the running system calls it.
    void set_lut_hzoom(int fd, int ratio, int path);
    // The vertical shrink kernel of path 0..5: paths 0..3 are chip input ports 0..3 (the
    // parallel ports), 4 and 5 the V-by-One ports, which always load the kernel into both
    // slots of their pair. A parallel path's mode value is its port's state word PI_STATE:
    // below 4 (no signal, or a picture the chip receives split: states 1 and 3) loads the
    // path's own slot only; from 4 on (a measured picture) both slots of the path's pair.
    // Nothing in the running system calls it.
    void set_lut_vshrnk(int fd, int ratio, int path);

    // ---- picture, test patterns and window attributes
    // A register field the picture code writes: the whole field, or only the bits of mask.
    struct HeldWrite {
        u32 desc;
        u32 value;
        int bankOffset;
        u32 mask;  // 0: the whole field
    };
    void c331_SetBrightness(int value);
    void c331_SetContrast(int value);
    void c331_SetSharpness(int value);
    void c331_SetSaturation(int value);
    void c331_SetColorTemp(u32 value);
    int c331_SetPattern(int value);
    void c331_SetWinAttr(int w, int value);
    void c331_SetWinOutput(int fd, u8 w, int value);
    void c331_SetWinDbdMode(int fd, int w, int value);
    void c331_SetWinPriority(int w, int value);
    void c331_SetWinPriority1(int fd);
    void c331_SetInputsourceCrop(int w, int value);

    // ---- on-screen display (c331_osd.cpp). krxApi_OsdSet and krxApi_OsdSetUnicode only
    // record the overlay and raise the set or update request; the thread draws.
    static const u32 osd_char_txt[15];
    static const u32 osd_bmp_txt[4];
    // 1 for a known type, 0 (nothing changed) for any other.
    u32 krxApi_OsdSet(int type, int value);
    // lines[i] holds lengths[i] code points of line i. Returns 0.
    int krxApi_OsdSetUnicode(int count, const int* lengths,
                             const u32 (*lines)[OsdState::kLineCodes]);
    void load_char();
    void load_bmp();
    // Redraws the overlay and shows it: page 0, then the scroll copy in page 1.
    void update_osd(int fd);
    void calc_osd();
    void set_osd(int fd, int page);
    void set_scroll(int fd);
    // The drawing steps return 0 when done, 255 when refused or the blitter timed out.
    int gen_char(int fd);
    int osd_put_unicode_string(int fd, const u8* line, int x, int y, u8 fg, u8 bg, int cellWidth,
                               int charSize, u32 base, int is64);
    int osd_paint(int fd, int x, int w, int y, int h, int fill, u32 base);
    int osd_copy(int fd, u32 src, u32 dst, int w, int h, int mode);
    void set_char_color(int fd);
    // Prints the 32-pixel glyph of a code (0x20..0x7F, 0x4E00..0x9FFF) as the serial flash
    // holds it: rows of 'O' (pixel set) and blank. A bench aid nothing in the running system
    // calls.
    void krxApi_debug_printf_unicode(int fd, int code);
    OsdArrangement osd_arrangement() const;

    // ---- the chip's serial flash and the OSD fonts (c331_flash.cpp). Safe from any thread:
    // bank4_mutex covers each whole operation. 0 done, 255 refused or timed out.
    int write_flash(int fd, int address, int length, const u8* data);
    int read_flash(int fd, int address, int length, u8* data);
    // count units from byte sector * 4096: type 0 4 KiB, 1 32 KiB, other 64 KiB.
    int erase_flash(int fd, int sector, int count, int type);
    // target 0 chip memory at destination, 1 the character FIFO, 4 the palette from index
    // destination & 0xFF.
    int osd_write_dma_sfl(int fd, u32 flashAddress, u32 destination, int target, u32 length);
    void read_c331_font(int fd);
    void update_font(int fd);

    // ---- members, in the order of the chip's parameter blocks

    // Per chip port: bit 7 watch the port, bit 0 no signal (Utils::_check_nosig_mutex).
    int port_status[kPorts]{};

    // System parameters.
    int PS_REFCLK[4]{};
    int PS_MEASURE_CLK{};
    int PS_ACTHW{};
    int PS_ACTVW{};
    int PS_HTOTAL{};
    int PS_VTOTAL{};
    int PS_HSW{};
    int PS_HBP{};
    int PS_VSW{};
    int PS_VBP{};
    int PS_VBOTX_MODE{};
    int PS_VBOTX_LAYOUT{};
    int PS_PLL[5]{};
    int PS_CLK[4]{};
    u32 PS_MEM_BLOCK[8][5]{};
    int PS_LINE_PITCH{};
    u32 PS_DBD_BASE[5]{};
    u32 PS_DBD_SLOT_SIZE{};
    u32 PS_OSD_MEM[4]{};
    int PS_OAOIHST{};
    int PS_OAOIHED{};
    int PS_OAOIVST{};
    int PS_OAOIVED{};
    int PS_ACTHST{};
    int PS_ACTVST{};
    int PS_PANEL_HW{};
    int PS_PANEL_VW{};
    int PS_PANEL_HSHAPE{};
    int PS_PANEL_VSHAPE{};

    // Multi-window parameters and their change flags (raised here and by the window
    // code, consumed by the output pass).
    MultiWinParam pm{};
    int PM_WIN_STITCHING[kWindows]{};
    int g_chg_win[kWindows]{};
    int g_chg_input[kWindows]{};
    int g_chg_effect[kWindows]{};
    int g_chg_fade[kWindows]{};
    int g_chg_dbd[kWindows]{};
    int g_chg_overlay{};
    int g_chg_priority{};
    int g_chg_extra[2]{};
    int g_chg_osd_set{};     // OSD set request
    int g_chg_osd_update{};  // OSD update request

    // Window slots: count, input channels (-1 terminated), output channels' window,
    // frame-memory slots of dot-by-dot windows and the windows' memory.
    int wincnt{};
    int win_index[kWindows]{};
    int ich_list[kWindows][kInputChannels]{};
    int win_area_list[kWindows][kOutputChannels]{};
    int och_owner[kOutputChannels]{};
    int mem_slot_owner[kMemSlots]{};
    int win_mem_slot[kWindows][4]{};
    u32 win_mem_base[kWindows][5]{};
    int win_mem_line[kWindows]{};
    _ImageWindowDef_st IWIN[kWindows]{};  // part of the source each window shows
    _ImageWindowDef_st OWIN[kWindows]{};  // where it lands in its output channels
    int osd_char_64dot{};                 // PM_OSD_CHAR_64DOT: 1 64 x 64 characters, 0 32 x 32
    int osd_scroll_speed{};               // PM_OSD_SCROLL_SPEED

    // Input parameters, per chip port.
    PiHdmiInfo PI_HDMI_INFO[kPorts]{};
    PiPortInfo PI_PORT_INFO[kPorts]{};
    double PI_FV[kPorts]{};
    double PI_FPICLK[kPorts]{};
    _ImageWindowDef_st PI_ACT[kPorts]{};
    _ImageWindowDef_st PI_ACT_FULL[kPorts]{};  // unhalved copy
    int PI_UPDATE[kPorts]{};
    int g_chg_hdmi[kPorts]{};
    u32 PI_CHANGE_TICK[kPorts]{};  // G_timeTicks of the last reprogramming
    u8 vbo_rearm_count[2]{};       // per V-by-One receiver, 1..29 then 0
    int source_switched{};         // a window's source was switched

    // Panel and window model.
    ST_PANEL pnl{};
    ST_WIN_INFO gWininfo[kWindows]{};
    ST_RECT gMwin_rect[kWindows]{};
    ST_MWIN gMwin{0, gMwin_rect};
    int slot_window[kWindows]{-1, -1, -1, -1, -1, -1};  // slot -> image window
    int window_slot[kWindows]{-1, -1, -1, -1, -1, -1};  // image window -> slot
    int win_switch_effect[kWindows]{};  // 1: a source change of the slot alone fades
    int win_hmirror[kWindows]{};
    int win_vmirror[kWindows]{};
    // Change flags besides g_chg_win (R) and g_chg_input (I): window new (N), attribute
    // (A), stitching (S, and the one raised when the stitching parameters load), and the
    // manager's stitching-changed flag.
    int g_chg_new[kWindows]{};
    int g_chg_attr[kWindows]{};
    int g_chg_stitch[kWindows]{};
    int g_chg_stitch_load[kWindows]{};
    int g_chg_stitching{};
    int och_error{};  // an output-channel list named a channel past 7

    // Input channels: owner slot of each (-1 free), and the previous pass's tables.
    int ich_owner[kInputChannels]{-1, -1, -1, -1, -1, -1, -1, -1};
    int prev_win_num[kOutputChannels]{6, 6, 6, 6, 6, 6, 6, 6};
    int prev_ich_list[kWindows][kInputChannels]{};

    // Frame-buffer record of each slot (five buffer indexes r0..r4) and its freeze mark.
    int fb_rec[kWindows][5]{};
    int freeze_mark[kWindows]{};
    bool fade_sync_lost{};  // a wait of this pass's fade found no output frame
    int no_vzoom[kWindows]{};
    int mem_mode{};       // the manager's memory mode (2: tall windows narrowed)
    int PS_MEM_WMODE{1};  // memory write mode of a slot's picture
    int PM_MEM_WMODE[kWindows]{};

    // Composition: channels of each slot and, per panel position, the channels composed
    // there, bottom first.
    int och_of_win[kWindows][kOutputChannels]{};
    int g_och_layer[kOutputChannels][kOutputChannels]{};
    int g_och_layer_cnt[kOutputChannels]{};

    std::atomic<u32> font_status{};
    int c331_fd{-1};
    c331_drv* p_c331_drv{};
    std::atomic<u8> manage_state{};
    pthread_t manage_thread{};
    ST_MWIN multi_win[kPresets]{};
    ST_RECT multi_win_rect[kPresets][kWindows]{};
    // Nonzero while the chip's test-pattern generator drives the output.
    int pattern_gen{};
    OsdState osd{};
    // One whole flash operation, DMA or blitter sequence at a time on the bank-4 engines: a
    // remote flash write must not land between the registers of a drawing command.
    std::recursive_mutex bank4_mutex;
    // Switches of the serial-flash and OSD messages, besides g_debugSwitch.
    struct PrnEn {
        std::atomic<u8> flash{1};
        std::atomic<u8> osd{1};
    } prnEn;

    // Input processing, per port: filter levels (0 off; NR, comb and diagonal 1..3, motion
    // vector 1..4) and the IP values (three mode flags, two timing values) of the chip
    // parameter block; all off until a parameter set gives them.
    int PM_HNR[kPorts]{};
    int PM_VNR[kPorts]{};
    int PM_TNR[kPorts]{};
    int PM_BNR[kPorts]{};
    int PM_MNR[kPorts]{};
    int PM_COMB[kPorts]{};
    int PM_DIAG[kPorts]{};
    int PM_MVFLT[kPorts]{};
    int PM_IP_FLAG[kPorts][3]{};
    int PM_IP_VALUE[kPorts][2]{};
    // Per input processor: field offset, write-mode word and the buffer pairs of the
    // interlaced (I0, I1) and progressive (P0, P1) pictures.
    int PS_IP_FIELD_OFFSET[4]{};
    int PS_IP_WMODE[4]{};
    u32 PS_IP_BUF[4][4]{};
    // The NR state last written per group (1 NR, 3 block NR, 0 off; -1 not yet).
    u32 nren_old[4]{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    // Vertical 4-tap shrink kernels by ratio class (row 0 unused), bytes as the chip takes
    // them; an all-zero row is a class whose kernel the chip keeps built in.
    static const u8 lut[10][24];

private:
    // Register access on the chip's descriptor.
    int wr(u32 desc, u32 value, int bankOffset = 0);
    u32 rd(u32 desc, int bankOffset = 0);
    int wr_mask(u32 desc, u32 value, u32 mask, int bankOffset = 0);
    // The window code's writes of plain set-up registers: a field the chip already holds
    // (as this manager last wrote it) is not sent again.
    int wr_changed(u32 desc, u32 value, int bankOffset = 0);
    int wr_mask_changed(u32 desc, u32 value, u32 mask, int bankOffset = 0);
    void note_written(u32 desc, u32 value, int bankOffset);
    void forget_written(u32 desc, int bankOffset);
    bool holds(u32 desc, u32 value, int bankOffset) const;
    bool held(u32 desc, int bankOffset, u32& value) const;
    void forget_all_written();

    // Window code: the planners' views of the manager's tables.
    c331plan::PanelGrid panel_grid() const;
    c331plan::PortNeeds port_needs(int port) const;
    void ich_tables(c331plan::IchTables& t) const;
    void take_ich_tables(const c331plan::IchTables& t);
    void print_log(const std::vector<std::string>& log) const;
    void set_output_inputs();
    int fade_count(int& fading);
    void set_output_windows(int dev);
    bool window_shown(int slot) const;
    int first_ich(int slot) const;
    int output_channel_of(int slot) const;
    void release_dbd_memory();
    void clear_change_flags();
    void write_layer_step(int slot, int own, int below);
    void write_fade_step(int slot, int own, int below);
    // Writes the fields the chip does not already hold inside the register-update hold;
    // when it holds them all, nothing is sent, not even the hold. The fields written.
    int write_held(int fd, const std::vector<HeldWrite>& writes);
    bool holds_masked(const HeldWrite& w) const;
    void sharpen_window(int fd, int slot, int level);
    int ip_port(int ip) const;
    bool ip_signal(int p) const;
    bool ip_interlaced(int p) const;
    void set_nr_b(int fd, int ip, int p, int member);
    void set_ip_measure(int fd, int ip, int p);
    void set_ip_buffers(int fd, int ip, int p);
    void apply_window_fields(int w, size_t field, u16 before, u16 value, const RamParaImage& now);

    void identity_pass();
    void wire_presets();
    // The apply cycle's locked part (para_mutex held) and unlocked part.
    void apply_changes();
    void apply_panel(const RamParaImage& now);
    void apply_picture(const RamParaImage& now);
    void apply_layers(const RamParaImage& now);
    void apply_windows(const RamParaImage& now);
    void apply_source(int w, int slot, u16 oldValue, u16 newValue, const RamParaImage& now);
    void apply_fades(const RamParaImage& now);
    void apply_edid(const RamParaImage& now, int& input);
    void mark_applied(const RamParaImage& now, int edidInput);
    void apply_audio(const RamParaImage& now);
    void apply_service_requests(u8* reg);
    void follow_inputs();
    bool wait_led_hand_over();
    void write_initial_clock(int full);
    void write_initial_global();
    void write_initial_input();
    void write_initial_channels();
    void write_initial_memory_map();
    void write_initial_release(int band);
    int take_mem_slots(int w, int mode, int needed, bool downward, int& lowest);
    // OSD and flash helpers (c331_osd.cpp, c331_flash.cpp).
    bool osd_debug() const;
    bool flash_debug() const;
    void osd_stride(int canvasWidth);
    OsdBlock osd_scroll_block() const;
    bool osd_canvas_fits(int width, int height) const;
    int blit(u8 command);
    void flash_pins(bool dma);
    void flash_direct_setup(bool program);
    int bank4_wait(u32 desc, u8 mask, bool set, int budgetMs, bool report = false);
    int flash_page_commit();
    int flash_write_disable(bool reportFinish);
    // Panel set-up steps.
    void pnl_arrangement(int width, int height);
    void pnl_channel_height(int height);
    void pnl_keep_porches(int hblank, int vblank);
    void pnl_vbo_layout();
    void pnl_write_channels();
    void pnl_write_lanes_and_plls();
    // Input-port steps.
    struct PortMeasure {
        u32 htotal;  // the measures as the chip counts them (the register, plus one
        u32 vtotal;  // where it counts from 0)
        u32 fhw;
        u32 fvm;
        u32 acthw;
    };
    PortMeasure measure_port(int port);
    static bool has_signal(const PortMeasure& m);
    bool window_joins(int w, int port);
    bool port_used(int port);
    bool port_shown_with_change(int port);
    int active_width(int port) const;
    bool take_record(int port, const HDMI_INFO& record);
    void port_lost(int port, bool hadSignal);
    void program_port(int port);
    void program_parallel(int port);
    void program_vbo(int port);
    void check_vbo_lock(int port);
    void rearm_vbo(int rx, u32 laneMask, double freq, int toggle);
    void advance_rearm_count(int rx);
    void print_port_update(int port, const PortMeasure& before);

    // The image as the last apply left the chip, compared with the live image.
    RamParaImage applied{};
    // What the manager last wrote into each register (bit 8: known).
    std::atomic<u16>* written_regs{};
    std::atomic<bool> thread_running{false};
    std::atomic<bool> stop_requested{false};
};
