// Input ports, input timing and no-signal handling: which chip port and receiver record a
// window's source uses, the receivers' timing copied to the chip's side, every used port
// measured on the chip itself, classified and programmed (parallel input or V-by-One
// receiver lanes), no signal shown as background, and the windows' crop offsets kept in
// step with the ports' active areas.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "inputs/velmosource.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;
constexpr int kParallelPorts = 4;  // chip ports 0..3; 4 and 5 are V-by-One receivers 0, 1
constexpr int kSources = 4;        // DSP_INPUT_PORT 0..3, one timing record each
constexpr int kNone = c331_manage::kNoPort;
constexpr int kSourcePort[kSources] = {2, 1, 0, 5};
constexpr int kPortRecord[c331_manage::kPorts] = {2, 1, 0, kNone, kNone, 3};
constexpr int kNoWindowPort = 6;  // a slot of a dot-by-dot port list without a port

// A measure reads all ones, or 0, while nothing arrives at the port: the counters either
// run out or never start. Values are the register plus one where the chip counts from 0.
bool dead16(u32 value) {
    return value - 2 > 65532u;
}
bool dead24(u32 value) {
    return value - 2 > 16777212u;
}

// Measurement registers of a port.
struct MeasureRegs {
    u32 htotal;
    u32 vtotal;
    u32 fhw;
    u32 fvm;
    u32 acthw;
};
MeasureRegs measure_regs(int port) {
    if (port < kParallelPorts) {
        const u8 a = static_cast<u8>(2 * port);
        return {reg(0xAE, static_cast<u8>(0x08 + a), 2), reg(0xAE, static_cast<u8>(0x20 + a), 2),
                reg(0xAE, static_cast<u8>(0x38 + a), 2),
                reg(0xAE, static_cast<u8>(0x50 + 3 * port), 3),
                reg(0xAF, static_cast<u8>(0x08 + a), 2)};
    }
    const int q = port - kParallelPorts;
    const u8 a = static_cast<u8>(8 * q);
    return {reg(0xAE, static_cast<u8>(0x10 + a), 2), reg(0xAE, static_cast<u8>(0x28 + a), 2),
            reg(0xAE, static_cast<u8>(0x40 + a), 2), reg(0xAE, static_cast<u8>(0x5C + 0x0C * q), 3),
            reg(0xAF, static_cast<u8>(0x10 + a), 2)};
}

u32 at_address(u32 desc, int step) {
    return desc + (static_cast<u32>(step) << 8);
}

// V-by-One receiver q: arm register and lane mask, 0x1C apart.
u32 vbo_arm(int q) {
    return reg(0x02, static_cast<u8>(0x40 + 0x1C * q));
}
u32 vbo_lane_mask(int q) {
    return reg(0x02, static_cast<u8>(0x4F + 0x1C * q));
}
constexpr u8 kVboSelect[2] = {14, 13};
constexpr u8 kVboRelease = 15;
constexpr u8 kVboArm = 5;
constexpr u32 kVboFirstLaneOnly = 0x80;
constexpr int kVboLanePairs = 4;
constexpr u8 kRearmCycle = 29;

u32 lane_mask(int lanes) {
    switch (lanes) {
        case 8:
            return 0xFF;
        case 4:
            return 0xF0;
        case 2:
            return 0xC0;
        default:
            return kVboFirstLaneOnly;
    }
}

int lane_pairs_checked(int lanes) {
    return lanes == 8 ? 4 : lanes == 4 ? 2 : 1;
}

// Ports of the dot-by-dot modes that join several inputs.
struct MultiPortRow {
    int mode;
    int count;
    int ports[4];
};
constexpr MultiPortRow kMultiPort[] = {
    {20, 2, {0, 1}},       {21, 2, {0, 1}},    {22, 2, {2, 3}},
    {23, 2, {2, 3}},       {30, 3, {0, 1, 2}}, {40, 4, {0, 1, 2, 3}},
    {41, 4, {0, 1, 2, 3}}, {50, 2, {5, 4}},    {51, 2, {5, 4}},
};

