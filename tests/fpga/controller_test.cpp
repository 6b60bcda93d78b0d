// The controller as the PC sees it: register ranges, the command area with its clock and
// schedule commands, the records on flash select 2, and the parameter RAM.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "board/sim/sim.h"
#include "board/sim/wall_clock.h"
#include "tests/fpga/fpga_fixture.h"

namespace fpgatest {
namespace {

using Area = fpga_manage::Area;

class Controller : public FpgaTest {
protected:
    void SetUp() override {
        FpgaTest::SetUp();
        QObject::connect(store.get(), &KrxRamPara::sig_update_para,
                         [this](int reason) { reasons.push_back(reason); });
    }

    // The PC's way: the command into the area, then register 2 bit 2.
    void command(u8 code, u8 storeByte, const Bytes& payload, int length = -1) {
        const u16 n = static_cast<u16>(length < 0 ? payload.size() : length);
        Bytes area(8 + payload.size(), 0);
        area[0] = 0xAA;
        area[1] = code;
        area[2] = storeByte;
        area[6] = static_cast<u8>(n);
        area[7] = static_cast<u8>(n >> 8);
        std::copy(payload.begin(), payload.end(), area.begin() + 8);
        ASSERT_EQ(manager->controller_area_write(Area::Cmd, 0, 0, area.data(), area.size()), 1);
        ASSERT_EQ(manager->controller_register_write(0, 2, 0x04, 0x04), 1);
    }
    Bytes area(Area which, unsigned offset, unsigned n, u8 f = 0) {
        Bytes out(n);
        EXPECT_EQ(manager->controller_area_read(which, f, offset, out.data(), n), 1);
        return out;
    }
    u16 image16(unsigned offset, u8 f = 0) {
        const u8* p = fpga_manage::MCU_RAM_PARA_func[f] + offset;
        return static_cast<u16>(p[0] | p[1] << 8);
    }
    // The device's clock at a time of day that no entry of schedule() names (10:00), so that
    // no entry fires and disarms itself while a test looks at it. A restart starts a new
    // board, whose clock follows the PC's again: set it after each.
    static void clockBetweenEntries() {
        sim::get<sim::WallClock>("wall-clock")->set(2024, 6, 3, 10, 0, 0);
    }
    // A schedule payload: count, then four entries of on/off times (BCD), padded to the
    // record's 42 bytes.
    static Bytes schedule(u8 count) {
        Bytes p(42, 0);
        p[0] = count;
        const u8 times[4][4] = {{0x07, 0x30, 0x22, 0x00},
                                {0x08, 0x00, 0x08, 0x00},
                                {0x12, 0x15, 0x13, 0x45},
                                {0x23, 0x59, 0x00, 0x01}};
        for (int i = 0; i < 4; ++i)
            std::copy(times[i], times[i] + 4, p.begin() + 1 + 4 * i);
        return p;
    }
    // A command as the area holds it: marker, command, store byte, the payload length and
    // the payload; the record stored in flash is these bytes.
    static Bytes commandBytes(u8 code, u8 storeByte, const Bytes& payload) {
        Bytes out = {0xAA,
                     code,
                     storeByte,
                     0,
                     0,
                     0,
                     static_cast<u8>(payload.size()),
                     static_cast<u8>(payload.size() >> 8)};
        out.insert(out.end(), payload.begin(), payload.end());
        return out;
    }
    std::vector<int> reasons;
};

// GNU date's reading of a date text, in UTC so no local clock change can make it differ.
std::string gnuDate(const std::string& text) {
    std::string command = "TZ=UTC date -d '" + text + "' '+%Y-%m-%d %H:%M:%S' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return {};
    char line[64] = {};
    if (!std::fgets(line, sizeof line, pipe.get()))
        return {};
    std::string out(line);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

TEST_F(Controller, RegisterRangesAsThePcSeesThem) {
    const uint64_t before = fpgaMessages();
    // 64..96 live in the shadow only.
    EXPECT_EQ(manager->controller_register_write(0, 70, 0x0F, 0x35), 1);
    u8 value = 0;
    EXPECT_EQ(manager->controller_register_read(0, 70, &value), 1);
    EXPECT_EQ(value, 0x05);
    EXPECT_EQ(manager->controller_register_write(0, 64, 0xFF, 0x11), 1);
    EXPECT_EQ(manager->controller_register_write(0, 96, 0xFF, 0x22), 1);
    EXPECT_EQ(shadow(64), 0x11);
    EXPECT_EQ(shadow(96), 0x22);
    EXPECT_EQ(manager->controller_register_write(0, 97, 0xFF, 1), 0);
    EXPECT_EQ(manager->controller_register_write(0, 127, 0xFF, 1), 0);
    // 97..127 and 170 and above do not exist; nor does FPGA 2.
    EXPECT_EQ(manager->controller_register_write(0, 100, 0xFF, 1), 0);
    EXPECT_EQ(manager->controller_register_read(0, 100, &value), 0);
    EXPECT_EQ(manager->controller_register_write(0, 170, 0xFF, 1), 0);
    EXPECT_EQ(manager->controller_register_write(2, 5, 0xFF, 1), 0);
    manager->write_to_register(100, 0xFF, 1, 0);
    manager->write_to_register(5, 0xFF, 1, 2);
    EXPECT_EQ(shadow(100), 0);
    EXPECT_EQ(fpgaMessages(), before) << "none of these reaches the bus";

    // 0..63 and 128..169 reach the FPGA with the mask.
    fpga()->setReg(169, 0xF0);
    EXPECT_EQ(manager->controller_register_write(0, 169, 0x0F, 0x0A), 1);
    EXPECT_EQ(fpga()->reg(169), 0xFA);
    EXPECT_EQ(shadow(169), 0xFA);

    // Register 2's command bits stay with the controller.
    EXPECT_EQ(manager->controller_register_write(0, 2, 0x07, 0x07), 1);
    auto writes = regWrites(2);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().value & 0x06, 0);
    EXPECT_EQ(fpga()->reg(2), 0x01);
}

TEST_F(Controller, ScreenBlackSwitchOfRegisterZero) {
    manager->write_to_register(0, 0x04, 0x04, 0);
    EXPECT_EQ(ScreenState.load(), 0);
    EXPECT_EQ(store->ram_para.u16At(2116), 1) << "fpga_para";
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[29], 0);
    EXPECT_EQ(reasons, std::vector<int>{1});
    // A wider mask (the mapping switch with it) moves the screen state only.
    manager->write_to_register(0, 0x84, 0x80, 0);
    EXPECT_EQ(ScreenState.load(), 1);
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[29], 1);
    EXPECT_EQ(store->ram_para.u16At(2116), 1);
    EXPECT_EQ(reasons.size(), 1u);
    EXPECT_EQ(fpga()->reg(0), 0x80);
    // During an LED-panel hand-over the image is left alone.
    g_set_led_para = 1;
    manager->write_to_register(0, 0x04, 0x00, 0);
    EXPECT_EQ(store->ram_para.u16At(2116), 1);
}

