// V-by-One inputs and dot-by-dot windows on the simulated c331, as the chip's own
// registers show them (sim::C331Picture) and in the input channels' source selects.
//
// HDMI3 (input 3) reaches the chip through the HDMI 2.0 receiver on V-by-One receiver 1
// (port 5). Receiver 0 (port 4) has nothing on this board: the tests connect a
// transmitter of their own to it, and since no receiver record feeds port 4 the program
// never measures it, so they set the port up as the measurement would. 1080p (CTA-861
// VIC 16, 148.5 MHz) goes over 2 lanes, one pixel a clock (port state 4); the same timing
// at 297 MHz (VIC 63, 120 Hz) over 4 lanes, two pixels a clock (state 1: the chip's
// horizontal figures halved). 1080p starts its picture 44 + 148 = 192 pixels and 5 + 36
// = 41 lines after the syncs.
//
// The panel is the default LED screen of 1920 x 1080: two output channels of 1920 x 1080
// side by side.
#include <gtest/gtest.h>

#include <mutex>

#include "board/sim/c331_input_measure.h"
#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

constexpr int kHdmi1 = 1, kHdmi2 = 2, kHdmi3 = 3;

sim::VideoTiming vic16() {
    return *sim::VideoTiming::cta861(16);
}
sim::VideoTiming vic63() {
    sim::VideoTiming t = vic16();
    t.pixelClockKHz = 297000;
    return t;
}
// The HDMI 2.0 receiver's record: Hact, Hsync, Hback, Hpol, Htotal, Vact, Vsync, Vback, Vpol,
// Vtotal, pfreq, type, datamode, lane, ip, nosignal, updated.
HDMI_INFO vboRecord(float mhz, uint32_t lanes) {
    return HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, mhz, 1, 1, lanes, 0, 0, 1};
}

class VbyOneTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        store->load();  // window 0 on HDMI1 over the whole screen
        g_force_bkcolor = 2;
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
    }
    void start() {
        bringUp();
        cycle();
    }
    void plug(int input, const sim::VideoTiming& t, const HDMI_INFO& record) {
        sources->plug(input, t);
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[input] = record;
    }
    // Port 4 carries t: its receiver takes it from the test's transmitter, and the port is
    // set up as a measurement would set it (state 4 one pixel a clock, 1 two).
    void port4(const sim::VideoTiming& t, int state, int lanes) {
        c331()->with<sim::C331InputMeasure>([&](sim::C331InputMeasure& m) { m.send(0, t); });
        const _ImageWindowDef_st full{t.hSync + t.hBack, t.hActive, t.vSync + t.vBack, t.vActive};
        manager->PI_ACT_FULL[4] = full;
        manager->PI_ACT[4] = full;
        if (state < 3) {
            manager->PI_ACT[4].HST /= 2;
            manager->PI_ACT[4].HW /= 2;
        }
        manager->PI_PORT_INFO[4].STATE = state;
        manager->PI_HDMI_INFO[4].lane = lanes;
    }
    void apply(const std::function<void(RamParaImage&)>& edit) {
        raise(edit);
        cycle();
        cycle();
    }
    // Window 0 over x, y, w, h on source, dot by dot in DbdMode dbd (-1: off).
    void window(int source, int w, int h, int dbd = -1) {
        apply([&](RamParaImage& p) {
            p.setU16(win(0, 0), 1);
            p.setU16(win(0, 8), static_cast<u16>(source));
            p.setU16(win(0, 10), 0);
            p.setU16(win(0, 12), 0);
            p.setU16(win(0, 14), static_cast<u16>(w));
            p.setU16(win(0, 16), static_cast<u16>(h));
            p.setU16(win(0, 18), dbd < 0 ? 0 : 0x0100);
            p.setU16(win(0, 22), static_cast<u16>(dbd < 0 ? 0 : dbd));
        });
    }
    sim::C331Picture picture() { return sim::C331Picture::of(*c331()); }
    // The source selects of slot 0's input channels, in list order.
    std::vector<uint32_t> selects() {
        std::vector<uint32_t> out;
        for (int i = 0; i < 8 && manager->ich_list[0][i] >= 0; ++i)
            out.push_back(chip(0x00, static_cast<uint8_t>(0x10 + manager->ich_list[0][i])));
        return out;
    }
    // Output channel och shows the whole 1920 x 1080 picture of port over its whole area.
    void expectWhole(const sim::C331Picture& p, int och, int port) {
        const sim::ChannelPicture c = p.channel(och);
        EXPECT_TRUE(c.faults.empty()) << p.describe();
        EXPECT_TRUE(c.shows()) << p.describe();
        EXPECT_EQ(c.port, port) << "OCH" << och << "\n" << p.describe();
        EXPECT_EQ(c.area, (sim::PictureRect{0, 0, 1920, 1080})) << "OCH" << och;
        EXPECT_EQ(c.source, (sim::PictureRect{0, 0, 1920, 1080})) << "OCH" << och;
    }
    void expectPixel(const sim::C331Picture& p, int position, int x, int y, int port, int sx,
                     int sy) {
        const std::optional<sim::PixelSource> s = p.visible(position, x, y);
        ASSERT_TRUE(s) << position << ": " << x << "," << y << "\n" << p.describe();
        EXPECT_EQ(s->port, port) << x << "," << y;
        EXPECT_EQ(s->x, sx) << x << "," << y;
        EXPECT_EQ(s->y, sy) << x << "," << y;
    }

    std::shared_ptr<sim::HdmiSources> sources;
};