// Interlaced parallel inputs, by the lines of a field.
constexpr int kState1080i60 = 5;
constexpr int kState1080i50 = 6;
constexpr int kState480i = 7;
constexpr int kState576i = 8;
constexpr double kFieldRate1080iSplit = 55.0;
// A V-by-One input the chip takes one pixel a clock.
constexpr int kVboNarrow = 2176;
constexpr double kVboSlowClock = 324000000.0;

constexpr int kStateNone = 0;
constexpr int kStateVboWide = 1;
constexpr int kStateParallelMode = 3;
constexpr int kStateSingle = 4;

constexpr int kHtotalTolerance = 2;
constexpr int kPeriodTolerance = 100;

// The receiver's timing record d as it stands, copied whole under its lock.
bool record_of(int d, HDMI_INFO& out) {
    std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
    velmosource* inputs = velmosource::p_velmo_source;
    if (!inputs || d < 0 || d >= kSources)
        return false;
    out = inputs->hdminfo[d];
    return true;
}

bool moved(u32 now, u32 before, int tolerance) {
    const long long d = static_cast<long long>(now) - static_cast<long long>(before);
    return d > tolerance || d < -tolerance;
}

}  // namespace

// ---- maps

int c331_manage::krxApi_inputCvtC331(int id) {
    return id >= 0 && id < kSources ? kSourcePort[id] : kNoPort;
}

int c331_manage::krxApi_GetPortDevId(int port) {
    return port >= 0 && port < kPorts ? kPortRecord[port] : kNoPort;
}

int c331_manage::krxApi_GetWinDbdMultiPort(int w, int ports[6]) {
    std::fill(ports, ports + kPorts, kNoWindowPort);
    if (w < 0 || w >= kWindows)
        return 0;
    for (const MultiPortRow& row : kMultiPort) {
        if (row.mode != pm.PM_WIN_DBD_MODE[w])
            continue;
        std::copy(row.ports, row.ports + row.count, ports);
        return 1;
    }
    return 0;
}

bool c331_manage::window_joins(int w, int port) {
    int ports[kPorts];
    if (krxApi_GetWinDbdMultiPort(w, ports))
        return std::find(ports, ports + kPorts, port) != ports + kPorts;
    return pm.PM_INPUT[w] == port;
}

bool c331_manage::port_used(int port) {
    for (int w = 0; w < kWindows; ++w)
        if (window_joins(w, port))
            return true;
    return false;
}

// A window on the screen (a slot below the window count) that shows the port and waits
// for its input to be set up again.
bool c331_manage::port_shown_with_change(int port) {
    for (int w = 0; w < std::min(wincnt, kWindows); ++w) {
        if (!g_chg_input[w] || !window_joins(w, port))
            continue;
        c331_log("\t port_info_chg:%d, g_chg_input[win_%d]:%d\n", port, w, g_chg_input[w]);
        return true;
    }
    return false;
}

int c331_manage::active_width(int port) const {
    const bool halves = port >= kParallelPorts && PI_PORT_INFO[port].STATE < kStateSingle;
    return PI_ACT[port].HW * (halves ? 2 : 1);
}

// ---- the receivers' records

void c331_manage::load_hdmi() {
    HDMI_INFO records[kSources];
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        velmosource* inputs = velmosource::p_velmo_source;
        if (!inputs)
            return;
        std::copy(inputs->hdminfo, inputs->hdminfo + kSources, records);
    }
    for (int p = 0; p < kPorts; ++p) {
        const int d = krxApi_GetPortDevId(p);
        if (d == kNoPort || !records[d].updated)
            continue;
        if (!take_record(p, records[d]))
            continue;
        const PiHdmiInfo& t = PI_HDMI_INFO[p];
        std::printf("[load_hdmi] chg_input[PI_HDMI_INFO], port:%d, dev_id:%d\n", p, d);
        c331_log("\t hact:%d, hsync:%d, hback:%d, hpol:%d, htt:%d\n", t.Hact, t.Hsync, t.Hback,
                 t.Hpol, t.Htotal);
        c331_log("\t vact:%d, vsync:%d, vback:%d, vpol:%d, vtt:%d\n", t.Vact, t.Vsync, t.Vback,
                 t.Vpol, t.Vtotal);
        c331_log("\t pfreq:%f, type:%d, lane:%d, ip:%d, datamode:%d, nosignal:%d\n",
                 static_cast<double>(t.pfreq), t.type, t.lane, t.ip, t.datamode, t.nosignal);
        for (int w = 0; w < kWindows; ++w) {
            int ports[kPorts];
            if (krxApi_GetWinDbdMultiPort(w, ports)) {
                if (std::find(ports, ports + kPorts, p) == ports + kPorts)
                    continue;
                g_chg_input[w] = 1;
                c331_log("\n[load_hdmi] g_chg_input[%d] = 1 for dbd:%d\n", w,
                         pm.PM_WIN_DBD_MODE[w]);
                set_ichsel(c331_fd, w);
            } else if (pm.PM_INPUT[w] == p) {
                g_chg_input[w] = 1;
                c331_log("\n[load_hdmi] g_chg_input[%d] = 1\n", w);
            }
        }
    }
}

