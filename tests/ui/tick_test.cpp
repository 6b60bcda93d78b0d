// The 10 ms tick and its duties: the aging log, the restart request and the "Updating"
// dialog driven from another thread.
#include <gmock/gmock.h>

#include <QDateTime>
#include <cstdio>
#include <thread>

#include "board/sim/sim.h"
#include "tests/ui/panel_test.h"
#include "ui/agelog.h"
#include "ui/firmwareupdate.h"
#include "ui/mainwindow.h"

namespace {

using test::UiTest;

class Tick : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        factoryage_log.clear();
        factoryage_log_num = 0;
        factoryage_log_diff3 = factoryage_log_diff5 = factoryage_log_diff10 = 0;
        factoryage_log_diff20 = factoryage_log_diffmore = 0;
        setAgeLogSource({});
    }
    void TearDown() override {
        setAgeLogSource({});
        UiTest::TearDown();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            g_mainwindow->slot_update_timer_ticks();
    }
    size_t reboots() {
        size_t n = 0;
        for (const sim::Command& c : sim::commands())
            n += c.text == "reboot";
        return n;
    }
};

// The local time as GNU date prints it, the reference for the line's time fields.
std::string dateNow() {
    FILE* pipe = popen("date '+%m-%d %H:%M'", "r");
    char text[32] = {};
    if (pipe) {
        if (!fgets(text, sizeof text, pipe))
            text[0] = 0;
        pclose(pipe);
    }
    std::string s(text);
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

TEST_F(Tick, AnAgingLineHoldsTheTimeAndTheThreeRegisters) {
    openWindows();
    setAgeLogSource({[] { return true; }, [] { return AgeLogRegisters{31, 7, 255}; }});
    const std::string before = dateNow();
    g_mainwindow->getagelog();
    const std::string after = dateNow();
    ASSERT_EQ(factoryage_log.size(), 1u);
    const QString line = factoryage_log.front();
    const std::string time = line.left(11).toStdString();
    EXPECT_TRUE(time == before || time == after) << time << " vs " << before;
    EXPECT_EQ(line.mid(11), " 7 31 255");
    EXPECT_EQ(factoryage_log_num, 1);
}

TEST_F(Tick, TheLogKeepsTheNewest3360Lines) {
    for (int i = 0; i < 3361; ++i)
        appendAgeLogLine("01-02 03:04", {0, static_cast<u8>(i), 0});
    ASSERT_EQ(factoryage_log.size(), 3360u);
    EXPECT_EQ(factoryage_log.front(), "01-02 03:04 1 0 0");
    EXPECT_EQ(factoryage_log.back(), "01-02 03:04 32 0 0");  // 3360 mod 256
    EXPECT_EQ(factoryage_log_num, 3360);
}

TEST_F(Tick, TheCountersSortTheAdvanceOfRegister42) {
    // Advances: 0, 1, 2, 3, 4, 5, 9, 10, 19, 20, 100, 67, and 250 -> 4, which wraps to 10.
    const int values[] = {10, 10, 11, 13, 16, 20, 25, 34, 44, 63, 83, 183, 250, 4};
    for (int v : values)
        appendAgeLogLine("12-31 23:59", {0, static_cast<u8>(v), 0});
    EXPECT_EQ(factoryage_log_diff3, 2);
    EXPECT_EQ(factoryage_log_diff5, 2);
    EXPECT_EQ(factoryage_log_diff10, 2);
    EXPECT_EQ(factoryage_log_diff20, 3);
    EXPECT_EQ(factoryage_log_diffmore, 3);
}

TEST_F(Tick, TheTickTakesALineEvery180SecondsWhileTheFpgaIsGood) {
    openWindows();
    bool good = true;
    setAgeLogSource({[&] { return good; }, [] { return AgeLogRegisters{1, 2, 3}; }});
    ticks(17999);
    EXPECT_TRUE(factoryage_log.empty());
    ticks(1);
    EXPECT_EQ(factoryage_log.size(), 1u);
    EXPECT_EQ(G_factoryage_ticks, 18000u);

    pc_cmd_valid = 1;
    ticks(18000u);
    EXPECT_EQ(factoryage_log.size(), 1u);
    pc_cmd_valid = 0;
    good = false;
    ticks(18000u);
    EXPECT_EQ(factoryage_log.size(), 1u);
    EXPECT_EQ(G_factoryage_ticks, 3 * 18000u);
}

TEST_F(Tick, WithoutTheFpgaManagerNoLineIsTaken) {
    openWindows();
    ticks(18000u);
    EXPECT_TRUE(factoryage_log.empty());
    EXPECT_EQ(G_factoryage_ticks, 18000u);
}

TEST_F(Tick, ARestartIsRequestedOnceAfter300Ticks) {
    openWindows();
    ticks(10);
    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
    ticks(300 - 1);
    EXPECT_EQ(reboots(), 0u);
    ticks(1);
    EXPECT_EQ(reboots(), 1u);
    ticks(500);
    EXPECT_EQ(reboots(), 1u);
    for (const sim::Command& c : sim::commands())
        EXPECT_FALSE(c.text == "reboot" && c.executed);
}

TEST_F(Tick, TheUpdatingDialogIsShownAndClosedOnTheUserInterfaceThread) {
    openWindows();
    MainWindow::update_over();  // nothing to close
    EXPECT_EQ(g_move_update, nullptr);
    std::thread worker([] { MainWindow::update_start(); });
    worker.join();
    EXPECT_EQ(g_move_update, nullptr);  // queued, not yet run
    ASSERT_TRUE(test::waitFor([] { return g_move_update && g_move_update->isVisible(); }));
    g_update_flag = 1;
    const int phase = g_move_update->phase();
    ticks(3);
    EXPECT_EQ(g_move_update->phase(), phase + 3);
    std::thread closer([] { MainWindow::update_over(); });
    closer.join();
    EXPECT_TRUE(test::waitFor([] { return g_move_update == nullptr; }));
}

}  // namespace
