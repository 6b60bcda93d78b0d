// Mirrored, zoomed and offset windows on the simulated c331: window records applied through
// the apply cycle, checked in the picture the chip's registers describe
// (sim::C331Picture) and in the registers the programming notes compute.
//
// The default panel is the LED screen of 1920 x 1080: two output channels of 1920 x 1080
// side by side. HDMI1 (input 1) carries 1080p (CTA-861 VIC 16) or 720p (VIC 4) into
// parallel port 1. A window's picture is stored 16/5 memory units a pixel and 64 x 1024
// units a line, from the frame-buffer base of its first input channel; an output channel
// reads one line step (65536 units) before its first line.
#include <gtest/gtest.h>

#include <mutex>

#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

constexpr int kHdmi1 = 1, kHdmi2 = 2;

class MirrorTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        store->load();  // window 0 on HDMI1 over the whole screen
        g_force_bkcolor = 2;
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
    }
    void start(int vic = 16) {
        sources->plug(kHdmi1, *sim::VideoTiming::cta861(vic));
        {
            std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
            inputs->hdminfo[kHdmi1] = cta861Record(vic);
        }
        bringUp();
        cycle();
    }
    void apply(const std::function<void(RamParaImage&)>& edit) {
        raise(edit);
        cycle();
        cycle();
    }
    static void place(RamParaImage& p, int x, int w, int h) {
        p.setU16(win(0, 10), static_cast<u16>(x));
        p.setU16(win(0, 14), static_cast<u16>(w));
        p.setU16(win(0, 16), static_cast<u16>(h));
    }
    sim::C331Picture picture() { return sim::C331Picture::of(*c331()); }
    void expectPixel(const sim::C331Picture& p, int position, int x, int y, int sx, int sy) {
        const std::optional<sim::PixelSource> s = p.visible(position, x, y);
        ASSERT_TRUE(s) << position << ": " << x << "," << y << "\n" << p.describe();
        EXPECT_EQ(s->input, kHdmi1) << x << "," << y;
        EXPECT_EQ(s->x, sx) << x << "," << y;
        EXPECT_EQ(s->y, sy) << x << "," << y;
    }
    // Output channel och shows HDMI1 without background or freeze, and without faults.
    void expectShown(const sim::C331Picture& p, int och) {
        const sim::ChannelPicture c = p.channel(och);
        EXPECT_TRUE(c.faults.empty()) << p.describe();
        EXPECT_TRUE(c.shows()) << "OCH" << och << "\n" << p.describe();
        EXPECT_FALSE(c.background) << "OCH" << och;
        EXPECT_FALSE(c.frozen) << "OCH" << och;
        EXPECT_EQ(c.input, kHdmi1) << "OCH" << och;
    }
    // The frame-buffer base of the window's first input channel (buffer 0).
    uint32_t base() {
        return chip(static_cast<uint8_t>(0x16 + 16 * manager->ich_list[0][0]), 0x1C, 4);
    }

    std::shared_ptr<sim::HdmiSources> sources;
};

// ---- mirror attributes

struct MirrorCase {
    int attr;
    uint32_t hMirror;  // bank 0x08 0x22
    uint32_t pitch;    // bank 0x16 0x30: 64, or 256 - 64 mirrored top to bottom
    int sx, sy;        // the source pixel the screen's top left shows
};

class MirrorCodeTest : public MirrorTest, public ::testing::WithParamInterface<MirrorCase> {};

// The attribute alone changes: the window is mirrored and stays shown, unfrozen.
TEST_P(MirrorCodeTest, AMirrorAttributeMirrorsTheWindowAndKeepsItShown) {
    const MirrorCase k = GetParam();
    start();
    apply([&](RamParaImage& p) { p.setU16(win(0, 4), static_cast<u16>(k.attr)); });
    const sim::C331Picture p = picture();
    expectShown(p, 0);
    EXPECT_EQ(chip(0x08, 0x22), k.hMirror);
    EXPECT_EQ(chip(0x16, 0x30), k.pitch);
    EXPECT_EQ(chip(0x08, 0x48), 0u) << "no background";
    EXPECT_EQ(chip(static_cast<uint8_t>(0x10 + 16 * manager->ich_list[0][0]), 0x09), 1u)
        << "its input channel captures";
    expectPixel(p, 0, 0, 0, k.sx, k.sy);
    expectPixel(p, 0, 1919, 1079, 1919 - k.sx, 1079 - k.sy);
    expectPixel(p, 0, 100, 200, k.hMirror ? 1819 : 100, k.pitch == 192 ? 879 : 200);

    // Its source switched to HDMI2 (port 0): set up anew, still mirrored, shown, unfrozen.
    sources->plug(kHdmi2, *sim::VideoTiming::cta861(16));
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[kHdmi2] = cta861Record(16);
    }
    apply([](RamParaImage& p) { p.setU16(win(0, 8), kHdmi2); });
    const sim::C331Picture q = picture();
    const sim::ChannelPicture c = q.channel(0);
    EXPECT_TRUE(c.shows()) << q.describe();
    EXPECT_FALSE(c.frozen) << q.describe();
    EXPECT_EQ(c.input, kHdmi2);
    EXPECT_EQ(chip(static_cast<uint8_t>(0x10 + 16 * manager->ich_list[0][0]), 0x09), 1u);
    EXPECT_EQ(chip(0x08, 0x22), k.hMirror);
    EXPECT_EQ(chip(0x16, 0x30), k.pitch);
}

