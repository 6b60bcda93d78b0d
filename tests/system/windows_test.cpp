// Windows a PC writes into the image over the control protocol and applies (register 11),
// as the c331 of the running program shows them: the picture its registers describe
// (sim::C331Picture), stated as a user sees the wall, and the registers the programming
// notes compute.
//
// The wall is the default LED screen of 1920 x 1080: two output-channel units of 1920 x
// 1080 side by side (panel positions 0 and 1), each channel's picture starting at pixel 56
// of its line and line 3907 of its frame. HDMI1 (input 1) carries 1080p at 60 Hz from the
// start; HDMI2 (input 2) is plugged by the tests that need it. 1080p (CTA-861 VIC 16)
// starts its picture 44 + 148 = 192 pixels after the line's sync.
#include <gmock/gmock.h>

#include <map>
#include <optional>

#include "board/sim/c331_model.h"
#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "tests/support/sim_test.h"
#include "tests/system/program.h"

using pc::Bytes;
using systest::SystemTest;

namespace {

constexpr int kHdmi1 = 1, kHdmi2 = 2;

// A window record (image offset 2272 + 26 w), bytes 0..23: enable, attributes, source,
// x, y, w, h, output word, audio, dot-by-dot mode.
Bytes record(bool on, int source, int x, int y, int w, int h, int output = 0, int dbd = 0) {
    Bytes b;
    pc::put16(b, on ? 1 : 0);
    pc::put16(b, 0);
    pc::put16(b, 0);
    pc::put16(b, 0);
    pc::put16(b, static_cast<unsigned>(source));
    pc::put16(b, static_cast<unsigned>(x));
    pc::put16(b, static_cast<unsigned>(y));
    pc::put16(b, static_cast<unsigned>(w));
    pc::put16(b, static_cast<unsigned>(h));
    pc::put16(b, static_cast<unsigned>(output));
    pc::put16(b, 0);
    pc::put16(b, static_cast<unsigned>(dbd));
    return b;
}

class Windows : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        ASSERT_TRUE(systest::waitForOutputRunning());
        link = systest::udp();
        // HDMI1's cable plugged in again, as a user would: its receiver announces the picture.
        auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
        sources->unplug(1);
        test::waitFor([] { return false; }, 300);
        sources->plug(1, *sim::VideoTiming::cta861(16));
        until([](const sim::C331Picture& p) { return shows(p, 0, 0, 0, kHdmi1, 0, 0); });
    }
    void TearDown() override {
        // Back to the image's default: window 0 on HDMI1 over the whole screen.
        layout({record(true, kHdmi1, 0, 0, 1920, 1080)}, {0, 1, 2, 3, 4, 5});
        SystemTest::TearDown();
    }
    std::shared_ptr<sim::C331Model> c331() { return sim::get<sim::C331Model>("c331"); }
    sim::C331Picture picture() { return sim::C331Picture::of(*c331()); }

    void write(uint32_t offset, const Bytes& data) {
        auto r = link->exchange(0x60, pc::access(offset, static_cast<unsigned>(data.size()), data));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status(), 0);
    }
    void applyImage() {
        auto r = link->exchange(0xA0, pc::access(11, 1, {0x01}));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status(), 0);
    }
    // Windows 0.. as given, the others off, with their layers, then applied.
    void layout(const std::vector<Bytes>& windows, const std::vector<int>& layers) {
        for (int w = 0; w < 6; ++w)
            write(2272 + 26 * w, w < static_cast<int>(windows.size())
                                     ? windows[w]
                                     : record(false, 1, 0, 0, 1920, 1080));
        Bytes l;
        for (int layer : layers)
            pc::put16(l, static_cast<unsigned>(layer));
        write(2208, l);
        applyImage();
    }
    // Waits until the wall shows what `ok` asks for; the picture it saw last.
    sim::C331Picture until(const std::function<bool(const sim::C331Picture&)>& ok) {
        std::optional<sim::C331Picture> seen;
        test::waitFor(
            [&] {
                seen = picture();
                return ok(*seen);
            },
            10000);
        return *seen;
    }
    static bool shows(const sim::C331Picture& p, int position, int x, int y, int input, int sx,
                      int sy) {
        const std::optional<sim::PixelSource> s = p.visible(position, x, y);
        return s && s->input == input && s->x == sx && s->y == sy;
    }
    static bool blank(const sim::C331Picture& p, int position, int x, int y) {
        for (const sim::PixelSource& s : p.at(position, x, y))
            if (s.input >= 0)
                return false;
        return true;
    }
    void plugHdmi2() {
        sim::get<sim::HdmiSources>("hdmi-sources")->plug(2, *sim::VideoTiming::cta861(16));
    }

    std::unique_ptr<pc::UdpLink> link;
};

