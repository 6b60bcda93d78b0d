// The window-composition rules on their own, without a chip: window slots from the image,
// output channels and overlay, input channels, input and output windows, scaling, the
// output split, fades. Expected values follow the rules as the programming notes state
// them; the random layouts check what must hold for any layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "video/c331_window_plan.h"

namespace {

using namespace c331plan;

size_t rec(int w, size_t field) {
    return 2272 + 26 * static_cast<size_t>(w) + field;  // six 26-byte window records
}

// A panel grid of output-channel units.
PanelGrid grid(int arrang, int unitW, int unitH) {
    PanelGrid g;
    g.arrang = arrang;
    g.unitW = unitW;
    g.unitH = unitH;
    g.across = arrang == 6 ? 4 : arrang == 8 ? 1 : 2;
    g.down = arrang == 7 || arrang == 8 ? 2 : 1;
    return g;
}

void window(RamParaImage& image, int w, int x, int y, int width, int height, int source = 1) {
    image.setU16(rec(w, 0), 1);
    image.setU16(rec(w, 8), static_cast<u16>(source));
    image.setU16(rec(w, 10), static_cast<u16>(x));
    image.setU16(rec(w, 12), static_cast<u16>(y));
    image.setU16(rec(w, 14), static_cast<u16>(width));
    image.setU16(rec(w, 16), static_cast<u16>(height));
}

const ST_RECT kDefault[1] = {{0, 0, 3840, 1080}};

WindowModel load(const RamParaImage& image, const PanelGrid& g, Log* log = nullptr) {
    return load_windows(image, g, WindowModel{}, kDefault, 1, log);
}

bool logged(const Log& log, const std::string& text) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// ---- the window model

TEST(WindowModel, EnabledRecordsAreCompactedIntoSlotsInImageOrder) {
    RamParaImage image{};
    window(image, 0, 0, 0, 1920, 1080, 1);
    window(image, 2, 100, 50, 640, 360, 2);
    image.setU16(rec(2, 4), 3);  // window 2 mirrored both ways
    const WindowModel m = load(image, grid(5, 1920, 1080));
    ASSERT_FALSE(m.fallback);
    EXPECT_EQ(m.cnt, 2);
    EXPECT_EQ(m.slotOf[0], 0);
    EXPECT_EQ(m.slotOf[1], -1);
    EXPECT_EQ(m.slotOf[2], 1);
    EXPECT_EQ(m.info[1].x, 100);
    EXPECT_EQ(m.info[1].input, 2);
    EXPECT_EQ(m.extra[1].imageWindow, 2);
    EXPECT_EQ(m.extra[1].hMirror, 1);
    EXPECT_EQ(m.extra[1].vMirror, 1);
    EXPECT_EQ(m.extra[0].hMirror + m.extra[0].vMirror, 0);
}

TEST(WindowModel, TwoWindowsOnOneLayerAndAnOutOfRangeLayer) {
    RamParaImage image{};
    for (int w = 0; w < 3; ++w)
        window(image, w, 0, 0, 100, 100);
    image.setU16(2208, 2);      // window 0 layer 2
    image.setU16(2208 + 2, 2);  // window 1 on the same layer: takes the lowest free, 0
    image.setU16(2208 + 4, 7);  // window 2: 7 is taken modulo 6, 1
    Log log;
    const WindowModel m = load(image, grid(5, 1920, 1080), &log);
    EXPECT_EQ(m.info[0].layer, 2);
    EXPECT_EQ(m.info[1].layer, 0);
    EXPECT_EQ(m.info[2].layer, 1);
    EXPECT_TRUE(logged(log, "win1 layer:2 already assigned, reset it to :0")) << log.size();
}

TEST(WindowModel, AWindowOnePixelTooWideFallsBackToTheDefaultLayout) {
    RamParaImage image{};
    window(image, 0, 0, 0, 1920, 1080);
    window(image, 1, 1920, 0, 1921, 1080);  // 3841 > 2 x 1920
    Log log;
    const WindowModel m = load(image, grid(5, 1920, 1080), &log);
    EXPECT_TRUE(m.fallback);
    EXPECT_EQ(m.cnt, 1);
    EXPECT_EQ(m.rect[0].w, 3840);
    EXPECT_EQ(m.info[0].winEn, 1);
    EXPECT_TRUE(logged(log, "OOR for win:1 x:1920 w:1921, pnl->w"));
    // One pixel less fits.
    window(image, 1, 1920, 0, 1920, 1080);
    EXPECT_FALSE(load(image, grid(5, 1920, 1080)).fallback);
}

TEST(WindowModel, NoEnabledWindowOrACropPastTheTableGivesTheDefaultLayout) {
    RamParaImage image{};
    EXPECT_TRUE(load(image, grid(5, 1920, 1080)).fallback);
    window(image, 0, 0, 0, 100, 100);
    image.setU16(rec(0, 8), 0x8000 | 45);  // crop entry 45 of 40
    EXPECT_TRUE(load(image, grid(5, 1920, 1080)).fallback);
    image.setU16(rec(0, 8), 0x8000 | 39);
    image.setU16(1472 + 390, 0x8003);  // entry 39: valid, source 3
    const WindowModel m = load(image, grid(5, 1920, 1080));
    ASSERT_FALSE(m.fallback);
    EXPECT_EQ(m.info[0].crop, 39);
    EXPECT_EQ(m.info[0].input, 3);
    EXPECT_EQ(m.extra[0].cropEnabled, 1);
}

TEST(WindowModel, OutputWordAndDotByDotCodes) {
    RamParaImage image{};
    window(image, 0, 0, 0, 100, 100);
    image.setU16(rec(0, 18), 0x0107);  // black, freeze, switch effect, dot-by-dot
    image.setU16(rec(0, 22), 7);       // DbdMode 7: IN1234Q
    image.setU16(2816, 12);
    image.setU16(2818, 34);
    WindowModel m = load(image, grid(5, 1920, 1080));
    EXPECT_EQ(m.info[0].output, 3);
    EXPECT_EQ(m.extra[0].switchEffect, 1);
    EXPECT_EQ(m.extra[0].dbdMode, 41);
    EXPECT_EQ(m.extra[0].fadeIn, 12);
    EXPECT_EQ(m.extra[0].fadeOut, 34);
    image.setU16(rec(0, 22), 10);  // out of range: single input
    EXPECT_EQ(load(image, grid(5, 1920, 1080)).extra[0].dbdMode, 1);
    image.setU16(rec(0, 18), 0x0007);
    EXPECT_EQ(load(image, grid(5, 1920, 1080)).extra[0].dbdMode, 0);
    const int codes[] = {1, 20, 21, 22, 23, 30, 40, 41, 50, 51};
    for (int d = 0; d < 10; ++d)
        EXPECT_EQ(dbd_chip_code(d), codes[d]);
}

// ---- output channels

ST_WIN_INFO at(int x, int y, int w, int h) {
    ST_WIN_INFO info{};
    info.x = static_cast<u16>(x);
    info.y = static_cast<u16>(y);
    info.w = static_cast<u16>(w);
    info.h = static_cast<u16>(h);
    return info;
}

std::vector<int> channels(const ST_WIN_INFO& w, bool positions = false) {
    std::vector<int> out;
    for (int k = 0; k < w.och_hcnt * w.och_vcnt; ++k)
        out.push_back(positions ? w.ochPosLst[k] : w.ochLst[k]);
    return out;
}

TEST(OutputChannels, AWindowEndingOnAUnitBorderEndsLeftOfIt) {
    ST_WIN_INFO w[6] = {at(0, 0, 2 * 960, 540)};
    allocate_output_channels(w, 1, grid(6, 960, 540));
    EXPECT_EQ(channels(w[0]), (std::vector<int>{0, 1}));
    EXPECT_EQ(w[0].och_hcnt, 2);
    EXPECT_EQ(w[0].och_vcnt, 1);
}

TEST(OutputChannels, OnOneColumnOfTwoRowsOnlyTheHeightCounts) {
    ST_WIN_INFO w[6] = {at(5000, 0, 100, 2 * 1200)};
    allocate_output_channels(w, 1, grid(8, 1920, 1200));
    EXPECT_EQ(channels(w[0]), (std::vector<int>{0, 1}));
    EXPECT_EQ(w[0].och_hcnt, 1);
    EXPECT_EQ(w[0].och_vcnt, 2);
}

TEST(OutputChannels, AWindowInTheRightColumnOfTwoByTwoTakesThatColumnOnly) {
    ST_WIN_INFO w[6] = {at(2000, 100, 500, 2500)};
    allocate_output_channels(w, 1, grid(7, 1920, 2160));
    EXPECT_EQ(channels(w[0]), (std::vector<int>{1, 3}));
    EXPECT_EQ(w[0].och_hcnt, 1);
    EXPECT_EQ(w[0].och_vcnt, 2);
}

TEST(OutputChannels, AZeroWidthWindowGetsNoChannelAndTheNextOneStillDoes) {
    ST_WIN_INFO w[6] = {at(1920, 0, 0, 100), at(0, 0, 100, 100)};
    Log log;
    allocate_output_channels(w, 2, grid(5, 1920, 1080), &log);
    EXPECT_EQ(w[0].och_hcnt * w[0].och_vcnt, 0);
    EXPECT_EQ(w[0].ochLst[0], 0xFF);
    EXPECT_EQ(channels(w[1]), (std::vector<int>{0}));
    // A window outside the grid the same.
    ST_WIN_INFO far[6] = {at(9000, 0, 10, 10)};
    allocate_output_channels(far, 1, grid(5, 1920, 1080));
    EXPECT_EQ(far[0].och_hcnt, 0);
}

TEST(OutputChannels, TwoFullPanelWindowsOverlayOnChannelsOfTheirOwn) {
    ST_WIN_INFO w[6] = {at(0, 0, 3840, 1080), at(0, 0, 3840, 1080)};
    allocate_output_channels(w, 2, grid(5, 1920, 1080));
    int overlay[8];
    EXPECT_TRUE(overlay_channels(w, 2, overlay));
    EXPECT_EQ(channels(w[0]), (std::vector<int>{0, 1}));
    EXPECT_EQ(channels(w[1]), (std::vector<int>{2, 3}));
    EXPECT_EQ(channels(w[1], true), (std::vector<int>{0, 1}));
    EXPECT_EQ(std::vector<int>(overlay, overlay + 8), (std::vector<int>{1, 2, 1, 2, 5, 6, 7, 8}));
}

TEST(OutputChannels, ASingleWindowLeavesEveryChannelOnItsOwnPosition) {
    ST_WIN_INFO w[6] = {at(0, 0, 3840, 1080)};
    allocate_output_channels(w, 1, grid(5, 1920, 1080));
    int overlay[8];
    EXPECT_FALSE(overlay_channels(w, 1, overlay));
    EXPECT_EQ(std::vector<int>(overlay, overlay + 8), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(OutputChannels, TablesAndLayerListsFollowPriority) {
    ST_WIN_INFO w[6] = {at(0, 0, 1920, 1080), at(480, 270, 960, 540)};
    allocate_output_channels(w, 2, grid(5, 1920, 1080));
    int overlay[8];
    overlay_channels(w, 2, overlay);
    const ChannelTables t = channel_tables(w, 2);
    EXPECT_EQ(std::vector<int>(t.winNum, t.winNum + 8), (std::vector<int>{0, 1, 6, 6, 6, 6, 6, 6}));
    EXPECT_EQ(std::vector<int>(t.areaNum, t.areaNum + 8),
              (std::vector<int>{0, 0, 8, 8, 8, 8, 8, 8}));
    int och[8];
    channels_of(t, 1, och);
    EXPECT_EQ(och[0], 1);
    EXPECT_EQ(och[1], -1);
    // Slot 1 has the smaller priority: it lies below slot 0.
    const int below[6] = {5, 4, 0, 0, 0, 0};
    LayerLists l = layer_lists(t.winNum, overlay, below);
    ASSERT_EQ(l.count[0], 2);
    EXPECT_EQ(l.layer[0][0], 1);
    EXPECT_EQ(l.layer[0][1], 0);
    EXPECT_EQ(overlay_word(l, 0), 0x89u);  // (1 + 8), then (0 + 8) << 4
    EXPECT_EQ(l.count[1], 0);
    EXPECT_EQ(overlay_word(l, 1), 0u);
    const int above[6] = {4, 5, 0, 0, 0, 0};
    l = layer_lists(t.winNum, overlay, above);
    EXPECT_EQ(overlay_word(l, 0), 0x98u);
}

// ---- input channels

IchTables tables(int slots, int port = 1) {
    IchTables t;
    init_ich_tables(t);
    for (int j = 0; j < slots; ++j) {
        t.shape[j][0] = t.shape[j][1] = 1;
        t.input[j] = port;
    }
    return t;
}

TEST(InputChannels, SixSingleWindowsTakeChannelsZeroToFive) {
    IchTables t = tables(6);
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(set_input(t, j, 1), 0) << j;
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(t.list[j][0], j) << j;
}

TEST(InputChannels, AFreeLastChannelNextToATakenThirdIsPreferred) {
    IchTables t = tables(1);
    t.owner[2] = 5;  // ICH 2 taken, 0 and 3 free
    EXPECT_EQ(check_ich(t, 0, 0), 3);
    t.owner[3] = 5;
    EXPECT_EQ(check_ich(t, 0, 0), 0);
}

TEST(InputChannels, AWideInputMovesTheOwnerOfChannelFive) {
    IchTables t = tables(6);
    for (int ich : {0, 1, 2, 3, 5, 7})
        t.owner[ich] = ich == 5 ? 3 : ich == 7 ? 4 : 0;
    t.input[1] = 5;  // V-by-One receiver 1: a pair
    Log log;
    EXPECT_EQ(set_input(t, 1, 5, &log), 1);
    EXPECT_EQ(t.owner[4], 1);
    EXPECT_EQ(t.owner[5], 1);
    EXPECT_EQ(t.owner[6], 3) << "the owner of ICH 5 moved to the first free of 6, 7, 0..3";
    EXPECT_EQ(t.inputFlag[3], 2);
    EXPECT_EQ(t.list[3][0], 6);
}

TEST(InputChannels, NineChannelsOfDemandAreRefused) {
    IchTables t = tables(5, 5);  // five windows on a pair each
    Log log;
    EXPECT_EQ(check_ich_all(t, 0, &log), -1);
    EXPECT_TRUE(logged(log, "check_ich_all ret=-1"));
    EXPECT_EQ(set_input(t, 0, 5, &log), 2);
    EXPECT_EQ(t.list[0][0], -1);
}

TEST(InputChannels, ALowOnlyInputWithTheLowChannelsHeldGetsAHighOne) {
    IchTables t = tables(5, 1);
    t.port[1].lowOnly = true;
    for (int ich = 0; ich < 4; ++ich)
        t.owner[ich] = ich;
    Log log;
    EXPECT_EQ(set_input(t, 4, 1, &log), 1);
    EXPECT_TRUE(logged(log, "ICH1-4 is not available!!!"));
    EXPECT_EQ(t.list[4][0], 4);
}

TEST(InputChannels, ALowOnlyInputMovesASingleOwnerButNeverHalfAPair) {
    IchTables t = tables(3, 1);
    t.input[0] = 4;  // slot 0: a pair on ICH 0, 1
    t.input[1] = 2;  // slot 1: ICH 2; slot 2: ICH 3
    t.owner[0] = t.owner[1] = 0;
    t.owner[2] = 1;
    t.owner[3] = 2;
    t.shape[3][0] = t.shape[3][1] = 1;
    t.input[3] = 1;
    t.port[1].lowOnly = true;
    EXPECT_EQ(set_input(t, 3, 1, nullptr), 1);
    EXPECT_EQ(t.owner[0], 0);
    EXPECT_EQ(t.owner[1], 0) << "the pair stays whole";
    EXPECT_EQ(t.owner[2], 3);
    EXPECT_EQ(t.owner[4], 1) << "slot 1 moved to the first free high channel";
    EXPECT_EQ(t.inputFlag[1], 2);
}

TEST(InputChannels, DotByDotDemands) {
    IchTables t = tables(1);
    const int modes[] = {0, 1, 20, 23, 30, 40, 51, 52};
    const int demand[] = {1, 1, 2, 2, 3, 4, 4, 0};
    for (int i = 0; i < 8; ++i) {
        t.dbd[0] = modes[i];
        EXPECT_EQ(ich_demand(t, 0), demand[i]) << modes[i];
    }
    t.dbd[0] = 40;
    t.newFlag[0] = 1;
    EXPECT_EQ(set_input(t, 0, 1), 0);
    EXPECT_EQ(std::vector<int>(t.list[0], t.list[0] + 5), (std::vector<int>{0, 1, 2, 3, -1}));
}

// ---- input and output windows, scaling

IwinInput port1(int hcnt = 1) {
    IwinInput in;
    in.hcnt = hcnt;
    in.vcnt = 1;
    in.port = 1;
    in.firstIch = 0;
    for (PortArea& p : in.ports)
        p.act = p.dbd = {192, 1920, 41, 1080};
    for (PortArea& p : in.ports)
        p.state = 4;
    return in;
}

TEST(Windows, InputWindowOfACrop) {
    IwinInput in = port1();
    in.cropEnabled = 1;
    const int crop[4] = {100, 540, 100, 260};
    std::copy(crop, crop + 4, in.crop);
    _ImageWindowDef_st w = calc_iwin(in);
    EXPECT_EQ(w.HST, 100);
    EXPECT_EQ(w.HW, 1280);
    EXPECT_EQ(w.VST, 100);
    EXPECT_EQ(w.VW, 720);
    in.crop[0] = 1920;  // a left offset past the width starts at 0
    w = calc_iwin(in);
    EXPECT_EQ(w.HST, 0);
    in.ports[1].act.HW = 0;  // no signal
    w = calc_iwin(in);
    EXPECT_EQ(w.HW + w.VW, 0);
}

TEST(Windows, DotByDotShowsThePortPixelForPixel) {
    IwinInput in = port1();
    in.dbdMode = 1;
    in.ports[1].dbd = {192, 1280, 25, 720};
    _ImageWindowDef_st iwin = calc_iwin(in);
    EXPECT_EQ(iwin.HW, 1280);
    EXPECT_EQ(iwin.VW, 720);
    OwinInput o;
    o.ochW = 1920;
    o.ochH = 1080;
    o.hcnt = o.vcnt = 1;
    o.dbdMode = 1;
    _ImageWindowDef_st owin = calc_owin(o, iwin);
    EXPECT_EQ(owin.HW, 1280);
    EXPECT_EQ(owin.VW, 720);
    // A window smaller than the port shows its top left part.
    o.offset[1] = 1000;  // window 920 wide
    iwin = calc_iwin(in);
    owin = calc_owin(o, iwin);
    EXPECT_EQ(iwin.HW, 920);
    EXPECT_EQ(owin.HW, 920);
    // Two ports side by side.
    in.dbdMode = 20;
    in.ports[0].dbd = {192, 1920, 41, 1080};
    iwin = calc_iwin(in);
    EXPECT_EQ(iwin.HW, 1920 + 1280);
    EXPECT_EQ(iwin.VW, 1080);
}

TEST(Windows, ScalingRatios) {
    Scaling s = calc_scaling({0, 1920, 0, 1080}, {0, 960, 0, 1080});
    EXPECT_EQ(s.h_mode, 1);
    EXPECT_EQ(s.h_shrink, 32751);  // 959 * 65536 / 1919 + 1
    EXPECT_EQ(s.v_mode, 0);
    s = calc_scaling({0, 960, 0, 540}, {0, 1920, 0, 1080});
    EXPECT_EQ(s.h_mode, 2);
    EXPECT_EQ(s.h_zoom, 32751);
    EXPECT_EQ(s.v_zoom, 32738);  // 539 * 65536 / 1079 + 1
    s = calc_scaling({0, 1920, 0, 0}, {0, 1920, 0, 1080});
    EXPECT_EQ(s.h_mode + s.v_mode + s.h_zoom + s.v_zoom, 0);
    // Widths whose product with 65536 passes 32 bits.
    s = calc_scaling({0, 40000, 0, 1}, {0, 39999, 0, 1});
    EXPECT_EQ(s.h_shrink, 65535);  // 39998 * 65536 / 39999 + 1
}

TEST(Windows, AWindowStarting100IntoTheSecondColumn) {
    OutputArea a[8];
    calc_oact({1920 + 100, 500, 0, 1080}, a, 1920, 1080, 2, 1);
    EXPECT_EQ(a[0].HW, 0);
    EXPECT_EQ(a[1].HST, 100);
    EXPECT_EQ(a[1].HW, 500);
    EXPECT_EQ(a[1].h_first, 1);
    EXPECT_EQ(a[1].h_last, 1);
    EXPECT_EQ(a[0].h_first, 0);
}

// ---- the two sides

TEST(Sides, AWindowAcrossTwoChannelsReadsOnWhereTheFirstStops) {
    OutputSideInput in;
    in.iwin = {0, 1920, 0, 1080};
    in.owin = {320, 1920, 0, 1080};
    in.ochW = 1920;
    in.ochH = 1080;
    in.hcnt = 2;
    in.vcnt = 1;
    in.och[0] = 0;
    in.och[1] = 1;
    in.firstIch = 2;
    const u32 bases[5] = {0x4000, 0x08804000, 0x11004000, 0x19804000, 0x22004000};
    std::copy(bases, bases + 5, in.bases);
    in.hOffset = in.hOffset2 = 56;
    in.vOffset = in.vOffset2 = 3907;
    const std::vector<ChannelProgramme> p = plan_output_side(in);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].control, 0x0201u);  // OCH 0 with ICH 2
    EXPECT_EQ(p[1].control, 0x1011u);  // OCH 1 follows OCH 0
    EXPECT_EQ(p[0].hStart, 376u);
    EXPECT_EQ(p[0].hEnd, 1976u);
    EXPECT_EQ(p[1].hStart, 56u);
    EXPECT_EQ(p[1].hEnd, 376u);
    // 1600 pixels at 16/5 units, minus one line of 64 x 1024 units.
    EXPECT_EQ(p[0].readStart[0], 0x4000u - 65536u);
    EXPECT_EQ(p[1].readStart[0], 0x4000u + 5120u - 65536u);
    EXPECT_EQ(p[1].readStart[4], 0x22004000u + 5120u - 65536u);
    EXPECT_EQ(p[0].hSize, 0u) << "a column starting below 10 makes every width 0";
}

TEST(Sides, TheCaptureOfAPairSplitsTheWidth) {
    InputSideInput in;
    in.iwin = {0, 3840, 0, 2160};
    in.owin = {0, 3840, 0, 2160};
    in.ichs[0] = 4;
    in.ichs[1] = 5;
    in.ichs[2] = -1;
    in.port.act = {384, 3840, 82, 2160};
    in.port.state = 4;
    const u32 bases[5] = {0x8000, 0x08808000, 0x11008000, 0x19808000, 0x22008000};
    std::copy(bases, bases + 5, in.bases);
    const std::vector<CaptureProgramme> c = plan_input_side(in);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].hStart, 377u);
    EXPECT_EQ(c[0].width, 1920u);
    EXPECT_EQ(c[1].hStart, 377u + 1920u);
    EXPECT_EQ(c[1].control, 12u);
    EXPECT_EQ(c[0].vStart, 83u);
    EXPECT_EQ(c[1].base[0], 0x8000u + 6144u);  // 1920 pixels at 16/5 units
}

