// Input processing: the four input processors (de-interlacing, motion, diagonal and comb
// filters, five kinds of noise reduction) programmed from the port's timing and filter
// levels, the scaler's kernel tables and the linking of a window's input channels.
//
// The window pass calls these for every window it sets up; the filters are plain set-up
// registers, so only what differs from what the chip holds goes out (wr_changed).
#include <algorithm>

#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;
constexpr int kProcessors = 4;
constexpr int kValidState = 3;  // states above it are a measured signal

// ---- block NR, bank 0x15

struct BlockLevel {
    u16 control;  // 0x39 (2)
    u8 b3b;
    u8 b40_44[5];
};
constexpr BlockLevel kBlockLevels[3] = {{8855, 144, {32, 132, 65, 6, 16}},
                                        {8855, 160, {16, 66, 51, 4, 16}},
                                        {3223, 176, {16, 66, 51, 4, 6}}};
struct BlockMember {
    const char* name;
    int height;  // active lines of the port that select it
    u8 mode;     // 0x08
    u16 g1a, g2a, g1b, g2b;
    u8 last;  // 0x6A
};
constexpr BlockMember kBlockMembers[] = {
    {"set_nr_b_480i", 240, 0, 64, 16, 64, 16, 8},
    {"set_nr_b_480p", 480, 3, 64, 16, 128, 32, 6},
    {"set_nr_b_1080i", 540, 0, 384, 96, 384, 96, 48},
    {"set_nr_b_720p", 720, 3, 171, 43, 342, 86, 16},
    {"set_nr_b_1080p", 1080, 3, 384, 96, 768, 192, 36},
};
enum BlockMemberIndex { k480i, k480p, k1080i, k720p, k1080p };

// ---- temporal NR, bank 0x12: 0x0D..0x13 by level
constexpr u8 kTemporal[3][7] = {
    {18, 20, 24, 27, 28, 29, 30}, {17, 18, 20, 22, 24, 26, 28}, {0, 8, 12, 16, 20, 24, 28}};
constexpr u8 kTemporalSteps[4] = {49, 117, 185, 253};

// ---- horizontal/vertical NR pairs by level 0..3
constexpr u8 kHvPairs[4][2] = {{0, 0}, {66, 150}, {117, 201}, {168, 252}};

// ---- mosquito NR, bank 0x15 0x10..0x26 by level
constexpr u8 kMosquito[3][23] = {
    {63,  63, 127, 127, 127, 127, 63, 63, 127, 127, 127, 127,
     252, 32, 213, 127, 24,  36,  0,  0,  0,   0,   0},
    {127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127,
     252, 63,  217, 255, 24,  0,   0,   0,   0,   0,   0},
    {127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127,
     252, 255, 217, 111, 0,   0,   0,   0,   0,   0,   0},
};
constexpr u8 kMosquitoHead[6] = {128, 56, 8, 128, 56, 8};

// ---- comb filter, bank 0x14 0x3B..0x3D by level
constexpr u8 kComb[4][3] = {{0, 0, 0}, {1, 16, 128}, {1, 20, 128}, {1, 112, 160}};

// ---- diagonal filter, bank 0x14 0x50..0x59 by level, then 0x5A..0x63
constexpr u8 kDiagonal[3][10] = {{9, 255, 119, 0, 4, 16, 3, 8, 10, 20},
                                 {11, 127, 119, 3, 4, 16, 1, 4, 10, 20},
                                 {11, 127, 119, 19, 9, 16, 3, 8, 10, 20}};

// ---- motion-vector thresholds by level 1..4: (0x1A, 0x1E, 0x1B, 0x1F), (0x1C, 0x20),
// (0x1D, 0x21)
constexpr u8 kMotion[4][3] = {{4, 8, 8}, {8, 8, 16}, {8, 16, 24}, {16, 24, 31}};

