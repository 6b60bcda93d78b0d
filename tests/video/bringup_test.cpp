// Identity checks, the bring-up's waits, the change flags of the built-in window set and
// the chip routines with their bounded waits. The register programme itself is pinned in
// bringup_programme_test.cpp.
#include <gtest/gtest.h>

#include "board/sim/c331_input_measure.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

TEST_F(VideoTest, FiveGoodIdentityReadsBringTheChipUpAndOpenTheGate) {
    // A wrong read in between neither resets the count nor stops the checks.
    const uint8_t ids[] = {0x24, 0x24, 0x00, 0x24, 0x24, 0x24};
    for (uint8_t id : ids) {
        c331()->setReg(0xB2, 0x08, id);
        manager->manage_pass();
    }
    EXPECT_EQ(manager->manage_state, c331_manage::kStateBringUp);
    EXPECT_EQ(g_fpga_c331_start, 0u);
    manager->manage_pass();
    EXPECT_EQ(manager->manage_state, c331_manage::kStateRun);
    EXPECT_EQ(g_fpga_c331_start, 1u);
    EXPECT_EQ(chip(0x00, 0x61), 0x18u);  // the programme ran before the gate opened
}

TEST_F(VideoTest, AChipThatNeverAnswersKeepsTheGateShut) {
    c331()->setReg(0xB2, 0x08, 0x42);
    for (int i = 0; i < 20; ++i)
        manager->manage_pass();
    EXPECT_EQ(manager->manage_state, 0);
    EXPECT_EQ(g_fpga_c331_start, 0u);
    for (const auto& a : c331()->writes())
        EXPECT_EQ(a.address, 0) << "only bank selects before the identity is seen";
}

TEST_F(VideoTest, BringUpStartsWithTheClockGeneratorAndSleepsForThePlls) {
    manager->load_system_param();
    manager->define_param();
    auto before = sim::sleepStats();
    manager->write_initial_setting(manager->c331_fd, 1);
    auto w = c331()->writes();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(w[0].address, 0);
    EXPECT_EQ(w[0].value, 0xFF);
    // Address 0 of the clock generator is the bank register as well: the driver selects
    // bank 0xFF again for the next field.
    EXPECT_EQ(w[1].address, 0x00);
    EXPECT_EQ(w[1].value, 8);
    EXPECT_EQ(w[2].address, 0x00);
    EXPECT_EQ(w[2].value, 0xFF);
    EXPECT_EQ(w[3].address, 0x01);
    // 20 ms after the clock generator, 1 + 1 ms around the release, 20 ms for the PLLs.
    EXPECT_EQ(sim::sleepStats().requestedMicroseconds - before.requestedMicroseconds, 42000u);
}

TEST_F(VideoTest, TheBuiltInWindowSetRaisesTheFlagsOfWhatDiffers) {
    manager->load_system_param();
    manager->define_param();
    EXPECT_EQ(manager->mem_slot_owner[5], -1);
    manager->load_param();
    // From a zeroed manager every nonzero word raised its flag: input 5 is port 0.
    EXPECT_EQ(manager->g_chg_input[0], 1);
    EXPECT_EQ(manager->g_chg_input[5], 0);
    EXPECT_EQ(manager->g_chg_dbd[2], 1);
    EXPECT_EQ(manager->g_chg_dbd[0], 0);
    EXPECT_EQ(manager->g_chg_osd_update, 1);  // data mode 1
    EXPECT_EQ(manager->PM_WIN_STITCHING[3], 3);
    // A repeated bring-up finds nothing changed.
    manager->load_param();
    for (int w = 0; w < 6; ++w) {
        EXPECT_EQ(manager->g_chg_win[w], 0);
        EXPECT_EQ(manager->g_chg_input[w], 0);
        EXPECT_EQ(manager->g_chg_fade[w], 0);
    }
    EXPECT_EQ(manager->g_chg_overlay + manager->g_chg_osd_set + manager->g_chg_osd_update, 0);
}

TEST_F(VideoTest, UpdateTimingKeepsTheOtherBitsOfItsHoldRegister) {
    c331()->setReg(0x00, 0x29, 0x40);
    manager->set_rtct(manager->c331_fd, 2);
    EXPECT_EQ(chip(0x00, 0x22, 4), 0xFFFFFFFFu);
    EXPECT_EQ(chip(0x00, 0x26, 3), 0xFFFFFFu);
    std::vector<uint8_t> holds;
    for (const auto& a : c331()->writes())
        if (a.bank == 0x00 && a.address == 0x29)
            holds.push_back(a.value);
    EXPECT_EQ(holds, (std::vector<uint8_t>{0x41, 0x40}));
    manager->set_rtct(manager->c331_fd, 9);
    EXPECT_EQ(chip(0x00, 0x22, 4), 0xFFFF9999u);
}