// The same with the window placed anew in the same edit: the window model takes the
// attribute when it loads the records.
TEST_P(MirrorCodeTest, AWindowPlacedWithAMirrorAttributeIsMirroredAndShown) {
    const MirrorCase k = GetParam();
    start();
    apply([&](RamParaImage& p) {
        p.setU16(win(0, 4), static_cast<u16>(k.attr));
        place(p, 0, 1920, 1080);
        p.setU16(win(0, 12), 0);
        p.setU16(win(0, 16), 1000);
    });
    const sim::C331Picture p = picture();
    expectShown(p, 0);
    EXPECT_EQ(chip(0x08, 0x22), k.hMirror);
    EXPECT_EQ(chip(0x16, 0x30), k.pitch);
    EXPECT_EQ(p.channel(0).area, (sim::PictureRect{0, 0, 1920, 1000}));
}

INSTANTIATE_TEST_SUITE_P(Codes, MirrorCodeTest,
                         ::testing::Values(MirrorCase{1, 1, 64, 1919, 0},
                                           MirrorCase{2, 0, 192, 0, 1079},
                                           MirrorCase{3, 1, 192, 1919, 1079}),
                         [](const ::testing::TestParamInfo<MirrorCase>& info) {
                             return "Code" + std::to_string(info.param.attr);
                         });

// Mirrored top to bottom, an output channel reads one line step after the first line
// (the read start goes up by a line, the pitch runs back).
TEST_F(MirrorTest, AVerticalMirrorReadsFromTheLineAfterTheFirst) {
    start();
    const uint32_t unmirrored = chip(0x16, 0x08, 4);
    apply([](RamParaImage& p) { p.setU16(win(0, 4), 2); });
    EXPECT_EQ(chip(0x16, 0x08, 4), unmirrored + 2u * 65536u);
    EXPECT_EQ(chip(0x16, 0x08, 4), base() + 65536u);
}

// ---- across two channels

// A window from x = 320 over both channels, mirrored left to right: channel 0 shows the
// window's first 1600 pixels, the source's last 1600 reversed; channel 1 the first 320.
// Column 0 reads 16 x (1920 - 1600) / 5 = 1024 units in, column 1 from the start.
TEST_F(MirrorTest, AMirroredWindowAcrossTwoChannels) {
    start();
    apply([](RamParaImage& p) {
        place(p, 320, 1920, 1080);
        p.setU16(win(0, 4), 1);
    });
    const sim::C331Picture p = picture();
    expectShown(p, 0);
    expectShown(p, 1);
    expectPixel(p, 0, 320, 0, 1919, 0);
    expectPixel(p, 0, 1919, 540, 320, 540);
    expectPixel(p, 1, 0, 540, 319, 540);
    expectPixel(p, 1, 319, 1079, 0, 1079);
    EXPECT_EQ(chip(0x16, 0x08, 4), base() + 1024u - 65536u);
    EXPECT_EQ(chip(0x26, 0x08, 4), base() - 65536u);
    EXPECT_EQ(chip(0x18, 0x22), 1u);
}

// 720p zoomed into 2560 x 1080 over both channels: ratio 1279 x 65536 / 2559 + 1 = 32756
// across. Column 0 shows output pixels 0..1919: source positions up to m(1920) = 960 (z x
// 1920 = 62,891,520: 959 and a remainder of 42,496, not below z), read with 4 trailing
// pixels. Column 1 starts at source 960: 4 lead pixels, from 956 = 16 x 956 / 5 = 3059
// units in; phase index (z + 956 x 65536 - 1) / z = 1913, phase (1913 z mod 65536) / 256 =
// 9812 / 256, 38.
TEST_F(MirrorTest, AZoomedWindowAcrossTwoChannels) {
    start(4);
    apply([](RamParaImage& p) { place(p, 0, 2560, 1080); });
    const sim::C331Picture p = picture();
    expectShown(p, 0);
    expectPixel(p, 0, 0, 0, 0, 0);
    expectPixel(p, 0, 1918, 1079, 959, 719);
    expectPixel(p, 1, 2, 0, 961, 0);
    for (int och : {0, 1}) {
        const uint8_t o = static_cast<uint8_t>(16 * och);
        EXPECT_EQ(chip(0x0A + o, 0x46), 0xC7u) << och;
        EXPECT_EQ(chip(0x0A + o, 0x49, 2), 32756u) << och;
        EXPECT_EQ(chip(0x0A + o, 0x4E, 2), 43671u) << och;
        EXPECT_EQ(chip(0x0A + o, 0x44), 3u) << och;
    }
    EXPECT_EQ(chip(0x0A, 0x47), 0u);
    EXPECT_EQ(chip(0x1A, 0x47), 38u);
    EXPECT_EQ(chip(0x1A, 0x48), 38u);
    EXPECT_EQ(chip(0x16, 0x08, 4), base() - 65536u);
    EXPECT_EQ(chip(0x26, 0x08, 4), base() + 3059u - 65536u);
    // A continuing column starts at pixel 0 of its channel: the read sizes are left to the
    // chip.
    EXPECT_EQ(chip(0x08, 0x42, 2), 0u);
    EXPECT_EQ(chip(0x18, 0x42, 2), 0u);
}

