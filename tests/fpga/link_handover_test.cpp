// The running FPGA: link watch, port links, the resend requests of the video-processor
// thread and the LED-panel hand-over, which must never lock the two threads together.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/utils.h"
#include "fpga/send_para.h"
#include "tests/fpga/fpga_fixture.h"
#include "video/c331_manage.h"

namespace fpgatest {
namespace {

class Running : public FpgaTest {
protected:
    // Register writes of the next n passes, one tick apart, each with its tick.
    struct TimedWrite {
        RegWrite write;
        u32 tick;
    };
    std::vector<TimedWrite> writesOver(int n) {
        std::vector<TimedWrite> out;
        size_t seen = regWrites().size();
        for (int i = 0; i < n; ++i) {
            pass();
            const auto writes = regWrites();
            for (size_t k = seen; k < writes.size(); ++k)
                out.push_back({writes[k], G_timeTicks});
            seen = writes.size();
        }
        return out;
    }
    void SetUp() override {
        FpgaTest::SetUp();
        QObject::connect(store.get(), &KrxRamPara::sig_update_para, [this](int reason) {
            if (reason == 11)
                ++linkSignals;
        });
        ASSERT_TRUE(bringUp());
    }
    int linkSignals = 0;
};

TEST_F(Running, LinkChangesAreSignalledOnlyWhenTheLinksChange) {
    pass(50);
    EXPECT_EQ(linkSignals, 1) << "the first bitmap seen";
    EXPECT_EQ(manager->get_wlan_state(), 0x0001u);
    fpga()->setLinks(0x0105);
    pass(50);
    EXPECT_EQ(linkSignals, 2);
    EXPECT_EQ(manager->get_wlan_state(), 0x0105u);
    pass(50);
    EXPECT_EQ(linkSignals, 2);
    fpga()->setLinks(0);
    pass();
    EXPECT_EQ(linkSignals, 3);
}

TEST_F(Running, LinkStateIsZeroWithoutTrafficWhileNotReady) {
    manager->set_fpga_ready_state(0, 0);
    const uint64_t before = fpgaMessages();
    EXPECT_EQ(manager->get_wlan_state(), 0u);
    EXPECT_EQ(fpgaMessages(), before);
}

TEST_F(Running, ADroppedLinkIsTrainedAgain) {
    fpga()->dropLink();
    EXPECT_EQ(fpga()->reg(40) & 0x1C, 0);
    fpga()->clearLog();
    ASSERT_TRUE(runUntil([this] { return manager->vbo_fault[0] == 1; }, 50));
    EXPECT_EQ(regWrites(3).back().mask, 0xC0);
    EXPECT_EQ(regWrites(3).back().value & 0xC0, 0);
    ASSERT_TRUE(runUntil([this] { return manager->vbo_fault[0] == 0; }, 100));
    EXPECT_EQ(fpga()->reg(40) & 0x1C, 0x1C) << "locked again";
    EXPECT_EQ(fpga()->reg(3) & 0xC0, 0xC0);
    EXPECT_TRUE(manager->get_fpga_status());
}

// The link is locked only while all three lock bits of register 40 are set: any two of
// them are a lane that does not lock, and the link is trained again.
TEST_F(Running, ALinkWithOneOfItsThreeLockBitsClearIsTrainedAgain) {
    pass(100);
    EXPECT_EQ(manager->vbo_fault[0], 0) << "all three set";
    for (uint8_t bits : {0x18, 0x14, 0x0C}) {
        SCOPED_TRACE(int(bits));
        fpga()->setLockBits(bits);
        fpga()->clearLog();
        ASSERT_TRUE(runUntil([this] { return manager->vbo_fault[0] == 1; }, 50));
        EXPECT_EQ(regWrites(3).back().mask, 0xC0);
        EXPECT_EQ(regWrites(3).back().value & 0xC0, 0);
        fpga()->setLockBits(0x1C);
        ASSERT_TRUE(runUntil([this] { return manager->vbo_fault[0] == 0; }, 100));
        pass(100);
        EXPECT_EQ(manager->vbo_fault[0], 0);
    }
}

TEST_F(Running, LinkWatchKeepsToItsPeriodAndTheIdlePassToTheBus) {
    fpga()->clearLog();
    const uint64_t before = fpgaMessages();
    pass(1000);
    // Per 10 ticks: eight samples of register 40, and the two link registers each tick.
    int samples = 0;
    for (const auto& a : fpga()->log())
        samples += a.read && a.address == 40;
    EXPECT_LE(samples, 8 * 101);
    EXPECT_GE(samples, 8 * 90);
    // And every 80 ticks a card search of the card on port 0: its packet and its answer,
    // fewer than 100 messages.
    EXPECT_LE(fpgaMessages() - before, uint64_t(2 * (samples + 2 * 1000) + 13 * 100));
    // Many passes inside one tick add nothing.
    const uint64_t settled = fpgaMessages();
    for (int i = 0; i < 1000; ++i)
        manager->fpga_manage_deal();
    EXPECT_EQ(fpgaMessages(), settled);
}

TEST_F(Running, ResendRequestsAreTakenBeforeTheWork) {
    store->ram_para.setU16(2116, 1);  // fpga_para: screen black
    manager->output_resend = 1;
    manager->bri_resend = 1;
    pass();
    EXPECT_EQ(manager->bri_resend.load(), 0);
    EXPECT_EQ(manager->output_resend.load(), 0);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04) << "screen black";
    // The video-processor thread raises output_resend again while the screen is being
    // switched: that request must survive.
    store->ram_para.setU16(2116, 0);
    manager->output_resend = 1;
    std::atomic<bool> armed{true};
    window()->addListener([&](uint32_t, uint16_t) {
        if (armed.exchange(false))
            manager->output_resend = 1;
    });
    EXPECT_TRUE(manager->set_output_status());
    EXPECT_FALSE(armed);
    EXPECT_EQ(manager->output_resend.load(), 1) << "raised during the work, kept";
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "screen shown";
    // Not served while the FPGA is not running.
    manager->set_fpga_ready_state(0, 0);
    manager->output_resend = 1;
    manager->bri_resend = 1;
    pass();
    EXPECT_EQ(manager->output_resend.load(), 1);
    EXPECT_EQ(manager->bri_resend.load(), 1);
}

TEST_F(Running, PanelHandOverBlanksThenLetsTheVideoProcessorGoOn) {
    {
        std::lock_guard<std::mutex> lock(Utils::_led_para_init_mutex);
        g_set_led_para = 1;
        g_set_led_setup = 0;
    }
    fpga()->clearLog();
    pass();
    const u32 blanked = G_timeTicks;
    EXPECT_EQ(regWrites(0), (std::vector<RegWrite>{{0, 0x04, 0x04}})) << "blank first";
    EXPECT_EQ(g_set_led_para.load(), 1);

    // The output goes off 11 ticks after the blank; 31 ticks later the video processor
    // may go on.
    u32 outputOff = 0, released = 0;
    for (int i = 0; i < 60 && !released; ++i) {
        for (const TimedWrite& w : writesOver(1))
            if (w.write.reg == 3 && w.write.mask == 0x20 && (w.write.value & 0x20) == 0)
                outputOff = w.tick;
        if (g_set_led_para == 0)
            released = G_timeTicks;
    }
    EXPECT_EQ(outputOff, blanked + 11);
    EXPECT_EQ(released, blanked + 11 + 31);
    EXPECT_EQ(g_set_led_setup.load(), 0);
    EXPECT_EQ(fpga()->reg(3) & 0x20, 0) << "output off while the panel changes";
    EXPECT_EQ(store->ram_para.u16At(2116), 0) << "not a user's black";

    // The video processor has set the new panel up: FPGA 0 is brought up again.
    g_set_led_para = 2;
    pass();
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_TRUE(fpga()->inReset());
    EXPECT_TRUE(bringUp());
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "shown at the end of the output start";
}

TEST_F(Running, FreezeOutStepsTwentyOneTicksApartThenShowsTheScreen) {
    g_freeze_out = 1;
    g_set_led_setup = 0;
    pass();  // the idle check: register 22 bit 2 is clear
    const u32 start = G_timeTicks;
    ASSERT_EQ(g_set_led_setup.load(), 1);
    const std::vector<TimedWrite> writes = writesOver(120);
    std::vector<TimedWrite> steps;
    for (const TimedWrite& w : writes)
        if (w.write.reg == 23 || (w.write.reg == 3 && w.write.mask == 0x20) || w.write.reg == 0)
            steps.push_back(w);
    ASSERT_EQ(steps.size(), 6u);
    const struct {
        RegWrite write;
        u32 after;
    } expected[] = {
        {{23, 0x01, 0x00}, 21},  // output 0 off
        {{23, 0x01, 0x01}, 42},  // and on
        {{23, 0x20, 0x20}, 63},  // a pulse of bit 5
        {{23, 0x20, 0x00}, 84},  //
        {{3, 0x20, 0x20}, 105},  // output on
        {{0, 0x04, 0x00}, 106},  // video present after 11 ticks: screen shown
    };
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(steps[i].write.reg, expected[i].write.reg);
        EXPECT_EQ(steps[i].write.mask, expected[i].write.mask);
        EXPECT_EQ(steps[i].write.value & steps[i].write.mask, expected[i].write.value);
        EXPECT_EQ(steps[i].tick - start, expected[i].after);
    }
    EXPECT_EQ(g_freeze_out.load(), 0);
    EXPECT_EQ(g_set_led_setup.load(), 0);
}

