// Brightness of the LED screen in its hand and half-hour modes, the picture brightness
// it shares with the parameter image, the daily on/off schedule and the LED-panel
// hand-over, as the FPGA and the configuration flash see them.
#include <gtest/gtest.h>

#include <thread>

#include "board/sim/wall_clock.h"
#include "core/utils.h"
#include "tests/fpga/fpga_fixture.h"
#include "video/c331_manage.h"

namespace fpgatest {
namespace {

using Area = fpga_manage::Area;

constexpr u32 kBrightRecord = 0x30F000;

class Brightness : public FpgaTest {
protected:
    void SetUp() override {
        FpgaTest::SetUp();
        clock(2024, 3, 15, 8, 0, 0);
        ASSERT_TRUE(bringUp());
        pass(30);  // the link bitmap and the time are read
    }
    void clock(int y, int mo, int d, int h, int mi, int s) {
        sim::get<sim::WallClock>("wall-clock")->set(y, mo, d, h, mi, s);
    }

    // The PC's way: the command into the area, then register 2 bit 2.
    void command(u8 code, u8 storeByte, const Bytes& payload) {
        Bytes area(8 + payload.size(), 0);
        area[0] = 0xAA;
        area[1] = code;
        area[2] = storeByte;
        area[6] = static_cast<u8>(payload.size());
        area[7] = static_cast<u8>(payload.size() >> 8);
        std::copy(payload.begin(), payload.end(), area.begin() + 8);
        ASSERT_EQ(manager->controller_area_write(Area::Cmd, 0, 0, area.data(), area.size()), 1);
        ASSERT_EQ(manager->controller_register_write(0, 2, 0x04, 0x04), 1);
    }
    // A brightness payload: mode, then the level or the 48 half-hour values.
    static Bytes brightness(u8 mode, const Bytes& values) {
        Bytes p(49, 0);
        p[0] = mode;
        std::copy(values.begin(), values.end(), p.begin() + 1);
        return p;
    }
    // Values written to the FPGA's brightness register so far.
    std::vector<u8> sent() {
        std::vector<u8> out;
        for (const RegWrite& w : regWrites(6))
            out.push_back(w.value);
        return out;
    }
    u16 picture() { return store->ram_para.u16At(2176); }
    // A change of the picture brightness applied by the video processor.
    void userSetsPicture(u16 percent) {
        store->ram_para.setU16(2176, percent);
        manager->bri_resend = 1;
    }
    Bytes record(unsigned n = 57) { return flash()->contents(kBrightRecord, n); }
};

TEST_F(Brightness, HandLevelsAreSentAsSixteenStepsClampedToOneToSixteen) {
    struct Case {
        u8 level, sent, percent;
    };
    const Case cases[] = {
        {16, 255, 100}, {1, 15, 5}, {8, 127, 49}, {0, 15, 5}, {17, 255, 100}, {200, 255, 100},
    };
    for (const Case& c : cases) {
        fpga()->clearLog();
        c331_manage::para_update = 0;
        command(3, 0, brightness(0, {c.level}));
        EXPECT_EQ(sent(), std::vector<u8>{c.sent}) << "level " << int(c.level);
        EXPECT_EQ(fpga()->reg(6), c.sent);
        EXPECT_EQ(fpga()->reg(3) & 0x04, 0x04) << "brightness written";
        EXPECT_EQ(shadow(64), std::min<u8>(std::max<u8>(c.level, 1), 16)) << "the level kept";
        EXPECT_EQ(picture(), c.percent) << "level " << int(c.level);
    }
    // A direct value is sent as it is, 0 included.
    for (u8 value : {200, 0, 255}) {
        fpga()->clearLog();
        command(3, 0, brightness(16, {value}));
        EXPECT_EQ(sent(), std::vector<u8>{value});
        EXPECT_EQ(shadow(64), value);
    }
}

TEST_F(Brightness, ThePictureBrightnessIsWrittenUnderTheApplyProtocol) {
    c331_manage::para_update = 0;
    {
        ParaLock busy;  // the video processor is applying
        command(3, 0, brightness(0, {4}));
        EXPECT_EQ(sent(), std::vector<u8>{63}) << "the FPGA does not wait for the image";
        EXPECT_EQ(picture(), 100) << "not written behind the apply lock";
        EXPECT_EQ(c331_manage::para_update.load(), 0);
    }
    pass();
    EXPECT_EQ(picture(), 24);
    EXPECT_EQ(c331_manage::para_update.load(), 1);
}

TEST_F(Brightness, APictureBrightnessChangeStoresADirectRecord) {
    userSetsPicture(80);
    pass();
    EXPECT_EQ(fpga()->reg(6), 204);
    Bytes expected = {0xAA, 0x03, 0xAA, 0x00, 0x00, 0x00, 0x31, 0x00, 0x10};
    expected.resize(57, 204);
    expected.push_back(0xFF);
    EXPECT_EQ(record(58), expected);
    EXPECT_EQ(shadow(64), 204);
    // From now on the direct value is what runs: its re-sends keep 204.
    fpga()->clearLog();
    pass(700, 10);
    for (u8 v : sent())
        EXPECT_EQ(v, 204);
    EXPECT_FALSE(sent().empty());
}

TEST_F(Brightness, WithoutALinkNothingIsSentButTheRecordIsStored) {
    fpga()->setLinks(0);
    pass(5);
    fpga()->clearLog();
    userSetsPicture(60);
    pass();
    EXPECT_TRUE(sent().empty());
    Bytes expected = {0xAA, 0x03, 0xAA, 0x00, 0x00, 0x00, 0x31, 0x00, 0x10};
    expected.resize(57, 153);
    EXPECT_EQ(record(), expected);
}

TEST_F(Brightness, AResendAtZeroPercentSendsTheLeastOfEachMode) {
    const struct {
        u8 mode;
        u8 sent;
    } cases[] = {{0, 15}, {1, 15}, {2, 15}, {16, 0}, {17, 0}};
    for (const auto& c : cases) {
        Bytes rec = {0xAA, 0x03, 0xAA, 0, 0, 0, 0x31, 0, c.mode};
        rec.resize(57, 8);
        manager->Brightness_init(rec.data());
        fpga()->clearLog();
        userSetsPicture(0);
        pass();
        ASSERT_FALSE(sent().empty());
        EXPECT_EQ(sent().front(), c.sent) << "mode " << int(c.mode);
    }
}

TEST_F(Brightness, TheApplyOfItsOwnPictureBrightnessDoesNotOverwriteTheStoredSchedule) {
    Bytes table(48);
    for (int i = 0; i < 48; ++i)
        table[i] = static_cast<u8>(i % 16 + 1);
    command(3, 0xAA, brightness(1, table));
    const Bytes stored = record();
    pass(3);  // reloaded and sent: 08:00 is slot 16, level 1
    EXPECT_EQ(fpga()->reg(6), 15);
    EXPECT_EQ(picture(), 5);
    EXPECT_EQ(c331_manage::para_update.load(), 1);
    // The video processor applies the picture brightness and raises its resend.
    c331_manage::para_update = 0;
    fpga()->clearLog();
    manager->bri_resend = 1;
    pass();
    EXPECT_EQ(record(), stored) << "the half-hour table stays stored";
    EXPECT_TRUE(sent().empty());
    // A user's change after it is a user's change.
    userSetsPicture(50);
    pass();
    EXPECT_EQ(record(10), (Bytes{0xAA, 0x03, 0xAA, 0, 0, 0, 0x31, 0, 0x10, 127}));
}

TEST_F(Brightness, TheHandLevelIsResentFiveTimesTenSecondsApart) {
    command(3, 0xAA, brightness(0, {10}));
    fpga()->clearLog();
    pass(600, 10);  // 60 s: the record is reloaded and its level re-sent
    EXPECT_EQ(sent(), (std::vector<u8>(5, 159)));
}

TEST_F(Brightness, HalfHourSlotsFollowTheClock) {
    Bytes table(48, 3);
    table[16] = 5;   // 08:00..08:29
    table[17] = 12;  // 08:30..08:59
    table[18] = 0;   // 09:00..09:29: clamped to level 1
    clock(2024, 3, 15, 8, 29, 50);
    pass(1, 30);
    command(3, 0xAA, brightness(1, table));
    fpga()->clearLog();
    pass();
    EXPECT_EQ(sent(), (std::vector<u8>{79, 79})) << "a new slot is sent twice";
    pass(50, 10);
    EXPECT_EQ(sent().size(), 2u) << "nothing more within 10 s";
    clock(2024, 3, 15, 8, 30, 0);
    pass(50, 10);
    EXPECT_EQ(sent(), (std::vector<u8>{79, 79, 191, 191}));
    pass(100, 10);
    EXPECT_EQ(sent(), (std::vector<u8>{79, 79, 191, 191, 191})) << "and once more 10 s later";
    pass(300, 10);
    EXPECT_EQ(sent().size(), 5u);
    clock(2024, 3, 15, 9, 0, 0);
    pass(100, 10);
    EXPECT_EQ(sent().back(), 15);

    // Direct values are sent as they are.
    Bytes values(48, 0);
    values[18] = 77;
    command(3, 0xAA, brightness(17, values));
    fpga()->clearLog();
    pass(100, 10);
    EXPECT_EQ(sent().front(), 77);
}

TEST_F(Brightness, ScheduleEntriesFireOnceADayAndAreReArmedTheNextDay) {
    // Entry 0: on 07:30, off 22:00; entry 1: on and off at 12:15.
    Bytes payload(42, 0);
    payload[0] = 2;
    const u8 times[8] = {0x07, 0x30, 0x22, 0x00, 0x12, 0x15, 0x12, 0x15};
    std::copy(times, times + 8, payload.begin() + 1);
    clock(2024, 3, 15, 7, 29, 0);
    command(2, 0xAA, payload);
    manager->SCREEN_fpgactrl_status(SCREEN_BLACK);
    pass(10, 30);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04) << "not yet";