// ---- IP mode registers by PI_STATE 5..8: 0x2E, 0x2F, 0x31..0x34, 0x35..0x38, 0x39, 0x3A,
// and the group (A for 5, 6; B for 7, 8)
struct IpMode {
    u8 r2e, r2f, r31, r32, r33, r34;
    u8 r35[4];
    u8 r39, r3a;
    bool groupA;
};
constexpr IpMode kIpModes[4] = {
    {26, 16, 142, 6, 128, 192, {193, 193, 193, 0}, 193, 193, true},
    {26, 16, 142, 6, 128, 192, {0, 0, 0, 0}, 0, 0, true},
    {13, 3, 53, 2, 128, 40, {196, 196, 196, 196}, 194, 194, false},
    {13, 3, 69, 2, 128, 40, {0, 0, 0, 0}, 0, 0, false},
};
constexpr u8 kIpGroupA[9] = {68, 0, 3, 0, 0, 2, 15, 0, 0};  // 0x42..0x4A
constexpr u8 kIpGroupB[9] = {70, 0, 3, 0, 0, 0, 9, 0, 0};

// ---- scaler kernels, bank 0x00
constexpr u32 kKernelClass = reg(0x00, 0x79);
constexpr u32 kKernelLoad = reg(0x00, 0x7A);
constexpr u32 kZoomKernelClass = 46;
constexpr u32 kVShrinkKernel = reg(0x11, 0x68);  // 24 taps
constexpr int kKernelTaps = 24;

u32 at(u8 bank, int address, u8 count = 1) {
    return reg(bank, static_cast<u8>(address), count);
}

}  // namespace

// Rows 1 and 9 are the kernels this system brings; the chip keeps its own for 2..8.
const u8 c331_manage::lut[10][24] = {
    {},
    {0, 0, 0, 0, 0, 0, 0, 0, 15, 15, 15, 15, 15, 15, 16, 21, 16, 16, 16, 17, 18, 18, 17, 22},
    {},
    {},
    {},
    {},
    {},
    {},
    {},
    {0,    0,    0,    0, 0, 0,  0,  0,  0xFC, 0xF7, 0xF3, 0xF1,
     0xF1, 0xF4, 0xF9, 0, 9, 21, 35, 47, 57,   64,   66,   64},
};

// ---- the port of a processor

int c331_manage::ip_port(int ip) const {
    const int slot = ip >= 0 && ip < kInputChannels ? ich_owner[ip] : -1;
    return slot >= 0 && slot < kWindows ? pm.PM_INPUT[slot] : -1;
}

bool c331_manage::ip_signal(int p) const {
    return p >= 0 && p < kPorts && PI_PORT_INFO[p].STATE > kValidState;
}

bool c331_manage::ip_interlaced(int p) const {
    return p >= 0 && p < kPorts && PI_PORT_INFO[p].IP == 1;
}

// ---- input processor

void c331_manage::set_ip(int fd, int ip) {
    if (ip < 0 || ip >= kProcessors)
        return;
    const int p = ip_port(ip);
    const bool valid = p >= 0 && p < kPorts;
    const bool filtering = valid && (PM_HNR[p] || PM_VNR[p] || PM_TNR[p] || PM_BNR[p] || PM_MNR[p]);
    const bool active = (ip_signal(p) && filtering) || ip_interlaced(p);
    const int o = kBanks * ip;
    if (!active) {
        wr_changed(at(0x15, 0x70), 0, o);
        set_nr(fd, ip, p);
        set_ip_buffers(fd, ip, p);
        return;
    }
    set_ip_measure(fd, ip, p);
    set_mvflt(fd, ip, p);
    set_diag(fd, ip, p);
    set_ipregs(fd, ip, p);
    set_comb(fd, ip, p);
    set_nr(fd, ip, p);
    const bool interlaced = ip_interlaced(p);
    wr_changed(at(0x14, 0x2A), interlaced ? (PM_IP_FLAG[p][1] ? 0 : 32) : 16, o);
    wr_changed(at(0x14, 0x67), interlaced ? 8 : 0, o);
    wr_changed(at(0x14, 0x68), interlaced ? 4 : 0, o);
    set_ip_buffers(fd, ip, p);
}

