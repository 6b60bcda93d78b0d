// The window model, the output-channel allocation and overlay, and the composition lists
// (see c331_window_plan.h). Input channels, windows and the two sides of a slot are in
// c331_channel_plan.cpp and c331_output_plan.cpp.
#include "video/c331_window_plan.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace c331plan {

void note(Log* log, const char* format, ...) {
    if (!log)
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    log->emplace_back(line);
}

namespace {

constexpr u16 kCropSource = 0x8000;
constexpr int kDbdOutput = 0x100;  // output word bit 8: dot-by-dot on
constexpr int kSwitchEffect = 0x04;
constexpr int kOutputBits = 0x03;
constexpr int kLayers = 6;
constexpr int kMirrorMax = 3;

// DbdMode 0..9 -> chip code.
constexpr int kDbdCodes[] = {1, 20, 21, 22, 23, 30, 40, 41, 50, 51};

const char* splice_name(int splice) {
    return splice == 0 ? " SPLICE_NONE" : splice == 4 ? " SPLICE_CP1TO2" : "";
}

// The record fields of one window.
struct Record {
    u16 enable, attr, source, x, y, w, h, output, dbd, fadeIn, fadeOut, layer;
};
Record record_of(const RamParaImage& image, int w) {
    const size_t at = para::window_at(w);
    Record r;
    r.enable = image.u16At(at + para::win_enable);
    r.attr = image.u16At(at + para::win_attr);
    r.source = image.u16At(at + para::win_source);
    r.x = image.u16At(at + para::win_x);
    r.y = image.u16At(at + para::win_y);
    r.w = image.u16At(at + para::win_w);
    r.h = image.u16At(at + para::win_h);
    r.output = image.u16At(at + para::win_output);
    r.dbd = image.u16At(at + para::win_dbd_mode);
    r.fadeIn = image.u16At(para::win_fade + 4 * static_cast<size_t>(w));
    r.fadeOut = image.u16At(para::win_fade + 4 * static_cast<size_t>(w) + 2);
    r.layer = image.u16At(para::krx_layer + 2 * static_cast<size_t>(w));
    return r;
}

// Loads one record into slot j; false (with the reason logged) when it is not valid.
bool load_slot(WindowModel& m, const RamParaImage& image, const PanelGrid& grid, int w, int j,
               Log* log) {
    const Record r = record_of(image, w);
    ST_WIN_INFO& info = m.info[j];
    SlotExtra& extra = m.extra[j];
    int layer = r.layer;
    if (layer >= kLayers) {
        layer %= kLayers;
        note(log, " WIN%d PRIORITY:%x OOR,reset to %d\n", w, r.layer, layer);
    }
    info.layer = static_cast<u8>(layer);
    const int x = r.x + grid.xoffs;
    const int y = r.y + grid.yoffs;
    m.rect[j] = ST_RECT{x, y, r.w, r.h};
    info.x = static_cast<u16>(x);
    info.y = static_cast<u16>(y);
    info.w = r.w;
    info.h = r.h;
    extra.imageWindow = w;
    int crop = -1;
    if (r.source & kCropSource) {
        crop = r.source & 0xFF;
        // An index past the table names no crop: the window is not valid.
        if (crop >= para::crop_count) {
            note(log, "OOR for win:%d, crop:%d\n", w, crop);
            note(log, "OOR for win RECT%s\n", splice_name(grid.splice));
            return false;
        }
        extra.cropEnabled = 1;
        info.crop = static_cast<u8>(crop);
        info.input = static_cast<u8>(image[para::crop_at(crop)] & 7);
    } else {
        extra.cropEnabled = 0;
        info.input = static_cast<u8>(r.source & 7);
    }
    info.winEn = static_cast<u8>(r.enable & 0xFF);
    info.rotate = static_cast<u8>(r.attr & 0xFF);
    info.output = static_cast<u8>(r.output & kOutputBits);
    extra.switchEffect = (r.output & kSwitchEffect) ? 1 : 0;
    if (!(r.output & kDbdOutput)) {
        extra.dbdMode = 0;
    } else {
        if (r.dbd > 9)
            note(log, "!!!!!!!!DBD_MODE OOR!!!!!!!\n");
        extra.dbdMode = dbd_chip_code(r.dbd);
    }
    extra.fadeIn = r.fadeIn;
    extra.fadeOut = r.fadeOut;

    const long long right = static_cast<long long>(x) + r.w;
    const long long bottom = static_cast<long long>(y) + r.h;
    const char* fault = nullptr;
    if (right > static_cast<long long>(grid.unitW) * grid.across) {
        note(log, "OOR for win:%d x:%d w:%d, pnl->w\r\n", w, x, r.w);
        fault = "rect";
    } else if (bottom > static_cast<long long>(grid.unitH) * grid.down) {
        note(log, "OOR for win:%d y:%d h:%d, pnl->h\r\n", w, y, r.h);
        fault = "rect";
    } else if (info.input >= kPorts) {
        note(log, "OOR for win:%d, input:%d\n", w, info.input);
        fault = "input";
    } else if (j == 0 && info.winEn == 0) {
        note(log, "OOR for win0 disable\n");
        fault = "enable";
    } else if (info.rotate > kMirrorMax) {
        note(log, "OOR for win%d rotate:%d\n", w, info.rotate);
        fault = "rotate";
    }
    if (!fault)
        return true;
    note(log, "OOR for win RECT%s\n", splice_name(grid.splice));
    return false;
}

}  // namespace

