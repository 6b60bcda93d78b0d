#include "video/c331_manage.h"

#include <cstdio>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "video/c331_drv.h"
#include "video/c331_log.h"
#include "video/c331_peers.h"
#include "video/c331_regs.h"
#include "video/omenu.h"

c331_manage* c331_manage::p_c331_manage = nullptr;
pthread_mutex_t& c331_manage::para_mutex = ParaApply::para_mutex;
std::atomic<u8>& c331_manage::para_update = ParaApply::para_update;
std::atomic<u8> g_osd_update{0};
Wakeup& c331_manage::wakeup = ParaApply::wakeup;

namespace {

// Window counts of the ten multi-window presets.
constexpr int kPresetCounts[c331_manage::kPresets] = {1, 2, 3, 3, 4, 4, 5, 5, 6, 6};
constexpr u16 kCropSource = 0x8000;
constexpr u8 kCropIndexMask = 0xFF;
constexpr u8 kCropPortMask = 0x0F;

// Image fields whose change re-initialises the panel.
constexpr size_t kPanelFields[] = {para::splice_mode, para::led_width, para::led_height,
                                   para::out1_width, para::out1_height};
constexpr int kEdidInputs = 4;  // inputs with EDID request bytes
constexpr size_t kEdidEntry = 6;
constexpr int kEdidEntries = 6;

// Service request bytes of the processor's own register area.
constexpr int kRegTest = 0x21;
constexpr int kRegSequence = 0x22;
constexpr int kRegParamDump = 0x23;
constexpr int kRegGroupDump = 0x24;
constexpr int kRestartBit = 6;

bool differs(const RamParaImage& a, const RamParaImage& b, size_t offset) {
    return !a.sameU16(b, offset);
}

ST_RECT crop_rect(const RamParaImage& image, int index) {
    size_t at = para::crop_at(index);
    return ST_RECT{image.u16At(at + 2), image.u16At(at + 4), image.u16At(at + 6),
                   image.u16At(at + 8)};
}

u32 colour_temperature(const RamParaImage& image) {
    return static_cast<u32>(image[para::colour_temp_type]) |
           static_cast<u32>(image[para::colour_temp_b]) << 8 |
           static_cast<u32>(image[para::colour_temp_g]) << 16 |
           static_cast<u32>(image[para::colour_temp_r]) << 24;
}

}  // namespace

c331_manage::c331_manage()
    : p_c331_drv(new c331_drv), written_regs(new std::atomic<u16>[256 * 128]()) {
    // The presets hold the default layout even for a manager made without pInstance.
    wire_presets();
    reset_window_state();
}

c331_manage::~c331_manage() {
    stop_thread();
    if (c331_fd >= 0)
        board::close(c331_fd);
    delete p_c331_drv;
    delete[] written_regs;
    if (p_c331_manage == this)
        p_c331_manage = nullptr;
}

c331_manage* c331_manage::pInstance() {
    // A second thread would run a second bring-up and apply the same changes twice.
    if (p_c331_manage)
        return p_c331_manage;
    p_c331_manage = new c331_manage;
    p_c331_manage->wire_presets();
    para_update = 0;
    p_c331_manage->pattern_gen = 0;
    p_c331_manage->initialize();
    return p_c331_manage;
}

void c331_manage::wire_presets() {
    for (int i = 0; i < kPresets; ++i) {
        multi_win[i].cnt = kPresetCounts[i];
        multi_win[i].pwin = multi_win_rect[i];
    }
}

void c331_manage::open_device() {
    if (c331_fd < 0)
        c331_fd = p_c331_drv->initialize();
    c331_log("\n c331_fd = %02x \n", c331_fd);
}

int c331_manage::initialize() {
    c331_log("\n======c331_manage::initialize()===== ");
    open_device();
    c331_log("\n c331_id = %02x \n", rd(c331reg::kIdentity));
    if (thread_running)
        return 0;
    stop_requested = false;
    if (pthread_create(&manage_thread, nullptr, c331manageThread, this) != 0) {
        std::printf("create manage thread failed\n");
        return 255;
    }
    thread_running = true;
    return 0;
}

