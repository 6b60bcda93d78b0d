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
