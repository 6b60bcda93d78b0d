// How the worker threads wait: a request ends a wait at once and is never lost, and a
// thread's name is what top -H shows.
#include <gtest/gtest.h>
#include <pthread.h>

#include <thread>

#include "board/sim/sim.h"
#include "core/wakeup.h"
#include "tests/support/sim_test.h"

namespace {

// An hour: a wait that ended while a test runs was ended by a request.
constexpr unsigned kHour = 3600u * 1000u * 1000u;

class WakeupTest : public test::SimTest {
protected:
    void SetUp() override {
        test::SimTest::SetUp();
        sim::setSleepDivisor(1);
    }
};

TEST_F(WakeupTest, ARequestRaisedBeforeTheWaitEndsItAtOnceAndOnlyOnce) {
    Wakeup w;
    w.notify();
    w.notify();  // two requests before the thread looks: one pass serves both
    EXPECT_TRUE(w.wait(kHour));
    EXPECT_FALSE(w.wait(0)) << "the request was taken by the first wait";
    EXPECT_EQ(w.woken(), 1u);
    EXPECT_EQ(w.timed_out(), 1u);
}

TEST_F(WakeupTest, ARequestFromAnotherThreadEndsAnHourLongWait) {
    Wakeup w;
    bool requested = false;
    std::thread waiter([&] { requested = w.wait(kHour); });
    ASSERT_TRUE(test::waitFor([&] { return w.waiting(); }, 10000));
    w.notify();
    waiter.join();
    EXPECT_TRUE(requested);
    EXPECT_FALSE(w.waiting());
    EXPECT_EQ(w.woken(), 1u);
}

TEST_F(WakeupTest, AnOverriddenPeriodHoldsTheWaitUntilARequest) {
    Wakeup w;
    w.override_period(kHour);
    std::thread waiter([&] { w.wait(0); });  // would return at once without the override
    ASSERT_TRUE(test::waitFor([&] { return w.waiting(); }, 10000));
    EXPECT_EQ(w.timed_out(), 0u);
    w.notify();
    waiter.join();
    EXPECT_EQ(w.woken(), 1u);
}

TEST_F(WakeupTest, TheSimulatedBoardCountsAWaitAsASleep) {
    Wakeup w;
    const sim::SleepStats before = sim::sleepStats();
    EXPECT_FALSE(w.wait(2000));
    const sim::SleepStats after = sim::sleepStats();
    EXPECT_EQ(after.calls - before.calls, 1u);
    EXPECT_EQ(after.requestedMicroseconds - before.requestedMicroseconds, 2000u);
}

TEST(ThreadName, IsWhatTheSystemShowsCutToFifteenCharacters) {
    char shown[32] = {};
    std::thread named([&] {
        name_this_thread("input-poll-and-much-more");
        pthread_getname_np(pthread_self(), shown, sizeof shown);
    });
    named.join();
    EXPECT_STREQ(shown, "input-poll-and-");
}

}  // namespace
