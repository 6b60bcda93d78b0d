// The FPGA thread itself, started as the program starts it.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "board/sim/msys_node.h"
#include "core/para_apply.h"
#include "tests/fpga/fpga_fixture.h"
#include "video/c331_peers.h"

namespace fpgatest {
namespace {

// True while thread tid of this process sleeps in the kernel on a futex, as a thread does
// that waits for a mutex another thread holds.
bool waitsOnAMutex(pid_t tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    return static_cast<bool>(status >> number) && number == SYS_futex;
}

class Thread : public FpgaTest {
protected:
    void TearDown() override {
        ticking = false;
        if (ticker.joinable())
            ticker.join();
        delete started;
        FpgaTest::TearDown();
    }
    // The 10 ms tick, faster.
    void startTicks() {
        ticker = std::thread([this] {
            while (ticking) {
                ++G_timeTicks;
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
    }
    fpga_manage* started = nullptr;
    std::atomic<bool> ticking{true};
    std::thread ticker;
};

TEST_F(Thread, StartsBehindTheGateAndBringsFpgaZeroToOutputRunning) {
    fpga_manage::p_fpga_manage = nullptr;
    g_fpga_c331_start = 1;
    started = fpga_manage::pInstance();
    EXPECT_EQ(fpga_manage::p_fpga_manage, started);
    EXPECT_TRUE(exists("/data/smartmapping"));
    EXPECT_TRUE(exists("/data/rcvrecovery"));
    EXPECT_EQ(g_fpga_c331_start.load(), 0u) << "the gate is closed by the start-up";
    startTicks();
    // The thread sleeps once per turn: let it turn a thousand times behind the gate.
    const uint64_t turns = sim::sleepStats().calls;
    ASSERT_TRUE(test::waitFor([&] { return sim::sleepStats().calls >= turns + 1000; }, 20000));
    EXPECT_EQ(fpgaMessages(), 0u) << "nothing before the video processor opens the gate";

    g_fpga_c331_start = 1;
    ASSERT_TRUE(test::waitFor([&] { return started->get_fpga_status(); }, 20000));
    EXPECT_EQ(fpga_manage::MCU_REG_func[0][80].load(), 3);

    // Every wait an hour long: a request served while the test runs was served because
    // its writer woke the thread.
    Wakeup& wakeup = fpga_manage::wakeup;
    wakeup.override_period(3600u * 1000u * 1000u);
    const u32 begun = wakeup.begun();
    const bool holding =
        test::waitFor([&] { return wakeup.begun() > begun && wakeup.waiting(); }, 10000);
    const u32 woken = wakeup.woken();
    store->ram_para[2116] = 1;  // LED screen black
    c331_peers::raise_output_resend();
    const bool black = test::waitFor([&] { return (fpga()->reg(0) & 0x04) != 0; }, 10000);
    const u32 wakeups = wakeup.woken() - woken;
    wakeup.override_period(0);
    wakeup.notify();  // ends the hour-long wait under way
    EXPECT_TRUE(holding);
    EXPECT_TRUE(black);
    EXPECT_EQ(wakeups, 1u);

    g_usb_grade = 1;
    EXPECT_TRUE(test::waitFor([] { return g_usb_grade == 0; }, 5000));
    started->stop_thread();
}

// The video thread may hold the apply lock while it waits for this thread (the LED-panel
// hand-over). A screen black the pass sends meanwhile reaches the FPGA at once; its image
// field (2116) is written once the lock is free, and a PC's register write waits for it.
TEST_F(Thread, AScreenBlackGoesOutWhileTheApplyLockIsHeldAndReachesTheImageAfter) {
    fpga_manage::p_fpga_manage = nullptr;
    started = fpga_manage::pInstance();
    startTicks();
    g_fpga_c331_start = 1;
    ASSERT_TRUE(test::waitFor([&] { return started->get_fpga_status(); }, 20000));

    pthread_mutex_lock(&ParaApply::para_mutex);
    store->ram_para.setU16(2116, 1);
    c331_peers::raise_output_resend();
    const bool black = test::waitFor([&] { return (fpga()->reg(0) & 0x04) != 0; }, 10000);
    const u32 begun = fpga_manage::wakeup.begun();
    const bool turning = test::waitFor([&] { return fpga_manage::wakeup.begun() > begun; }, 10000);
    // The PC asks for the picture back: its transport waits for the lock.
    std::atomic<pid_t> transport{0};
    std::thread pc([&] {
        transport = static_cast<pid_t>(::syscall(SYS_gettid));
        started->controller_register_write(0, 0, 0x04, 0x00);
    });
    const bool waiting =
        test::waitFor([&] { return transport != 0 && waitsOnAMutex(transport); }, 10000);
    const u16 held = store->ram_para.u16At(2116);
    pthread_mutex_unlock(&ParaApply::para_mutex);
    pc.join();
    EXPECT_TRUE(black) << "the pass went on";
    EXPECT_TRUE(turning);
    EXPECT_TRUE(waiting);
    EXPECT_EQ(held, 1);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "the PC's picture back";
    EXPECT_TRUE(test::waitFor(
        [&] {
            ParaLock lock;
            return store->ram_para.u16At(2116) == 0;
        },
        10000));
    started->stop_thread();
}

TEST_F(Thread, NoThreadWhenTheWindowCannotBeMapped) {
    sim::get<sim::MsysNode>("/dev/msys")->refuseOpen(true);
    fpga_manage other;
    EXPECT_EQ(other.initialize(), 255);
    EXPECT_FALSE(other.gpio_mapped());
    other.reset_fpga_rst(0);  // refused without a window, no crash
}

}  // namespace
}  // namespace fpgatest
