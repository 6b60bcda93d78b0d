// The main window's aging log reads FPGA 0 through the manager every 180 s while the FPGA
// is good.
#include <gtest/gtest.h>

#include <QStringList>

#include "tests/fpga/fpga_fixture.h"
#include "ui/agelog.h"
#include "ui/mainwindow.h"
#include "ui/numberkeyboard.h"
#include "ui/tip.h"

namespace fpgatest {
namespace {

class AgeLog : public FpgaTest {
protected:
    void SetUp() override {
        FpgaTest::SetUp();
        factoryage_log.clear();
        factoryage_log_num = 0;
        installFpgaAgeLogSource();
        window_ = new MainWindow(nullptr);
        G_factoryage_ticks = G_timeTicks.load();
    }
    void TearDown() override {
        setAgeLogSource({});
        delete window_;
        delete g_numberkeyboard;
        g_numberkeyboard = nullptr;
        delete g_tip;
        g_tip = nullptr;
        factoryage_log.clear();
        FpgaTest::TearDown();
    }
    // Ticks of the main window; a line is due every 18000 (180 s).
    void ticks(u32 n) {
        for (u32 i = 0; i < n; ++i)
            window_->slot_update_timer_ticks();
    }
    void period() { ticks(18000); }
    MainWindow* window_ = nullptr;
};

TEST_F(AgeLog, ALineOfFpgaZeroRegistersWhileTheFpgaIsGood) {
    period();
    EXPECT_TRUE(factoryage_log.empty()) << "FPGA 0 is not running yet";

    ASSERT_TRUE(bringUp());
    fpga()->setReg(42, 7);
    fpga()->setReg(40, 0x9C);  // the lock bits 2..4 stay set
    fpga()->setReg(43, 250);
    fpga()->clearLog();
    G_factoryage_ticks = G_timeTicks.load();
    ticks(17999);
    EXPECT_TRUE(factoryage_log.empty()) << "not before 180 s";
    ticks(1);
    ASSERT_EQ(factoryage_log.size(), 1u);
    const QStringList fields = factoryage_log[0].split(' ');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[2], "7") << "register 42";
    EXPECT_EQ(fields[3], "156") << "register 40";
    EXPECT_EQ(fields[4], "250") << "register 43";
    int reads = 0;
    for (const auto& a : fpga()->log())
        reads += a.read && (a.address == 40 || a.address == 42 || a.address == 43);
    EXPECT_EQ(reads, 3) << "read afresh for the line";

    pc_cmd_valid = 1;
    period();
    EXPECT_EQ(factoryage_log.size(), 1u) << "not while the PC is talking";
    pc_cmd_valid = 0;
    fpga_manage::p_fpga_manage = nullptr;
    period();
    EXPECT_EQ(factoryage_log.size(), 1u) << "not without the manager";
}

}  // namespace
}  // namespace fpgatest
