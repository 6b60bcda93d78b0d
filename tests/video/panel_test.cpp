// Panel geometry and output timing. Expected figures follow the set-up's rules as the
// programming notes give them:
// - picture W x H: for the vertical splices (1 HV, 2 V) W = out1 w + out2 w and H the larger
//   height, else W the larger width and H = out1 h + out2 h;
// - up to 9,800,000 pixels one channel: width W rounded up to 4, HSW 12, HFP 8, VSW 3,
//   VFP 3, blanking 64 x 12; above it two channels: width rounded up to 8, HSW 12, HFP 32,
//   VSW 12, VFP 32, blanking 76 x 76, the width (or for vertical splices the height) halved;
// - the totals are the first pair of the timing list with HTT and VTT at least width and
//   height plus blanking; the list starts each HTT (multiples of 4 from 660) at the
//   smallest VTT with HTT x VTT >= 9,900,000;
// - back porches HBP = HTT - width - HSW - HFP, VBP = VTT - height - VSW - VFP; the active
//   area starts at HSW + HBP and VSW + VBP.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/global.h"
#include "tests/video/chip_writes.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

class PanelTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;  // the parameter dump after each set-up is long
        manager->load_system_param();
        manager->define_param();
    }

    void panel(int ledW, int ledH, int out1W, int out1H, int splice) {
        c331()->clearLog();
        ParaLock lock;
        manager->krxApi_PnlInit2(ledW, ledH, out1W, out1H, splice);
    }

    uint16_t image(size_t offset) { return store->ram_para.u16At(offset); }

    // The panel's own programme: the writes up to its last one, the second PLL word
    // (bank 0x00 0x4D); the windows are rebuilt on the new channels after it.
    std::vector<ChipWrite> panelWrites() {
        std::vector<ChipWrite> all = registerWritesOf(c331()->log());
        size_t end = 0;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].bank == 0x00 && all[i].address == 0x4D)
                end = i + 1;
        all.resize(end);
        return all;
    }

    // The timing every output channel got: totals, active start and size, both ways.
    struct ChannelTiming {
        uint32_t htotal, vtotal, hstart, hwidth, vstart, vheight;
    };
    void expectChannels(const ChannelTiming& t) {
        for (int c = 0; c < 8; ++c) {
            const int bank = 0x08 + 16 * c;
            EXPECT_EQ(chip(bank, 0x0A, 2), t.htotal - 2) << "channel " << c;
            EXPECT_EQ(chip(bank, 0x0C, 2), t.vtotal - 2) << "channel " << c;
            for (int area : {0x28, 0x30}) {
                EXPECT_EQ(chip(bank, area, 2), t.hstart) << "channel " << c;
                EXPECT_EQ(chip(bank, area + 2, 2), t.hstart + t.hwidth) << "channel " << c;
                EXPECT_EQ(chip(bank, area + 4, 2), t.vstart) << "channel " << c;
                EXPECT_EQ(chip(bank, area + 6, 2), t.vstart + t.vheight) << "channel " << c;
            }
            EXPECT_EQ(chip(bank, 0x40, 2), t.hstart) << "channel " << c;
            EXPECT_EQ(chip(bank, 0x42, 2), t.hwidth) << "channel " << c;
            EXPECT_EQ(chip(bank, 0x44, 2), t.vstart) << "channel " << c;
            EXPECT_EQ(chip(bank, 0x46, 2), t.vheight + 1) << "channel " << c;
        }
    }
    // The figures written back for the PC: x, y offset, channels across and down, channel
    // width and height, lane configuration.
    void expectWrittenBack(uint16_t x, uint16_t y, uint16_t across, uint16_t down, uint16_t w,
                           uint16_t h) {
        EXPECT_EQ(image(1382), x);
        EXPECT_EQ(image(1384), y);
        EXPECT_EQ(image(1386), across);
        EXPECT_EQ(image(1388), down);
        EXPECT_EQ(image(1390), w);
        EXPECT_EQ(image(1392), h);
        EXPECT_EQ(image(1394), 0);
    }
};

