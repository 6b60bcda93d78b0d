// Window composition on the simulated c331: windows written into the image and applied end
// up as the picture the chip's own registers describe (sim::C331Picture), stated the way a
// user sees the wall, and in the registers as the programming notes compute them.
//
// The panel is the default LED screen of 1920 x 1080: one-channel timing, two channel
// units of 1920 x 1080 side by side (panel positions 0 and 1), the channels' pictures start
// at pixel 56 of the line and line 3907 of the frame. HDMI1 (input 1) reaches the chip on
// parallel port 1, HDMI2 (input 2) on port 0, DVI (input 0) on port 2. CTA-861 timings:
// 1080p (VIC 16) starts its picture 44 + 148 = 192 pixels and 5 + 36 = 41 lines after the
// syncs; 720p (VIC 4) 40 + 220 = 260 and 5 + 20 = 25.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "board/sim/c331_picture.h"
#include "board/sim/c331_sync_status.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

constexpr int kDvi = 0, kHdmi1 = 1, kHdmi2 = 2;

class WindowTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        store->load();  // the default image: window 0 on HDMI1 over the whole screen
        g_force_bkcolor = 2;
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
        plug(kHdmi1, 16, cta861Record(16));
        bringUp();
        cycle();
    }

    void plug(int input, int vic, const HDMI_INFO& record) {
        sources->plug(input, *sim::VideoTiming::cta861(vic));
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        // The record of input i is the receiver channel's: 0, 1, 2 for inputs 0, 1, 2.
        inputs->hdminfo[input] = record;
    }
    // Edits the image under the apply lock and runs the cycles that apply it.
    void apply(const std::function<void(RamParaImage&)>& edit) {
        raise(edit);
        cycle();
        cycle();
    }
    static void place(RamParaImage& p, int w, int source, int x, int y, int width, int height) {
        p.setU16(win(w, 0), 1);
        p.setU16(win(w, 8), static_cast<u16>(source));
        p.setU16(win(w, 10), static_cast<u16>(x));
        p.setU16(win(w, 12), static_cast<u16>(y));
        p.setU16(win(w, 14), static_cast<u16>(width));
        p.setU16(win(w, 16), static_cast<u16>(height));
    }
    sim::C331Picture picture() { return sim::C331Picture::of(*c331()); }

    // The channel that shows the input, with its faults reported.
    sim::ChannelPicture showing(const sim::C331Picture& p, int input, int nth = 0) {
        for (int c = 0; c < 8; ++c) {
            const sim::ChannelPicture ch = p.channel(c);
            EXPECT_TRUE(ch.faults.empty()) << "OCH" << c << ": " << p.describe();
            if (ch.shows() && ch.input == input && nth-- == 0)
                return ch;
        }
        ADD_FAILURE() << "no channel shows input " << input << "\n" << p.describe();
        return {};
    }
    void expectPixel(const sim::C331Picture& p, int position, int x, int y, int input, int sx,
                     int sy) {
        const std::optional<sim::PixelSource> s = p.visible(position, x, y);
        ASSERT_TRUE(s) << "position " << position << " pixel " << x << "," << y << "\n"
                       << p.describe();
        EXPECT_EQ(s->input, input) << x << "," << y;
        EXPECT_EQ(s->x, sx) << x << "," << y;
        EXPECT_EQ(s->y, sy) << x << "," << y;
    }
    void expectNothing(const sim::C331Picture& p, int position, int x, int y) {
        for (const sim::PixelSource& s : p.at(position, x, y))
            EXPECT_LT(s.input, 0) << "position " << position << " pixel " << x << "," << y;
    }

    // The register writes of the last cycle (bank, address, value) in order.
    std::vector<sim::C331Model::Access> writes() { return c331()->writes(); }

    std::shared_ptr<sim::HdmiSources> sources;
};

