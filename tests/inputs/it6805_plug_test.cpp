// The IT6805 path from a source plugged into input 3 to the published timing, the image
// and the V-by-One output. Expected values are CTA-861's.
#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;

sim::VideoTiming cta(int vic) {
    return *sim::VideoTiming::cta861(vic);
}

TEST_F(It6805Test, A1080p60SourceIsPublishedOnTwoLanes) {
    plugAndWait(cta(16));
    HDMI_INFO r = record();
    EXPECT_EQ(r.Hact, 1920u);
    EXPECT_EQ(r.Hsync, 44u);
    EXPECT_EQ(r.Hback, 148u);
    EXPECT_EQ(r.Htotal, 2200u);
    EXPECT_EQ(r.Hpol, 1u);
    EXPECT_EQ(r.Vact, 1080u);
    EXPECT_EQ(r.Vsync, 5u);
    EXPECT_EQ(r.Vback, 36u);
    EXPECT_EQ(r.Vtotal, 1125u);
    EXPECT_EQ(r.Vpol, 1u);
    EXPECT_NEAR(r.pfreq, 148.5, 0.15);
    EXPECT_EQ(r.type, 1u);
    EXPECT_EQ(r.datamode, 1u);
    EXPECT_EQ(r.lane, 2u);
    EXPECT_EQ(r.ip, 0u);

    VideoSizePara size = inputSize();
    EXPECT_EQ(size.width, 1920);
    EXPECT_EQ(size.height, 1080);
    EXPECT_EQ(size.refresh, 60);
    EXPECT_EQ(store->ram_para[0], 1920 & 0xFF);
    EXPECT_EQ(store->ram_para[1], 1080 & 0xFF);
    EXPECT_EQ(store->ram_para[2], 60);
    EXPECT_NE(std::find(reasons.begin(), reasons.end(), 1), reasons.end());
    EXPECT_EQ(store->reg_para[0x25] & 0x20, 0x20) << "chip present";

    EXPECT_EQ(chip->laneCount(), 2u);
    EXPECT_TRUE(vboLocked());
    EXPECT_TRUE(sources->hotPlug(3));
    EXPECT_EQ(driver().data.VidState, STATEV_VidStable);
    EXPECT_EQ(driver().data.AudState, STATEA_AudioOn);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

}  // namespace