TEST_F(Running, FreezeOutWaitForVideoIsBoundedBy501Polls) {
    // The FPGA never shows video: the last wait polls every 11 ticks, 501 times, then
    // shows the screen anyway.
    fpga()->setOutput(0, 0, 0);
    g_freeze_out = 1;
    g_set_led_setup = 0;
    ASSERT_TRUE(runUntil([] { return g_set_led_setup == 4; }, 200));
    const u32 outputOn = G_timeTicks;
    EXPECT_EQ(fpga()->reg(3) & 0x20, 0x20) << "output on";
    ASSERT_TRUE(runUntil([] { return g_freeze_out == 0; }, 6000));
    EXPECT_EQ(G_timeTicks - outputOn, 1 + 501 * 11u);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "the screen is shown after all";
}

TEST_F(Running, PanelHandOverWhileNotRunningEndsAtOnce) {
    manager->reset_fpga_rst(0);
    pass();
    g_set_led_para = 1;
    pass();
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_EQ(g_set_led_setup.load(), 0);
}

// The video-processor thread waits for the hand-over while it holds the apply lock, at
// the moment the output start wants that lock to raise its own apply request.
TEST_F(FpgaTest, PanelHandOverDuringTheOutputStartDoesNotDeadlock) {
    ASSERT_TRUE(runUntil([this] { return manager->lcd_step[0] == 3; }));
    std::atomic<bool> holding{false}, released{false};
    std::thread video([&] {
        ParaLock lock;
        {
            std::lock_guard<std::mutex> flags(Utils::_led_para_init_mutex);
            g_set_led_para = 1;
            g_set_led_setup = 0;
        }
        holding = true;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (g_set_led_para == 1 && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(10));
        released = g_set_led_para != 1;
    });
    while (!holding)
        std::this_thread::yield();
    pass();
    video.join();
    EXPECT_TRUE(released) << "the pass let the video processor go on";
    EXPECT_EQ(manager->lcd_step[0], 3) << "and tries the apply lock again later";
    EXPECT_TRUE(bringUp());
    EXPECT_EQ(c331_manage::para_update.load(), 1);
}

}  // namespace
}  // namespace fpgatest