int dbd_chip_code(int dbdMode) {
    return dbdMode >= 0 && dbdMode <= 9 ? kDbdCodes[dbdMode] : 1;
}

void load_default(WindowModel& m, const PanelGrid& grid, const ST_RECT* defaults,
                  int defaultCount) {
    m.fallback = true;
    m.cnt = std::clamp(defaultCount, 0, kWindows);
    for (int j = 0; j < m.cnt; ++j) {
        ST_RECT r = defaults[j];
        r.x += grid.xoffs;
        r.y += grid.yoffs;
        m.rect[j] = r;
        ST_WIN_INFO& info = m.info[j];
        info.x = static_cast<u16>(r.x);
        info.y = static_cast<u16>(r.y);
        info.w = static_cast<u16>(r.w);
        info.h = static_cast<u16>(r.h);
        info.rotate = 0;
        info.winEn = 1;
    }
    // A default window is no record's: edits by window number reach the first enabled
    // record's slot only while the default set has a slot for it.
    std::fill(std::begin(m.slotOf), std::end(m.slotOf), -1);
}

WindowModel load_windows(const RamParaImage& image, const PanelGrid& grid,
                         const WindowModel& before, const ST_RECT* defaults, int defaultCount,
                         Log* log) {
    WindowModel m = before;
    m.fallback = false;
    std::fill(std::begin(m.slotOf), std::end(m.slotOf), -1);
    int enabled[kWindows];
    int cnt = 0;
    for (int w = 0; w < kWindows; ++w)
        if (image.u16At(para::window_at(w) + para::win_enable) != 0)
            enabled[cnt++] = w;
    if (cnt == 0) {
        load_default(m, grid, defaults, defaultCount);
        return m;
    }
    m.cnt = cnt;
    for (int j = 0; j < cnt; ++j) {
        if (!load_slot(m, image, grid, enabled[j], j, log)) {
            const int first = enabled[0];
            load_default(m, grid, defaults, defaultCount);
            if (m.cnt > 0)
                m.slotOf[first] = 0;
            return m;
        }
        m.slotOf[enabled[j]] = j;
    }
    // Every slot on a layer of its own.
    unsigned taken = 0;
    for (int j = 0; j < cnt; ++j) {
        u8& layer = m.info[j].layer;
        if (!(taken & (1u << layer))) {
            taken |= 1u << layer;
            continue;
        }
        for (int free = 0; free < kLayers; ++free) {
            if (taken & (1u << free))
                continue;
            note(log, "win%d layer:%d already assigned, reset it to :%d\n", j, layer, free);
            layer = static_cast<u8>(free);
            taken |= 1u << free;
            break;
        }
    }
    for (int j = 0; j < cnt; ++j) {
        const int rotate = m.info[j].rotate & 3;
        m.info[j].rotate = static_cast<u8>(rotate);
        m.extra[j].hMirror = rotate & 1;
        m.extra[j].vMirror = (rotate >> 1) & 1;
    }
    return m;
}

// ---- output channels

namespace {

struct Cell {
    u8 col, row;
};
constexpr Cell k2x1[] = {{0, 0}, {1, 0}};
constexpr Cell k4x1[] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
constexpr Cell k2x2[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
constexpr Cell k1x2[] = {{0, 0}, {0, 1}};
constexpr Cell k8x1[] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}};