void c331_manage::stop_thread() {
    if (!thread_running)
        return;
    stop_requested = true;
    wakeup.notify();
    pthread_join(manage_thread, nullptr);
    thread_running = false;
}

// Once the chip runs, the thread waits between cycles on its wakeup: a writer of the image
// (para_update) or a receiver that publishes a new timing ends the wait at once, so a change
// reaches the chip without delay. With nothing asked, a cycle every kFollowPeriodUs (two or
// three frames) re-measures the ports: a measurement changes at most once a frame, and a
// new source comes with the receiver's new timing, which wakes the thread. Between identity
// reads it sleeps kCycleSleepUs, and while the chip does not answer it retries every
// kNoChipSleepMs.
void* c331_manage::c331manageThread(void* arg) {
    if (!arg)
        return nullptr;
    name_this_thread("c331-apply");
    c331_manage* m = static_cast<c331_manage*>(arg);
    while (!m->stop_requested) {
        u8 before = m->manage_state;
        m->manage_pass();
        if (before < kStateBringUp && m->manage_state == before)
            board::msleep(kNoChipSleepMs);
        else if (m->manage_state == kStateRun)
            wakeup.wait(kFollowPeriodUs);
        else
            board::usleep(kCycleSleepUs);
    }
    return nullptr;
}

void c331_manage::manage_pass() {
    u8 state = manage_state;
    if (state < kStateBringUp) {
        identity_pass();
        return;
    }
    if (state == kStateBringUp) {
        c331_bringup();
        manage_state = kStateRun;
        g_fpga_c331_start = 1;
        return;
    }
    c331managerdeal(this);
}

void c331_manage::identity_pass() {
    u32 id = rd(c331reg::kIdentity);
    if (id != c331_drv::kChipId) {
        c331_log("\n error c331_id = %02x \n", id);
        return;
    }
    c331_log("\n ok c331_id = 0x24x ");
    manage_state = manage_state + 1;
}

int c331_manage::wr(u32 desc, u32 value, int bankOffset) {
    const int sent = p_c331_drv->write_C331(c331_fd, desc, value, bankOffset);
    if (sent == 1)
        note_written(desc, value, bankOffset);
    else
        forget_written(desc, bankOffset);
    return sent;
}

u32 c331_manage::rd(u32 desc, int bankOffset) {
    return p_c331_drv->read_C331(c331_fd, desc, bankOffset);
}

int c331_manage::wr_mask(u32 desc, u32 value, u32 mask, int bankOffset) {
    forget_written(desc, bankOffset);
    return p_c331_drv->write_c331_mask(c331_fd, desc, value, mask, bankOffset);
}

// ---- the apply cycle

int c331_manage::c331managerdeal(void* arg) {
    if (!arg)
        return 0;
    c331_manage* m = static_cast<c331_manage*>(arg);
    if (para_update != 0)
        m->apply_changes();
    if (m->manage_state == kStateRun && !m->pattern_gen)
        m->follow_inputs();
    return 0;
}

void c331_manage::apply_changes() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    ParaLock lock;
    u8 reason = para_update;
    if (reason == 0)
        return;
    // Work on a copy: a field written while this cycle runs (by a writer that raises the
    // request afterwards) stays a difference for the next cycle.
    const RamParaImage now = store->live_copy();
    if (g_force_bkcolor == 0)
        krxApi_forceColorDisable(c331_fd);
    apply_panel(now);
    apply_picture(now);
    apply_layers(now);
    apply_windows(now);
    apply_fades(now);
    if (now[para::test_pattern] != applied[para::test_pattern])
        c331_SetPattern(now[para::test_pattern]);
    int edid = -1;
    apply_edid(now, edid);
    apply_audio(now);
    if (differs(now, applied, para::fpga_para))
        c331_peers::raise_output_resend();
    if (differs(now, applied, para::osd_enable)) {
        u16 osd = now.u16At(para::osd_enable);
        krxApi_OsdSet(0, osd);
        if (osd)
            g_osd_update = 1;
    }
    mark_applied(now, edid);
    store->test_signal(reason);
    para_update = 0;
    if (g_osd_update == 1) {
        g_osd_update = 0;
        get_json_omenu_para("/data/configs/omenu.json", &g_osd_list);
        set_OSD_para(&g_osd_list);
    }
    apply_service_requests(store->reg_para);
}

