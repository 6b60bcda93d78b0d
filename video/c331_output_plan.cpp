// Input and output windows of a slot, their split over output channels, the scale between
// them, the two sides' register values, and the freeze and fade arithmetic (see
// c331_window_plan.h).
//
// The frame memory is addressed in units; a stored pixel takes u/d units by the write mode
// and a stored line `pitch` x 1024 units. A slot's picture is stored where the whole
// source, shrunk, would lie: the window's first stored pixel sits at the read start of its
// crop, so the input side writes and the output side reads the same addresses.
#include <algorithm>
#include <cmath>

#include "video/c331_window_plan.h"

namespace c331plan {

namespace {

constexpr int kOne = 65536;  // ratio 1:1
constexpr int kMinRead = 16;
constexpr int kMargin = 4;  // lead and trail pixels (lines) of a zoomed split
constexpr int kZoomLead = 5;
constexpr u32 kZoomControl = 0xC7;
constexpr u32 kIdleZoomControl = 0x47;
constexpr u32 kVerticalZoomControl = 3;
constexpr int kSmallColumnStart = 10;
constexpr int kSmallRowStart = 3;
constexpr int kCaptureLead = 7;  // the capture starts this many pixels after its register
constexpr int kMirrorPitch = 256;

_ImageWindowDef_st sum_of(const PortArea* ports, std::initializer_list<int> across,
                          std::initializer_list<int> down) {
    _ImageWindowDef_st w{};
    for (int p : across)
        w.HW += ports[p].dbd.HW;
    for (int p : down)
        w.VW += ports[p].dbd.VW;
    return w;
}

long long floor_shift16(long long v) {
    return v >= 0 ? v >> 16 : -((-v + 0xFFFF) >> 16);
}

}  // namespace

_ImageWindowDef_st calc_iwin(const IwinInput& in) {
    _ImageWindowDef_st iwin{};
    if (in.hcnt == 0 || in.vcnt == 0 || in.port < 0 || in.port >= kPorts)
        return iwin;
    const PortArea& port = in.ports[in.port];
    if (port.act.HW == 0 || port.act.VW == 0)
        return iwin;
    const bool lowIch = in.firstIch >= 0 && in.firstIch <= 3;
    const PortArea* A = in.ports;
    switch (in.dbdMode) {
        case 0:
            break;
        case 1:
            iwin.HW = port.dbd.HW;
            iwin.VW = port.dbd.VW * (port.interlaced && lowIch ? 2 : 1);
            return iwin;
        case 20:
            return sum_of(A, {0, 1}, {0});
        case 21:
            return sum_of(A, {0}, {0, 1});
        case 22:
            return sum_of(A, {2, 3}, {2});
        case 23:
            return sum_of(A, {2}, {2, 3});
        case 30:
            return sum_of(A, {0, 1, 2}, {0});
        case 40:
            return sum_of(A, {0, 1, 2, 3}, {0});
        case 41:
            return sum_of(A, {0, 1}, {0, 2});
        case 50:
            return sum_of(A, {4, 5}, {4});
        case 51:
            return sum_of(A, {4}, {4, 5});
        default:
            return iwin;
    }
    const int W = port.act.HW * (port.state == 1 ? 2 : 1);
    int H = port.act.VW;
    if (in.cropEnabled) {
        const int left = in.crop[0], right = in.crop[1], top = in.crop[2], bottom = in.crop[3];
        iwin.HST = left < W ? left : 0;
        iwin.HW = W - left - right < 1 ? W : W - left - right;
        if (port.interlaced)
            H *= 2;
        iwin.VST = top < H ? top : 0;
        iwin.VW = H - top - bottom < 1 ? H : H - top - bottom;
        return iwin;
    }
    iwin.HW = W;
    iwin.VW = H * (port.interlaced && lowIch ? 2 : 1);
    return iwin;
}

_ImageWindowDef_st calc_owin(const OwinInput& in, _ImageWindowDef_st& iwin) {
    _ImageWindowDef_st owin{};
    owin.HW = in.hcnt ? in.ochW * in.hcnt : 0;
    owin.VW = in.vcnt ? in.ochH * in.vcnt : 0;
    owin.HST += in.offset[0];
    owin.HW -= in.offset[0] + in.offset[1];
    owin.VST += in.offset[2];
    owin.VW -= in.offset[2] + in.offset[3];
    if (in.dbdMode == 0) {
        owin.HW = std::max(owin.HW, 0);
        owin.VW = std::max(owin.VW, 0);
        return owin;
    }
    if (!in.stitched) {
        iwin.HW = owin.HW = std::min(iwin.HW, owin.HW);
        iwin.VW = owin.VW = std::min(iwin.VW, owin.VW);
        return owin;
    }
    iwin.HW = std::min(iwin.HW, owin.HW);
    iwin.VW = std::min(iwin.VW, owin.VW);
    if (iwin.HW < 1)
        owin.HW = iwin.HW;
    if (iwin.VW < 1)
        owin.VW = iwin.VW;
    return owin;
}

namespace {

// One direction of calc_oact: start and size of the window inside cell i of size U.
void split_cell(int start, int size, int i, int U, int& cellStart, int& cellSize) {
    const int rel = start - i * U;
    const bool endsLater = i * U + U - 1 < start + size;
    if (rel >= U) {
        cellStart = cellSize = 0;
    } else if (rel < 0) {
        cellStart = 0;
        cellSize = endsLater ? U : std::max(start + size - i * U, 0);
    } else {
        cellStart = rel;
        cellSize = endsLater ? U - rel : size;
    }
}

}  // namespace

void calc_oact(const _ImageWindowDef_st& owin, OutputArea out[kOutputChannels], int ochW, int ochH,
               int hcnt, int vcnt) {
    std::fill(out, out + kOutputChannels, OutputArea{});
    hcnt = std::clamp(hcnt, 0, kOutputChannels);
    vcnt = std::clamp(vcnt, 0, kOutputChannels);
    int first = -1, last = -1;
    for (int i = 0; i < hcnt; ++i) {
        split_cell(owin.HST, owin.HW, i, ochW, out[i].HST, out[i].HW);
        if (out[i].HW != 0) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    if (first >= 0) {
        out[first].h_first = 1;
        out[last].h_last = 1;
    }
    first = last = -1;
    for (int i = 0; i < vcnt; ++i) {
        split_cell(owin.VST, owin.VW, i, ochH, out[i].VST, out[i].VW);
        if (out[i].VW != 0) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    if (first >= 0) {
        out[first].v_first = 1;
        out[last].v_last = 1;
    }
}

int ratio(int from, int to) {
    if (from <= 1)
        return 0;
    return static_cast<int>((static_cast<long long>(to - 1) * kOne) / (from - 1) + 1);
}

int input_shrink(int in, int out) {
    return out > 0 && out < in ? ratio(in, out) : kOne;
}

int shrunk_size(int n, int shrink) {
    if (shrink >= kOne || shrink <= 0 || n <= 1)
        return n;
    const long long kept = static_cast<long long>(n - 1) * (shrink - 1);
    return static_cast<int>((kept + kOne - 1) / kOne) + 1;
}

Scaling calc_scaling(const _ImageWindowDef_st& iwin, const _ImageWindowDef_st& owin) {
    Scaling s{};
    auto one = [](int in, int out, int& mode, int& shrink, int& zoom) {
        mode = shrink = zoom = 0;
        if (in <= 0 || out <= 0 || in == out)
            return;
        if (out < in) {
            mode = 1;
            shrink = ratio(in, out);
        } else {
            mode = 2;
            zoom = ratio(out, in);
        }
    };
    one(iwin.HW, owin.HW, s.h_mode, s.h_shrink, s.h_zoom);
    one(iwin.VW, owin.VW, s.v_mode, s.v_shrink, s.v_zoom);
    return s;
}

MemoryUnits memory_units(int writeMode) {
    switch (writeMode) {
        case 1:
            return {16, 5};
        case 2:
            return {8, 3};
        case 3:
            return {2, 1};
        default:
            return {4, 1};
    }
}

ReadStart read_start(const _ImageWindowDef_st& iwin, const Scaling& s, MemoryUnits m, long long P) {
    ReadStart r;
    if (s.h_mode == 1)
        r.h =
            (floor_shift16(static_cast<long long>(s.h_shrink) * (iwin.HST - 1)) * m.u + m.u) / m.d;
    else
        r.h = static_cast<long long>(iwin.HST) * m.u / m.d;
    if (s.v_mode == 1)
        r.v = floor_shift16(static_cast<long long>(s.v_shrink) * (iwin.VST - 1)) * P + P;
    else
        r.v = static_cast<long long>(iwin.VST) * P;
    return r;
}

namespace {

// How one column (row) of an output area reads its part of the stored picture.
struct SplitRead {
    long long offset = 0;  // memory units
    int size = 0;          // pixels (lines) read
    u32 control = 0;
    u32 phase = 0;
};

// The source position of output position x at zoom ratio z.
long long zoom_position(long long z, long long x) {
    const long long product = z * x;
    return (product >> 16) + ((product & 0xFFFF) >= z ? 1 : 0);
}

struct SplitInput {
    const OutputArea* areas;
    int count;
    bool horizontal;
    int zoom;   // 0: no zoom
    int total;  // owin size
    bool mirror;
    long long unitU, unitD;  // memory units of one pixel (line) as u / d
};

int area_size(const SplitInput& in, int i) {
    return in.horizontal ? in.areas[i].HW : in.areas[i].VW;
}
bool area_first(const SplitInput& in, int i) {
    return in.horizontal ? in.areas[i].h_first : in.areas[i].v_first;
}
bool area_last(const SplitInput& in, int i) {
    return in.horizontal ? in.areas[i].h_last : in.areas[i].v_last;
}

SplitRead zoomed(const SplitInput& in, int i, long long before) {
    SplitRead r;
    const int size = area_size(in, i);
    if (size == 0) {
        r.control = in.horizontal ? kIdleZoomControl : 0;
        return r;
    }
    const long long z = in.zoom;
    long long s = 0, lead = 0, p = 0, k = 0;
    if (!area_first(in, i)) {
        s = zoom_position(z, before);
        if (s < kZoomLead) {
            lead = s;
        } else {
            k = s - kMargin;
            lead = kMargin;
            p = (z + k * kOne - 1) / z;
        }
    }
    r.offset = in.unitU * k / in.unitD;
    const long long e = zoom_position(z, before + size);
    const long long trail = area_last(in, i) ? 0 : std::min<long long>(e, kMargin);
    const long long end = e + trail;
    if (in.mirror) {
        const long long L = zoom_position(z, in.total);
        r.offset = in.unitU * std::max<long long>(L - end, 0) / in.unitD;
    }
    r.size = static_cast<int>(std::max<long long>(e - s + lead + trail, kMinRead));
    r.control = in.horizontal ? kZoomControl : kVerticalZoomControl;
    r.phase = static_cast<u32>(std::lround(static_cast<double>((p * z) & 0xFFFF) / 256.0));
    return r;
}

SplitRead plain(const SplitInput& in, int i, long long before) {
    SplitRead r;
    const int size = area_size(in, i);
    r.offset = in.unitU * before / in.unitD;
    if (in.mirror)
        r.offset = in.unitU * std::max<long long>(in.total - (size + before), 0) / in.unitD;
    r.size = std::max(size, kMinRead);
    return r;
}

std::vector<SplitRead> split(const SplitInput& in) {
    std::vector<SplitRead> out;
    long long before = 0;
    for (int i = 0; i < in.count; ++i) {
        out.push_back(in.zoom ? zoomed(in, i, before) : plain(in, i, before));
        before += area_size(in, i);
    }
    return out;
}

}  // namespace

std::vector<ChannelProgramme> plan_output_side(const OutputSideInput& in) {
    std::vector<ChannelProgramme> out;
    const int hcnt = std::clamp(in.hcnt, 0, kOutputChannels);
    const int vcnt = std::clamp(in.vcnt, 0, kOutputChannels);
    if (hcnt == 0 || vcnt == 0)
        return out;
    const MemoryUnits m = memory_units(in.writeMode);
    const long long P = static_cast<long long>(in.pitch) * 1024;
    OutputArea areas[kOutputChannels];
    calc_oact(in.owin, areas, in.ochW, in.ochH, hcnt, vcnt);
    const Scaling sc = calc_scaling(in.iwin, in.owin);
    const ReadStart rs = read_start(in.iwin, sc, m, P);
    const std::vector<SplitRead> cols = split(
        {areas, hcnt, true, sc.h_mode == 2 ? sc.h_zoom : 0, in.owin.HW, in.hMirror != 0, m.u, m.d});
    // Rows split as the columns do: mirrored top to bottom, the upper row reads the lower
    // part of the picture.
    const std::vector<SplitRead> rows = split(
        {areas, vcnt, false, sc.v_mode == 2 ? sc.v_zoom : 0, in.owin.VW, in.vMirror != 0, P, 1});
    bool smallColumn = false, smallRow = false;
    for (int c = 0; c < hcnt; ++c)
        smallColumn = smallColumn || (areas[c].HW != 0 && areas[c].HST < kSmallColumnStart);
    for (int r = 0; r < vcnt; ++r)
        smallRow = smallRow || (areas[r].VW != 0 && areas[r].VST < kSmallRowStart);
    const long long correction = in.noVzoom ? (in.vMirror ? P : -P) : 0;
    const int firstOch = in.och[0];
    for (int k = 0; k < hcnt * vcnt; ++k) {
        const int och = in.och[k];
        if (och < 0 || och >= kOutputChannels)
            continue;
        const int r = k / hcnt, c = k % hcnt;
        const OutputArea& col = areas[c];
        const OutputArea& row = areas[r];
        ChannelProgramme p;
        p.och = och;
        p.control =
            (och == 0 ? 1u : 0x11u) + (k == 0 ? static_cast<u32>(in.firstIch) << 8
                                              : (static_cast<u32>(firstOch) << 8) | 0x1000u);
        for (int b = 0; b < 5; ++b)
            p.readStart[b] = static_cast<u32>(static_cast<long long>(in.bases[b]) + cols[c].offset +
                                              rows[r].offset + rs.h + rs.v + correction);
        p.pitch = static_cast<u32>(in.vMirror ? kMirrorPitch - in.pitch : in.pitch);
        p.hStart = static_cast<u32>(col.HST + in.hOffset);
        p.vStart = static_cast<u32>(row.VST + in.vOffset);
        p.hSize = smallColumn ? 0 : static_cast<u32>(cols[c].size);
        p.vSize = smallRow ? 0 : static_cast<u32>(rows[r].size);
        p.hMirror = in.hMirror ? 1 : 0;
        p.hEnd = static_cast<u32>(col.HST + col.HW + in.hOffset2);
        p.vEnd = static_cast<u32>(row.VST + row.VW + in.vOffset2);
        p.hZoomCtl = cols[c].control;
        p.hPhase = cols[c].phase;
        p.hZoom = sc.h_mode == 2 ? static_cast<u32>(sc.h_zoom) : 0;
        p.vZoomCtl = rows[r].control;
        p.vPhase = rows[r].phase;
        p.vZoom = sc.v_mode == 2 ? static_cast<u32>(sc.v_zoom) : 0;
        p.vZoomTable = sc.v_mode == 2;
        out.push_back(p);
    }
    return out;
}

std::vector<CaptureProgramme> plan_input_side(const InputSideInput& in) {
    std::vector<CaptureProgramme> out;
    int n = 0;
    while (n < kInputChannels && in.ichs[n] >= 0)
        ++n;
    if (n == 0)
        return out;
    const MemoryUnits m = memory_units(in.writeMode);
    const long long P = static_cast<long long>(in.pitch) * 1024;
    const int hs = input_shrink(in.iwin.HW, in.owin.HW);
    const int vs = input_shrink(in.iwin.VW, in.owin.VW);
    const ReadStart rs = read_start(in.iwin, calc_scaling(in.iwin, in.owin), m, P);
    const bool fields = in.port.interlaced && in.ichs[0] <= 3;
    int width = in.iwin.HW;
    if (in.port.state == 3)
        width /= 2;  // the port brings two pixels a clock
    const int hst = in.port.act.HST + in.iwin.HST - kCaptureLead;
    const int vst = in.port.act.VST + (fields ? in.iwin.VST / 2 : in.iwin.VST) + 1;
    const int height = fields ? in.iwin.VW / 2 : in.iwin.VW;
    // A pair captures the two halves side by side, each shrunk to its half of the output,
    // so that the stored halves join into exactly the output's width.
    const int parts = std::min(n, 2);
    const int firstPart = parts == 2 ? width / 2 : width;
    const int firstOut = parts == 2 ? in.owin.HW / 2 : in.owin.HW;
    long long offset = 0;
    for (int i = 0; i < parts; ++i) {
        CaptureProgramme c;
        c.ich = in.ichs[i];
        c.control = i == 0 ? 1u : static_cast<u32>(in.ichs[0] + 8);
        c.hStart = static_cast<u32>(hst + (i == 0 ? 0 : firstPart));
        c.width = static_cast<u32>(i == 0 ? firstPart : width - firstPart);
        const int share = i == 0 ? firstOut : in.owin.HW - firstOut;
        const int shrink = parts == 2 ? input_shrink(static_cast<int>(c.width), share) : hs;
        c.vStart = static_cast<u32>(vst);
        c.height = static_cast<u32>(height);
        c.hShrink = static_cast<u32>(shrink);
        c.vShrink = static_cast<u32>(vs);
        for (int b = 0; b < 5; ++b)
            c.base[b] =
                static_cast<u32>(static_cast<long long>(in.bases[b]) + rs.h + rs.v + offset);
        offset +=
            static_cast<long long>(m.u) * shrunk_size(static_cast<int>(c.width), shrink) / m.d;
        out.push_back(c);
    }
    return out;
}

// ---- freeze and fades

u32 memory_control_word(const int r[5]) {
    return static_cast<u32>(((r[1] & 7) << 4 | (r[0] & 7)) + (r[2] & 7) * 0x100 +
                            (r[3] & 7) * 0x1000 + (r[4] & 7) * 0x10000);
}

u32 output_control_word(const int r[5]) {
    return static_cast<u32>(((r[0] & 7) << 4 | (r[3] & 7)) + (r[1] & 7) * 0x100 +
                            (r[2] & 7) * 0x1000);
}

u32 frozen_output_word(const int r[5]) {
    return static_cast<u32>((r[4] & 7) * 0x1111);
}

std::vector<FadeStep> fade_steps(int steps, int dir) {
    std::vector<FadeStep> out;
    if (steps < 0)
        return out;
    steps = std::min(steps, kMaxFadeSteps);
    for (int i = 0; i <= steps; ++i) {
        const int a = steps ? (i * 128) / steps : 128;
        out.push_back(dir ? FadeStep{a, 128 - a} : FadeStep{128 - a, a});
    }
    return out;
}

void default_coefficients(int s, int e, u8 out[5]) {
    std::fill(out, out + 5, 0);
    if (s == 0) {
        out[0] = static_cast<u8>(e);
        return;
    }
    int top = 3;
    while (top > 0 && !(s & (1 << top)))
        --top;
    out[top + 1] = static_cast<u8>(e);
}

}  // namespace c331plan