    auto screenWrites = [this] {
        int n = 0;
        for (const RegWrite& w : regWrites(0))
            n += w.mask == 0x04;
        return n;
    };
    clock(2024, 3, 15, 7, 30, 0);
    fpga()->clearLog();
    pass(100, 5);  // the whole minute and more
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "shown at 07:30";
    EXPECT_EQ(screenWrites(), 1) << "once";

    manager->SCREEN_fpgactrl_status(SCREEN_BLACK);
    clock(2024, 3, 15, 7, 30, 30);
    pass(100, 5);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04) << "the entry does not fire again that day";

    clock(2024, 3, 15, 12, 15, 0);
    fpga()->clearLog();
    pass(5, 30);
    EXPECT_EQ(screenWrites(), 2) << "on, then off in the same turn";
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04);

    clock(2024, 3, 15, 22, 0, 0);
    manager->SCREEN_fpgactrl_status(SCREEN_SHOWN);
    pass(5, 30);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04) << "black at 22:00";
    EXPECT_EQ(manager->onoff_state, 1);

    clock(2024, 3, 16, 7, 30, 0);
    pass(5, 30);
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "re-armed on the next day";
    EXPECT_EQ(manager->onoff_state, 0);
}

TEST_F(Brightness, AScheduleEntryAtMidnightFiresOnce) {
    Bytes payload(42, 0);
    payload[0] = 1;
    const u8 times[4] = {0x00, 0x00, 0x06, 0x00};
    std::copy(times, times + 4, payload.begin() + 1);
    clock(2024, 3, 15, 23, 59, 0);
    command(2, 0xAA, payload);
    pass(5, 30);
    clock(2024, 3, 16, 0, 0, 0);
    fpga()->clearLog();
    pass(100, 5);
    int shown = 0;
    for (const RegWrite& w : regWrites(0))
        shown += w.mask == 0x04 && w.value == 0;
    EXPECT_EQ(shown, 1);
}