// Copies what differs of a record into the port's copy; true when anything did. The
// pixel clock stays the number the receiver measured, so that an unchanged clock of
// 148.5 or 74.25 MHz compares equal.
bool c331_manage::take_record(int port, const HDMI_INFO& r) {
    struct Field {
        const char* name;
        int PiHdmiInfo::*mine;
        u32 HDMI_INFO::*theirs;
    };
    static constexpr Field kFields[] = {
        {"Hact", &PiHdmiInfo::Hact, &HDMI_INFO::Hact},
        {"Hsync", &PiHdmiInfo::Hsync, &HDMI_INFO::Hsync},
        {"Hback", &PiHdmiInfo::Hback, &HDMI_INFO::Hback},
        {"Hpol", &PiHdmiInfo::Hpol, &HDMI_INFO::Hpol},
        {"Htotal", &PiHdmiInfo::Htotal, &HDMI_INFO::Htotal},
        {"Vact", &PiHdmiInfo::Vact, &HDMI_INFO::Vact},
        {"Vsync", &PiHdmiInfo::Vsync, &HDMI_INFO::Vsync},
        {"Vback", &PiHdmiInfo::Vback, &HDMI_INFO::Vback},
        {"Vpol", &PiHdmiInfo::Vpol, &HDMI_INFO::Vpol},
        {"Vtotal", &PiHdmiInfo::Vtotal, &HDMI_INFO::Vtotal},
    };
    static constexpr Field kTail[] = {
        {"type", &PiHdmiInfo::type, &HDMI_INFO::type},
        {"datamode", &PiHdmiInfo::datamode, &HDMI_INFO::datamode},
        {"lane", &PiHdmiInfo::lane, &HDMI_INFO::lane},
        {"ip", &PiHdmiInfo::ip, &HDMI_INFO::ip},
        {"nosignal", &PiHdmiInfo::nosignal, &HDMI_INFO::nosignal},
    };
    PiHdmiInfo& t = PI_HDMI_INFO[port];
    bool changed = false;
    auto take = [&](const Field& f) {
        const int value = static_cast<int>(r.*f.theirs);
        if (t.*f.mine == value)
            return;
        c331_log("\n [load_hdmi]%s=%d,%d,chaned! \n", f.name, t.*f.mine, value);
        t.*f.mine = value;
        changed = true;
    };
    for (const Field& f : kFields)
        take(f);
    if (std::memcmp(&t.pfreq, &r.pfreq, sizeof t.pfreq) != 0) {
        c331_log("\n [load_hdmi]pfreq=%f,%f,chaned! \n", static_cast<double>(t.pfreq),
                 static_cast<double>(r.pfreq));
        t.pfreq = r.pfreq;
        changed = true;
    }
    for (const Field& f : kTail)
        take(f);
    return changed;
}

// ---- measuring and programming the ports

c331_manage::PortMeasure c331_manage::measure_port(int port) {
    const MeasureRegs r = measure_regs(port);
    wr(c331reg::kRegUpdateHold, c331reg::kStatusLatch);
    PortMeasure m;
    m.htotal = rd(r.htotal) + 1;
    m.vtotal = rd(r.vtotal);
    m.fhw = rd(r.fhw) + 1;
    m.fvm = rd(r.fvm) + 1;
    m.acthw = rd(r.acthw);
    wr(c331reg::kRegUpdateHold, 0);
    return m;
}