// Every stored register of the chip.
std::map<int, uint8_t> snapshot(sim::C331Model& chip) {
    std::map<int, uint8_t> regs;
    for (int bank = 0; bank < 256; ++bank)
        for (int a = 1; a < 128; ++a)
            regs[bank << 8 | a] = chip.reg(static_cast<uint8_t>(bank), static_cast<uint8_t>(a));
    return regs;
}

TEST_F(WindowTest, OneWindowShowsItsSourceOverTheWholeScreen) {
    const sim::C331Picture p = picture();
    const sim::ChannelPicture och0 = showing(p, kHdmi1);
    EXPECT_EQ(och0.area, (sim::PictureRect{0, 0, 1920, 1080}));
    EXPECT_EQ(och0.source, (sim::PictureRect{0, 0, 1920, 1080}));
    EXPECT_DOUBLE_EQ(och0.hScale, 1.0);
    EXPECT_FALSE(och0.frozen);
    expectPixel(p, 0, 0, 0, kHdmi1, 0, 0);
    expectPixel(p, 0, 1919, 1079, kHdmi1, 1919, 1079);
    expectNothing(p, 1, 0, 0);
    // Registers: output channel 0 on, 1 off; input channel 0 takes port 1 (code 2), its
    // capture starts at 192 - 7; output channel 0 follows input channel 0 and shows its
    // area from the channel's active start 56 to 56 + 1920, reading buffer b from the
    // first frame-buffer block's base minus one line of 64 x 1024.
    EXPECT_EQ(chip(0x00, 0x08) & 1, 1u);
    EXPECT_EQ(chip(0x00, 0x09) & 1, 0u);
    EXPECT_EQ(chip(0x00, 0x10), 2u);
    EXPECT_EQ(chip(0x10, 0x17, 2), 185u);
    EXPECT_EQ(chip(0x10, 0x19, 2), 1920u);
    EXPECT_EQ(chip(0x10, 0x1D, 2), 1080u);
    EXPECT_EQ(chip(0x11, 0x42), 0u) << "no shrink";
    EXPECT_EQ(chip(0x08, 0x08, 2), 0x0001u);
    EXPECT_EQ(chip(0x08, 0x40, 2), 56u);
    EXPECT_EQ(chip(0x08, 0x32, 2), 1976u);
    EXPECT_EQ(chip(0x08, 0x44, 2), 3907u);
    const uint32_t bases[5] = {0, 0x08800000, 0x11000000, 0x19800000, 0x22000000};
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(chip(0x16, 0x1C + 4 * b, 4), bases[b]) << b;
        EXPECT_EQ(chip(0x16, 0x08 + 4 * b, 4), bases[b] - 65536u) << b;
    }
    EXPECT_EQ(chip(0x0E, 0x09, 4), 0x8u) << "position 0 composes channel 0";
    EXPECT_EQ(chip(0x0E, 0x11), 128u) << "at full weight";
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// Window 0 moved to 320, 0: columns 320..1919 of position 0 show HDMI1's columns 0..1599,
// columns 0..319 of position 1 the rest.
TEST_F(WindowTest, AWindowAcrossTheSplitOfTwoChannels) {
    apply([](RamParaImage& p) { p.setU16(win(0, 10), 320); });
    const sim::C331Picture p = picture();
    const sim::ChannelPicture left = showing(p, kHdmi1, 0);
    const sim::ChannelPicture right = showing(p, kHdmi1, 1);
    EXPECT_EQ(left.area, (sim::PictureRect{320, 0, 1600, 1080}));
    EXPECT_EQ(left.source, (sim::PictureRect{0, 0, 1600, 1080}));
    EXPECT_EQ(right.area, (sim::PictureRect{0, 0, 320, 1080}));
    EXPECT_EQ(right.source, (sim::PictureRect{1600, 0, 320, 1080}));
    expectNothing(p, 0, 319, 0);
    expectPixel(p, 0, 320, 0, kHdmi1, 0, 0);
    expectPixel(p, 0, 1919, 540, kHdmi1, 1599, 540);
    expectPixel(p, 1, 0, 540, kHdmi1, 1600, 540);
    expectPixel(p, 1, 319, 1079, kHdmi1, 1919, 1079);
    expectNothing(p, 1, 320, 0);
    // Channel 1 continues channel 0 (0x11 | 0 << 8 | 0x1000) and reads from pixel 1600 of
    // the stored picture: 1600 x 16 / 5 = 5120 units on.
    EXPECT_EQ(chip(0x08, 0x40, 2), 376u);
    EXPECT_EQ(chip(0x08, 0x32, 2), 1976u);
    EXPECT_EQ(chip(0x18, 0x08, 2), 0x1011u);
    EXPECT_EQ(chip(0x18, 0x40, 2), 56u);
    EXPECT_EQ(chip(0x18, 0x32, 2), 376u);
    EXPECT_EQ(chip(0x26, 0x08, 4), 5120u - 65536u);
    EXPECT_EQ(chip(0x00, 0x09) & 1, 1u);
}