struct Table {
    int code;
    const Cell* cells;
    int count;
    int columns;
};
constexpr Table kTables[] = {
    {5, k2x1, 2, 2},
    {6, k4x1, 4, 4},
    {7, k2x2, 4, 2},
    {8, k1x2, 2, 1},
};
constexpr Table kUnsetTable{0, k8x1, 8, 8};

const Table& table_of(int code) {
    for (const Table& t : kTables)
        if (t.code == code)
            return t;
    return kUnsetTable;
}

bool within(int v, int start, int size) {
    return v >= start && v < start + size;
}
bool within_closed(int v, int start, int size) {
    return v >= start && v <= start + size;
}

void clear_channels(ST_WIN_INFO& info) {
    std::fill(std::begin(info.ochLst), std::end(info.ochLst), kNoChannel);
    std::fill(std::begin(info.ochPosLst), std::end(info.ochPosLst), kNoChannel);
    info.och_hcnt = info.och_vcnt = 0;
}

}  // namespace

std::vector<ChannelRect> arrangement(const PanelGrid& grid, int* columns) {
    const Table& t = table_of(grid.arrang);
    if (columns)
        *columns = t.columns;
    std::vector<ChannelRect> rects;
    for (int i = 0; i < t.count; ++i)
        rects.push_back(
            {t.cells[i].col * grid.unitW, t.cells[i].row * grid.unitH, grid.unitW, grid.unitH});
    return rects;
}

void allocate_output_channels(ST_WIN_INFO info[kWindows], int cnt, const PanelGrid& grid,
                              Log* log) {
    for (int j = 0; j < kWindows; ++j)
        clear_channels(info[j]);
    int columns = 1;
    const std::vector<ChannelRect> rects = arrangement(grid, &columns);
    // The panel says how many units it has; no more than the arrangement holds.
    const int scanned =
        std::min(static_cast<int>(rects.size()), std::max(grid.across * grid.down, 0));
    const bool xOnly = grid.arrang == 5;
    const bool yOnly = grid.arrang == 8;
    for (int j = 0; j < std::min(cnt, kWindows); ++j) {
        ST_WIN_INFO& win = info[j];
        const int x1 = win.x, y1 = win.y, x2 = win.x + win.w, y2 = win.y + win.h;
        int s = -1, e = -1;
        for (int c = 0; c < scanned; ++c) {
            const ChannelRect& r = rects[static_cast<size_t>(c)];
            const bool sx = yOnly || within(x1, r.x, r.w);
            const bool sy = xOnly || within(y1, r.y, r.h);
            if (s < 0 && sx && sy)
                s = c;
            const bool ex = yOnly || within_closed(x2, r.x, r.w);
            const bool ey = xOnly || within_closed(y2, r.y, r.h);
            if (ex && ey) {
                e = c;
                break;
            }
        }
        // A window that starts in no channel (no width, or outside the grid) is not shown;
        // the windows after it are still placed.
        if (s < 0 || e < 0 || win.w == 0 || win.h == 0) {
            note(log, "win%d alloc och FAIL, no channel\n", j);
            continue;
        }
        // The cells of the grid from s's to e's, row by row.
        const int c0 = s % columns, r0 = s / columns;
        const int c1 = e % columns, r1 = e / columns;
        const int totalh = c1 >= c0 ? c1 - c0 + 1 : 0;
        const int totalv = r1 >= r0 ? r1 - r0 + 1 : 0;
        if (totalh > kOutputChannels || totalv > kOutputChannels ||
            totalh * totalv > kOutputChannels) {
            note(log, "totalh(%d)*totalv(%d)=%d > 8\n", totalh, totalv, totalh * totalv);
            note(log, "win%d alloc och FAIL\n", j);
            return;
        }
        win.och_hcnt = static_cast<u8>(totalh);
        win.och_vcnt = static_cast<u8>(totalv);
        int k = 0;
        for (int row = r0; row <= r1 && totalh; ++row)
            for (int col = c0; col <= c1; ++col) {
                const u8 channel = static_cast<u8>(row * columns + col);
                win.ochLst[k] = win.ochPosLst[k] = channel;
                ++k;
            }
    }
}