// 1920 x 1080 without splice: 2,073,600 pixels, one channel; 2 x 1 channels of 1920 x 1080;
// htt 1984 and vtt 1092 before the look-up, which gives 1984 x 4990 (4990 = the smallest
// VTT with 1984 x VTT >= 9,900,000). HBP 1984 - 1920 - 12 - 8 = 44, VBP 4990 - 1080 - 6 =
// 3904: the active area starts at 56 and 3907.
TEST_F(PanelTest, FullHdWithoutSpliceWritesTheWholePanelProgramme) {
    panel(1920, 1080, 1920, 1080, 0);
    ChipProgramme p;
    p.set(0x03, 0x44, 5).set(0x03, 0x4C, 5);  // HSW / 2 - 1
    p.set(0x03, 0x45, 2).set(0x03, 0x4D, 2);  // VSW - 1
    for (int c = 0; c < 8; ++c) {
        const int b = 0x08 + 16 * c;
        p.set(b, 0x0A, 1982, 2).set(b, 0x0C, 4988, 2).set(b, 0x1D, 64, 2);
        for (int area : {0x28, 0x30})
            p.set(b, area, 56, 2)
                .set(b, area + 2, 1976, 2)
                .set(b, area + 4, 3907, 2)
                .set(b, area + 6, 4987, 2);
        p.set(b, 0x40, 56, 2).set(b, 0x42, 1920, 2).set(b, 0x44, 3907, 2).set(b, 0x46, 1081, 2);
    }
    p.set(0x03, 0x5E, 0x76543210, 4).set(0x03, 0x62, 0x76543210, 4);
    p.set(0x03, 0x55, 0x03020100, 4);
    p.set(0x02, 0x08, 9).set(0x02, 0x78, 9);
    p.set(0x00, 0x47, 33).set(0x00, 0x4C, 33).set(0x00, 0x4B, 11).set(0x00, 0x50, 11);
    p.set(0x00, 0x48, 137).set(0x00, 0x4D, 137);
    const std::string differs = firstDifference(p.writes(), panelWrites());
    EXPECT_TRUE(differs.empty()) << differs;

    const ST_PANEL& pnl = manager->pnl;
    EXPECT_EQ(pnl.use1och, 1);
    EXPECT_EQ(pnl.arrang, 5);
    EXPECT_EQ(pnl.och_hnum, 2);
    EXPECT_EQ(pnl.och_vnum, 1);
    EXPECT_EQ(pnl.och.htt, 1984);
    EXPECT_EQ(pnl.och.vtt, 4990);
    EXPECT_EQ(manager->PS_HBP, 44);
    EXPECT_EQ(manager->PS_VBP, 3904);
    EXPECT_EQ(manager->PS_VBOTX_MODE, 2);
    EXPECT_EQ(manager->PS_VBOTX_LAYOUT, 0);
    EXPECT_EQ(manager->PS_PANEL_HW, 3840);
    EXPECT_EQ(manager->PS_PANEL_VW, 1080);
    EXPECT_EQ(manager->PS_PANEL_HSHAPE, 2);
    EXPECT_EQ(manager->PS_PANEL_VSHAPE, 1);
    EXPECT_EQ(manager->PS_PLL[4], 11);
    EXPECT_EQ(manager->PS_PLL[1], 137);
    expectWrittenBack(0, 0, 1, 1, 1920, 1080);
}

// 7680 x 2160: 16,588,800 pixels, two channels of 4 x 1; the width 7680 is halved to 3840
// before the budget check: htt 3916, vtt 2236, found 3916 x 2529 (9,900,000 / 3916 =
// 2528.1). HBP 3916 - 3840 - 44 = 32, VBP 2529 - 2160 - 44 = 325.
TEST_F(PanelTest, EightKWithoutSpliceTakesTwoChannelsOfHalfTheWidth) {
    panel(7680, 2160, 1920, 1080, 0);
    EXPECT_EQ(manager->pnl.use1och, 0);
    EXPECT_EQ(manager->pnl.arrang, 6);
    expectChannels({3916, 2529, 44, 3840, 337, 2160});
    EXPECT_EQ(chip(0x03, 0x44), 5u);
    EXPECT_EQ(chip(0x03, 0x45), 11u);
    EXPECT_EQ(chip(0x03, 0x55, 4), 0x03020100u);
    EXPECT_EQ(manager->PS_PANEL_HW, 15360);
    EXPECT_EQ(manager->PS_PANEL_VSHAPE, 1);
    EXPECT_EQ(manager->PS_PANEL_HSHAPE, 4);
    expectWrittenBack(0, 0, 2, 1, 3840, 2160);
}