// HDMI2 in a 960 x 540 window at 480, 270 over HDMI1's whole-screen window: on top while
// its layer is 0, below window 0 once the layers are swapped.
TEST_F(WindowTest, TwoOverlappingWindowsOnDifferentLayersAndALayerChange) {
    plug(kHdmi2, 16, cta861Record(16));
    apply([](RamParaImage& p) {
        place(p, 1, kHdmi2, 480, 270, 960, 540);
        p.setU16(2208, 1);      // window 0 layer 1
        p.setU16(2208 + 2, 0);  // window 1 layer 0: on top
    });
    sim::C331Picture p = picture();
    const sim::ChannelPicture small = showing(p, kHdmi2);
    EXPECT_EQ(small.area, (sim::PictureRect{480, 270, 960, 540}));
    EXPECT_EQ(small.source, (sim::PictureRect{0, 0, 1920, 1080}));
    EXPECT_DOUBLE_EQ(small.hScale, 0.5);
    EXPECT_DOUBLE_EQ(small.vScale, 0.5);
    expectPixel(p, 0, 100, 100, kHdmi1, 100, 100);
    expectPixel(p, 0, 480, 270, kHdmi2, 0, 0);
    expectPixel(p, 0, 960, 540, kHdmi2, 960, 540);
    expectPixel(p, 0, 1439, 809, kHdmi2, 1918, 1078);
    expectPixel(p, 0, 1440, 810, kHdmi1, 1440, 810);
    // 1920 -> 960 and 1080 -> 540 are shrunk on the input side: 959 x 65536 / 1919 + 1 and
    // 539 x 65536 / 1079 + 1.
    const int ich = static_cast<int>(chip(0x08 + 16 * 1, 0x08, 2) >> 8 & 0xF);
    EXPECT_EQ(chip(0x11 + 16 * ich, 0x42), 1u);
    EXPECT_EQ(chip(0x11 + 16 * ich, 0x47, 2), 32751u);
    EXPECT_EQ(chip(0x11 + 16 * ich, 0x4C, 2), 32738u);
    const std::vector<int> stack = p.layers(0);
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(p.channel(stack[1]).input, kHdmi2) << "HDMI2's channel on top";

    apply([](RamParaImage& p) {
        p.setU16(2208, 0);
        p.setU16(2208 + 2, 1);
    });
    p = picture();
    expectPixel(p, 0, 960, 540, kHdmi1, 960, 540);
    EXPECT_EQ(p.channel(p.layers(0)[1]).input, kHdmi1) << "HDMI1's channel on top";
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// 720p on HDMI2 in a 1920 x 1080 window is zoomed 1.5 times at the output: 1279 x 65536 /
// 1919 + 1 = 43680 across and 719 x 65536 / 1079 + 1 = 43671 down.
TEST_F(WindowTest, AZoomedWindow) {
    plug(kHdmi2, 4, cta861Record(4));
    apply([](RamParaImage& p) { p.setU16(win(0, 8), kHdmi2); });
    const sim::C331Picture p = picture();
    const sim::ChannelPicture och = showing(p, kHdmi2);
    EXPECT_EQ(och.area, (sim::PictureRect{0, 0, 1920, 1080}));
    EXPECT_EQ(och.source, (sim::PictureRect{0, 0, 1280, 720}));
    EXPECT_DOUBLE_EQ(och.hScale, 1.5);
    EXPECT_EQ(chip(0x0A, 0x46), 0xC7u);
    EXPECT_EQ(chip(0x0A, 0x49, 2), 43680u);
    EXPECT_EQ(chip(0x0A, 0x44), 3u);
    EXPECT_EQ(chip(0x0A, 0x4E, 2), 43671u);
    EXPECT_EQ(chip(0x10, 0x17, 2), 253u) << "260 - 7";
    EXPECT_EQ(chip(0x0A, 0x68), 0u) << "the vertical zoom table";
    EXPECT_EQ(chip(0x0A, 0x71), 255u);
    expectPixel(p, 0, 1919, 1079, kHdmi2, 1279, 719);
}

// Dot by dot: 720p on HDMI2 in a 1920 x 1080 window is shown pixel for pixel in its top
// left 1280 x 720.
TEST_F(WindowTest, ADotByDotWindowShowsItsSourcePixelForPixel) {
    plug(kHdmi2, 4, cta861Record(4));
    apply([](RamParaImage& p) {
        p.setU16(win(0, 8), kHdmi2);
        p.setU16(win(0, 18), 0x0100);  // dot-by-dot on
        p.setU16(win(0, 22), 0);       // single input
    });
    const sim::C331Picture p = picture();
    const sim::ChannelPicture och = showing(p, kHdmi2);
    EXPECT_EQ(och.area, (sim::PictureRect{0, 0, 1280, 720}));
    EXPECT_EQ(och.source, (sim::PictureRect{0, 0, 1280, 720}));
    EXPECT_DOUBLE_EQ(och.hScale, 1.0);
    EXPECT_EQ(chip(0x11, 0x42), 0u);
    EXPECT_EQ(chip(0x0A, 0x46), 0u) << "no zoom";
    expectPixel(p, 0, 1279, 719, kHdmi2, 1279, 719);
    expectNothing(p, 0, 1280, 0);
}

// Moving window 1 rewrites only window 1's output areas and memory reads; window 0's
// capture, memory and output areas stay as they were (the frame-buffer order of every
// window rebuilt turns with the freeze that hides the rebuild).
TEST_F(WindowTest, MovingOneWindowChangesOnlyWhatMustChange) {
    plug(kHdmi2, 16, cta861Record(16));
    apply([](RamParaImage& p) {
        place(p, 1, kHdmi2, 480, 270, 960, 540);
        p.setU16(2208, 1);
        p.setU16(2208 + 2, 0);
    });
    const sim::ChannelPicture big = picture().channel(0);
    const std::map<int, uint8_t> before = snapshot(*c331());
    apply([](RamParaImage& p) { p.setU16(win(1, 10), 580); });
    const std::map<int, uint8_t> after = snapshot(*c331());
    const sim::C331Picture p = picture();
    EXPECT_EQ(showing(p, kHdmi2).area, (sim::PictureRect{580, 270, 960, 540}));
    EXPECT_EQ(p.channel(0).area, big.area);
    EXPECT_EQ(p.channel(0).source, big.source);
    const int och1 = 1;
    std::vector<std::string> unexpected;
    for (const auto& [key, value] : before) {
        if (after.at(key) == value)
            continue;
        const int bank = key >> 8, address = key & 0xFF;
        const bool window1Area = bank == 0x08 + 16 * och1 && (address == 0x40 || address == 0x41 ||
                                                              address == 0x32 || address == 0x33);
        const bool window1Read = bank == 0x16 + 16 * och1 && address >= 0x08 && address < 0x1C;
        const bool rotation =
            (bank & 0x0F) == 0x06 && bank >= 0x16 &&
            ((address >= 0x66 && address <= 0x68) || address == 0x6C || address == 0x6D);
        if (!window1Area && !window1Read && !rotation) {
            char text[48];
            std::snprintf(text, sizeof text, "%02X/%02X %02X -> %02X", bank, address, value,
                          after.at(key));
            unexpected.push_back(text);
        }
    }
    EXPECT_TRUE(unexpected.empty()) << ::testing::PrintToString(unexpected);
}

TEST_F(WindowTest, AnEditOfAWindowReachesItsSlotWithAnEarlierWindowDisabled) {
    plug(kHdmi2, 16, cta861Record(16));
    plug(kDvi, 16, cta861Record(16));
    apply([](RamParaImage& p) { place(p, 2, kHdmi2, 0, 0, 1920, 1080); });
    sim::C331Picture p = picture();
    EXPECT_EQ(p.channel(p.layers(0)[0]).input, kHdmi2) << p.describe();
    EXPECT_EQ(manager->slot_of(2), 1);
    // Window 2's source: the change reaches slot 1, the channel that shows window 2.
    apply([](RamParaImage& p) { p.setU16(win(2, 8), kDvi); });
    p = picture();
    showing(p, kDvi);
    showing(p, kHdmi1);
    int shown = 0;
    for (int c = 0; c < 8; ++c)
        shown += p.channel(c).shows();
    EXPECT_EQ(shown, 2);
}

// Five windows on the V-by-One input (HDMI3) need ten input channels of eight: none gets
// any, and their output channels show the background.
TEST_F(WindowTest, WindowsWithoutAnInputChannelShowTheirBackground) {
    apply([](RamParaImage& p) {
        for (int w = 0; w < 5; ++w)
            place(p, w, 3, 0, 200 * w, 1920, 100);
    });
    const sim::C331Picture p = picture();
    for (int c = 0; c < 8; ++c) {
        const sim::ChannelPicture ch = p.channel(c);
        if (ch.on) {
            EXPECT_TRUE(ch.background) << c;
        }
        EXPECT_FALSE(ch.shows()) << c;
    }
    for (int ich = 0; ich < 8; ++ich)
        EXPECT_LT(manager->ich_owner[ich], 0);
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// 3840 x 2160 (VIC 95) is wider than one input channel's frame memory: the window takes
// a pair, each channel captures one half (hsync 88 + back porch 296 = 384, minus 7; then
// 1920 on) and shrinks it to 960, stored side by side.
TEST_F(WindowTest, AWideInputIsCapturedOnAPairOfInputChannels) {
    HDMI_INFO uhd{3840, 88, 296, 1, 4400, 2160, 10, 72, 1, 2250, 297.0f, 0, 0, 0, 0, 0, 1};
    plug(kHdmi1, 95, uhd);
    apply([](RamParaImage& p) { p.setU16(win(0, 10), 0); });
    const sim::C331Picture p = picture();
    const sim::ChannelPicture och = showing(p, kHdmi1);
    EXPECT_EQ(och.source, (sim::PictureRect{0, 0, 3840, 2160}));
    EXPECT_EQ(och.area, (sim::PictureRect{0, 0, 1920, 1080}));
    expectPixel(p, 0, 1919, 1079, kHdmi1, 3838, 2158);
    const int a = manager->ich_list[0][0], b = manager->ich_list[0][1];
    ASSERT_GE(b, 0);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(chip(0x10 + 16 * a, 0x17, 2), 377u);
    EXPECT_EQ(chip(0x10 + 16 * b, 0x17, 2), 377u + 1920u);
    EXPECT_EQ(chip(0x10 + 16 * b, 0x09), static_cast<uint32_t>(a + 8));
    EXPECT_EQ(chip(0x00, 0x10 + a), 2u);
    EXPECT_EQ(chip(0x00, 0x10 + b), 2u);
}

TEST_F(WindowTest, ACropIndexPastTheTableShowsTheDefaultLayout) {
    apply([](RamParaImage& p) {
        p.setU16(win(0, 8), 0x8000 | 45);
        p.setU16(win(0, 10), 10);
    });
    const sim::C331Picture p = picture();
    const sim::ChannelPicture och = showing(p, kHdmi1);
    EXPECT_EQ(och.area, (sim::PictureRect{0, 0, 1920, 1080}));
    EXPECT_EQ(och.source, (sim::PictureRect{0, 0, 1920, 1080}));
}

// ---- fades and freezes

class FadeTest : public WindowTest {
protected:
    // HDMI2's window on top of HDMI1's, fading when its source is switched.
    void SetUp() override {
        WindowTest::SetUp();
        plug(kHdmi2, 16, cta861Record(16));
        plug(kDvi, 16, cta861Record(16));
        apply([](RamParaImage& p) {
            place(p, 1, kHdmi2, 480, 270, 960, 540);
            p.setU16(2208, 1);
            p.setU16(2208 + 2, 0);
            p.setU16(win(1, 18), 0x0004);  // switch effect: fade
            p.setU16(2816 + 4, 4);         // window 1 fades in over 4 frames
            p.setU16(2818 + 4, 6);         // and out over 6
        });
        c331()->setFrameRate(600);
        c331()->clearLog();
    }
    // Per fade step (each ends by releasing the update hold: 0x23 := 203), the blend
    // coefficients written to position 0.
    std::vector<std::map<int, uint8_t>> steps() {
        std::vector<std::map<int, uint8_t>> out;
        std::map<int, uint8_t> step;
        for (const auto& a : writes()) {
            if (a.bank == 0x00 && a.address == 0x23 && a.value == 203) {
                out.push_back(step);
                step.clear();
            } else if (a.bank == 0x0E && a.address >= 0x11 && a.address < 0x11 + 80) {
                step[a.address] = a.value;
            }
        }
        return out;
    }
};

TEST_F(FadeTest, ASourceSwitchOfOneWindowFadesOutAndInWithoutAFreeze) {
    apply([](RamParaImage& p) { p.setU16(win(1, 8), kDvi); });
    const std::vector<std::map<int, uint8_t>> s = steps();
    ASSERT_EQ(s.size(), 7u + 5u) << "6 + 1 steps out, 4 + 1 in";
    // HDMI2's window is layer 1 of position 0: its weight is coefficient 1 of every set
    // with layer 1 in it (odd sets), the layer below coefficient 0.
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(s[i].size(), 16u) << "8 sets x 2 coefficients, step " << i;
        for (int set = 1; set < 16; set += 2) {
            const int own = s[i].at(0x11 + 5 * set + 1);
            const int below = s[i].at(0x11 + 5 * set);
            EXPECT_EQ(own + below, 128) << "step " << i << " set " << set;
        }
    }
    EXPECT_EQ(s.front().at(0x11 + 5 + 1), 128) << "fading out starts at full weight";
    EXPECT_EQ(s[6].at(0x11 + 5 + 1), 0);
    EXPECT_EQ(s[7].at(0x11 + 5 + 1), 0) << "fading in starts from nothing";
    EXPECT_EQ(s.back().at(0x11 + 5 + 1), 128);
    for (const auto& a : writes())
        EXPECT_FALSE(a.bank % 16 == 0 && a.bank >= 0x10 && a.bank < 0x90 && a.address == 0x09 &&
                     a.value == 2)
            << "no input channel frozen";
    showing(picture(), kDvi);
}

TEST_F(FadeTest, AWindowOnTheBaseLayerFadesItsOwnWeightOnly) {
    apply([](RamParaImage& p) {
        p.setU16(2208, 0);  // window 0 back on top: window 1 is the base layer now
        p.setU16(2208 + 2, 1);
    });
    c331()->clearLog();
    apply([](RamParaImage& p) { p.setU16(win(1, 8), kDvi); });
    const std::vector<std::map<int, uint8_t>> s = steps();
    ASSERT_EQ(s.size(), 12u);
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(s[i].size(), 1u) << "set 0, layer 0 only: step " << i;
        EXPECT_EQ(s[i].begin()->first, 0x11);
    }
    EXPECT_EQ(s.front().at(0x11), 128);
    EXPECT_EQ(s[6].at(0x11), 0);
    EXPECT_EQ(s.back().at(0x11), 128);
}

