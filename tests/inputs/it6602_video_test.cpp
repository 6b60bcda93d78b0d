// An IT6602 channel driven by the input thread: a source plugged into its input is
// identified, synchronised, measured and published; unplugging clears what was published.
#include "tests/inputs/it6602_fixture.h"

namespace {

using test::It6602Test;
using Colour = sim::VideoTiming::Colour;

TEST_F(It6602Test, A1080p60SourceIsMeasuredAndPublished) {
    EXPECT_FALSE(sources->hotPlug(1)) << "no 5 V, no hot-plug";
    sources->plug(1, cta(16));
    ASSERT_TRUE(pictureOn(1));

    // CTA-861 VIC 16: 1920 x 1080, H 88/44/148 (total 2200), V 4/5/36 (total 1125),
    // 148.5 MHz, both syncs positive.
    HDMI_INFO r = record(1);
    EXPECT_EQ(r.Hact, 1920u);
    EXPECT_EQ(r.Hsync, 44u);
    EXPECT_EQ(r.Hback, 148u);
    EXPECT_EQ(r.Hpol, 1u);
    EXPECT_EQ(r.Htotal, 2200u);
    EXPECT_EQ(r.Vact, 1080u);
    EXPECT_EQ(r.Vsync, 5u);
    EXPECT_EQ(r.Vback, 36u);
    EXPECT_EQ(r.Vpol, 1u);
    EXPECT_EQ(r.Vtotal, 1125u);
    EXPECT_FLOAT_EQ(r.pfreq, 148.5f);
    EXPECT_EQ(r.type, 0u);
    EXPECT_EQ(r.datamode, 0u);
    EXPECT_EQ(r.lane, 0u);
    EXPECT_EQ(r.ip, 0u);
    EXPECT_EQ(r.nosignal, 0u);
    EXPECT_EQ(r.updated, 1u);

    VideoSizePara size = inputSize(1);
    EXPECT_EQ(size.width, 1920);
    EXPECT_EQ(size.height, 1080);
    EXPECT_EQ(size.refresh, 60);
    EXPECT_EQ(store->reg_para[0x25] & 0x1C, 0x1C) << "all three channels found";
    EXPECT_TRUE(sources->hotPlug(1));
    EXPECT_EQ(record(0).nosignal, 1u);
    EXPECT_EQ(record(0).updated, 0u);
}

TEST_F(It6602Test, UnplugClearsTheRecordAndTheSize) {
    sources->plug(2, cta(16));
    ASSERT_TRUE(pictureOn(2));
    int before = signals_;
    sources->unplug(2);
    ASSERT_TRUE(passUntil([&] { return record(2).nosignal == 1; }));
    pass(5);
    HDMI_INFO r = record(2);
    EXPECT_EQ(r.Hact, 0u);
    EXPECT_EQ(r.Hsync, 0u);
    EXPECT_EQ(r.Hback, 0u);
    EXPECT_EQ(r.Htotal, 0u);
    EXPECT_EQ(r.Vact, 0u);
    EXPECT_EQ(r.Vsync, 0u);
    EXPECT_EQ(r.Vback, 0u);
    EXPECT_EQ(r.Vtotal, 0u);
    EXPECT_EQ(r.pfreq, 0.0f);
    EXPECT_EQ(r.ip, 0u);
    EXPECT_EQ(r.updated, 1u) << "the video processor still looks at the record";
    VideoSizePara size = inputSize(2);
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
    EXPECT_EQ(size.refresh, 0);
    EXPECT_FALSE(sources->hotPlug(2));
    EXPECT_GT(signals_, before);
    EXPECT_NE(driver(2).video_state, VSTATE_VideoOn);

    // Without a source nothing changes any more, and nothing is signalled again.
    int settled = signals_;
    pass(20);
    EXPECT_EQ(signals_, settled);

    sources->plug(2, cta(4));
    ASSERT_TRUE(pictureOn(2));
    EXPECT_EQ(inputSize(2).width, 1280);
    EXPECT_EQ(inputSize(2).height, 720);
}

// Rates as CTA-861 and VESA give them; the image keeps 55 Hz and more as 60.
TEST_F(It6602Test, RefreshIsTheMeasuredRateRoundedAndKeptAs60From55) {
    struct Case {
        sim::VideoTiming timing;
        u16 width, height, refresh;
        const char* what;
    };
    sim::VideoTiming vesa75{};  // VESA DMT 1024 x 768 at 75 Hz
    vesa75.hActive = 1024;
    vesa75.hFront = 16;
    vesa75.hSync = 96;
    vesa75.hBack = 176;
    vesa75.vActive = 768;
    vesa75.vFront = 1;
    vesa75.vSync = 3;
    vesa75.vBack = 28;
    vesa75.pixelClockKHz = 78750;
    const Case cases[] = {
        {fractional(cta(16)), 1920, 1080, 60, "1080p at 59.94 Hz"},
        {cta(31), 1920, 1080, 50, "1080p at 50 Hz"},
        {cta(19), 1280, 720, 50, "720p at 50 Hz"},
        {vesa75, 1024, 768, 60, "1024 x 768 at 75 Hz"},
        {cta(32), 1920, 1080, 24, "1080p at 24 Hz"},
        {fractional(cta(34)), 1920, 1080, 30, "1080p at 29.97 Hz"},
        {cta(95), 3840, 2160, 30, "2160p at 30 Hz"},
        {cta(5), 1920, 540, 60, "1080i at 60 fields, measured per field"},
    };
    for (const Case& c : cases) {
        sources->unplug(0);
        ASSERT_TRUE(passUntil([&] { return record(0).nosignal == 1; })) << c.what;
        sources->plug(0, c.timing);
        ASSERT_TRUE(pictureOn(0)) << c.what;
        VideoSizePara size = inputSize(0);
        EXPECT_EQ(size.width, c.width) << c.what;
        EXPECT_EQ(size.height, c.height) << c.what;
        EXPECT_EQ(size.refresh, c.refresh) << c.what;
    }
    EXPECT_EQ(record(0).ip, 1u);
    EXPECT_EQ(record(0).Vtotal, 562u);
}

TEST_F(It6602Test, ANewTimingOnThePluggedCableIsMeasuredAgain) {
    sources->plug(1, cta(16));
    ASSERT_TRUE(pictureOn(1));
    sources->plug(1, cta(4));
    ASSERT_TRUE(passUntil([&] { return inputSize(1).width == 1280; }));
    ASSERT_TRUE(pictureOn(1));
    EXPECT_EQ(inputSize(1).height, 720);
    EXPECT_EQ(inputSize(1).refresh, 60);
    EXPECT_EQ(record(1).Htotal, 1650u);
    EXPECT_EQ(record(1).Vtotal, 750u);
    EXPECT_FLOAT_EQ(record(1).pfreq, 74.25f);
}

TEST_F(It6602Test, AClockThatReadsZeroPublishesNoRate) {
    chip(1).setMeasurementsZero(true);
    sources->plug(1, cta(16));
    ASSERT_TRUE(pictureOn(1));
    EXPECT_EQ(inputSize(1).refresh, 0);
    EXPECT_EQ(record(1).pfreq, 0.0f);
    EXPECT_EQ(record(1).Htotal, 0u);
}

TEST_F(It6602Test, AChannelWithoutChipStaysInIdentificationQuietly) {
    sources->unplug(2);
    chip(2).setPresent(false);
    source->it6602_step[2] = 0;
    pass(3);
    int before = signals_;
    int failures = source->it6602->identify_failures[2];
    pass(20);
    EXPECT_EQ(source->it6602_step[2], 0);
    EXPECT_EQ(store->reg_para[0x25] & 0x10, 0);
    EXPECT_EQ(store->reg_para[0x25] & 0x0C, 0x0C);
    // Both addresses fail on every attempt.
    EXPECT_EQ(source->it6602->identify_failures[2], std::min(255, failures + 40));
    EXPECT_EQ(signals_, before) << "no refresh for a channel that stays without signal";
    EXPECT_EQ(record(2).nosignal, 1u);

    chip(2).setPresent(true);
    sources->plug(2, cta(16));
    ASSERT_TRUE(pictureOn(2));
    EXPECT_EQ(store->reg_para[0x25] & 0x10, 0x10);
}

// A custom EDID written by the input thread: the source must see hot-plug low long enough to
// read the EDID again (100 ms), and the channel comes back with the picture.
TEST_F(It6602Test, ACustomEdidPullsTheHotPlugLowForAtLeast100ms) {
    sources->plug(1, cta(16));
    ASSERT_TRUE(pictureOn(1));
    ASSERT_TRUE(sources->hotPlug(1));
    size_t edges = sources->hotPlugEdges(1).size();

    sim::setSleepDivisor(1);
    test::RealTimeTicks ticks;
    size_t at = 896 + 6;  // input 1's EDID size (the sizes start at image offset 896)
    store->ram_para.setU16(at, 1280);
    store->ram_para.setU16(at + 2, 1024);
    store->ram_para.setU16(at + 4, 60);
    source->request_edid_rewrite(1);
    for (int i = 0; i < 2000 && sources->hotPlugEdges(1).size() < edges + 2; ++i)
        source->checksource_pass();
    auto all = sources->hotPlugEdges(1);
    ASSERT_GE(all.size(), edges + 2);
    EXPECT_FALSE(all[edges].high);
    EXPECT_TRUE(all[edges + 1].high);
    EXPECT_GE(all[edges + 1].timeMs - all[edges].timeMs, 100.0);
    for (int i = 0; i < 2000 && !(driver(1).video_state == VSTATE_VideoOn && !record(1).nosignal);
         ++i)
        source->checksource_pass();
    EXPECT_EQ(driver(1).video_state, VSTATE_VideoOn);
    EXPECT_EQ(inputSize(1).width, 1920);
}

TEST_F(It6602Test, LosingSyncWithoutLosingTheCableWaitsForSync) {
    sources->plug(0, cta(16));
    ASSERT_TRUE(pictureOn(0));
    // The chip reports SCDT lost: the picture is withdrawn and comes back with the sync.
    chip(0).raiseInterrupt(0x07, 0x02);
    pass();
    EXPECT_NE(driver(0).video_state, VSTATE_VideoOn);
    ASSERT_TRUE(pictureOn(0));
    EXPECT_EQ(inputSize(0).width, 1920);
}

class It6602PluggedAtStart : public It6602Test {
protected:
    void beforeStartUp() override { sources->plug(2, cta(16)); }
};

// The receivers come out of reset with 5 V already on the cable: nothing is plugged later,
// and the picture is found all the same.
TEST_F(It6602PluggedAtStart, ASourcePresentAtStartUpGivesAPicture) {
    ASSERT_TRUE(pictureOn(2));
    EXPECT_EQ(inputSize(2).width, 1920);
    EXPECT_EQ(inputSize(2).refresh, 60);
    EXPECT_TRUE(sources->hotPlug(2));
}

}  // namespace