// ---- fades and frame buffers

TEST(Fades, EveryStepsWeightsAddTo128) {
    for (int steps : {0, 1, 7, 60, 255}) {
        for (int dir : {0, 1}) {
            const std::vector<FadeStep> f = fade_steps(steps, dir);
            ASSERT_EQ(f.size(), static_cast<size_t>(steps) + 1) << steps;
            for (const FadeStep& s : f)
                EXPECT_EQ(s.own + s.below, 128);
            EXPECT_EQ(f.back().own, dir ? 128 : 0) << steps;
        }
    }
    const std::vector<FadeStep> in60 = fade_steps(60, 1);
    EXPECT_EQ(in60.front().own, 0);
    EXPECT_EQ(in60[30].own, 64);
    EXPECT_TRUE(fade_steps(-1, 1).empty());
    EXPECT_EQ(fade_steps(60000, 1).size(), 256u) << "a fade is at most 255 frames";
}

TEST(Fades, DefaultBlendGivesTheTopLayerTheFullWeight) {
    u8 c[5];
    default_coefficients(0, 128, c);
    EXPECT_EQ(std::vector<int>(c, c + 5), (std::vector<int>{128, 0, 0, 0, 0}));
    default_coefficients(0b0101, 128, c);
    EXPECT_EQ(std::vector<int>(c, c + 5), (std::vector<int>{0, 0, 0, 128, 0}));
    default_coefficients(0b1000, 0, c);
    EXPECT_EQ(std::vector<int>(c, c + 5), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST(Fades, FrameBufferWords) {
    const int r[5] = {0, 1, 2, 3, 4};
    EXPECT_EQ(memory_control_word(r), 0x43210u);
    EXPECT_EQ(output_control_word(r), 0x2103u);
    EXPECT_EQ(frozen_output_word(r), 0x4444u);
}

// ---- random layouts

TEST(RandomLayouts, ChannelsAndSplitsHoldForAnyLayout) {
    std::mt19937 random(16);
    const int codes[] = {5, 6, 7, 8};
    for (int round = 0; round < 2000; ++round) {
        const PanelGrid g = grid(codes[random() % 4], 1920, 1080);
        const int cnt = 1 + static_cast<int>(random() % 6);
        ST_WIN_INFO w[6]{};
        for (int j = 0; j < cnt; ++j) {
            const int width = 1 + static_cast<int>(random() % (g.unitW * g.across));
            const int height = 1 + static_cast<int>(random() % (g.unitH * g.down));
            w[j] = at(static_cast<int>(random() % (g.unitW * g.across - width + 1)),
                      static_cast<int>(random() % (g.unitH * g.down - height + 1)), width, height);
        }
        allocate_output_channels(w, cnt, g);
        int overlay[8];
        overlay_channels(w, cnt, overlay);
        const ChannelTables t = channel_tables(w, cnt);
        std::set<int> taken;
        int listed = 0;
        for (int j = 0; j < cnt; ++j) {
            const int n = w[j].och_hcnt * w[j].och_vcnt;
            ASSERT_GT(n, 0) << "every window of the panel gets a channel";
            for (int k = 0; k < 8; ++k) {
                if (k < n) {
                    ASSERT_LT(w[j].ochLst[k], 8);
                    ASSERT_LT(w[j].ochPosLst[k], g.across * g.down);
                    if (taken.insert(w[j].ochLst[k]).second)
                        ++listed;
                } else {
                    ASSERT_EQ(w[j].ochLst[k], 0xFF);
                }
            }
        }
        // A channel carries at most one slot, as long as there are channels to spare.
        if (listed < 8) {
            int total = 0;
            for (int j = 0; j < cnt; ++j)
                total += w[j].och_hcnt * w[j].och_vcnt;
            EXPECT_EQ(listed, total);
        }
        for (int c = 0; c < 8; ++c) {
            if (t.winNum[c] == kNoSlot)
                continue;
            const ST_WIN_INFO& owner = w[t.winNum[c]];
            EXPECT_EQ(owner.ochLst[t.areaNum[c]], c);
        }
        // The columns of each window add up to its width, the rows to its height.
        for (int j = 0; j < cnt; ++j) {
            _ImageWindowDef_st owin{w[j].x % g.unitW, w[j].w, w[j].y % g.unitH, w[j].h};
            OutputArea a[8];
            calc_oact(owin, a, g.unitW, g.unitH, w[j].och_hcnt, w[j].och_vcnt);
            int width = 0, height = 0;
            for (int i = 0; i < w[j].och_hcnt; ++i)
                width += a[i].HW;
            for (int i = 0; i < w[j].och_vcnt; ++i)
                height += a[i].VW;
            EXPECT_EQ(width, w[j].w) << "round " << round;
            EXPECT_EQ(height, w[j].h) << "round " << round;
        }
    }
}

TEST(RandomLayouts, InputChannelsNeverHaveTwoOwnersAndCountsMatchTheLists) {
    std::mt19937 random(8);
    for (int round = 0; round < 3000; ++round) {
        IchTables t;
        init_ich_tables(t);
        const int cnt = 1 + static_cast<int>(random() % 6);
        for (int p = 0; p < 6; ++p) {
            t.port[p].wide = p >= 4 || random() % 4 == 0;
            t.port[p].lowOnly = random() % 5 == 0;
        }
        for (int j = 0; j < cnt; ++j) {
            t.shape[j][0] = t.shape[j][1] = 1;
            t.input[j] = static_cast<int>(random() % 6);
            const int dbd[] = {0, 0, 0, 1, 20, 30, 40};
            t.dbd[j] = dbd[random() % 7];
            t.newFlag[j] = 1;
        }
        for (int pass = 0; pass < 3; ++pass) {
            const int j = static_cast<int>(random() % cnt);
            set_input(t, j, t.input[j]);
            std::set<int> seen;
            int demand = 0;
            for (int s = 0; s < 6; ++s) {
                int n = 0;
                while (n < 8 && t.list[s][n] >= 0) {
                    EXPECT_TRUE(seen.insert(t.list[s][n]).second) << "ICH with two owners";
                    EXPECT_EQ(t.owner[t.list[s][n]], s);
                    ++n;
                }
                // The budget counts a wide parallel port's pair even in dot-by-dot mode 1,
                // which takes a single channel of it.
                const int port = t.input[s];
                const bool single = t.dbd[s] == 1 && port <= 3;
                if (n && s == j) {
                    EXPECT_EQ(n, single ? 1 : ich_demand(t, s)) << "round " << round;
                }
                demand += n;
            }
            EXPECT_EQ(static_cast<int>(
                          std::count_if(t.owner, t.owner + 8, [](int o) { return o != kFree; })),
                      demand);
        }
    }
}

}  // namespace