std::map<int, uint8_t> snapshot(sim::C331Model& chip) {
    std::map<int, uint8_t> regs;
    for (int bank = 0; bank < 256; ++bank)
        for (int a = 1; a < 128; ++a)
            regs[bank << 8 | a] = chip.reg(static_cast<uint8_t>(bank), static_cast<uint8_t>(a));
    return regs;
}

// The registers between two of the program's passes: the update timing back at its running
// setting (0x22 = 0x99), no status latch (0x29 = 0), and nothing changing from one look to
// the next. A picture can show before the pass that draws it has finished.
std::map<int, uint8_t> settled(sim::C331Model& chip) {
    std::map<int, uint8_t> last, now;
    test::waitFor(
        [&] {
            now = snapshot(chip);
            const bool idle = now.at(0x22) == 0x99 && now.at(0x29) == 0 && now == last;
            last = now;
            return idle;
        },
        10000);
    return now;
}

}  // namespace

// Window 2 at 320, 0, 1920 x 1080 on HDMI1 (window 0 off): channel 0 shows HDMI1's columns
// 0..1599 from its column 320 on, channel 1 columns 1600..1919 from its left edge.
TEST_F(Windows, AWindowWrittenByThePcAcrossTheSplitOfTwoChannels) {
    layout({record(false, kHdmi1, 0, 0, 1920, 1080), record(false, kHdmi1, 0, 0, 1920, 1080),
            record(true, kHdmi1, 320, 0, 1920, 1080)},
           {0, 1, 2, 3, 4, 5});
    const sim::C331Picture p = until([](const sim::C331Picture& p) {
        // The pass writes a channel's area a register at a time: both corners of each.
        return shows(p, 0, 320, 0, kHdmi1, 0, 0) && shows(p, 1, 0, 0, kHdmi1, 1600, 0) &&
               shows(p, 0, 1919, 1079, kHdmi1, 1599, 1079) &&
               shows(p, 1, 319, 1079, kHdmi1, 1919, 1079);
    });
    EXPECT_TRUE(blank(p, 0, 319, 500)) << p.describe();
    EXPECT_TRUE(blank(p, 1, 320, 0)) << p.describe();
    auto chip = c331();
    // Output channel 0: from 56 + 320 to 56 + 1920; channel 1, continuing channel 0 (0x11 |
    // 0x1000), from 56 to 56 + 320, reading 1600 pixels (16/5 units each) further on, one
    // line (64 x 1024 units) before the first.
    EXPECT_EQ(chip->field(0x08, 0x40, 2), 376u);
    EXPECT_EQ(chip->field(0x08, 0x32, 2), 1976u);
    EXPECT_EQ(chip->field(0x18, 0x40, 2), 56u);
    EXPECT_EQ(chip->field(0x18, 0x32, 2), 376u);
    EXPECT_EQ(chip->field(0x18, 0x08, 2), 0x1011u);
    const int ich = static_cast<int>(chip->field(0x08, 0x08, 2) >> 8 & 0xF);
    const uint32_t first[5] = {0, 0x08800000, 0x11000000, 0x19800000, 0x22000000};
    for (int b = 0; b < 5; ++b) {
        const uint32_t base = first[b] + 0x2000u * static_cast<uint32_t>(ich);
        EXPECT_EQ(chip->field(0x16, 0x08 + 4 * b, 4), base - 65536u) << b;
        EXPECT_EQ(chip->field(0x26, 0x08 + 4 * b, 4), base + 5120u - 65536u) << b;
    }
    // Its input channel takes port 1 (code 2) from pixel 192 - 7.
    EXPECT_EQ(chip->reg(0x00, 0x10 + ich), 2);
    EXPECT_EQ(chip->field(0x10 + 16 * ich, 0x17, 2), 185u);
    EXPECT_EQ(chip->field(0x10 + 16 * ich, 0x19, 2), 1920u);
}