// The processor's line and pixel totals as the chip measures them, and the port's active
// area in the processor's frame.
void c331_manage::set_ip_measure(int fd, int ip, int p) {
    wait1_pivs(fd, ip);
    wait1_pivs(fd, ip);
    const u8 status = static_cast<u8>(0xA8 + 6 * ip);
    wr(c331reg::kRegUpdateHold, c331reg::kStatusLatch);
    u32 lines = rd(at(status, 0x08, 2)) + 1;
    const u32 pixels = rd(at(status, 0x0A, 2));
    wr(c331reg::kRegUpdateHold, 0);
    const bool interlaced = ip_interlaced(p);
    if (interlaced)
        lines = (lines + 1) / 2;
    const int o = kBanks * ip;
    const int twice = interlaced ? 2 : 1;
    const _ImageWindowDef_st& act = PI_ACT[p];
    wr_changed(at(0x14, 0x08, 2), lines + 32, o);
    wr_changed(at(0x14, 0x0A, 2), (pixels + 16) * 2, o);
    wr_changed(at(0x14, 0x6D, 2), (((lines + 33) * 3 / 4) & 0x3FFF) | 0x8000, o);
    wr_changed(at(0x14, 0x0C), 1, o);
    wr_changed(at(0x14, 0x0F, 2), static_cast<u32>(act.HW), o);
    wr_changed(at(0x14, 0x13, 2), static_cast<u32>(act.VW * twice), o);
    wr_changed(at(0x14, 0x11, 2), static_cast<u32>(act.VST * twice) | 0x8000, o);
}

void c331_manage::set_ip_buffers(int, int ip, int p) {
    const int o = kBanks * ip;
    const u32* buf = PS_IP_BUF[ip];
    const bool interlaced = ip_interlaced(p);
    if (interlaced) {
        const u32 f = static_cast<u32>(PS_IP_FIELD_OFFSET[ip] & 31) << 10;
        const u32 i0 = buf[0], i1 = buf[1];
        const u32 values[8] = {f + i0, i0, f + i1, i1, f + i0, i0, f + i1, i1};
        const int addresses[8] = {0x18, 0x1C, 0x20, 0x24, 0x08, 0x0C, 0x10, 0x14};
        for (int k = 0; k < 8; ++k)
            wr_changed(at(0x17, addresses[k], 4), values[k], o);
        wr_changed(at(0x17, 0x59, 2), static_cast<u32>(PS_IP_WMODE[ip]), o);
    } else {
        const u32 p0 = buf[2], p1 = buf[3];
        for (int a : {0x18, 0x20, 0x08, 0x10})
            wr_changed(at(0x17, a, 4), p0, o);
        for (int a : {0x1C, 0x24, 0x0C, 0x14})
            wr_changed(at(0x17, a, 4), p1, o);
        wr_changed(at(0x17, 0x59, 2), 0, o);
    }
    wr_changed(at(0x16, 0x5B), interlaced ? 1 : 0, o);
}

// ---- noise reduction

void c331_manage::set_nr(int fd, int ip, int p) {
    const int o = kBanks * ip;
    if (!ip_signal(p)) {
        wr_changed(at(0x15, 0x39, 2), 0, o);
        wr_changed(at(0x12, 0x08), 0, o);
        wr_changed(at(0x15, 0x6B), 0, o);
        wr_changed(at(0x15, 0x09), 0, o);
        wr_changed(at(0x15, 0x08), 0, o);
        return;
    }
    set_nr_block(fd, ip, p);
    set_nr_tpx(fd, ip, p);
    set_nr_hvpx(fd, ip, p);
    set_nr_mosq(fd, ip, p);
    u32 mode = 0;
    if (ip_interlaced(p))
        mode = 0;  // the de-interlacer takes the fields as they come
    else if (PM_BNR[p])
        mode = 3;
    else if (PM_HNR[p] || PM_VNR[p] || PM_TNR[p] || PM_MNR[p])
        mode = 1;
    wr_changed(at(0x15, 0x08), mode, o);
}