// Splice HV, 1920 x 2000 with output 1 800 lines high: output 2 takes 1200; the picture
// is 1920 x 1200, one channel, 1 x 2 channels; channel height 1200, and the screen starts
// 1200 - 800 = 400 lines down in the grid.
TEST_F(PanelTest, SpliceHvSplitsTheScreenIntoTwoRows) {
    panel(1920, 2000, 1920, 800, 1);
    const ST_PANEL& pnl = manager->pnl;
    EXPECT_EQ(pnl.out1_w, 1920);
    EXPECT_EQ(pnl.out2_w, 0);
    EXPECT_EQ(pnl.out1_h, 800);
    EXPECT_EQ(pnl.out2_h, 1200);
    EXPECT_EQ(pnl.arrang, 8);
    expectChannels({1984, 4990, 56, 1920, 3787, 1200});
    EXPECT_EQ(chip(0x03, 0x55, 4), 0x00010000u);
    EXPECT_EQ(manager->PS_VBOTX_LAYOUT, 1);
    EXPECT_EQ(manager->PS_PANEL_HW, 1920);
    EXPECT_EQ(manager->PS_PANEL_VW, 2400);
    expectWrittenBack(0, 400, 1, 2, 1920, 1200);
}

// Splice V, 7680 x 4320 with output 1 2160 high: a 7680 x 2160 picture, two channels of
// 2 x 2; both the height (1080) and the width (3840) are halved for the look-up: htt 3916,
// vtt 1156, found 3916 x 2529; the channel is 3840 x 2160.
TEST_F(PanelTest, SpliceVAboveTheBudgetTakesTwoByTwoChannels) {
    panel(7680, 4320, 7680, 2160, 2);
    EXPECT_EQ(manager->pnl.use1och, 0);
    EXPECT_EQ(manager->pnl.arrang, 7);
    expectChannels({3916, 2529, 44, 3840, 337, 2160});
    EXPECT_EQ(chip(0x03, 0x55, 4), 0x03020100u);
    EXPECT_EQ(manager->PS_PANEL_HW, 7680);
    EXPECT_EQ(manager->PS_PANEL_VW, 4320);
    EXPECT_EQ(manager->PS_PANEL_HSHAPE, 2);
    EXPECT_EQ(manager->PS_PANEL_VSHAPE, 2);
    expectWrittenBack(0, 0, 2, 2, 3840, 2160);
}

// Splice H, 3840 x 1080 with output 1 1280 wide: output 2 is 2560 wide, the picture 2560 x
// 1080; htt 2624, found 2624 x 3773 (9,900,000 / 2624 = 3772.9); the channel keeps the
// frame's height 3773 - 12 = 3761; the screen starts 2560 - 1280 = 1280 across.
TEST_F(PanelTest, SpliceHSplitsTheScreenIntoTwoColumns) {
    panel(3840, 1080, 1280, 1080, 3);
    EXPECT_EQ(manager->pnl.out1_w, 1280);
    EXPECT_EQ(manager->pnl.out2_w, 2560);
    expectChannels({2624, 3773, 56, 2560, 9, 3761});
    EXPECT_EQ(chip(0x03, 0x55, 4), 0x00010000u);
    expectWrittenBack(1280, 0, 2, 1, 2560, 3761);
}

TEST_F(PanelTest, SpliceCp21LeavesBothOutputSizesZero) {
    panel(1920, 1080, 1920, 1080, 5);
    const ST_PANEL& pnl = manager->pnl;
    EXPECT_EQ(pnl.out1_w + pnl.out2_w + pnl.out1_h + pnl.out2_h, 0);
    EXPECT_EQ(chip(0x03, 0x55, 4), 0x00010000u);
    EXPECT_EQ(image(1386), 1);
    EXPECT_EQ(image(1388), 2);
    EXPECT_EQ(image(1390), 0);
}

TEST_F(PanelTest, TheSpliceModeIsTakenModuloSix) {
    panel(1920, 2000, 1920, 800, 1);
    const std::vector<ChipWrite> hv = panelWrites();
    for (int splice : {7, 13}) {
        panel(1920, 2000, 1920, 800, splice);
        EXPECT_EQ(manager->pnl.splice, 1) << splice;
        EXPECT_TRUE(firstDifference(hv, panelWrites()).empty()) << splice;
        expectWrittenBack(0, 400, 1, 2, 1920, 1200);
    }
}