// Everything of now counts as applied, except the custom EDIDs of inputs that were not
// requested in this cycle (one input per cycle): they stay differences.
void c331_manage::mark_applied(const RamParaImage& now, int edidInput) {
    RamParaImage before = applied;
    applied = now;
    for (int i = 0; i < kEdidInputs; ++i) {
        if (i == edidInput)
            continue;
        size_t at = para::edid_para_at(i);
        std::copy(before.data() + at, before.data() + at + kEdidEntry, applied.data() + at);
    }
}

bool c331_manage::wait_led_hand_over() {
    // The FPGA thread brings g_set_led_para back from 1; it may itself be waiting for
    // para_mutex, which this thread holds, so the wait is bounded.
    if (g_set_led_para == 1)
        c331_peers::wake_fpga();
    for (unsigned polls = 0; g_set_led_para == 1; ++polls) {
        if (polls >= kLedHandOverPolls)
            return false;
        board::usleep(kLedHandOverPollUs);
    }
    return true;
}

void c331_manage::apply_panel(const RamParaImage& now) {
    bool changed = false;
    for (size_t offset : kPanelFields)
        changed = changed || differs(now, applied, offset);
    if (!changed)
        return;
    if (!wait_led_hand_over())
        std::printf("c331: LED panel hand-over still busy after %u ms, panel set up anyway\n",
                    kLedHandOverPolls * kLedHandOverPollUs / 1000);
    krxApi_PnlInit2(now.u16At(para::led_width), now.u16At(para::led_height),
                    now.u16At(para::out1_width), now.u16At(para::out1_height),
                    now.u16At(para::splice_mode));
    // The panel set-up rewrote every channel's timing and rebuilt the windows' tables: the
    // windows are programmed into the new channels.
    set_output(c331_fd);
    {
        std::lock_guard<std::mutex> led(Utils::_led_para_init_mutex);
        g_set_led_para = 2;
    }
    c331_peers::wake_fpga();
    if (now.u16At(para::osd_enable))
        g_osd_update = 1;
}

void c331_manage::apply_picture(const RamParaImage& now) {
    if (differs(now, applied, para::picture_brightness)) {
        // The LED output carries the brightness; the chip stays at the middle.
        c331_SetBrightness(50);
        c331_peers::raise_bri_resend();
    }
    if (differs(now, applied, para::picture_contrast))
        c331_SetContrast(now.u16At(para::picture_contrast));
    if (differs(now, applied, para::picture_sharpness))
        c331_SetSharpness(now.u16At(para::picture_sharpness));
    if (differs(now, applied, para::picture_saturation))
        c331_SetSaturation(now.u16At(para::picture_saturation));
    for (size_t offset = para::colour_temp_type; offset <= para::colour_temp_b; offset += 2) {
        if (differs(now, applied, offset)) {
            c331_SetColorTemp(colour_temperature(now));
            return;
        }
    }
}

void c331_manage::apply_layers(const RamParaImage& now) {
    for (int w = 0; w < kWindows; ++w) {
        size_t offset = para::krx_layer + 2 * static_cast<size_t>(w);
        if (!differs(now, applied, offset))
            continue;
        u16 value = now.u16At(offset);
        c331_log("DIFF REG CUSTOM_INFO_IMAGE%d_PRIORITY %04x==>%04x\r\n", w + 1,
                 applied.u16At(offset), value);
        // A window that is not shown takes its layer when it is shown.
        const int slot = slot_of(w);
        if (slot >= 0)
            c331_SetWinPriority(slot, value);
        c331_SetWinPriority1(c331_fd);
    }
}