bool c331_manage::has_signal(const PortMeasure& m) {
    return !dead16(m.htotal) && !dead16(m.fhw) && !dead24(m.fvm);
}

void c331_manage::rearm_vbo(int q, u32 laneMask, double freq, int toggle) {
    wr(c331reg::kVboRxSelect, kVboSelect[q]);
    wr(c331reg::kVboRxSelect, kVboRelease);
    wr(vbo_arm(q), kVboArm);
    wr(vbo_lane_mask(q), laneMask);
    set_VBORXfrange(c331_fd, q, freq, toggle);
}

void c331_manage::advance_rearm_count(int q) {
    u8& count = vbo_rearm_count[q];
    count = count >= kRearmCycle ? 0 : static_cast<u8>(count + 1);
}

void c331_manage::check_port_valid(int) {
    bool checked[kPorts] = {};
    for (int w = 0; w < kWindows; ++w) {
        for (int p = 0; p < kPorts; ++p) {
            if (checked[p] || !window_joins(w, p))
                continue;
            checked[p] = true;
            {
                std::lock_guard<std::mutex> lock(Utils::_check_nosig_mutex);
                if (!(port_status[p] & 0x80))
                    continue;
            }
            const bool signal = has_signal(measure_port(p));
            int status;
            {
                std::lock_guard<std::mutex> lock(Utils::_check_nosig_mutex);
                port_status[p] = (port_status[p] & ~1) | (signal ? 0 : 1);
                status = port_status[p];
            }
            c331_log("[c331_check_nosignal] win_%d port_%d, nosignal:%02x\n", w, p, status);
            if (!signal && p >= kParallelPorts)
                rearm_vbo(p - kParallelPorts, kVboFirstLaneOnly, 0, 1);
        }
    }
}

void c331_manage::check_input_port(int) {
    for (int p = 0; p < kPorts; ++p) {
        const int d = krxApi_GetPortDevId(p);
        HDMI_INFO record;
        if (d == kNoPort || !port_used(p) || !record_of(d, record))
            continue;
        PiPortInfo& info = PI_PORT_INFO[p];
        // A port that was set up is followed even when its receiver withdrew the timing:
        // the receiver's loss of sync is a loss of the picture.
        const bool published = record.updated != 0;
        if (!published && info.STATE == kStateNone)
            continue;
        PI_UPDATE[p] = 0;
        const PortMeasure before{static_cast<u32>(info.HTOTAL), static_cast<u32>(info.VTOTAL),
                                 static_cast<u32>(info.FHW), static_cast<u32>(info.FVM),
                                 static_cast<u32>(info.ACTHW)};
        const bool hadSignal = info.NOSIG == 0;
        const PortMeasure now = measure_port(p);
        info.HTOTAL = static_cast<int>(now.htotal);
        info.VTOTAL = static_cast<int>(now.vtotal);
        info.FHW = static_cast<int>(now.fhw);
        info.FVM = static_cast<int>(now.fvm);
        info.ACTHW = static_cast<int>(now.acthw);
        info.NOSIG = !has_signal(now) || !published || record.nosignal == 1;
        if (info.NOSIG) {
            port_lost(p, hadSignal);
            continue;
        }
        const bool changed = moved(now.htotal, before.htotal, kHtotalTolerance) ||
                             moved(now.vtotal, before.vtotal, kHtotalTolerance) ||
                             moved(now.fhw, before.fhw, kPeriodTolerance) ||
                             moved(now.fvm, before.fvm, kPeriodTolerance) ||
                             now.acthw != before.acthw || g_chg_hdmi[p] ||
                             port_shown_with_change(p);
        if (changed) {
            program_port(p);
            print_port_update(p, before);
            krxApi_updateCrop(p);
            PI_CHANGE_TICK[p] = G_timeTicks;
        }
        if (p >= kParallelPorts)
            check_vbo_lock(p);
    }
}

