// The manager's own thread: started once, opens the start gate, does not spin without a
// chip, and keeps the lock order with writers, the synchroniser and the FPGA side.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "board/board.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

int taskCount() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++n;
    }
    return n;
}

int identityReads(const std::vector<sim::C331Model::Access>& log) {
    int n = 0;
    for (const auto& a : log)
        n += !a.write && a.bank == 0xB2 && a.address == 0x08;
    return n;
}

TEST_F(VideoTest, pInstanceStartsOneThreadThatOpensTheGate) {
    manager.reset();
    c331_manage* first = c331_manage::pInstance();
    int running = taskCount();
    c331_manage* again = c331_manage::pInstance();
    EXPECT_EQ(first, again);
    EXPECT_EQ(c331_manage::p_c331_manage, first);
    EXPECT_EQ(taskCount(), running) << "a second call starts no thread";
    EXPECT_TRUE(test::waitFor([] { return g_fpga_c331_start == 1; }, 10000));
    EXPECT_EQ(first->multi_win[9].cnt, 6);
    EXPECT_EQ(first->multi_win[2].pwin, first->multi_win_rect[2]);
    delete first;
    EXPECT_EQ(c331_manage::p_c331_manage, nullptr);
    EXPECT_EQ(taskCount(), running - 1);
}

TEST_F(VideoTest, WithoutAChipTheThreadSleepsBetweenAttempts) {
    sim::setSleepDivisor(1);
    c331()->setReg(0xB2, 0x08, 0x00);
    auto before = sim::sleepStats();
    ASSERT_EQ(manager->initialize(), 0);
    board::msleep(350);
    manager->stop_thread();
    auto slept = sim::sleepStats();
    int reads = identityReads(c331()->log());
    EXPECT_GE(reads, 2);
    EXPECT_LE(reads, 7) << "one read from initialize, then one per 100 ms";
    // Each attempt sleeps 100 ms (the test's own 350 ms sleep counts as well).
    EXPECT_GE(slept.requestedMicroseconds - before.requestedMicroseconds,
              uint64_t(reads - 1) * 100000u);
    EXPECT_EQ(g_fpga_c331_start, 0u);

    // The chip answers: the same manager starts again and opens the gate.
    sim::setSleepDivisor(100000);
    c331()->setReg(0xB2, 0x08, 0x24);
    ASSERT_EQ(manager->initialize(), 0);
    EXPECT_TRUE(test::waitFor([] { return g_fpga_c331_start == 1; }, 10000));
}

// A writer raising changes, a synchroniser copying the image into the shadow after every
// report, and a stand-in for the FPGA thread's hand-over run against the manager's
// thread. Nothing may deadlock and the last change must reach the manager.
TEST_F(VideoTest, WritersSynchroniserAndFpgaSideAgainstTheThread) {
    QObject::connect(store.get(), &KrxRamPara::sig_update_para, store.get(), [this](int) {
        ParaLock lock;
        store->ram_para_shadow = store->ram_para;
    });
    // A panel and window 0 shown on it, so that its fade times have a window slot to reach.
    for (RamParaImage* image : {&store->ram_para, &store->ram_para_shadow}) {
        image->setU16(1378, 1920);
        image->setU16(1380, 1080);
        image->setU16(2272, 1);
    }
    ASSERT_EQ(manager->initialize(), 0);
    ASSERT_TRUE(test::waitFor([] { return g_fpga_c331_start == 1; }, 10000));

    std::atomic<bool> done{false};
    std::thread fpgaSide([&] {
        while (!done) {
            {
                std::lock_guard<std::mutex> led(Utils::_led_para_init_mutex);
                if (g_set_led_para != 0)
                    g_set_led_para = 0;
            }
            {
                std::lock_guard<std::mutex> bri(Utils::_bri_set_mutex);
                fpga->bri_resend = 0;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    constexpr int kChanges = 200;
    std::thread writer([&] {
        for (int i = 1; i <= kChanges; ++i) {
            if (i % 25 == 0) {
                std::lock_guard<std::mutex> led(Utils::_led_para_init_mutex);
                g_set_led_para = 1;
            }
            {
                ParaLock lock;
                store->ram_para.setU16(2816, static_cast<u16>(i));
                store->ram_para.setU16(2176, static_cast<u16>(i % 100));
                if (i % 25 == 0)
                    store->ram_para.setU16(1378, static_cast<u16>(1000 + i));
                c331_manage::para_update = 1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    writer.join();
    EXPECT_TRUE(test::waitFor([] { return c331_manage::para_update == 0; }, 10000));
    // Let the last reports reach the synchroniser.
    test::waitFor([] { return false; }, 50);
    done = true;
    fpgaSide.join();
    manager->stop_thread();
    EXPECT_EQ(manager->pm.PM_WIN_FADE_IN[0], kChanges);
    EXPECT_FALSE(reasons.empty());
}

TEST_F(VideoTest, OnlyAWriterThatRaisedAChangeWakesTheThread) {
    c331_manage::wakeup.wait(0);  // what earlier writers left
    { ParaLock reader; }
    EXPECT_FALSE(c331_manage::wakeup.wait(0)) << "a reader raises nothing";
    raise([](RamParaImage& image) { image.setU16(2816, 7); });
    EXPECT_TRUE(c331_manage::wakeup.wait(0));
    EXPECT_FALSE(c331_manage::wakeup.wait(0));
}

// With every wait an hour long, a change applied while the test runs was applied because
// its writer woke the thread.
TEST_F(VideoTest, AChangeIsAppliedWhileTheThreadWaitsAnHour) {
    ASSERT_EQ(manager->initialize(), 0);
    ASSERT_TRUE(test::waitFor([] { return g_fpga_c331_start == 1; }, 10000));
    Wakeup& wakeup = c331_manage::wakeup;
    wakeup.override_period(3600u * 1000u * 1000u);
    const u32 begun = wakeup.begun();
    const bool holding =
        test::waitFor([&] { return wakeup.begun() > begun && wakeup.waiting(); }, 10000);
    const u32 woken = wakeup.woken();
    raise([](RamParaImage& image) { image.setU16(2816, 0x0123); });
    // The cycle that applies a request clears it.
    const bool applied = test::waitFor([] { return c331_manage::para_update == 0; }, 10000);
    const u32 wakeups = wakeup.woken() - woken;
    wakeup.override_period(0);
    manager->stop_thread();
    ASSERT_TRUE(holding);
    EXPECT_TRUE(applied);
    EXPECT_EQ(wakeups, 1u);
}

}  // namespace
}  // namespace videotest