void c331_manage::apply_windows(const RamParaImage& now) {
    const size_t end = para::window_at(kWindows);
    for (size_t offset = para::window; offset < end; offset += 2) {
        if (!differs(now, applied, offset))
            continue;
        int w = static_cast<int>((offset - para::window) / para::window_size);
        size_t field = (offset - para::window) % para::window_size;
        u16 before = applied.u16At(offset);
        u16 value = now.u16At(offset);
        c331_log("DIFF REG win[%#x] reg:%x %04x==>%04x\r\n", w,
                 static_cast<unsigned>(offset - para::picture_brightness), before, value);
        switch (field) {
            case para::win_enable:
            case para::win_x:
            case para::win_y:
            case para::win_w:
            case para::win_h:
                // The rebuild takes every window from the image: later fields are covered.
                krxApi_initEnvC331();
                krxApi_MultiWinChAlloc(1);
                krxApi_MultiWinChInit();
                set_output(c331_fd);
                return;
            default:
                apply_window_fields(w, field, before, value, now);
                break;
        }
    }
}

// A field of a shown window reaches the slot the window has; a window that is not shown
// takes its fields from the image when it is.
void c331_manage::apply_window_fields(int w, size_t field, u16 before, u16 value,
                                      const RamParaImage& now) {
    const int slot = slot_of(w);
    const bool known = field == para::win_attr || field == para::win_output ||
                       field == para::win_dbd_mode || field == para::win_source;
    if (!known)
        return;
    if (slot < 0 && field != para::win_source) {
        c331_log("c331: window %d is not shown, its change waits\n", w);
        return;
    }
    switch (field) {
        case para::win_attr:
            c331_SetWinAttr(slot, value);
            break;
        case para::win_output:
            c331_SetWinOutput(c331_fd, static_cast<u8>(slot), value);
            break;
        case para::win_dbd_mode:
            c331_SetWinDbdMode(c331_fd, slot, value);
            break;
        default:
            apply_source(w, slot, before, value, now);
            break;
    }
}

void c331_manage::apply_source(int w, int slot, u16 before, u16 value, const RamParaImage& now) {
    if (value & kCropSource) {
        int index = value & kCropIndexMask;
        if (index >= para::crop_count) {
            std::printf("c331: window %d names crop entry %d of %d, source ignored\n", w, index,
                        para::crop_count);
            return;
        }
        if (slot >= 0) {
            c331_SetInputsourceCrop(slot, index);
            // The source first: the crop is fitted into the active area of the port it cuts.
            c331_SetInputsource(slot, now.u16At(para::crop_at(index)) & kCropPortMask);
            c331_SetCrop(slot, 1, crop_rect(now, index));
        }
    } else if (slot >= 0) {
        if (before & kCropSource) {
            int old = before & kCropIndexMask;
            c331_SetCrop(slot, 0, old < para::crop_count ? crop_rect(now, old) : ST_RECT{});
        }
        c331_SetInputsource(slot, value);
    }
    if (slot < 0)
        c331_log("c331: window %d is not shown, its source waits\n", w);
    if (w == now.u16At(para::current_window))
        c331_peers::raise_source_changed();
}

void c331_manage::apply_fades(const RamParaImage& now) {
    for (int w = 0; w < kWindows; ++w) {
        for (int side = 0; side < 2; ++side) {
            size_t index = 4 * static_cast<size_t>(w) + 2 * static_cast<size_t>(side);
            size_t offset = para::win_fade + index;
            if (!differs(now, applied, offset))
                continue;
            u16 value = now.u16At(offset);
            c331_log("DIFF REG win[%#x] reg:%x(%04x) %04x==>%04x\r\n", w,
                     static_cast<unsigned>(index), static_cast<unsigned>(para::win_fade),
                     applied.u16At(offset), value);
            // The fade times of a shown window are its slot's; a window that is not shown
            // takes them from the image when it is.
            const int slot = slot_of(w);
            if (slot < 0)
                continue;
            if (side == 0)
                pm.PM_WIN_FADE_IN[slot] = value;
            else
                pm.PM_WIN_FADE_OUT[slot] = value;
        }
    }
}