TEST_F(VideoTest, OutputSyncWaitAlreadySetCostsTwoWritesAndOneRead) {
    c331()->setFrameRate(1e9);
    c331()->clearLog();
    auto before = sim::sleepStats();
    manager->wait1_povs(manager->c331_fd, 3);
    EXPECT_EQ(sim::sleepStats().calls, before.calls);
    int reads = 0, writes = 0;
    for (const auto& a : c331()->log()) {
        if (a.address == 0)
            continue;
        a.write ? ++writes : ++reads;
    }
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(chip(0x05, 0x09), 0u);
}

TEST_F(VideoTest, SyncWaitsEndWhenTheSyncNeverComes) {
    c331()->setFrameRate(0);
    auto before = sim::sleepStats();
    manager->wait1_povs(manager->c331_fd, 0);
    auto after = sim::sleepStats();
    EXPECT_EQ(after.calls - before.calls, 70000u);
    EXPECT_EQ(after.requestedMicroseconds - before.requestedMicroseconds, 70000000u);
    EXPECT_EQ(chip(0x05, 0x09), 0u);

    c331()->clearLog();
    manager->wait1_pivs(manager->c331_fd, 2);
    int statusReads = 0;
    for (const auto& a : c331()->log())
        if (!a.write && a.bank == 0xA8 && a.address == 0x3E + 10)
            ++statusReads;
    EXPECT_EQ(statusReads, 45);
    EXPECT_EQ(chip(0x05, 0x08), 0u);
    EXPECT_EQ(chip(0x00, 0x29), 0u);
    manager->wait1_pivs(manager->c331_fd, 8);  // no such channel: nothing
    EXPECT_EQ(chip(0x05, 0x08), 0u);
}

TEST_F(VideoTest, InputSyncWaitStopsAtTheSync) {
    c331()->setFrameRate(1e9);
    c331()->clearLog();
    manager->wait1_pivs(manager->c331_fd, 1);
    int syncReads = 0;
    for (const auto& a : c331()->log())
        if (!a.write && (a.bank == 0x05 || a.bank == 0xA8) && a.address != 0)
            ++syncReads;
    EXPECT_EQ(syncReads, 1);
    // With no window waiting for an input the wait falls back to a 45 ms sleep.
    auto before = sim::sleepStats();
    manager->wait1_pivs2(manager->c331_fd);
    EXPECT_EQ(sim::sleepStats().requestedMicroseconds - before.requestedMicroseconds, 45000u);
}

TEST_F(VideoTest, FieldWaitsReturnTheNextFieldWhenFrozen) {
    c331()->setFrameRate(0);
    int now = c331()->frame() & 3;
    c331()->clearLog();
    EXPECT_EQ(manager->wait_ofld_change(manager->c331_fd, 2), (now + 1) & 3);
    EXPECT_EQ(c331()->log().size(), 71u + 1);  // bank select, first read, 70 polls
    EXPECT_EQ(manager->wait_ifld_change(manager->c331_fd, 5), (now + 1) & 3);
    EXPECT_EQ(manager->wait_ofld_change(manager->c331_fd, 8), 0);
    EXPECT_EQ(manager->wait_ifld_change(manager->c331_fd, 6), 0);
    // A running clock: the field that came.
    c331()->setFrameRate(1e6);
    int field = manager->wait_ofld_change(manager->c331_fd, 0);
    EXPECT_GE(field, 0);
    EXPECT_LE(field, 3);
}

TEST_F(VideoTest, VboFrequencyRangeWaitIsBoundedWithoutLock) {
    c331()->setReg(0x02, 0x4C + 0x1C, 0xA3);
    c331()->clearLog();
    manager->set_VBORXfrange(manager->c331_fd, 1, 30e6, 0);
    EXPECT_EQ(chip(0x02, 0x68), 0xABu);  // below 50 MHz: range bit set
    int measures = 0;
    for (const auto& a : c331()->log())
        if (!a.write && a.bank == 0xAE && a.address == 0x68)
            ++measures;
    EXPECT_EQ(measures, 250);
    c331()->with<sim::C331InputMeasure>([](auto& rx) { rx.setLock(1, true); });
    c331()->clearLog();
    manager->set_VBORXfrange(manager->c331_fd, 1, 0, 1);  // toggle
    EXPECT_EQ(chip(0x02, 0x68), 0xA3u);
    for (const auto& a : c331()->log())
        EXPECT_FALSE(a.bank == 0xAE) << "locked: no measure polled";
}