// The LED-panel hand-over: black at once, the output off 11 ticks later, the video
// processor let go 31 ticks after that.
TEST_F(Brightness, PanelHandOverKeepsItsElevenAndThirtyOneTicks) {
    {
        std::lock_guard<std::mutex> lock(Utils::_led_para_init_mutex);
        g_set_led_para = 1;
        g_set_led_setup = 0;
    }
    fpga()->setReg(3, fpga()->reg(3) | 0x20);
    pass();
    const u32 black = G_timeTicks;
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04);
    while (G_timeTicks - black < 10) {
        pass();
        ASSERT_EQ(g_set_led_setup.load(), 1) << G_timeTicks - black;
        ASSERT_EQ(fpga()->reg(3) & 0x20, 0x20);
    }
    pass();
    EXPECT_EQ(G_timeTicks - black, 11u);
    EXPECT_EQ(g_set_led_setup.load(), 2);
    EXPECT_EQ(fpga()->reg(3) & 0x20, 0) << "output off";
    const u32 off = G_timeTicks;
    while (G_timeTicks - off < 30) {
        pass();
        ASSERT_EQ(g_set_led_para.load(), 1) << G_timeTicks - off;
    }
    pass();
    EXPECT_EQ(G_timeTicks - off, 31u);
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_EQ(g_set_led_setup.load(), 0);
}

}  // namespace
}  // namespace fpgatest