TEST_F(Controller, ClockCommandGoesOnlyToTheCommandRunner) {
    struct Case {
        Bytes bcd;  // year, century, month, day, hour, minute, second
        const char* expected;
    };
    const Case valid[] = {
        {{0x24, 0x20, 0x02, 0x29, 0x07, 0x05, 0x09}, "2024-02-29 07:05:09"},
        {{0x99, 0x20, 0x12, 0x31, 0x23, 0x59, 0x59}, "2099-12-31 23:59:59"},
        {{0x70, 0x19, 0x01, 0x01, 0x00, 0x00, 0x00}, "1970-01-01 00:00:00"},
        {{0x05, 0x20, 0x10, 0x10, 0x10, 0x10, 0x10}, "2005-10-10 10:10:10"},
    };
    for (const Case& c : valid) {
        sim::clearCommands();
        command(1, 0, c.bcd);
        auto commands = sim::commands();
        ASSERT_EQ(commands.size(), 1u);
        const std::string& text = commands[0].text;
        EXPECT_FALSE(commands[0].executed) << "the PC's clock is never touched";
        const std::string prefix = "date \"", suffix = "\";hwclock -wu";
        ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
        ASSERT_GT(text.size(), prefix.size() + suffix.size());
        ASSERT_EQ(text.substr(text.size() - suffix.size()), suffix) << text;
        const std::string when =
            text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
        EXPECT_EQ(gnuDate(when), c.expected) << when;
    }
    const Bytes invalid[] = {
        {0x24, 0x20, 0x13, 0x01, 0x00, 0x00, 0x00},  // month 13
        {0x23, 0x20, 0x02, 0x29, 0x00, 0x00, 0x00},  // 29 February of a common year
        {0x24, 0x20, 0x01, 0x1A, 0x00, 0x00, 0x00},  // not BCD
        {0x24, 0x20, 0x01, 0x01, 0x24, 0x00, 0x00},  // hour 24
        {0x24, 0x20, 0x01, 0x01, 0x00, 0x60, 0x00},  // minute 60
        {0x69, 0x19, 0x12, 0x31, 0x23, 0x59, 0x59},  // before the epoch
        {0x24, 0x20, 0x00, 0x01, 0x00, 0x00, 0x00},  // month 0
    };
    sim::clearCommands();
    for (const Bytes& bcd : invalid)
        command(1, 0, bcd);
    EXPECT_TRUE(sim::commands().empty());

    // A failed command is reported as such.
    sim::setCommandExit("date", 1);
    Bytes area(16, 0);
    area[0] = 0xAA;
    area[1] = 1;
    area[6] = 7;
    std::copy(valid[0].bcd.begin(), valid[0].bcd.end(), area.begin() + 8);
    EXPECT_EQ(manager->Checktime(area.data()), 2);
}