void c331_manage::set_nr_block(int fd, int ip, int p) {
    if (p < 0 || p >= kPorts)
        return;
    if (PM_BNR[p] == 0) {
        wr_changed(at(0x15, 0x39, 2), 0, kBanks * ip);
        return;
    }
    const int height = PI_ACT[p].VW;
    for (const BlockMember& m : kBlockMembers) {
        if (m.height != height)
            continue;
        switch (&m - kBlockMembers) {
            case k480i:
                set_nr_b_480i(fd, ip, p);
                break;
            case k480p:
                set_nr_b_480p(fd, ip, p);
                break;
            case k1080i:
                set_nr_b_1080i(fd, ip, p);
                break;
            case k720p:
                set_nr_b_720p(fd, ip, p);
                break;
            default:
                set_nr_b_1080p(fd, ip, p);
                break;
        }
        return;
    }
    c331_log("[set_nr_block] port_%d, %d lines: no block NR\n", p, height);
}

void c331_manage::set_nr_b_480i(int fd, int ip, int p) {
    set_nr_b(fd, ip, p, k480i);
}
void c331_manage::set_nr_b_480p(int fd, int ip, int p) {
    set_nr_b(fd, ip, p, k480p);
}
void c331_manage::set_nr_b_1080i(int fd, int ip, int p) {
    set_nr_b(fd, ip, p, k1080i);
}
void c331_manage::set_nr_b_720p(int fd, int ip, int p) {
    set_nr_b(fd, ip, p, k720p);
}
void c331_manage::set_nr_b_1080p(int fd, int ip, int p) {
    set_nr_b(fd, ip, p, k1080p);
}

void c331_manage::set_nr_b(int, int ip, int p, int member) {
    if (p < 0 || p >= kPorts || PM_BNR[p] < 1 || PM_BNR[p] > 3)
        return;
    const BlockMember& m = kBlockMembers[member];
    const BlockLevel& l = kBlockLevels[PM_BNR[p] - 1];
    const int o = kBanks * ip;
    c331_log("[%s] ip_%d, level %d\n", m.name, ip, PM_BNR[p]);
    wr_changed(at(0x15, 0x08), m.mode, o);
    wr_changed(at(0x15, 0x39, 2), l.control, o);
    wr_changed(at(0x15, 0x3B), l.b3b, o);
    const u8 thresholds[4] = {64, 80, 96, 128};
    for (int k = 0; k < 4; ++k)
        wr_changed(at(0x15, 0x3C + k), thresholds[k], o);
    for (int k = 0; k < 5; ++k)
        wr_changed(at(0x15, 0x40 + k), l.b40_44[k], o);
    const u8 common[5] = {64, 0, 0, 6, 4};  // 0x45..0x49
    for (int k = 0; k < 5; ++k)
        wr_changed(at(0x15, 0x45 + k), common[k], o);
    const u16 sizes[2][2] = {{m.g1a, m.g2a}, {m.g1b, m.g2b}};
    for (int g = 0; g < 2; ++g) {
        const int base = g == 0 ? 0x4A : 0x51;
        wr_changed(at(0x15, base), 64, o);
        wr_changed(at(0x15, base + 1), 18, o);
        wr_changed(at(0x15, base + 2), 16, o);
        wr_changed(at(0x15, base + 3, 2), sizes[g][0], o);
        wr_changed(at(0x15, base + 5, 2), sizes[g][1], o);
    }
    for (int a = 0x58; a <= 0x5B; ++a)
        wr_changed(at(0x15, a), 0, o);
    for (int a = 0x5C; a <= 0x62; a += 2)
        wr_changed(at(0x15, a, 2), 0, o);
    wr_changed(at(0x15, 0x64), 18, o);
    wr_changed(at(0x15, 0x65), 0, o);
    wr_changed(at(0x15, 0x66), 0, o);
    wr_changed(at(0x15, 0x67, 2), 0, o);
    wr_changed(at(0x15, 0x69), 8, o);
    wr_changed(at(0x15, 0x6A), m.last, o);
}