// The same zoomed window mirrored: the last source position is m(2560) = 1280; column 0
// reads up to 960 + 4, from 16 x (1280 - 964) / 5 = 1011 units; column 1 up to 1280, from
// 0.
TEST_F(MirrorTest, AMirroredZoomedWindowAcrossTwoChannels) {
    start(4);
    apply([](RamParaImage& p) {
        place(p, 0, 2560, 1080);
        p.setU16(win(0, 4), 1);
    });
    EXPECT_EQ(chip(0x16, 0x08, 4), base() + 1011u - 65536u);
    EXPECT_EQ(chip(0x26, 0x08, 4), base() - 65536u);
    EXPECT_EQ(chip(0x08, 0x22), 1u);
    EXPECT_EQ(chip(0x18, 0x22), 1u);
    EXPECT_EQ(chip(0x1A, 0x47), 38u);
    EXPECT_EQ(chip(0x08, 0x48), 0u);
    EXPECT_EQ(chip(0x18, 0x48), 0u);
}

// A screen of two rows (splice HV, 1920 x 2160 with output 1 1080 high: channel 0 above
// channel 1) and a window from y = 540, 1080 lines high, mirrored top to bottom: the upper
// row shows the source's last 540 lines upside down, the lower row its first 540.
TEST_F(MirrorTest, AWindowMirroredTopToBottomAcrossTwoRows) {
    setPanel(1, 1920, 2160, 1920, 1080);
    start();
    ASSERT_EQ(manager->pnl.arrang, 8);
    apply([](RamParaImage& p) {
        place(p, 0, 1920, 1080);
        p.setU16(win(0, 12), 540);
        p.setU16(win(0, 4), 2);
    });
    const sim::C331Picture p = picture();
    expectShown(p, 0);
    expectShown(p, 1);
    EXPECT_EQ(p.channel(0).area, (sim::PictureRect{0, 540, 1920, 540}));
    EXPECT_EQ(p.channel(1).area, (sim::PictureRect{0, 0, 1920, 540}));
    expectPixel(p, 0, 0, 540, 0, 1079);
    expectPixel(p, 0, 0, 1079, 0, 540);
    expectPixel(p, 1, 0, 0, 0, 539);
    expectPixel(p, 1, 1919, 539, 1919, 0);
    // The upper row reads from line 540 of the stored picture, the lower from line 0; each
    // one line after it.
    EXPECT_EQ(chip(0x16, 0x08, 4), base() + 540u * 65536u + 65536u);
    EXPECT_EQ(chip(0x26, 0x08, 4), base() + 65536u);
}

// ---- the panel's x offset

// Splice H, 3840 x 1080 with output 1 1280 wide: channels of 2560, the LED image starts
// 2560 - 1280 = 1280 into the grid. A window at x = 100 lands at 1380: channel 0 shows it
// from 1380 to its end (1180 pixels), channel 1 the remaining 740.
TEST_F(MirrorTest, AWindowOnASplitScreenLandsAtItsXPlusThePanelOffset) {
    setPanel(3, 3840, 1080, 1280, 1080);
    start();
    ASSERT_EQ(manager->pnl.xoffs, 1280);
    apply([](RamParaImage& p) { place(p, 100, 1920, 1080); });
    EXPECT_EQ(manager->gWininfo[0].x, 1380);
    EXPECT_EQ(manager->gWininfo[0].och_hcnt, 2);
    EXPECT_EQ(manager->gWininfo[0].ochLst[0], 0);
    EXPECT_EQ(manager->gWininfo[0].ochLst[1], 1);
    EXPECT_EQ(manager->pm.PM_WIN_OFFSET[0][0], 1380);
    const sim::C331Picture p = picture();
    expectShown(p, 0);
    expectShown(p, 1);
    EXPECT_EQ(p.channel(0).area, (sim::PictureRect{1380, 0, 1180, 1080}));
    EXPECT_EQ(p.channel(1).area, (sim::PictureRect{0, 0, 740, 1080}));
    expectPixel(p, 0, 1380, 0, 0, 0);
    expectPixel(p, 1, 739, 1079, 1919, 1079);
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

}  // namespace
}  // namespace videotest
