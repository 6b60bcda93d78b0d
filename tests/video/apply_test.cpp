// The apply cycle: what each kind of change reaches, once, in the dispatcher's order; the
// service bytes; the lost update; the bounded hand-over wait.
#include <gtest/gtest.h>

#include "board/sim/sim.h"
#include "core/global.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

TEST_F(VideoTest, EachChangeIsAppliedOnceAndReportedWithTheRequest) {
    // A panel and window 0 shown on it, so that its fade times have a window slot to reach.
    for (RamParaImage* image : {&store->ram_para, &store->ram_para_shadow}) {
        image->setU16(1378, 1920);
        image->setU16(1380, 1080);
        image->setU16(win(0, 0), 1);
    }
    bringUp();
    raise(
        [](RamParaImage& p) {
            p.setU16(2176, 80);      // picture brightness
            p.setU16(2116, 1);       // the FPGA's screen black switch
            p.setU16(2816, 25);      // window 0 (slot 0) fade-in
            p.setU16(2816 + 2, 33);  // window 0 fade-out
            p.setU16(2816 + 4, 44);  // window 1 fade-in: not shown, no slot
            p.setU16(win(2, 20), 0x8001);
            p.setU16(896 + 6, 1280);  // input 1's EDID width
            p.setU16(1378, 1280);     // LED width
        },
        2);
    cycle();
    EXPECT_EQ(fpga->bri_resend, 1);
    EXPECT_EQ(fpga->output_resend, 1);
    EXPECT_EQ(inputs->source_changed, 1);
    EXPECT_EQ(inputs->edid_request[1], 1);
    EXPECT_EQ(inputs->edid_done[1], 0);
    EXPECT_EQ(g_set_led_para, 2);
    EXPECT_EQ(manager->pm.PM_WIN_FADE_IN[0], 25);
    EXPECT_EQ(manager->pm.PM_WIN_FADE_OUT[0], 33);
    EXPECT_NE(manager->pm.PM_WIN_FADE_IN[1], 44);
    EXPECT_EQ(reasons, std::vector<int>{2});
    EXPECT_EQ(c331_manage::para_update, 0);

    // The shadow has not been saved yet; another request must not apply it all again.
    fpga->bri_resend = fpga->output_resend = inputs->source_changed = inputs->edid_request[1] = 0;
    g_set_led_para = 0;
    manager->pm.PM_WIN_FADE_IN[0] = 0;
    raise([](RamParaImage&) {});
    cycle();
    EXPECT_EQ(
        fpga->bri_resend + fpga->output_resend + inputs->source_changed + inputs->edid_request[1],
        0);
    EXPECT_EQ(g_set_led_para, 0);
    EXPECT_EQ(manager->pm.PM_WIN_FADE_IN[0], 0);
    EXPECT_EQ(reasons, (std::vector<int>{2, 1}));
    cycle();  // no request, no report
    EXPECT_EQ(reasons.size(), 2u);
}

TEST_F(VideoTest, StepsRunInTheDispatchersOrder) {
    bringUp();
    raise([&](RamParaImage& p) {
        p.setU16(2816, 7);             // fades
        p.setU16(win(0, 4), 1);        // windows
        p.setU16(2208 + 2, 3);         // layers
        store->reg_para[0x22] = 0x04;  // service: disable_slidebar
    });
    std::string out = printed([&] { cycle(); });
    size_t layer = out.find("DIFF REG CUSTOM_INFO_IMAGE2_PRIORITY 0000==>0003");
    size_t window = out.find("DIFF REG win[0] reg:64 0000==>0001");
    size_t fade = out.find("DIFF REG win[0] reg:0(0b00) 0000==>0007");
    size_t service = out.find("disable_slidebar over");
    ASSERT_NE(layer, std::string::npos) << out;
    ASSERT_NE(window, std::string::npos) << out;
    ASSERT_NE(fade, std::string::npos) << out;
    ASSERT_NE(service, std::string::npos) << out;
    EXPECT_LT(layer, window);
    EXPECT_LT(window, fade);
    EXPECT_LT(fade, service);
}