TEST_F(PanelTest, OnlyThePanelFiguresOfTheImageAreWrittenBack) {
    const RamParaImage before = store->ram_para;
    panel(3840, 1080, 1280, 1080, 3);
    for (size_t i = 0; i < RamParaImage::kSize; ++i) {
        if (i >= 1382 && i <= 1395)
            continue;
        EXPECT_EQ(store->ram_para[i], before[i]) << "byte " << i;
    }
}

// Output 1 wider or higher than the screen is output 1 of the screen's size: output 2
// gets nothing, and no offset or size turns negative (a u16 of the image would read it
// as a huge number).
TEST_F(PanelTest, AnOutputLargerThanTheScreenIsClampedToIt) {
    panel(1920, 1080, 4000, 1080, 3);
    EXPECT_EQ(manager->pnl.out1_w, 1920);
    EXPECT_EQ(manager->pnl.out2_w, 0);
    expectWrittenBack(0, 0, 2, 1, 1920, 4978);
    panel(1920, 1080, 1920, 5000, 1);
    EXPECT_EQ(manager->pnl.out1_h, 1080);
    EXPECT_EQ(manager->pnl.out2_h, 0);
    expectWrittenBack(0, 0, 1, 2, 1920, 1080);
}

TEST_F(PanelTest, AZeroScreenSizeKeepsThePanelThatRuns) {
    panel(1920, 1080, 1920, 1080, 0);
    const ST_PANEL before = manager->pnl;
    const RamParaImage image = store->ram_para;
    g_debugSwitch = 254;
    for (auto size : {std::pair<int, int>{0, 1080}, {1920, 0}, {0, 0}}) {
        std::string out = printed([&] { panel(size.first, size.second, 0, 0, 0); });
        EXPECT_NE(out.find("the panel stays as it is"), std::string::npos) << out;
        EXPECT_TRUE(c331()->writes().empty());
        EXPECT_EQ(std::memcmp(&manager->pnl, &before, sizeof before), 0);
        EXPECT_EQ(std::memcmp(store->ram_para.data(), image.data(), RamParaImage::kSize), 0);
    }
}

// Whatever the screen and the splice, every channel's porches stay positive (an active
// area that would not fit the frame is cut to what fits) and the offsets written back lie
// inside the channel grid.
TEST_F(PanelTest, NoScreenGivesANegativePorchOrOffset) {
    const int widths[] = {1, 1920, 7680, 20000, 65535};
    const int heights[] = {1, 1080, 4320, 65535};
    for (int w : widths) {
        for (int h : heights) {
            for (int splice = 0; splice < 6; ++splice) {
                for (int part : {0, 2, 3}) {  // output 1 empty, half the screen, larger
                    const int o1w = part == 0 ? 0 : part == 2 ? w / 2 : w + 1000;
                    const int o1h = part == 0 ? 0 : part == 2 ? h / 2 : h + 1000;
                    panel(w, h, o1w, o1h, splice);
                    const int hsw = 2 * (static_cast<int>(chip(0x03, 0x44)) + 1);
                    const int vsw = static_cast<int>(chip(0x03, 0x45)) + 1;
                    const int htotal = static_cast<int>(chip(0x08, 0x0A, 2)) + 2;
                    const int vtotal = static_cast<int>(chip(0x08, 0x0C, 2)) + 2;
                    const int hstart = static_cast<int>(chip(0x08, 0x40, 2));
                    const int hwidth = static_cast<int>(chip(0x08, 0x42, 2));
                    const int vstart = static_cast<int>(chip(0x08, 0x44, 2));
                    const int vheight = static_cast<int>(chip(0x08, 0x46, 2)) - 1;
                    const std::string what = std::to_string(w) + " x " + std::to_string(h) +
                                             " splice " + std::to_string(splice) + " output 1 " +
                                             std::to_string(o1w) + " x " + std::to_string(o1h);
                    ASSERT_GE(hstart - hsw, 0) << what << ": horizontal back porch";
                    ASSERT_GE(vstart - vsw, 0) << what << ": vertical back porch";
                    ASSERT_GE(htotal - hstart - hwidth, 8) << what << ": horizontal front porch";
                    ASSERT_GE(vtotal - vstart - vheight, 3) << what << ": vertical front porch";
                    ASSERT_GE(manager->PS_HBP, 0) << what;
                    ASSERT_GE(manager->PS_VBP, 0) << what;
                    ASSERT_LE(manager->pnl.out2_w, w) << what;
                    ASSERT_LE(manager->pnl.out2_h, h) << what;
                    ASSERT_LE(image(1382), image(1390) * image(1386)) << what << ": x offset";
                    ASSERT_LE(image(1384), image(1392) * image(1388)) << what << ": y offset";
                }
            }
        }
    }
}