void c331_manage::port_lost(int p, bool hadSignal) {
    PiPortInfo& info = PI_PORT_INFO[p];
    if (hadSignal) {
        set_input_bkg(c331_fd, p, 1);
        if (info.STATE != kStateNone)
            PI_UPDATE[p] = 1;
        PI_FV[p] = 0;
        PI_FPICLK[p] = 0;
        info.HTOTAL = info.VTOTAL = info.FHW = info.FVM = info.ACTHW = 0;
        PI_ACT[p] = PI_ACT_FULL[p] = _ImageWindowDef_st{16, 0, 16, 0};
        info.STATE = kStateNone;
        info.IP = 0;
        if (p < kParallelPorts)
            set_pict(c331_fd, 0, p);
    }
    if (p >= kParallelPorts) {
        const int q = p - kParallelPorts;
        rearm_vbo(q, kVboFirstLaneOnly, 0, 1);
        advance_rearm_count(q);
    }
}

void c331_manage::program_port(int p) {
    const PiHdmiInfo& t = PI_HDMI_INFO[p];
    PI_FV[p] = static_cast<double>(PS_MEASURE_CLK) / PI_PORT_INFO[p].FVM;
    PI_FPICLK[p] = static_cast<double>(t.Htotal) * PI_FV[p] * t.Vtotal;
    if (p < kParallelPorts)
        program_parallel(p);
    else
        program_vbo(p);
    _ImageWindowDef_st& full = PI_ACT_FULL[p];
    full = _ImageWindowDef_st{t.Hsync + t.Hback, t.Hact, t.Vsync + t.Vback, t.Vact};
    PI_ACT[p] = full;
    // The chip takes such a port two pixels a clock: its horizontal figures are halved.
    if (PI_PORT_INFO[p].STATE < kStateParallelMode) {
        PI_ACT[p].HST /= 2;
        PI_ACT[p].HW /= 2;
    }
    PI_UPDATE[p] = 1;
}

void c331_manage::program_parallel(int p) {
    const PiHdmiInfo& t = PI_HDMI_INFO[p];
    PiPortInfo& info = PI_PORT_INFO[p];
    set_pict(c331_fd, t.datamode, p);
    set_sypol(c331_fd, 0, p);
    info.STATE = t.datamode == 0 ? kStateSingle : kStateParallelMode;
    info.IP = 0;
    if (!t.ip)
        return;
    // Interlaced: the record counts the lines of a field.
    if (t.Vtotal >= 560 && t.Vtotal <= 565)
        info.STATE = PI_FV[p] < kFieldRate1080iSplit ? kState1080i50 : kState1080i60;
    else if (t.Vtotal >= 266 && t.Vtotal <= 350)
        info.STATE = kState576i;
    else if (t.Vtotal >= 260 && t.Vtotal <= 265)
        info.STATE = kState480i;
    else
        return;
    info.IP = 1;
}

void c331_manage::program_vbo(int p) {
    const PiHdmiInfo& t = PI_HDMI_INFO[p];
    const int q = p - kParallelPorts;
    const int lanes = t.lane;
    rearm_vbo(q, lane_mask(lanes), PI_FPICLK[p] / std::max(lanes, 1), 0);
    set_VBOInput(c331_fd, q);
    const bool single = t.Hact <= kVboNarrow && PI_FPICLK[p] <= kVboSlowClock && lanes < 4;
    PI_PORT_INFO[p].STATE = single ? kStateSingle : kStateVboWide;
    PI_PORT_INFO[p].IP = 0;
}

void c331_manage::check_vbo_lock(int p) {
    const int q = p - kParallelPorts;
    const int lanes = PI_HDMI_INFO[p].lane;
    u32 fhm[kVboLanePairs];
    u32 fvm[kVboLanePairs];
    wr(c331reg::kRegUpdateHold, c331reg::kStatusLatch);
    for (int k = 0; k < kVboLanePairs; ++k) {
        fhm[k] = rd(at_address(c331reg::kVboFhm, 8 * q + 2 * k)) + 1;
        fvm[k] = rd(at_address(c331reg::kVboFvm, 0x0C * q + 3 * k)) + 1;
    }
    wr(c331reg::kRegUpdateHold, 0);
    bool bad = false;
    for (int k = 0; k < lane_pairs_checked(lanes); ++k)
        bad = bad || dead24(fvm[k]) || dead16(fhm[k]);
    if (!bad) {
        vbo_rearm_count[q] = 0;
        return;
    }
    advance_rearm_count(q);
    rearm_vbo(q, lane_mask(lanes), 0, 1);
}