void c331_manage::set_nr_tpx(int, int ip, int p) {
    const int o = kBanks * ip;
    const int level = p >= 0 && p < kPorts ? PM_TNR[p] : 0;
    if (level < 1 || level > 3) {
        wr_changed(at(0x12, 0x08), 0, o);
        return;
    }
    wr_changed(at(0x12, 0x08), 3, o);
    for (int k = 0; k < 4; ++k)
        wr_changed(at(0x12, 0x09 + k), kTemporalSteps[k], o);
    for (int k = 0; k < 7; ++k)
        wr_changed(at(0x12, 0x0D + k), kTemporal[level - 1][k], o);
    wr_changed(at(0x12, 0x14), 31, o);
}

void c331_manage::set_nr_hvpx(int, int ip, int p) {
    const int o = kBanks * ip;
    auto level = [](int v) { return v >= 0 && v <= 3 ? v : 0; };
    const int h = p >= 0 && p < kPorts ? level(PM_HNR[p]) : 0;
    const int v = p >= 0 && p < kPorts ? level(PM_VNR[p]) : 0;
    wr_changed(at(0x15, 0x6B), (v ? 16u : 0u) + (h ? 1u : 0u), o);
    wr_changed(at(0x15, 0x6E), kHvPairs[h][0], o);
    wr_changed(at(0x15, 0x6F), kHvPairs[h][1], o);
    wr_changed(at(0x15, 0x6C), kHvPairs[v][0], o);
    wr_changed(at(0x15, 0x6D), kHvPairs[v][1], o);
}

void c331_manage::set_nr_mosq(int, int ip, int p) {
    const int o = kBanks * ip;
    const int level = p >= 0 && p < kPorts ? PM_MNR[p] : 0;
    if (level < 1 || level > 3) {
        wr_changed(at(0x15, 0x09), 0, o);
        return;
    }
    wr_changed(at(0x15, 0x09), 1, o);
    for (int k = 0; k < 6; ++k)
        wr_changed(at(0x15, 0x0A + k), kMosquitoHead[k], o);
    for (int k = 0; k < 23; ++k)
        wr_changed(at(0x15, 0x10 + k), kMosquito[level - 1][k], o);
}

// ---- filters of the de-interlacer

void c331_manage::set_comb(int, int ip, int p) {
    const int o = kBanks * ip;
    const int level = ip_signal(p) && PM_COMB[p] >= 0 && PM_COMB[p] <= 3 ? PM_COMB[p] : 0;
    if (level == 0) {
        wr_changed(at(0x14, 0x3B), 0, o);
        return;
    }
    for (int k = 0; k < 3; ++k)
        wr_changed(at(0x14, 0x3B + k), kComb[level][k], o);
}

void c331_manage::set_diag(int, int ip, int p) {
    const int o = kBanks * ip;
    const int level = ip_signal(p) && PM_DIAG[p] >= 0 && PM_DIAG[p] <= 3 ? PM_DIAG[p] : 0;
    if (level == 0) {
        for (int a = 0x50; a <= 0x5F; ++a)
            wr_changed(at(0x14, a), 0, o);
        return;
    }
    for (int k = 0; k < 10; ++k)
        wr_changed(at(0x14, 0x50 + k), kDiagonal[level - 1][k], o);
    const u8 tail[10] = {4, 4, 2, 2, 16, static_cast<u8>(level == 3 ? 49 : 50), 0, 0, 0, 0};
    for (int k = 0; k < 10; ++k)
        wr_changed(at(0x14, 0x5A + k), tail[k], o);
}