namespace {

TEST_F(It6805Test, A2160p60Yuv420SourceIsPublishedFullWidthOnEightLanes) {
    sim::VideoTiming uhd = cta(97);
    uhd.colour = sim::VideoTiming::Colour::YCbCr420;
    plugAndWait(uhd);
    HDMI_INFO r = record();
    // The receiver sees half the pixels per line at half the clock; the record carries
    // the whole line and the receiver's clock.
    EXPECT_EQ(r.Hact, 3840u);
    EXPECT_EQ(r.Hsync, 88u);
    EXPECT_EQ(r.Hback, 296u);
    EXPECT_EQ(r.Htotal, 4400u);
    EXPECT_EQ(r.Vact, 2160u);
    EXPECT_EQ(r.Vsync, 10u);
    EXPECT_EQ(r.Vback, 72u);
    EXPECT_EQ(r.Vtotal, 2250u);
    // Within the count resolution: 20 samples of about 40 reference periods each.
    EXPECT_NEAR(r.pfreq, 297.0, 0.5);
    EXPECT_EQ(r.lane, 8u);
    EXPECT_EQ(r.nosignal, 0u);

    VideoSizePara size = inputSize();
    EXPECT_EQ(size.width, 3840);
    EXPECT_EQ(size.height, 2160);
    EXPECT_EQ(size.refresh, 60);
    EXPECT_EQ(store->ram_para[0], 3840 & 0xFF);
    EXPECT_EQ(store->ram_para[1], 2160 & 0xFF);

    EXPECT_EQ(chip->laneCount(), 8u);
    EXPECT_TRUE(vboLocked());
    // BT.709 YCbCr to RGB, bank 1 0x70..0x85.
    const std::vector<uint8_t> bt709 = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B,
                                        0x3E, 0x4F, 0x09, 0x57, 0x0E, 0x02, 0x00, 0x4F,
                                        0x09, 0xFE, 0x3F, 0xE8, 0x10, 0x00};
    std::vector<uint8_t> matrix;
    for (unsigned reg = 0x70; reg <= 0x85; ++reg)
        matrix.push_back(chip->reg(1, reg));
    EXPECT_EQ(matrix, bt709);
    EXPECT_EQ(chip->reg(0, 0x6C) & 0x03, 0x03) << "YUV in, RGB out";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// 1920x1080 lines at 54 and 55 frames a second.
sim::VideoTiming at(unsigned frameRate) {
    sim::VideoTiming t = cta(16);
    t.pixelClockKHz = 2200 * 1125 * frameRate / 1000;
    return t;
}

TEST_F(It6805Test, FiftyFourHertzIsStoredAsMeasuredAndFiftyFiveAsSixty) {
    plugAndWait(at(54));
    EXPECT_EQ(inputSize().refresh, 54);
    EXPECT_EQ(store->ram_para[2], 54);

    sources->plug(3, at(55));
    ASSERT_TRUE(runUntil([&] { return inputSize().refresh != 54 && published(); }));
    EXPECT_EQ(inputSize().refresh, 60);
    EXPECT_EQ(store->ram_para[2], 55) << "the timing byte keeps the measured rate";
    EXPECT_EQ(inputSize().width, 1920);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// The measured clock scatters by a fraction of a permille around the true one; a 50 Hz
// source is 50 Hz whichever side of it the measurement falls.
TEST_F(It6805Test, FiftyHertzSourcesAreStoredAsFifty) {
    plugAndWait(cta(31));
    EXPECT_EQ(inputSize().refresh, 50);
    EXPECT_EQ(store->ram_para[2], 50);
    sources->plug(3, cta(19));
    ASSERT_TRUE(runUntil([&] { return inputSize().width == 1280 && published(); }));
    EXPECT_EQ(inputSize().refresh, 50);
    EXPECT_EQ(store->ram_para[2], 50);
}

TEST_F(It6805Test, ADviSourceGoesOnWithoutAudioAndIsPublished) {
    sim::VideoTiming dvi = cta(16);
    dvi.dvi = true;
    plugAndWait(dvi);
    EXPECT_EQ(driver().data.AudState, STATEA_AudioOn);
    EXPECT_EQ(driver().data.Current_AudioCheck_TryCount, 2);
    EXPECT_EQ(record().Hact, 1920u);
    EXPECT_EQ(inputSize().refresh, 60);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// The two register maps of the measured timing: the late revisions (ChipID 0x10 and 0xE0)
// keep porches and vertical values at other addresses than every other ChipID. The timing
// has sync widths and porches above 255 so that every high part counts.
class It6805ChipIds : public It6805Test, public testing::WithParamInterface<int> {};

TEST_P(It6805ChipIds, TimingIsReadFromTheMapOfTheChipId) {
    chip->setChipId(static_cast<uint8_t>(GetParam()));
    bool late = GetParam() == 0x10 || GetParam() == 0xE0;
    sim::VideoTiming odd;
    odd.hActive = 1024;
    odd.hFront = 260;
    odd.hSync = 300;
    odd.hBack = 100;
    odd.vActive = 600;
    odd.vFront = 270;
    odd.vSync = 260;
    odd.vBack = 30;
    odd.hSyncPositive = false;
    odd.vSyncPositive = true;
    odd.pixelClockKHz = 90000;
    plugAndWait(odd);
    EXPECT_EQ(driver().data.ChipID, GetParam());
    HDMI_INFO r = record();
    EXPECT_EQ(r.Hact, 1024u);
    EXPECT_EQ(r.Hsync, 300u);
    EXPECT_EQ(r.Hback, 100u);
    EXPECT_EQ(r.Htotal, 1684u);
    EXPECT_EQ(r.Hpol, 0u);
    EXPECT_EQ(r.Vact, 600u);
    EXPECT_EQ(r.Vsync, 260u);
    EXPECT_EQ(r.Vback, 30u);
    EXPECT_EQ(r.Vtotal, 1160u);
    EXPECT_EQ(r.Vpol, 1u);
    EXPECT_EQ(r.lane, 2u);
    EXPECT_TRUE(vboLocked());
    // The late revisions' own settings: 0x3E bit 5 clear, and the V-by-One transmitter's
    // bank 5 0xD5, 0xD7, 0xDF and 0xE1 bit 7, which the others never have written.
    EXPECT_EQ(chip->reg(0, 0x3E) & 0x20, late ? 0x00 : 0x20);
    EXPECT_EQ(chip->reg(5, 0xD5), late ? 0x80 : 0x00);
    EXPECT_EQ(chip->reg(5, 0xD7), late ? 0x0C : 0x00);
    EXPECT_EQ(chip->reg(5, 0xDF), late ? 0x87 : 0x00);
    EXPECT_EQ(chip->reg(5, 0xE1) & 0x80, late ? 0x80 : 0x00);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(LateAndEarly, It6805ChipIds, testing::Values(0x10, 0xE0, 0x00, 0xE1));

struct LaneCase {
    const char* name;
    uint16_t hActive, hFront, hSync, hBack, vActive, vFront, vSync, vBack;
    uint32_t pixelClockKHz;
    unsigned lanes;
};

void PrintTo(const LaneCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Lanes : public It6805Test, public testing::WithParamInterface<LaneCase> {};

TEST_P(It6805Lanes, LaneCountFollowsThePixelClockAndTheLine) {
    const LaneCase& c = GetParam();
    sim::VideoTiming t;
    t.hActive = c.hActive;
    t.hFront = c.hFront;
    t.hSync = c.hSync;
    t.hBack = c.hBack;
    t.vActive = c.vActive;
    t.vFront = c.vFront;
    t.vSync = c.vSync;
    t.vBack = c.vBack;
    t.pixelClockKHz = c.pixelClockKHz;
    plugAndWait(t);
    EXPECT_EQ(record().lane, c.lanes);
    EXPECT_EQ(chip->laneCount(), c.lanes);
    EXPECT_TRUE(vboLocked());
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(
    Timings, It6805Lanes,
    testing::Values(LaneCase{"p720", 1280, 110, 40, 220, 720, 5, 5, 20, 74250, 1},
                    LaneCase{"p1080", 1920, 88, 44, 148, 1080, 4, 5, 36, 148500, 2},
                    LaneCase{"wide120MHz", 2560, 48, 32, 80, 1080, 3, 10, 18, 120000, 4},
                    LaneCase{"wideOddPorch", 2560, 110, 40, 220, 1080, 4, 5, 36, 197775, 2},
                    // The sync width and back porch not multiples of 4, their sum and the
                    // line's total are.
                    LaneCase{"wideOddSync", 2560, 48, 34, 82, 1080, 3, 10, 18, 120000, 2},
                    LaneCase{"p2160at24", 3840, 1276, 88, 296, 2160, 8, 10, 72, 297000, 4}),
    [](const testing::TestParamInfo<LaneCase>& info) { return std::string(info.param.name); });

// The picture counts as stable once AVI data byte 1 read the same for five passes after
// the one that first took it: six passes in CheckSync.
TEST_F(It6805Test, AStillAviByteMakesThePictureStableInSixPasses) {
    plugAndWait(cta(16));
    driver().iTE6805_vid_chg(STATEV_CheckSync, 0);
    for (int p = 1; p <= 5; ++p) {
        pass();
        EXPECT_EQ(driver().data.VidState, STATEV_CheckSync) << "pass " << p;
    }
    pass();
    EXPECT_EQ(driver().data.VidState, STATEV_VidStable);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

struct AudioWaitCase {
    const char* name;
    bool dvi;
    int passes;  // from WaitForReady to AudioOn
    int tries;
};

class It6805AudioWait : public It6805Test, public testing::WithParamInterface<AudioWaitCase> {};

// Audio is waited for four passes and checked on the fifth; without it, twice more.
TEST_P(It6805AudioWait, AudioIsWaitedForFourPassesAtATime) {
    const AudioWaitCase& c = GetParam();
    sim::VideoTiming t = cta(16);
    t.dvi = c.dvi;
    plugAndWait(t);
    driver().iTE6805_aud_chg(STATEA_WaitForReady, 0);
    int passes = 0;
    while (passes < 40 && driver().data.AudState == STATEA_WaitForReady) {
        pass();
        ++passes;
    }
    EXPECT_EQ(driver().data.AudState, STATEA_AudioOn);
    EXPECT_EQ(passes, c.passes);
    EXPECT_EQ(driver().data.Current_AudioCheck_TryCount, c.tries);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(Sources, It6805AudioWait,
                         testing::Values(AudioWaitCase{"hdmi", false, 5, 0},
                                         AudioWaitCase{"dviWithoutAudio", true, 15, 2}),
                         [](const testing::TestParamInfo<AudioWaitCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
