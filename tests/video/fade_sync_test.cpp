// A fade when the c331's output has lost its sync: the first wait for an output frame that
// runs out ends the fade on its final weights, the fade-in of the same pass is written at
// once, and the pass goes on to show the new source.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <vector>

#include "board/sim/bounded_log.h"
#include "board/sim/c331_picture.h"
#include "board/sim/c331_sync_status.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

constexpr size_t kWindow1 = 2272 + 26;  // six 26-byte window records from 2272
constexpr int kDvi = 0, kHdmi1 = 1, kHdmi2 = 2;
constexpr uint64_t kPollsOfOneWait = 70000;

class FadeSyncTest : public VideoTest {
protected:
    // HDMI1 over the whole default screen, HDMI2's window (960 x 540) on top of it, fading
    // over 255 frames out and in when its source is switched.
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        store->load();
        g_force_bkcolor = 2;
        sim::logLimit() = 1u << 20;  // every access of a pass with one 70,000-poll wait
        for (int input : {kDvi, kHdmi1, kHdmi2}) {
            sim::get<sim::HdmiSources>("hdmi-sources")->plug(input, *sim::VideoTiming::cta861(16));
            std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
            inputs->hdminfo[input] =
                HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 0, 0, 0, 0, 0, 1};
        }
        c331()->setFrameRate(20000);
        bringUp();
        cycle();
        apply([](RamParaImage& p) {
            p.setU16(kWindow1 + 0, 1);
            p.setU16(kWindow1 + 8, kHdmi2);
            p.setU16(kWindow1 + 10, 480);
            p.setU16(kWindow1 + 12, 270);
            p.setU16(kWindow1 + 14, 960);
            p.setU16(kWindow1 + 16, 540);
            p.setU16(kWindow1 + 18, 0x0004);  // switch effect: fade
            p.setU16(2208, 1);                // window 0 below window 1
            p.setU16(2208 + 2, 0);
            p.setU16(2816 + 4, 255);  // window 1 fades in over 255 frames
            p.setU16(2818 + 4, 255);  // and out over 255
        });
        c331()->clearLog();
    }
    void TearDown() override {
        sim::logLimit() = sim::kLogLimit;
        VideoTest::TearDown();
    }
    void apply(const std::function<void(RamParaImage&)>& edit) {
        raise(edit);
        cycle();
        cycle();
    }
    void loseOutputSync() {
        c331()->with<sim::C331SyncStatus>([](sim::C331SyncStatus& s) { s.loseOutputSync(true); });
    }
    uint64_t outputWaits() {
        uint64_t arms = 0;
        c331()->with<sim::C331SyncStatus>([&](sim::C331SyncStatus& s) { arms = s.outputArms(); });
        return arms;
    }
    // Per fade step (each ends with 203 to bank 0 0x23), the weight of window 1's layer
    // (layer 1 of position 0: coefficient 1 of set 1) and of the layer below.
    std::vector<std::pair<int, int>> steps() {
        std::vector<std::pair<int, int>> out;
        std::map<int, int> step;
        for (const auto& a : c331()->writes()) {
            if (a.bank == 0x00 && a.address == 0x23 && a.value == 203) {
                out.emplace_back(step[0x11 + 5 + 1], step[0x11 + 5]);
                step.clear();
            } else if (a.bank == 0x0E && a.address >= 0x11 && a.address < 0x11 + 80) {
                step[a.address] = a.value;
            }
        }
        return out;
    }
};

TEST_F(FadeSyncTest, WithoutOutputFramesTheSwitchWaitsOnceAndEndsOnTheFinalWeights) {
    loseOutputSync();
    const uint64_t waitsBefore = outputWaits();
    const sim::SleepStats before = sim::sleepStats();
    apply([](RamParaImage& p) { p.setU16(kWindow1 + 8, kDvi); });
    EXPECT_EQ(outputWaits() - waitsBefore, 1u) << "one wait ran out: no further wait in the pass";
    const uint64_t sleeps = sim::sleepStats().calls - before.calls;
    EXPECT_GE(sleeps, kPollsOfOneWait);
    EXPECT_LT(sleeps, 2 * kPollsOfOneWait);
    // Out: the first step (full weight) and at once the last (nothing); in: only its last.
    EXPECT_EQ(steps(), (std::vector<std::pair<int, int>>{{128, 0}, {0, 128}, {128, 0}}));
    for (int set = 1; set < 16; set += 2) {
        EXPECT_EQ(chip(0x0E, static_cast<uint8_t>(0x11 + 5 * set + 1)), 128u) << set;
        EXPECT_EQ(chip(0x0E, static_cast<uint8_t>(0x11 + 5 * set)), 0u) << set;
    }
    // The pass went on: the window shows the new source.
    const sim::C331Picture picture = sim::C331Picture::of(*c331());
    bool dvi = false;
    for (int c = 0; c < 8; ++c)
        dvi = dvi || (picture.channel(c).shows() && picture.channel(c).input == kDvi);
    EXPECT_TRUE(dvi) << picture.describe();
}

TEST_F(FadeSyncTest, ALostSyncEndsTheFadeInOfThePassAndTheNextFadeOutTriesAgain) {
    loseOutputSync();
    const int fd = manager->c331_fd;
    const int slot = manager->slot_of(1);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(manager->wait1_povs(fd, 0), 0);
    uint64_t waits = outputWaits();
    manager->set_layer_coef(fd, slot, 3, 0);
    EXPECT_EQ(outputWaits() - waits, 1u);
    EXPECT_EQ(steps(), (std::vector<std::pair<int, int>>{{128, 0}, {0, 128}}));
    c331()->clearLog();
    waits = outputWaits();
    manager->set_layer_coef(fd, slot, 3, 1);
    EXPECT_EQ(outputWaits() - waits, 0u) << "the fade-in of the same pass does not wait";
    EXPECT_EQ(steps(), (std::vector<std::pair<int, int>>{{128, 0}}));

    // The output is back: the next pass's fade steps frame by frame again.
    c331()->with<sim::C331SyncStatus>([](sim::C331SyncStatus& s) { s.loseOutputSync(false); });
    EXPECT_EQ(manager->wait1_povs(fd, 0), 1);
    c331()->clearLog();
    waits = outputWaits();
    manager->set_layer_coef(fd, slot, 3, 0);
    manager->set_layer_coef(fd, slot, 3, 1);
    EXPECT_EQ(outputWaits() - waits, 8u);
    EXPECT_EQ(steps(),
              (std::vector<std::pair<int, int>>{
                  {128, 0}, {86, 42}, {43, 85}, {0, 128}, {0, 128}, {42, 86}, {85, 43}, {128, 0}}));
}

}  // namespace
}  // namespace videotest