void c331_manage::apply_edid(const RamParaImage& now, int& input) {
    input = -1;
    const size_t end = para::edid_para_at(kEdidEntries);
    for (size_t offset = para::edid_para; offset < end; offset += 2) {
        if (!differs(now, applied, offset))
            continue;
        int entry = static_cast<int>((offset - para::edid_para) / kEdidEntry);
        // Entries 4 and 5 have no input behind them that takes an EDID request.
        if (c331_peers::raise_edid_request(entry))
            input = entry;
        return;
    }
}

void c331_manage::apply_audio(const RamParaImage& now) {
    for (int w = 0; w < kWindows; ++w) {
        if (differs(now, applied, para::window_at(w) + para::win_audio)) {
            c331_peers::raise_source_changed();
            return;
        }
    }
}

void c331_manage::apply_service_requests(u8* reg) {
    if (u8 request = reg[kRegSequence]) {
        int bit = __builtin_ctz(request);
        switch (bit) {
            case 0:
                input_slidebar();
                break;
            case 1:
                output_slidebar();
                break;
            case 2:
                disable_slidebar();
                break;
            case 3:
                vbyone_rx_ch1_seq();
                break;
            case 4:
                vbyone_rx_ch2_seq();
                break;
            case 5:
                read_c331_b174bug();
                break;
            case kRestartBit:
                manage_state = 0;
                break;
            default:
                write_read_c331_b80_iacthstch5();
                break;
        }
        reg[kRegSequence] = 0;
    }
    if (reg[kRegParamDump]) {
        krxDbg_c331_param(reg[kRegParamDump] - 1);
        reg[kRegParamDump] = 0;
    }
    if (reg[kRegGroupDump]) {
        if (reg[kRegGroupDump] & 1)
            krxDbg_c331_print_regGrp(0);
        reg[kRegGroupDump] = 0;
    }
    if (reg[kRegTest] & 1)
        sync_c331_device_test_input();
    else if (reg[kRegTest] & 2)
        sync_c331_device_test_frame_lock();
    reg[kRegTest] = 0;
}

// The unlocked part: follow the receivers' timing and rebuild the windows of ports that
// were reprogrammed.
void c331_manage::follow_inputs() {
    load_hdmi();
    check_port_valid(c331_fd);
    if (g_chg_osd_update) {
        update_osd(c331_fd);
        g_chg_osd_update = 0;
    } else if (g_chg_osd_set) {
        set_osd(c331_fd, 1);
        set_scroll(c331_fd);
        g_chg_osd_set = 0;
    }
    check_input_port(c331_fd);
    for (int port = 0; port < kPorts; ++port) {
        if (!PI_UPDATE[port] && !g_chg_hdmi[port])
            continue;
        for (int w = 0; w < kWindows; ++w) {
            if (pm.PM_INPUT[w] != port)
                continue;
            const _ImageWindowDef_st& act = PI_ACT[port];
            c331_log(
                "\n [c331_main]PI_UPDATE[%d]=%d   g_chg_hdmi[%d]=%d   PI_ACT  HST=%4d  "
                "HW=%4d  VST=%4d  VW=%4d\n",
                port, PI_UPDATE[port], port, g_chg_hdmi[port], act.HST, act.HW, act.VST, act.VW);
            g_chg_input[w] = 3;
            set_output(c331_fd);
        }
        PI_UPDATE[port] = 0;
        g_chg_hdmi[port] = 0;
    }
}