TEST_F(Controller, OnOffScheduleIsStoredAndSurvivesARestart) {
    clockBetweenEntries();
    ASSERT_TRUE(bringUp());
    // A payload of the wrong length is refused whole.
    command(2, 0xAA, schedule(3), 17);
    EXPECT_EQ(manager->onoff_count, 0);
    EXPECT_EQ(flash()->contents(0x30E000, 1), Bytes{0xFF});
    EXPECT_EQ(shadow(66), 0);

    command(2, 0xAA, schedule(7));
    EXPECT_EQ(manager->onoff_count, 4) << "a count above 4 stores 4";
    EXPECT_EQ(shadow(66), 1);
    // The record is the command as written, 50 bytes, in sector 782.
    EXPECT_EQ(flash()->contents(0x30E000, 51), [] {
        Bytes record = commandBytes(2, 0xAA, schedule(7));
        record.push_back(0xFF);
        return record;
    }());

    restart();
    clockBetweenEntries();
    EXPECT_EQ(shadow(66), 0);
    ASSERT_TRUE(bringUp());
    EXPECT_EQ(shadow(66), 1);
    EXPECT_EQ(manager->onoff_count, 4);
    const u8 on_hour[4] = {7, 8, 12, 23}, on_minute[4] = {30, 0, 15, 59};
    const u8 off_hour[4] = {22, 8, 13, 0}, off_minute[4] = {0, 0, 45, 1};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(manager->on_hour[i], on_hour[i]);
        EXPECT_EQ(manager->on_minute[i], on_minute[i]);
        EXPECT_EQ(manager->off_hour[i], off_hour[i]);
        EXPECT_EQ(manager->off_minute[i], off_minute[i]);
        EXPECT_EQ(manager->on_armed[i], 1);
        EXPECT_EQ(manager->off_armed[i], 1);
    }
    // Reloading the record leaves the status bytes the PC reads in the command area.
    EXPECT_EQ(area(Area::Cmd, 24, 6), (Bytes{1, 17, 0, 0, 0xFF, 1}));

    command(2, 0x55, schedule(0));
    EXPECT_EQ(shadow(66), 0);
    EXPECT_EQ(flash()->contents(0x30E000, 1), Bytes{0xFF});
}

TEST_F(Controller, BrightnessRecords) {
    Bytes hand(49, 0);
    hand[0] = 16;  // direct hand value: handled as the hand mode
    hand[1] = 200;
    command(3, 0xAA, hand);
    EXPECT_EQ(shadow(64), 200);
    EXPECT_EQ(g_change[16], 200u);
    EXPECT_EQ(g_change[17], 1u);
    // The record is the command as written, 57 bytes, in sector 783.
    EXPECT_EQ(flash()->contents(0x30F000, 57), commandBytes(3, 0xAA, hand));

    g_change[17] = 0;
    g_change[26] = 5;
    Bytes timed(49, 0);
    timed[0] = 1;
    command(3, 0x55, timed);
    EXPECT_EQ(flash()->contents(0x30F000, 1), Bytes{0xFF});
    EXPECT_EQ(g_change[17], 1u);
    EXPECT_EQ(g_change[26], 0u);
    EXPECT_EQ(shadow(64), 200) << "a timed record leaves the hand level";

    command(3, 0xAA, timed, 48);
    EXPECT_EQ(flash()->contents(0x30F000, 1), Bytes{0xFF}) << "wrong length: refused";

    // Without a stored record the bring-up turns the brightness task off at full level.
    g_change[14] = 1;
    ASSERT_TRUE(bringUp());
    EXPECT_EQ(g_change[14], 0u);
    EXPECT_EQ(g_change[16], 16u);
}