bool overlay_channels(ST_WIN_INFO info[kWindows], int cnt, int overlay[kOutputChannels], Log* log) {
    for (int i = 0; i < kOutputChannels; ++i)
        overlay[i] = i + 1;
    cnt = std::min(cnt, kWindows);
    if (cnt <= 0)
        return false;
    bool used[kOutputChannels] = {};
    auto areas = [&](int j) {
        return std::min(info[j].och_hcnt * info[j].och_vcnt, kOutputChannels);
    };
    for (int j = 0; j < cnt; ++j)
        for (int k = 0; k < areas(j); ++k)
            if (info[j].ochLst[k] < kOutputChannels)
                used[info[j].ochLst[k]] = true;
    if (cnt == 1)
        return false;
    for (int a = 0; a < cnt; ++a) {
        for (int b = a + 1; b < cnt; ++b) {
            for (int k = 0; k < areas(b); ++k) {
                const u8 och = info[b].ochLst[k];
                const u8* la = info[a].ochLst;
                if (std::find(la, la + areas(a), och) == la + areas(a))
                    continue;
                int idle = 0;
                while (idle < kOutputChannels && used[idle])
                    ++idle;
                if (idle == kOutputChannels) {
                    note(log, "not found idle CH, !!!!!why!!!!!\n");
                    continue;
                }
                info[b].ochLst[k] = static_cast<u8>(idle);
                used[idle] = true;
            }
        }
    }
    bool handled[kOutputChannels] = {};
    for (int u = 0; u < kOutputChannels; ++u) {
        int windows = 0;
        for (int j = 0; j < cnt; ++j) {
            const u8* pos = info[j].ochPosLst;
            windows += std::find(pos, pos + areas(j), u) != pos + areas(j);
        }
        if (windows < 2)
            continue;
        for (int j = 0; j < cnt; ++j)
            for (int k = 0; k < areas(j); ++k) {
                const u8 och = info[j].ochLst[k];
                if (info[j].ochPosLst[k] != u || och >= kOutputChannels || handled[och])
                    continue;
                overlay[och] = u + 1;
                handled[och] = true;
            }
    }
    return true;
}

ChannelTables channel_tables(const ST_WIN_INFO info[kWindows], int cnt, Log* log) {
    ChannelTables t;
    std::fill(std::begin(t.winNum), std::end(t.winNum), kNoSlot);
    std::fill(std::begin(t.areaNum), std::end(t.areaNum), kNoArea);
    for (int j = 0; j < std::min(cnt, kWindows); ++j) {
        const int areas = std::min(info[j].och_hcnt * info[j].och_vcnt, kOutputChannels);
        for (int k = 0; k < areas; ++k) {
            const u8 och = info[j].ochLst[k];
            if (och >= kOutputChannels) {
                note(log, "\t !!!!och:%d OOR\r\n", och);
                t.error = true;
                break;
            }
            t.winNum[och] = j;
            t.areaNum[och] = k;
            note(log, "ochLst[%d]:%d PM_AREA_NUM[%d]:%d\n", k, och, och, k);
        }
    }
    return t;
}

void channels_of(const ChannelTables& t, int slot, int och[kOutputChannels]) {
    std::fill(och, och + kOutputChannels, -1);
    for (int c = 0; c < kOutputChannels; ++c)
        if (t.winNum[c] == slot && t.areaNum[c] >= 0 && t.areaNum[c] < kOutputChannels)
            och[t.areaNum[c]] = c;
}

LayerLists layer_lists(const int winNum[kOutputChannels], const int overlay[kOutputChannels],
                       const int priority[kWindows]) {
    LayerLists l{};
    // A channel that shows no window lies below every window.
    auto pri = [&](int och) {
        const int w = winNum[och];
        return w >= 0 && w < kWindows ? priority[w] : -1;
    };
    for (int u = 0; u < kOutputChannels; ++u) {
        int n = 0;
        for (int i = 0; i < kOutputChannels; ++i)
            if (overlay[i] == u + 1)
                l.layer[u][n++] = i;
        l.count[u] = n;
        std::stable_sort(l.layer[u], l.layer[u] + n, [&](int a, int b) { return pri(a) < pri(b); });
    }
    return l;
}

u32 overlay_word(const LayerLists& lists, int position) {
    u32 value = 0;
    for (int k = 0; k < lists.count[position]; ++k)
        value |= static_cast<u32>(lists.layer[position][k] + 8) << (4 * k);
    return value;
}

}  // namespace c331plan