// CTA-861's 3840 x 2160 at 60 Hz (VIC 97) sends 4400 x 2250 pixels 60 times a second at
// 594 MHz: the chip's output clock. Every pair of the list must give about 60 Hz at it.
TEST_F(PanelTest, EveryPairOfTheTimingListGivesAboutSixtyHertz) {
    const double pixelClock = 4400.0 * 2250 * 60;
    ASSERT_EQ(pixelClock, 594000000.0);
    size_t count = 0;
    const OutputTiming* list = c331_manage::output_timings(count);
    ASSERT_GT(count, 1906u);
    uint32_t lastHtt = 0;
    int inGroup = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t htt = list[i].htt;
        const uint32_t vtt = list[i].vtt;
        const double hz = pixelClock / (static_cast<double>(htt) * vtt);
        ASSERT_GE(hz, 59.5) << htt << " x " << vtt;
        ASSERT_LE(hz, 60.0) << htt << " x " << vtt;
        ASSERT_LE(static_cast<uint64_t>(htt) * vtt, 9971200u) << htt << " x " << vtt;
        if (htt != lastHtt) {
            // A new HTT: the next multiple of 4, starting at the smallest VTT that reaches
            // 9,900,000 pixels.
            ASSERT_EQ(htt, lastHtt == 0 ? 660u : lastHtt + 4) << i;
            ASSERT_GE(static_cast<uint64_t>(htt) * vtt, 9900000u) << htt;
            ASSERT_LT(static_cast<uint64_t>(htt) * (vtt - 1), 9900000u) << htt;
            lastHtt = htt;
            inGroup = 0;
        } else {
            ASSERT_GT(vtt, list[i - 1].vtt) << htt;
        }
        ASSERT_LE(++inGroup, 13) << htt;
    }
    EXPECT_EQ(lastHtt, 8280u);
    // The group ends the rule names.
    auto firstOf = [&](uint32_t htt) {
        for (size_t i = 0; i < count; ++i)
            if (list[i].htt == htt)
                return list[i].vtt;
        return 0u;
    };
    EXPECT_EQ(firstOf(660), 15000u);
    EXPECT_EQ(firstOf(1072), 9236u);
    EXPECT_EQ(firstOf(8280), 1196u);
}

// A screen of 8256 x 1186 is just below 9,800,000 pixels: one channel; htt 8320 and vtt
// 1198 exceed the budget, vtt becomes 9,908,192 / 8320 = 1190, and no pair has an HTT of
// 8320 (the list ends at 8280). Without one channel the width is halved: htt 4192, found
// 4192 x 2362.
TEST_F(PanelTest, AScreenBeyondTheListForOneChannelTriesTwo) {
    panel(8256, 1186, 8256, 1186, 0);
    EXPECT_EQ(manager->pnl.use1och, 0);
    EXPECT_EQ(manager->pnl.och.width, 4128);
    EXPECT_EQ(manager->pnl.och.htt, 4192);
    expectWrittenBack(0, 0, 2, 1, 4128, 1186);
}

TEST_F(PanelTest, MultiWindowPresetsFollowThePanel) {
    panel(1920, 1080, 1920, 1080, 0);
    manager->krxApi_MultiWinInit();
    auto rect = [&](int preset, int i) { return manager->multi_win_rect[preset][i]; };
    auto expectRect = [&](int preset, int i, ST_RECT r) {
        const ST_RECT got = rect(preset, i);
        EXPECT_EQ(got.x, r.x) << preset << "/" << i;
        EXPECT_EQ(got.y, r.y) << preset << "/" << i;
        EXPECT_EQ(got.w, r.w) << preset << "/" << i;
        EXPECT_EQ(got.h, r.h) << preset << "/" << i;
    };
    expectRect(0, 0, {0, 0, 1920, 1080});
    expectRect(2, 0, {0, 0, 1600, 900});
    expectRect(2, 1, {1600, 0, 3800, 2160});
    expectRect(2, 2, {5400, 0, 1024, 768});
    expectRect(3, 0, {0, 0, 1920, 540});
    expectRect(3, 1, {0, 540, 1600, 540});  // W/3 + W/2
    expectRect(3, 2, {1600, 540, 320, 540});
    expectRect(6, 2, {960, 0, 960, 360});
    expectRect(6, 4, {960, 720, 960, 360});
    expectRect(7, 2, {0, 540, 640, 540});
    expectRect(7, 4, {1280, 540, 640, 540});
    // The two-, four- and six-window presets tile the screen.
    const std::pair<int, int> tilings[] = {{1, 2}, {4, 4}, {5, 4}, {8, 6}, {9, 6}};
    for (auto [preset, windows] : tilings) {
        long long area = 0;
        for (int i = 0; i < windows; ++i) {
            const ST_RECT r = rect(preset, i);
            EXPECT_LE(r.x + r.w, 1920) << preset;
            EXPECT_LE(r.y + r.h, 1080) << preset;
            area += static_cast<long long>(r.w) * r.h;
        }
        EXPECT_EQ(area, 1920LL * 1080) << preset;
    }
}