TEST_F(VideoTest, ARectangleChangeEndsTheWindowScan) {
    bringUp();
    raise([](RamParaImage& p) {
        p.setU16(win(0, 4), 2);
        p.setU16(win(2, 10), 100);
        p.setU16(win(3, 4), 1);
    });
    std::string out = printed([&] { cycle(); });
    EXPECT_NE(out.find("DIFF REG win[0] reg:64"), std::string::npos);
    EXPECT_NE(out.find("DIFF REG win[0x2] reg:9e 0000==>0064"), std::string::npos);
    EXPECT_EQ(out.find("DIFF REG win[0x3]"), std::string::npos) << "covered by the rebuild";
    raise([](RamParaImage&) {});
    EXPECT_EQ(printed([&] { cycle(); }).find("DIFF REG"), std::string::npos);
}

TEST_F(VideoTest, SourceChangesAndCrops) {
    bringUp();
    raise([](RamParaImage& p) {
        p.setU16(2112, 1);
        p.setU16(win(0, 8), 2);
    });
    cycle();
    EXPECT_EQ(inputs->source_changed, 0) << "window 0 is not the current window";
    raise([](RamParaImage& p) { p.setU16(win(1, 8), 3); });
    cycle();
    EXPECT_EQ(inputs->source_changed, 1);
    // A crop word: the index is its low byte; indexes past the table are ignored.
    inputs->source_changed = 0;
    raise([](RamParaImage& p) { p.setU16(win(1, 8), 0x8105); });
    cycle();
    EXPECT_EQ(inputs->source_changed, 1);
    inputs->source_changed = 0;
    std::string out;
    raise([](RamParaImage& p) { p.setU16(win(1, 8), 0x8000 | 45); });
    out = printed([&] { cycle(); });
    EXPECT_EQ(inputs->source_changed, 0);
    EXPECT_NE(out.find("crop entry 45"), std::string::npos) << out;
}

TEST_F(VideoTest, OneEdidRequestPerCycleAndNoneForTheLastTwoEntries) {
    bringUp();
    raise([](RamParaImage& p) {
        p.setU16(914 + 2, 720);
        p.setU16(896 + 6, 1280);  // input 1's EDID width
    });
    cycle();
    EXPECT_EQ(inputs->edid_request[1], 1);
    EXPECT_EQ(inputs->edid_request[3], 0);
    raise([](RamParaImage&) {});
    cycle();
    EXPECT_EQ(inputs->edid_request[3], 1);
    EXPECT_EQ(inputs->edid_done[3], 0);
    for (int i = 0; i < 4; ++i)
        inputs->edid_request[i] = 0;
    raise([](RamParaImage& p) {
        p.setU16(920, 3840);
        p.setU16(926 + 4, 30);
    });
    cycle();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(inputs->edid_request[i], 0) << i;
}