// Moving the window by 100 pixels changes its output areas and where channel 1 reads;
// nothing of the input side, the composition or the other channels.
TEST_F(Windows, MovingAWindowChangesOnlyWhatMustChange) {
    layout({record(true, kHdmi1, 320, 0, 1920, 1080)}, {0, 1, 2, 3, 4, 5});
    until([](const sim::C331Picture& p) { return shows(p, 0, 320, 0, kHdmi1, 0, 0); });
    const std::map<int, uint8_t> before = settled(*c331());
    write(2272 + 10, {0xA4, 0x01});  // x = 420
    applyImage();
    const sim::C331Picture p = until([](const sim::C331Picture& p) {
        return shows(p, 0, 420, 0, kHdmi1, 0, 0) && shows(p, 1, 419, 0, kHdmi1, 1919, 0);
    });
    EXPECT_TRUE(blank(p, 0, 419, 0));
    const std::map<int, uint8_t> after = settled(*c331());
    std::vector<std::string> unexpected;
    for (const auto& [key, value] : before) {
        if (after.at(key) == value)
            continue;
        const int bank = key >> 8, address = key & 0xFF;
        const bool area = (bank == 0x08 || bank == 0x18) && (address == 0x40 || address == 0x41 ||
                                                             address == 0x32 || address == 0x33);
        const bool read = bank == 0x26 && address >= 0x08 && address < 0x1C;
        // The register-update timing and hold (00/22..00/28, 00/29), which the thread sets
        // around each of its passes and whenever it polls the chip's status.
        const bool timing = bank == 0x00 && address >= 0x22 && address <= 0x29;
        const bool rotation =
            (bank & 0x0F) == 0x06 && bank >= 0x16 &&
            ((address >= 0x66 && address <= 0x68) || address == 0x6C || address == 0x6D);
        if (!area && !read && !rotation && !timing) {
            char text[48];
            std::snprintf(text, sizeof text, "%02X/%02X %02X -> %02X", bank, address, value,
                          after.at(key));
            unexpected.push_back(text);
        }
    }
    EXPECT_TRUE(unexpected.empty()) << ::testing::PrintToString(unexpected);
}

// HDMI2 in a 960 x 540 window at 480, 270 above HDMI1's whole screen, shrunk to half each
// way (959 x 65536 / 1919 + 1 = 32751 across, 539 x 65536 / 1079 + 1 = 32738 down); with
// the layers swapped HDMI1 covers it.
TEST_F(Windows, TwoOverlappingWindowsOnDifferentLayersAndTheirLayerChange) {
    plugHdmi2();
    layout({record(true, kHdmi1, 0, 0, 1920, 1080), record(true, kHdmi2, 480, 270, 960, 540)},
           {1, 0, 2, 3, 4, 5});
    sim::C331Picture p = until([](const sim::C331Picture& p) {
        return shows(p, 0, 960, 540, kHdmi2, 960, 540) && shows(p, 0, 100, 100, kHdmi1, 100, 100);
    });
    EXPECT_TRUE(shows(p, 0, 480, 270, kHdmi2, 0, 0)) << p.describe();
    EXPECT_TRUE(shows(p, 0, 1440, 810, kHdmi1, 1440, 810)) << p.describe();
    int och = -1;
    for (int c = 0; c < 8; ++c)
        if (p.channel(c).shows() && p.channel(c).input == kHdmi2)
            och = c;
    ASSERT_GE(och, 0);
    EXPECT_DOUBLE_EQ(p.channel(och).hScale, 0.5);
    auto chip = c331();
    const int ich = static_cast<int>(chip->field(0x08 + 16 * och, 0x08, 2) >> 8 & 0xF);
    EXPECT_EQ(chip->reg(0x00, 0x10 + ich), 0) << "port 0";
    EXPECT_EQ(chip->field(0x11 + 16 * ich, 0x47, 2), 32751u);
    EXPECT_EQ(chip->field(0x11 + 16 * ich, 0x4C, 2), 32738u);

    Bytes layers;
    pc::put16(layers, 0);
    pc::put16(layers, 1);
    write(2208, layers);
    applyImage();
    p = until([](const sim::C331Picture& p) { return shows(p, 0, 960, 540, kHdmi1, 960, 540); });
    EXPECT_EQ(p.channel(p.layers(0).back()).input, kHdmi1) << p.describe();
}

// Dot by dot in a window larger than its source shows the source pixel for pixel in the
// window's top left; a window smaller than it shows the source's top left part.
TEST_F(Windows, ADotByDotWindowAndAScaledOne) {
    layout({record(true, kHdmi1, 0, 0, 960, 540, 0x0100, 0)}, {0, 1, 2, 3, 4, 5});
    sim::C331Picture p = until([](const sim::C331Picture& p) {
        return shows(p, 0, 959, 539, kHdmi1, 959, 539) && blank(p, 0, 960, 0);
    });
    EXPECT_TRUE(shows(p, 0, 0, 0, kHdmi1, 0, 0)) << p.describe();
    layout({record(true, kHdmi1, 0, 0, 960, 540)}, {0, 1, 2, 3, 4, 5});
    p = until([](const sim::C331Picture& p) { return shows(p, 0, 959, 539, kHdmi1, 1918, 1078); });
    EXPECT_TRUE(shows(p, 0, 480, 270, kHdmi1, 960, 540)) << p.describe();
}