TEST_F(PanelTest, OutputBackgroundOfShownAndUnusedChannels) {
    manager->load_param();  // channel windows 0, 0, 1, 1, 2, 3, 4, 5; areas 0, 1, 0, 1, ...
    manager->pm.PM_WIN_NUM[6] = 6;
    manager->pm.PM_WIN_NUM[7] = 6;
    g_force_bkcolor = 1;
    c331()->clearLog();
    manager->krxApi_SetOutBkg();
    for (int c = 0; c < 8; ++c) {
        const int bank = 0x08 + 16 * c;
        EXPECT_EQ(chip(bank, 0x49, 3), c < 6 ? 0xFF00u : 0u) << c;
        EXPECT_EQ(chip(bank, 0x48), 1u) << c;
        EXPECT_EQ(chip(0x0E + 16 * c, 0x0D, 2), (c == 1 || c == 3) ? 85u : 0u) << c;
    }
    // Bracketed by the register-update hold: everything at once, then the running timing.
    const std::vector<ChipWrite> writes = registerWritesOf(c331()->log());
    ASSERT_FALSE(writes.empty());
    EXPECT_TRUE((writes[1] == ChipWrite{0x00, 0x22, 0xFF}));
    EXPECT_EQ(chip(0x00, 0x22), 0x99u);
    EXPECT_EQ(chip(0x00, 0x24), 0x21u);
}

TEST_F(PanelTest, OutputPortTimingControlIsWrittenAsOneWord) {
    g_debugSwitch = 254;
    std::string out = printed([&] { manager->c331_outputTimmingCtrlReg(0x81, 0x3E); });
    EXPECT_EQ(chip(0x00, 0x55, 2), 0x3E81u);
    EXPECT_NE(out.find("\t PO1CLK: XTALCLK\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\t POSY1EN: Enable, POSY2EN: Disable\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\t PO2FLD: GLPWM2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\t PO2VS: PWMCH2\n"), std::string::npos) << out;
}

TEST_F(PanelTest, ClockDivisorsOfTheTwoPixelClocks) {
    g_debugSwitch = 254;
    std::string out = printed([&] { manager->c331_calc_PixelCLK(); });
    const size_t second = out.find("[c331_calc_PixelCLK] 4.95MHz");
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(out.find("htt:2200\n"), second);                     // 9,900,000 = 2200 x 4500
    EXPECT_EQ(out.find("htt:99\n"), std::string::npos);            // below 100
    EXPECT_LT(out.find("htt:800\n"), second);                      // 9,900,000 / 800 = 12375
    EXPECT_EQ(out.find("htt:800\n", second), std::string::npos);   // 4,950,000 / 800 = 6187.5
    EXPECT_NE(out.find("htt:4400\n", second), std::string::npos);  // 4,950,000 / 4400 = 1125
}

// Bring-up sets the panel of the image up once the fonts are loaded: the default image
// (1920 x 1080, no splice) gives the programme pinned above.
TEST_F(PanelTest, BringUpSetsThePanelOfTheImageUp) {
    store->load();
    c331()->clearLog();
    manager->c331_bringup();
    const std::vector<ChipWrite> all = registerWritesOf(c331()->log());
    panel(1920, 1080, 1920, 1080, 0);
    const std::vector<ChipWrite> panelOnly = registerWritesOf(c331()->log());
    EXPECT_NE(std::search(all.begin(), all.end(), panelOnly.begin(), panelOnly.end()), all.end());
    EXPECT_EQ(image(1390), 1920);
    EXPECT_EQ(image(1392), 1080);
}

}  // namespace
}  // namespace videotest