TEST_F(VideoTest, ServiceBytesActOnlyWithARequestAndTheLowestBitWins) {
    bringUp();
    store->reg_para[0x22] = 0x06;
    cycle();
    EXPECT_TRUE(c331()->writes().empty());
    EXPECT_EQ(store->reg_para[0x22], 0x06);

    raise([](RamParaImage&) {});
    cycle();
    EXPECT_EQ(store->reg_para[0x22], 0);
    EXPECT_EQ(chip(0x08, 0x57), 9u);
    EXPECT_EQ(chip(0x18, 0x57), 9u) << "disable_slidebar must not have run";
    EXPECT_EQ(chip(0x18, 0x63, 3), 0x0000FFu);
    EXPECT_EQ(chip(0x38, 0x66, 3), 0x030000u);
    EXPECT_EQ(chip(0x28, 0x61, 2), 1376u);

    raise([&](RamParaImage&) { store->reg_para[0x22] = 0x41; });
    cycle();
    EXPECT_EQ(chip(0x48, 0x63, 3), 0xFFFFFFu);
    EXPECT_EQ(chip(0x58, 0x63, 3), 0x00FF00u);
    EXPECT_EQ(manager->manage_state, c331_manage::kStateRun);

    raise([&](RamParaImage&) {
        store->reg_para[0x23] = 21;  // group 20 mod 14: white backgrounds
        store->reg_para[0x24] = 2;   // no dump without bit 0
        store->reg_para[0x21] = 3;   // bit 0 wins
    });
    c331()->clearLog();
    cycle();
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(chip(0x08 + 16 * c, 0x49, 3), 0xFFFFFFu) << c;
    EXPECT_EQ(store->reg_para[0x23] + store->reg_para[0x24] + store->reg_para[0x21], 0);
    std::vector<uint8_t> testControl;
    for (const auto& a : c331()->writes())
        if (a.bank == 0x08 && a.address == 0x0F)
            testControl.push_back(a.value);
    EXPECT_EQ(testControl, (std::vector<uint8_t>{196, 0}));
    EXPECT_NE(chip(0x18, 0x0C, 2), 0x15ECu) << "the frame-lock test must not have run";

    raise([&](RamParaImage&) { store->reg_para[0x22] = 0x40; });
    cycle();
    EXPECT_EQ(manager->manage_state, 0) << "restart: identity checks and bring-up again";
}

// The synchroniser saves the image and copies it into the shadow after each report; a
// change raised before it does so must still reach the chip.
TEST_F(VideoTest, AChangeRaisedBeforeTheShadowCopyIsNotLost) {
    bringUp();
    raise([](RamParaImage& p) { p.setU16(2176, 40); });
    cycle();
    EXPECT_EQ(fpga->bri_resend, 1);
    raise([](RamParaImage& p) { p.setU16(2116, 1); });  // the FPGA's screen black switch
    {
        ParaLock lock;
        store->ram_para_shadow = store->ram_para;
    }
    cycle();
    EXPECT_EQ(fpga->output_resend, 1);
}

TEST_F(VideoTest, PanelSetUpWaitsForTheLedHandOverBoundedly) {
    bringUp();
    g_set_led_para = 1;
    raise([](RamParaImage& p) { p.setU16(1380, 1080); });
    auto before = sim::sleepStats();
    std::string out = printed([&] { cycle(); });
    auto slept = sim::sleepStats().requestedMicroseconds - before.requestedMicroseconds;
    EXPECT_EQ(slept, uint64_t{c331_manage::kLedHandOverPolls} * c331_manage::kLedHandOverPollUs);
    EXPECT_NE(out.find("hand-over still busy"), std::string::npos);
    EXPECT_EQ(g_set_led_para, 2);
    EXPECT_EQ(reasons.size(), 1u);

    g_set_led_para = 0;
    raise([](RamParaImage& p) { p.setU16(1376, 3); });
    before = sim::sleepStats();
    cycle();
    EXPECT_EQ(sim::sleepStats().calls, before.calls);
    EXPECT_EQ(g_set_led_para, 2);
}

TEST_F(VideoTest, UnlockedPartFollowsReprogrammedPorts) {
    bringUp();
    manager->PI_UPDATE[1] = 1;  // port 1 feeds window 2 in the built-in set
    manager->g_chg_hdmi[3] = 1;
    manager->g_chg_osd_set = 1;
    manager->g_chg_osd_update = 1;
    const u32 passes = manager->output_passes;
    cycle();
    EXPECT_EQ(manager->g_chg_osd_set, 1) << "an OSD update request goes first";
    EXPECT_EQ(manager->g_chg_osd_update, 0);
    cycle();
    EXPECT_EQ(manager->output_passes - passes, 2u) << "windows 2 and 4 are rebuilt";
    EXPECT_EQ(manager->PI_UPDATE[1] + manager->g_chg_hdmi[3] + manager->g_chg_osd_set, 0);
    // While the test pattern generator drives the output nothing is followed.
    manager->pattern_gen = 1;
    manager->PI_UPDATE[0] = 1;
    cycle();
    EXPECT_EQ(manager->PI_UPDATE[0], 1);
}

}  // namespace
}  // namespace videotest