TEST_F(VideoTest, InputRoutinesChangeOnlyTheirChannelsBits) {
    c331()->setReg(0x06, 0x38, 0x11);
    c331()->setReg(0x06, 0x39, 0x22);
    c331()->setReg(0x06, 0x3A, 0x33);
    c331()->setReg(0x06, 0x3B, 0x44);
    manager->PI_HDMI_INFO[2].Vpol = 1;
    manager->PI_HDMI_INFO[2].Hpol = 1;
    manager->set_sypol(manager->c331_fd, 0, 2);
    EXPECT_EQ(chip(0x06, 0x38, 4), 0x44072211u);
    manager->PI_HDMI_INFO[5].Hpol = 1;
    manager->PI_HDMI_INFO[5].lane = 4;
    c331()->setReg(0x00, 0x39, 0x02);
    manager->set_VBOInput(manager->c331_fd, 1);
    EXPECT_EQ(chip(0x06, 0x3C, 4) >> 16, 0x2222u);
    EXPECT_EQ(chip(0x00, 0x20, 2), 17u);
    EXPECT_EQ(chip(0x00, 0x39, 2), 0x0402u);
    manager->set_pict(manager->c331_fd, 1, 2);
    manager->set_pict(manager->c331_fd, 1, 0);
    manager->set_pict(manager->c331_fd, 0, 0);
    EXPECT_EQ(chip(0x00, 0x18, 2), 0x0100u);
}

TEST_F(VideoTest, DotByDotMemory) {
    manager->load_system_param();
    manager->define_param();
    manager->pm.PM_WIN_DBD_MODE[0] = 20;
    manager->ich_list[0][0] = 0;
    manager->PI_ACT_FULL[0].HW = 1920;
    manager->PI_ACT_FULL[1].HW = 1920;
    EXPECT_EQ(manager->set_dbd_mem(manager->c331_fd, 0), 0);
    EXPECT_EQ(manager->win_mem_base[0][0], 0x2A800000u);
    EXPECT_EQ(manager->win_mem_line[0], 12);  // ceil(3840 / 320)
    // A top-down mode takes slots 5 and 4.
    manager->pm.PM_WIN_DBD_MODE[1] = 21;
    manager->ich_list[1][0] = 2;
    EXPECT_EQ(manager->set_dbd_mem(manager->c331_fd, 1), 0);
    EXPECT_EQ(manager->win_mem_base[1][1], 0x35A80000u + 4 * 0x01DC0000u);
    EXPECT_EQ(manager->win_mem_line[1], 6);
    // Four slots wanted, two free: the taken ones are given back.
    manager->pm.PM_WIN_DBD_MODE[2] = 40;
    manager->ich_list[2][0] = 4;
    std::string out = printed([&] { EXPECT_EQ(manager->set_dbd_mem(manager->c331_fd, 2), -1); });
    EXPECT_NE(out.find("Dot-By-Dot memory assignment error!!!   win=2  mode=40"),
              std::string::npos);
    int free = 0;
    for (int owner : manager->mem_slot_owner)
        free += owner == -1;
    EXPECT_EQ(free, 2);
    // A narrow single input reads from its input channel's block.
    manager->pm.PM_WIN_DBD_MODE[3] = 1;
    manager->pm.PM_INPUT[3] = 1;
    manager->ich_list[3][0] = 3;
    EXPECT_EQ(manager->set_dbd_mem(manager->c331_fd, 3), 0);
    EXPECT_EQ(manager->win_mem_base[3][2], 0x11000000u + 3 * 0x2000u);
    EXPECT_EQ(manager->win_mem_line[3], 64);
    manager->pm.PM_WIN_DBD_MODE[4] = 0;
    EXPECT_EQ(manager->set_dbd_mem(manager->c331_fd, 4), -1);
}

TEST_F(VideoTest, InputBackgroundFollowsTheForcedColour) {
    manager->load_param();
    // Port 1 is shown by window 2, which owns output channel 4 (PM_WIN_NUM).
    g_force_bkcolor = 0;
    manager->PI_PORT_INFO[1].STATE = 0;
    manager->pm.PM_WIN_DBD_MODE[2] = 0;
    manager->set_input_bkg(manager->c331_fd, 1, 0);
    EXPECT_EQ(chip(0x48, 0x48), 1u);
    EXPECT_EQ(chip(0x48, 0x49, 3), 0u);
    EXPECT_EQ(chip(0x00, 0x22), 0x99u);  // bracketed by the update hold, mode 1 last
    manager->PI_PORT_INFO[1].STATE = 4;
    manager->set_input_bkg(manager->c331_fd, 1, 0);
    EXPECT_EQ(chip(0x48, 0x48), 0u);
    g_force_bkcolor = 1;
    manager->set_input_bkg(manager->c331_fd, 1, 0);
    EXPECT_EQ(chip(0x48, 0x48), 1u);
    EXPECT_EQ(chip(0x48, 0x49, 3), 0xFF00u);
    EXPECT_EQ(chip(0x38, 0x48), 0u) << "channel 3 shows another window";
}

}  // namespace
}  // namespace videotest