TEST_F(Controller, ParameterRamDefaultsWithoutAStoredImage) {
    ASSERT_TRUE(bringUp());
    Bytes expected(1024, 0);
    // RAM1, the default of bytes 0..255.
    const std::pair<unsigned, u8> ram1[] = {
        {1, 0x05},   {3, 0x04},   {4, 0x76},   {5, 0x05},   {6, 0xD2},   {7, 0x01},
        {13, 0x05},  {15, 0x02},  {24, 0x05},  {26, 0x02},  {30, 0x02},  {37, 0x01},
        {48, 0x01},  {61, 0x05},  {63, 0x04},  {96, 0x05},  {100, 0x02}, {116, 0x56},
        {117, 0x05}, {119, 0x03}, {120, 0xD9}, {121, 0xB8}, {122, 0x0C}};
    for (auto [offset, value] : ram1)
        expected[offset] = value;
    auto put16 = [&expected](unsigned offset, u16 v) {
        expected[offset] = static_cast<u8>(v);
        expected[offset + 1] = static_cast<u8>(v >> 8);
    };
    // Output groups 0..5 at 0, 0, 1280 x 512.
    const unsigned groups[6] = {8, 19, 32, 43, 520, 528};
    for (unsigned at : groups) {
        put16(at, 0);
        put16(at + 2, 0);
        put16(at + 4, 1280);
        put16(at + 6, 512);
    }
    for (unsigned k = 0; k < 16; ++k) {
        put16(296 + 4 * k, 1398);
        put16(298 + 4 * k, 466);
    }
    for (unsigned p = 0; p < 6; ++p)
        expected[276 + p] = static_cast<u8>(p + 1);  // FPGA 0's output ports

    // Bytes 96..123 follow the links and the FPGA's measure; byte 256 a brightness sent.
    const u8* image = fpga_manage::MCU_RAM_PARA_func[0];
    for (unsigned at = 0; at < 1024; ++at) {
        if ((at >= 96 && at < 124) || at == 256)
            continue;
        EXPECT_EQ(image[at], expected[at]) << "parameter RAM byte " << at;
    }
    // Port 0 has a link: its bit and its bytes stay, the other ports' are cleared.
    EXPECT_EQ(image[96], 0x05);
    EXPECT_EQ(image[100], 0x02);
    // What the FPGA measures of the scene's 1920 x 1080 at 60 Hz: 833333 cycles of 50 MHz.
    EXPECT_EQ(Bytes(image + 116, image + 124),
              (Bytes{0x80, 0x07, 0x38, 0x04, 0x35, 0xB7, 0x0C, 0x00}));

    // The FPGA holds the image, apart from what it measures itself.
    EXPECT_EQ(fpga()->ram(1, 0, 116), Bytes(image, image + 116));
    EXPECT_EQ(fpga()->ram(1, 124, 900), Bytes(image + 124, image + 1024));
    // The back-parameter copy is the layout without the screen origin.
    const u8* back = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0];
    const struct {
        unsigned back, image, n;
    } map[] = {{0, 60, 4},  {4, 8, 4},     {8, 12, 4},    {12, 19, 8}, {20, 32, 8},
               {28, 43, 8}, {36, 520, 32}, {68, 576, 64}, {132, 56, 4}};
    for (const auto& m : map)
        EXPECT_EQ(Bytes(back + m.back, back + m.back + m.n),
                  Bytes(image + m.image, image + m.image + m.n))
            << "back-parameter bytes " << m.back;
}