void c331_manage::print_port_update(int p, const PortMeasure& before) {
    const PiPortInfo& info = PI_PORT_INFO[p];
    c331_log("PortInfo Updated.  port=%d  STATE=%d  IP=%d  HTOTAL=%4d  VTOTAL=%4d\n", p, info.STATE,
             info.IP, PI_HDMI_INFO[p].Htotal, PI_HDMI_INFO[p].Vtotal);
    c331_log("                   ACTHW=%4d  ACTVW=%4d  FV=%8.4f  FPICLK=%.4f\n", PI_ACT[p].HW,
             PI_ACT[p].VW, PI_FV[p], PI_FPICLK[p]);
    c331_log("check_input_port [old]                        HTOTAL=%4d  VTOTAL=%4d\n",
             static_cast<int>(before.htotal), static_cast<int>(before.vtotal));
    c331_log("                   FHW=%4d  FVM=%4d   ACTHW=%d  NOSIG=%d\n",
             static_cast<int>(before.fhw), static_cast<int>(before.fvm),
             static_cast<int>(before.acthw), 0);
    c331_log("PI_PORT_INFO.        port=%d                   HTOTAL=%4d  VTOTAL=%4d\n", p,
             info.HTOTAL, info.VTOTAL);
    c331_log("                   FHW=%4d  FVM=%4d   ACTHW=%d   NOSIG=%d\n", info.FHW, info.FVM,
             info.ACTHW, info.NOSIG);
}

// ---- window sources and crops

void c331_manage::c331_SetInputsource(int w, int source) {
    const int port = krxApi_inputCvtC331(source);
    if (w < 0 || w >= std::min(wincnt, kWindows)) {
        c331_log("    win:%d OOR, wincnt:%d\r\n", w, wincnt);
        return;
    }
    if (port == kNoPort) {
        c331_log("    input:%d OOR\r\n", source);
        return;
    }
    gWininfo[w].input = static_cast<u8>(source);
    pm.PM_INPUT[w] = port;
    g_chg_input[w] = 1;
    c331_log("[c331_SetInputsource] win_%d, port_%d\n", w, port);
    check_input_port(c331_fd);
    set_output(c331_fd);
    source_switched = 1;
}

void c331_manage::c331_SetCrop(int w, int enable, ST_RECT rect) {
    c331_log("[c331_SetCrop] win:%d, enable:%d, rect(%d,%d,%d,%d)\r\n", w, enable, rect.x, rect.y,
             rect.w, rect.h);
    if (w < 0 || w >= kWindows) {
        c331_log("  not found win:%d\r\n", w);
        return;
    }
    int* offset = pm.PM_INPUT_OFFSET[w];
    if (!enable) {
        pm.PM_INPUT_OFFSET_EN[w] = 0;
        std::fill(offset, offset + 4, 0);
    } else {
        const int port = pm.PM_INPUT[w];
        const bool real = port >= 0 && port < kPorts;
        const int width = real ? active_width(port) : 0;
        const int height = real ? PI_ACT[port].VW : 0;
        if (rect.x + rect.w > width) {
            c331_log("    x:%d + w:%d OOR, reset it to C331input\r\n", rect.x, rect.w);
            rect.x = 0;
            rect.w = width;
        }
        if (rect.y + rect.h > height) {
            c331_log("    y:%d + h:%d OOR, reset it to C331input\r\n", rect.y, rect.h);
            rect.y = 0;
            rect.h = height;
        }
        pm.PM_INPUT_OFFSET_EN[w] = 1;
        for (int side = 0; side < 4; ++side)
            offset[side] = krxApi_CropGetOffset(port, rect, side);
        c331_log("\t PM_OFFSET(%d,%d,%d,%d)\r\n", offset[0], offset[1], offset[2], offset[3]);
    }
    set_output(c331_fd);
    c331_log("[c331_SetCrop] set_output(0,%d);\n", w);
}