void c331_manage::set_mvflt(int, int ip, int p) {
    const int o = kBanks * ip;
    const int level = ip_signal(p) && PM_MVFLT[p] >= 0 && PM_MVFLT[p] <= 4 ? PM_MVFLT[p] : 0;
    if (!ip_signal(p)) {
        wr_changed(at(0x14, 0x15), 0, o);
        for (int a = 0x1A; a <= 0x21; ++a)
            wr_changed(at(0x14, a), 0, o);
        return;
    }
    wr_changed(at(0x14, 0x15), level ? 31 : 0, o);
    if (!level)
        return;
    const u8* t = kMotion[level - 1];
    for (int a : {0x1A, 0x1E, 0x1B, 0x1F})
        wr_changed(at(0x14, a), t[0], o);
    for (int a : {0x1C, 0x20})
        wr_changed(at(0x14, a), t[1], o);
    for (int a : {0x1D, 0x21})
        wr_changed(at(0x14, a), t[2], o);
}

void c331_manage::set_ipregs(int, int ip, int p) {
    if (p < 0 || p >= kPorts)
        return;
    const int state = PI_PORT_INFO[p].STATE;
    if (state < 5 || state > 8)
        return;
    const IpMode& m = kIpModes[state - 5];
    const int o = kBanks * ip;
    wr_changed(at(0x14, 0x2E), m.r2e, o);
    wr_changed(at(0x14, 0x2F), m.r2f, o);
    wr_changed(at(0x14, 0x31), m.r31, o);
    wr_changed(at(0x14, 0x32), m.r32, o);
    wr_changed(at(0x14, 0x33), m.r33, o);
    wr_changed(at(0x14, 0x34), m.r34, o);
    for (int k = 0; k < 4; ++k)
        wr_changed(at(0x14, 0x35 + k), m.r35[k], o);
    wr_changed(at(0x14, 0x39), m.r39, o);
    wr_changed(at(0x14, 0x3A), m.r3a, o);
    const u8* group = m.groupA ? kIpGroupA : kIpGroupB;
    for (int k = 0; k < 9; ++k)
        wr_changed(at(0x14, 0x42 + k), group[k], o);
    const int* flag = PM_IP_FLAG[p];
    const u32 r2c = 50 + (m.groupA ? 1 : 0) + (flag[0] ? 64 : 0) + (flag[1] ? 128 : 0);
    wr_changed(at(0x14, 0x2C), r2c, o);
    wr_changed(at(0x14, 0x2D), flag[2] ? 25 : 9, o);
    const int* value = PM_IP_VALUE[p];
    wr_changed(at(0x14, 0x30), static_cast<u32>((value[0] << 4) | value[1]) & 0xFF, o);
}

// ---- scaler kernels

int c331_manage::shrink_class(int r) {
    if (r < 1)
        return 44;
    static const struct {
        int below;
        int cls;
    } kClasses[] = {{13108, 1},  {26215, 2},  {32769, 4},  {39322, 6},  {45876, 8}, {49153, 12},
                    {52429, 17}, {55706, 22}, {58983, 27}, {62260, 32}, {65001, 38}};
    for (const auto& c : kClasses)
        if (r < c.below)
            return c.cls;
    return 44;
}

int c331_manage::shrink_class_4sym(int r) {
    static const struct {
        int from;
        int cls;
    } kClasses[] = {{62260, 9}, {58983, 8}, {52429, 7}, {45876, 6},
                    {39322, 5}, {32769, 4}, {26215, 3}, {13108, 2}};
    for (const auto& c : kClasses)
        if (r >= c.from)
            return c.cls;
    return 1;
}

