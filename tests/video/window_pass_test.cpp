// The output pass on the simulated c331: the freeze's frame-buffer words by value, and a
// set of windows that needs every one of the eight input channels.
//
// The default panel is the LED screen of 1920 x 1080; HDMI1 (input 1) carries 1080p into
// parallel port 1, HDMI3 (input 3) 1080p over 2 V-by-One lanes into port 5, which takes a
// pair of input channels.
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

constexpr int kHdmi1 = 1, kHdmi3 = 3;

class WindowPassTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        store->load();  // window 0 on HDMI1 over the whole screen
        g_force_bkcolor = 2;
        auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
        sources->plug(kHdmi1, *sim::VideoTiming::cta861(16));
        sources->plug(kHdmi3, *sim::VideoTiming::cta861(16));
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[kHdmi1] =
            HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 0, 0, 0, 0, 0, 1};
        inputs->hdminfo[kHdmi3] =
            HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 1, 1, 2, 0, 0, 1};
    }
    void start() {
        bringUp();
        cycle();
    }
    void apply(const std::function<void(RamParaImage&)>& edit) {
        raise(edit);
        cycle();
        cycle();
    }
};

// The buffer records r0..r4 start as 0, 1, 2, 3, 4. Freezing on field f0 exchanges r[(f0 +
// 3) mod 4] with the spare r4; the input channel's memory word is (r1 << 4 | r0) + r2 x
// 0x100 + r3 x 0x1000 + r4 x 0x10000, the output channel reads r4 in all four nibbles while
// frozen and (r0 << 4 | r3) + r1 x 0x100 + r2 x 0x1000 once released.
TEST_F(WindowPassTest, AFreezeExchangesTheFieldsBufferWithTheSpareOne) {
    struct Words {
        uint32_t memory, frozen, released;
    };
    const Words byField[4] = {
        {0x34210, 0x3333, 0x2104},  // f0 0: r3 <-> r4
        {0x03214, 0x0000, 0x2143},  // f0 1: r0 <-> r4
        {0x13240, 0x1111, 0x2403},  // f0 2: r1 <-> r4
        {0x23410, 0x2222, 0x4103},  // f0 3: r2 <-> r4
    };
    start();
    // A slow frame clock: the field stays while the pass runs.
    c331()->setFrameRate(10);
    for (auto& r : manager->fb_rec)
        for (int k = 0; k < 5; ++k)
            r[k] = k;
    c331()->clearLog();
    apply([](RamParaImage& p) { p.setU16(win(0, 16), 1000); });
    const int ich = manager->ich_list[0][0];
    ASSERT_GE(ich, 0);
    const std::vector<sim::C331Model::Access> log = c331()->log();
    int f0 = -1;
    bool requested = false;
    std::vector<uint32_t> outputWords;
    uint32_t low = 0;
    for (const auto& a : log) {
        if (a.write && a.bank == 0x10 + 16 * ich && a.address == 0x09 && a.value == 2)
            requested = true;
        if (requested && f0 < 0 && !a.write && a.bank == 0xAB && a.address == 0x47 + ich)
            f0 = (a.value & 0x0F) >> 2;
        if (a.write && a.bank == 0x16 && a.address == 0x6C)
            low = a.value;
        if (a.write && a.bank == 0x16 && a.address == 0x6D)
            outputWords.push_back(low | static_cast<uint32_t>(a.value) << 8);
    }
    ASSERT_GE(f0, 0) << "the field of the frozen input channel is read";
    const Words& w = byField[f0];
    ASSERT_FALSE(outputWords.empty());
    EXPECT_EQ(outputWords.front(), w.frozen) << "field " << f0;
    EXPECT_EQ(chip(static_cast<uint8_t>(0x16 + 16 * ich), 0x66, 3), w.memory) << "field " << f0;
    EXPECT_EQ(chip(0x16, 0x6C, 2), w.released);
}

// Four windows on the V-by-One input take a pair each: eight input channels, all of them,
// and every window is shown.
TEST_F(WindowPassTest, FourWindowsOnPairsTakeAllEightInputChannels) {
    start();
    apply([](RamParaImage& p) {
        for (int w = 0; w < 4; ++w) {
            p.setU16(win(w, 0), 1);
            p.setU16(win(w, 8), kHdmi3);
            p.setU16(win(w, 10), 0);
            p.setU16(win(w, 12), static_cast<u16>(270 * w));
            p.setU16(win(w, 14), 1920);
            p.setU16(win(w, 16), 270);
        }
    });
    for (int ich = 0; ich < 8; ++ich)
        EXPECT_GE(manager->ich_owner[ich], 0) << ich;
    const sim::C331Picture p = sim::C331Picture::of(*c331());
    int shown = 0;
    for (int c = 0; c < 8; ++c) {
        const sim::ChannelPicture ch = p.channel(c);
        EXPECT_TRUE(ch.faults.empty()) << p.describe();
        if (!ch.shows())
            continue;
        ++shown;
        EXPECT_EQ(ch.input, kHdmi3) << c;
        EXPECT_EQ(ch.area.h, 270) << c;
        EXPECT_EQ(ch.source, (sim::PictureRect{0, 0, 1920, 1080})) << c;
    }
    EXPECT_EQ(shown, 4) << p.describe();
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

}  // namespace
}  // namespace videotest