int c331_manage::krxApi_CropGetOffset(int port, ST_RECT rect, int side) {
    if (port < 0 || port >= kPorts)
        return 0;
    const _ImageWindowDef_st& act = PI_ACT[port];
    if (act.HW == 0 || act.VW == 0) {
        c331_log("\t no signal, return 0\n");
        return 0;
    }
    const int hw = active_width(port);
    c331_log("\t PI_ACT[%d](%d, %d, %d, %d), hw:%d\n", port, act.HST, act.HW, act.VST, act.VW, hw);
    int offset;
    switch (side) {
        case 0:
            offset = rect.x;
            break;
        case 1:
            offset = hw - (rect.x + rect.w);
            break;
        case 2:
            offset = rect.y;
            break;
        case 3:
            offset = act.VW - (rect.y + rect.h);
            break;
        default:
            return 0;
    }
    if (offset < 0) {
        c331_log("[krxApi_CropGetOffset] offset:%d < 0, reset to zeruo\n", offset);
        offset = 0;
    }
    return offset;
}

// The crop offsets of the windows on a port that was set up again, from their crop
// entries as the last apply left them.
void c331_manage::krxApi_updateCrop(int port) {
    c331_log("[krxApi_updateCrop]  input_num:%d\n", port);
    for (int w = 0; w < kWindows; ++w) {
        if (pm.PM_INPUT[w] != port)
            continue;
        c331_log("\t win:%d, cropEn:%d, wincnt:%d\n", w, pm.PM_INPUT_OFFSET_EN[w], wincnt);
        const int index = gWininfo[w].crop;
        if (!pm.PM_INPUT_OFFSET_EN[w] || w >= wincnt || index >= para::crop_count)
            continue;
        const size_t at = para::crop_at(index);
        const ST_RECT rect{applied.u16At(at + 2), applied.u16At(at + 4), applied.u16At(at + 6),
                           applied.u16At(at + 8)};
        int* offset = pm.PM_INPUT_OFFSET[w];
        for (int side = 0; side < 4; ++side)
            offset[side] = krxApi_CropGetOffset(port, rect, side);
        c331_log(
            "[krxApi_updateCrop] win:%d, port:%d, cropWin:(%d,%d,%d,%d), "
            "PM_INPUT_OFFSET(%d,%d,%d,%d)\n",
            w, port, rect.x, rect.y, rect.w, rect.h, offset[0], offset[1], offset[2], offset[3]);
    }
}

int c331_manage::krxApi_OchGetWinOffset1(const ST_WIN_INFO* win, int side) {
    if (!win)
        return 0;
    const int cw = pnl.och.width;
    const int ch = pnl.och.height;
    switch (side) {
        case 0:
            if (cw == 0) {
                c331_log("\t !!!!!!!! po->width left Error");
                return cw;
            }
            return win->x % cw;
        case 1:
            if (cw == 0) {
                c331_log("\t !!!!!!!! po->width right Error");
                return cw;
            }
            return cw * win->och_hcnt - (win->x % cw + win->w);
        case 2:
            if (ch == 0) {
                c331_log("\t !!!!!!!! po->height up Error");
                return 0;
            }
            return win->y % ch;
        case 3:
            if (ch == 0) {
                c331_log("\t !!!!!!!! po->height down Error");
                return 0;
            }
            return ch * win->och_vcnt - (win->y % ch + win->h);
        default:
            c331_log("\t not found type:%d\r\n", side);
            return 0;
    }
}

void c331_manage::krxApi_forceColorDisable(int) {
    // Set to 2, not 1: the apply cycle calls this once each time something clears it.
    g_force_bkcolor = 2;
    c331_log("[krxApi_forceColorDisable]");
    for (int c = 0; c < kOutputChannels; ++c)
        wr(c331reg::kBackgroundColour, 0, kBanks * c);
    for (int w = 0; w < std::min(wincnt, kWindows); ++w) {
        // The background stands in for a window whose port brings no picture, as everywhere
        // else this register is written.
        const int port = pm.PM_INPUT[w];
        const u32 e = port < 0 || port >= kPorts || PI_PORT_INFO[port].STATE == kStateNone;
        const ST_WIN_INFO& win = gWininfo[w];
        const int channels = std::min(win.och_hcnt * win.och_vcnt, kOutputChannels);
        c331_log("\t win_%d, oimgct:%d,och:\t", w, channels);
        for (int k = 0; k < channels; ++k) {
            const int c = win.ochLst[k];
            if (c >= kOutputChannels)
                continue;
            wr(c331reg::kBackgroundEnable, e, kBanks * c);
            c331_log("%d ", c);
        }
        c331_log("\n");
    }
}