TEST_F(FadeTest, AFadeIsAtMost255Frames) {
    c331()->setFrameRate(20000);
    apply([](RamParaImage& p) { p.setU16(2818 + 4, 60000); });
    c331()->clearLog();
    apply([](RamParaImage& p) { p.setU16(win(1, 8), kDvi); });
    EXPECT_EQ(steps().size(), 256u + 5u);
}

class FreezeTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        plug(kHdmi2, 16, cta861Record(16));
        apply([](RamParaImage& p) { place(p, 1, kHdmi2, 480, 270, 960, 540); });
        // A slow frame clock: no field ends while the freeze compares fields.
        c331()->setFrameRate(10);
        first = manager->ich_list[0][0];
        second = manager->ich_list[1][0];
        c331()->clearLog();
    }
    bool isRequest(const sim::C331Model::Access& a, int ich) {
        return a.write && a.bank == 0x10 + 16 * ich && a.address == 0x09 && a.value == 2;
    }
    bool isField(const sim::C331Model::Access& a, int ich) {
        return !a.write && a.bank == 0xAB && a.address == 0x47 + ich;
    }
    void skew(int fields, int reads) {
        c331()->with<sim::C331SyncStatus>(
            [&](sim::C331SyncStatus& s) { s.skewInputField(second, fields, reads); });
    }
    int first = -1, second = -1;
};