TEST_F(Controller, ParameterRamFromFlashMovesByTheScreenOrigin) {
    Bytes stored(1025, 0);
    stored[0] = 0xAA;
    auto put16 = [&stored](unsigned offset, u16 v) {
        stored[1 + offset] = static_cast<u8>(v);
        stored[2 + offset] = static_cast<u8>(v >> 8);
    };
    put16(8, 100);   // group 0 x
    put16(10, 50);   // y
    put16(12, 640);  // w
    put16(14, 480);  // h
    put16(60, 1000);
    put16(62, 700);
    put16(100, 7);  // card counts left from before: cleared
    put16(560, 9);  // port 4 has no link: its bytes are cleared
    flash()->setContents(0x308000, stored);
    store->ram_para.setU16(1382, 10);  // led_x
    store->ram_para.setU16(1384, 20);  // led_y

    ASSERT_TRUE(bringUp());
    EXPECT_EQ(image16(8), 110);
    EXPECT_EQ(image16(10), 70);
    EXPECT_EQ(image16(12), 640);
    EXPECT_EQ(image16(14), 480);
    EXPECT_EQ(image16(60), 1024) << "(1000 + 10 + 31) rounded down to 32";
    EXPECT_EQ(image16(62), 720);
    EXPECT_EQ(image16(100), 0);
    EXPECT_EQ(image16(560), 0);
    EXPECT_EQ(fpga()->ram(1, 8, 8),
              Bytes(fpga_manage::MCU_RAM_PARA_func[0] + 8, fpga_manage::MCU_RAM_PARA_func[0] + 16));
    EXPECT_EQ(fpga()->ram(1, 560, 3), (Bytes{0, 0, 0}));
}

TEST_F(Controller, ScreenWidthIsRoundedUpToAMultipleOf32) {
    // Back-parameter width 1000; origin x 24 lands on 1024 exactly, 25 goes past it.
    u8* back = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0];
    back[0] = 0xE8;
    back[1] = 0x03;
    store->ram_para.setU16(1382, 24);
    manager->T47_mcu_set_net_para(0);
    EXPECT_EQ(image16(60), 1024);
    store->ram_para.setU16(1382, 25);
    manager->T47_mcu_set_net_para(0);
    EXPECT_EQ(image16(60), 1056);
    store->ram_para.setU16(1382, 0);
    manager->T47_mcu_set_net_para(0);
    EXPECT_EQ(image16(60), 1024);
}

TEST_F(Controller, LinkStatesFoldIntoTheParameterRam) {
    ASSERT_TRUE(bringUp());
    fpga_manage::MCU_RAM_PARA_func[0][96] = 0xE4;  // bits kept
    fpga_manage::MCU_RAM_PARA_func[0][102] = 3;    // port 1 card count
    fpga()->setLinks(0x01F3);                      // ports 0, 1, 4..8
    manager->update_eth_state(0);
    const u8* image = fpga_manage::MCU_RAM_PARA_func[0];
    EXPECT_EQ(image[96], 0xE7);
    EXPECT_EQ(image[512] & 0x0F, 0x0F);
    EXPECT_EQ(image[513], 0x01);
    EXPECT_EQ(image[102], 3) << "port 1 has a link";
    EXPECT_EQ(fpga()->ram(1, 96, 1), Bytes{0xE7});
    EXPECT_EQ(fpga()->ram(1, 512, 2)[1], 0x01);
    fpga()->setLinks(0x0001);
    manager->update_eth_state(0);
    EXPECT_EQ(image[96], 0xE5);
    EXPECT_EQ(image[102], 0);
    EXPECT_EQ(fpga()->ram(1, 102, 1), Bytes{0});
}

TEST_F(Controller, AreasRefuseRangesPastTheirEnd) {
    Bytes four{1, 2, 3, 4};
    EXPECT_EQ(manager->controller_area_write(Area::Cmd, 0, 1020, four.data(), 4), 1);
    EXPECT_EQ(manager->controller_area_write(Area::Cmd, 0, 1021, four.data(), 4), 0);
    EXPECT_EQ(manager->controller_area_write(Area::EthBackPara, 1, 132, four.data(), 4), 1);
    EXPECT_EQ(manager->controller_area_write(Area::EthBackPara, 1, 133, four.data(), 4), 0);
    EXPECT_EQ(manager->controller_area_write(Area::ParaRam, 2, 0, four.data(), 4), 0);
    EXPECT_EQ(manager->controller_area_write(Area::Default, 7, 2044, four.data(), 4), 1);
    EXPECT_EQ(manager->controller_area_write(Area::Default, 0, 0xFFFFFFFFu, four.data(), 4), 0);
    EXPECT_EQ(area(Area::Default, 2044, 4), four);
    EXPECT_EQ(fpga_manage::MCU_RAM_ETH_BACK_PARA_func[1][135], 4);
}

}  // namespace
}  // namespace fpgatest