// ---- windows on the V-by-One input

// One pixel a clock: the pair's two channels take receiver 1's lines 12 and 13, both with
// the whole picture, and capture its two halves (192 - 7 and 192 + 960 - 7).
TEST_F(VbyOneTest, AWindowOnOnePixelAClockTakesBothHalvesFromTheReceiversTwoLines) {
    plug(kHdmi3, vic16(), vboRecord(148.5f, 2));
    start();
    window(kHdmi3, 1920, 1080);
    ASSERT_EQ(manager->PI_PORT_INFO[5].STATE, 4);
    expectWhole(picture(), 0, 5);
    EXPECT_EQ(picture().channel(0).input, kHdmi3);
    EXPECT_EQ(selects(), (std::vector<uint32_t>{12, 13}));
    const int a = manager->ich_list[0][0], b = manager->ich_list[0][1];
    EXPECT_EQ(chip(0x10 + 16 * a, 0x17, 2), 185u);
    EXPECT_EQ(chip(0x10 + 16 * b, 0x17, 2), 1145u);
    EXPECT_EQ(chip(0x03, 0x08 + 9 * (a / 2)), 0u) << "the pair's lines are not joined";
    expectPixel(picture(), 0, 959, 0, 5, 959, 0);
    expectPixel(picture(), 0, 960, 1079, 5, 960, 1079);
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// Two pixels a clock over 4 lanes: the receiver splits each line into halves on lines 12
// and 13, at half the clock (the picture starts at 96); the pair joins them (start 96,
// 2 x 960 pixels) and its channels capture the joined halves.
TEST_F(VbyOneTest, AWindowOnTwoPixelsAClockJoinsTheReceiversHalves) {
    plug(kHdmi3, vic63(), vboRecord(297.0f, 4));
    start();
    window(kHdmi3, 1920, 1080);
    ASSERT_EQ(manager->PI_PORT_INFO[5].STATE, 1);
    expectWhole(picture(), 0, 5);
    EXPECT_EQ(selects(), (std::vector<uint32_t>{12, 13}));
    const int q = manager->ich_list[0][0] / 2;
    EXPECT_EQ(chip(0x03, 0x08 + 9 * q), 3u);
    EXPECT_EQ(chip(0x03, 0x09 + 9 * q, 2), 96u);
    EXPECT_EQ(chip(0x03, 0x0B + 9 * q, 2), 1920u);
    expectPixel(picture(), 0, 1919, 1079, 5, 1919, 1079);
}

// Eight lanes: the right half comes on line 14, which the pair's second channel takes.
TEST_F(VbyOneTest, EightLanesBringTheRightHalfOnTheThirdLine) {
    sim::VideoTiming uhd = *sim::VideoTiming::cta861(97);
    plug(kHdmi3, uhd,
         HDMI_INFO{3840, 88, 296, 1, 4400, 2160, 10, 72, 1, 2250, 594.0f, 1, 1, 8, 0, 0, 1});
    start();
    window(kHdmi3, 1920, 1080);
    EXPECT_EQ(selects(), (std::vector<uint32_t>{12, 14}));
    const sim::ChannelPicture c = picture().channel(0);
    EXPECT_TRUE(c.faults.empty()) << picture().describe();
    EXPECT_EQ(c.port, 5);
    EXPECT_EQ(c.source, (sim::PictureRect{0, 0, 3840, 2160}));
}

// ---- dot by dot

// Mode 50 (DbdMode 8) joins ports 4 and 5 side by side: 3840 x 1080, shown pixel for
// pixel over both channels.
TEST_F(VbyOneTest, DotByDotMode50ShowsPort4LeftAndPort5RightOnePixelAClock) {
    plug(kHdmi3, vic16(), vboRecord(148.5f, 2));
    start();
    port4(vic16(), 4, 2);
    window(kHdmi3, 3840, 1080, 8);
    const sim::C331Picture p = picture();
    expectWhole(p, 0, 4);
    expectWhole(p, 1, 5);
    for (int ich = 0; ich < 8; ++ich)
        EXPECT_TRUE(p.inputFaults(ich).empty()) << p.describe();
    expectPixel(p, 0, 1919, 1079, 4, 1919, 1079);
    expectPixel(p, 1, 0, 0, 5, 0, 0);
    // Each port whole on its first channel (lines 8 and 12); the second channels of the
    // ports capture nothing.
    EXPECT_EQ(selects(), (std::vector<uint32_t>{8, 9, 12, 13}));
    const int* ichs = manager->ich_list[0];
    EXPECT_EQ(chip(0x10 + 16 * ichs[0], 0x19, 2), 1920u);
    EXPECT_EQ(chip(0x10 + 16 * ichs[1], 0x19, 2), 0u);
    EXPECT_EQ(chip(0x10 + 16 * ichs[2], 0x19, 2), 1920u);
    EXPECT_EQ(chip(0x10 + 16 * ichs[3], 0x19, 2), 0u);
    // Port 5 is stored 1920 pixels (1920 x 16 / 5 = 6144 units) after port 4, in the
    // dot-by-dot memory from 0x2A800000 with a line of ceil(3840 / 320) = 12 x 1024 units.
    EXPECT_EQ(chip(0x16 + 16 * ichs[0], 0x1C, 4), 0x2A800000u);
    EXPECT_EQ(chip(0x16 + 16 * ichs[2], 0x1C, 4), 0x2A800000u + 6144u);
    EXPECT_EQ(chip(0x16 + 16 * ichs[2], 0x31), 12u);
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

TEST_F(VbyOneTest, DotByDotMode50TwoPixelsAClockSplitsEachPortOverItsTwoChannels) {
    plug(kHdmi3, vic63(), vboRecord(297.0f, 4));
    start();
    port4(vic63(), 1, 4);
    window(kHdmi3, 3840, 1080, 8);
    const sim::C331Picture p = picture();
    expectWhole(p, 0, 4);
    expectWhole(p, 1, 5);
    expectPixel(p, 0, 960, 540, 4, 960, 540);
    expectPixel(p, 1, 1919, 0, 5, 1919, 0);
    EXPECT_EQ(selects(), (std::vector<uint32_t>{8, 9, 12, 13}));
    // Halves of 960 from 192 / 2 - 7 on each line.
    for (int i = 0; i < 4; ++i) {
        const int ich = manager->ich_list[0][i];
        EXPECT_EQ(chip(0x10 + 16 * ich, 0x17, 2), 89u) << i;
        EXPECT_EQ(chip(0x10 + 16 * ich, 0x19, 2), 960u) << i;
    }
}

// Mode 51 (DbdMode 9) stacks port 5 under port 4: 1920 x 2160 on a screen of two rows
// (splice HV, 1920 x 2160 with output 1 1080 high: channels 0 above 1).
TEST_F(VbyOneTest, DotByDotMode51ShowsPort4AbovePort5) {
    setPanel(1, 1920, 2160, 1920, 1080);
    plug(kHdmi3, vic16(), vboRecord(148.5f, 2));
    start();
    ASSERT_EQ(manager->pnl.arrang, 8);
    port4(vic16(), 4, 2);
    window(kHdmi3, 1920, 2160, 9);
    const sim::C331Picture p = picture();
    expectWhole(p, 0, 4);
    expectWhole(p, 1, 5);
    for (int ich = 0; ich < 8; ++ich)
        EXPECT_TRUE(p.inputFaults(ich).empty()) << p.describe();
    expectPixel(p, 1, 100, 1079, 5, 100, 1079);
    // Port 5 starts 1080 lines of ceil(1920 / 320) = 6 x 1024 units after port 4.
    const int* ichs = manager->ich_list[0];
    EXPECT_EQ(chip(0x16 + 16 * ichs[2], 0x1C, 4) - chip(0x16 + 16 * ichs[0], 0x1C, 4),
              1080u * 6u * 1024u);
}

// A single V-by-One input dot by dot, one pixel a clock: whole on the pair's first
// channel, the second captures nothing.
TEST_F(VbyOneTest, DotByDotSingleVbyOneInputOnePixelAClock) {
    plug(kHdmi3, vic16(), vboRecord(148.5f, 2));
    start();
    window(kHdmi3, 1920, 1080, 0);
    expectWhole(picture(), 0, 5);
    EXPECT_EQ(chip(0x10 + 16 * manager->ich_list[0][1], 0x19, 2), 0u);
}

// Modes 20 .. 41 take the parallel ports' lines 0, 2, 4, 6 in list order.
TEST_F(VbyOneTest, DotByDotSelectCodesOfEveryMode) {
    plug(kHdmi3, vic16(), vboRecord(148.5f, 2));
    start();
    port4(vic16(), 4, 2);
    const std::vector<std::vector<uint32_t>> codes = {
        {0, 2}, {0, 2}, {4, 6}, {4, 6}, {0, 2, 4}, {0, 2, 4, 6}, {0, 2, 4, 6}, {8, 9, 12, 13},
    };
    for (int dbd = 1; dbd <= 8; ++dbd) {
        window(kHdmi3, 1920, 1080, dbd);
        EXPECT_EQ(selects(), codes[static_cast<size_t>(dbd - 1)]) << "DbdMode " << dbd;
    }
    // Eight lanes on both receivers: their right halves come on lines 10 and 14.
    manager->PI_HDMI_INFO[4].lane = 8;
    plug(kHdmi3, *sim::VideoTiming::cta861(97),
         HDMI_INFO{3840, 88, 296, 1, 4400, 2160, 10, 72, 1, 2250, 594.0f, 1, 1, 8, 0, 0, 1});
    cycle();
    window(kHdmi3, 1920, 1080, 9);
    EXPECT_EQ(selects(), (std::vector<uint32_t>{8, 10, 12, 14}));
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// Mode 20 (DbdMode 1) on the parallel ports: HDMI2 (port 0) left of HDMI1 (port 1). A
// window on HDMI2 first, so that port 0 is set up: the window of mode 20 is rebuilt when
// its own port (HDMI1's) is set up again, not when port 0 is.
TEST_F(VbyOneTest, DotByDotMode20ShowsPort0LeftOfPort1) {
    plug(kHdmi1, vic16(), cta861Record(16));
    plug(kHdmi2, vic16(), cta861Record(16));
    start();
    window(kHdmi2, 1920, 1080);
    window(kHdmi1, 3840, 1080, 1);
    const sim::C331Picture p = picture();
    expectWhole(p, 0, 0);
    expectWhole(p, 1, 1);
    EXPECT_EQ(p.channel(0).input, kHdmi2);
    EXPECT_EQ(p.channel(1).input, kHdmi1);
}

}  // namespace
}  // namespace videotest