// A rebuild freezes both windows' input channels; the second is frozen only on the field
// the first was frozen on.
TEST_F(FreezeTest, TheSecondInputChannelFreezesOnTheFirstOnesField) {
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    skew(1, 10);  // its field runs one ahead for its next ten reads
    apply([](RamParaImage& p) { p.setU16(win(1, 10), 400); });
    const std::vector<sim::C331Model::Access> log = c331()->log();
    auto at = [&](auto pred) { return std::find_if(log.begin(), log.end(), pred); };
    const auto request0 = at([&](const auto& a) { return isRequest(a, first); });
    ASSERT_NE(request0, log.end());
    const auto f0read =
        std::find_if(request0, log.end(), [&](const auto& a) { return isField(a, first); });
    ASSERT_NE(f0read, log.end());
    const int f0 = (f0read->value & 0x0F) >> 2;
    const auto request1 =
        std::find_if(f0read, log.end(), [&](const auto& a) { return isRequest(a, second); });
    ASSERT_NE(request1, log.end()) << "frozen once the fields line up";
    int reads = 0, lastField = -1;
    for (auto it = f0read; it != request1; ++it) {
        if (isField(*it, second)) {
            ++reads;
            lastField = (it->value & 0x0F) >> 2;
        }
    }
    EXPECT_EQ(reads, 11) << "ten reads a field ahead, then the field of the first";
    EXPECT_EQ(lastField, f0);
    const sim::C331Picture p = picture();
    EXPECT_EQ(showing(p, kHdmi2).area, (sim::PictureRect{400, 270, 960, 540}));
}

TEST_F(FreezeTest, FieldsThatNeverLineUpAreGivenUpAfter251Passes) {
    skew(2, sim::C331SyncStatus::kForever);
    apply([](RamParaImage& p) { p.setU16(win(1, 10), 400); });
    const std::vector<sim::C331Model::Access> log = c331()->log();
    int reads = 0, requests = 0;
    for (const auto& a : log) {
        reads += isField(a, second);
        requests += isRequest(a, second);
    }
    EXPECT_EQ(reads, 251);
    EXPECT_EQ(requests, 0);
    const sim::C331Picture p = picture();
    EXPECT_EQ(showing(p, kHdmi2).area, (sim::PictureRect{400, 270, 960, 540}));
    showing(p, kHdmi1);
}

}  // namespace
}  // namespace videotest