void c331_manage::set_lut_hshrnk(int, int ratio, int path, int both) {
    if (path < 0 || path >= kInputChannels)
        return;
    wr(kKernelClass, static_cast<u32>(shrink_class(ratio)));
    wr(kKernelLoad, static_cast<u32>(4 * path + 131));
    if (both)
        wr(kKernelLoad, static_cast<u32>(4 * path + 135));
}

void c331_manage::set_lut_hzoom(int, int, int path) {
    if (path < 0 || path >= kInputChannels)
        return;
    wr(kKernelClass, kZoomKernelClass);
    wr(kKernelLoad, static_cast<u32>(4 * path + 129));
}

void c331_manage::set_lut_vshrnk(int, int ratio, int path) {
    if (path < 0 || path >= kPorts)
        return;
    wr(kKernelClass, static_cast<u32>(shrink_class(ratio)));
    if (path >= kProcessors) {
        wr(kKernelLoad, static_cast<u32>(8 * (path - kProcessors) + 146));
        wr(kKernelLoad, static_cast<u32>(8 * (path - kProcessors) + 150));
        return;
    }
    if (!ip_signal(path)) {
        wr(kKernelLoad, static_cast<u32>(4 * path + 130));
        return;
    }
    wr(kKernelLoad, static_cast<u32>(8 * (path / 2) + 130));
    wr(kKernelLoad, static_cast<u32>(8 * (path / 2) + 134));
}

void c331_manage::set_lut_vshrnk_4sym(int, int ratio, int path, int both) {
    if (path < 0 || path >= kInputChannels)
        return;
    const int cls = shrink_class_4sym(ratio);
    const u8* row = lut[cls];
    if (std::all_of(row, row + kKernelTaps, [](u8 b) { return b == 0; })) {
        c331_log("[set_lut_vshrnk_4sym] class %d: the chip's own kernel\n", cls);
        return;
    }
    for (int copy = 0; copy < (both ? 2 : 1); ++copy) {
        const int o = kBanks * (path + copy);
        for (int k = 0; k < kKernelTaps; ++k)
            wr_changed(kVShrinkKernel + (static_cast<u32>(k) << 8), row[k], o);
    }
}

// ---- channel linking

void c331_manage::set_mct(int, int slot, int) {
    if (slot < 0 || slot >= kWindows)
        return;
    const int dbd = pm.PM_WIN_DBD_MODE[slot];
    int group = 0;
    if (dbd == 22 || dbd == 23)
        group = 2;
    else if (dbd == 50 || dbd == 51)
        group = 4;
    else if (dbd == 0 || dbd == 1)
        group = pm.PM_INPUT[slot];
    // No port (255 and the like) links nothing.
    if (group < 0 || group >= kPorts)
        return;
    const int ich0 = first_ich(slot);
    if (ich0 < 0)
        return;
    const bool status = PI_PORT_INFO[group].STATE != 0;
    const u32 sig = status ? 17 : 1;
    const bool nr =
        PM_HNR[group] || PM_VNR[group] || PM_TNR[group] || PM_BNR[group] || PM_MNR[group];
    const u32 master = group < 4 && (nr || PM_MVFLT[group]) ? sig + 14 : sig;
    // Bit 0 of these registers switches the output channel of the same number, which the
    // output-channel code owns: the link leaves it as it is.
    constexpr u32 kLinkBits = 0xFE;
    for (int i = 0; i < kInputChannels && ich_list[slot][i] >= 0; ++i) {
        const int ich = ich_list[slot][i];
        wr_mask_changed(c331reg::kChannelControl + (static_cast<u32>(ich) << 8),
                        i == 0 ? master : sig, kLinkBits);
    }
    if (group >= 4)
        return;
    const u32 state = PM_BNR[group] ? 3u : (nr ? 1u : 0u);
    if (nren_old[group] == state)
        return;
    nren_old[group] = state;
    wr(at(0x15, 0x08), state, kBanks * ich0);
}
