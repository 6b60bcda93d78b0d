// The IT6805's register set-up as the chip receives it: the initialisation table, the
// release after the front-end calibration, the CEC engine on unplug, the V-by-One guard of
// the early revisions, the colour matrices, the tristate values and the AV-mute bits.
#include "inputs/iTE6805_drv.h"
#include "inputs/iTE6805_i2c_rdwr.h"
#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;
using test::RegWrite;
using test::wroteInOrder;

sim::VideoTiming cta(int vic) {
    return *sim::VideoTiming::cta861(vic);
}

class It6805Setup : public It6805Test {
protected:
    // Identified and initialised, without a source.
    void initialise() {
        startUp();
        ASSERT_TRUE(runUntil([&] { return driver().fsm_step[0] == ite6805_sys::kRun; }));
    }
    // A write through the driver's own access, as another part of the chip set it.
    void poke(u8 bank, u8 reg, u8 value) {
        driver().drv->chgbank(bank, 0);
        driver().i2c->hdmirxwr(reg, value, 0);
        driver().drv->chgbank(0, 0);
    }
};

// clang-format off
const std::vector<RegWrite> kInitTable = {
    // Bank 0: the reset sequence of the receiver and both ports.
    {0, 0x22, 0xFF, 0x08}, {0, 0x22, 0xFF, 0x17}, {0, 0x23, 0xFF, 0x1F}, {0, 0x2B, 0xFF, 0x1F},
    {0, 0x24, 0xFF, 0xF8}, {0, 0x22, 0xFF, 0x10}, {0, 0x23, 0xFF, 0xA0}, {0, 0x2B, 0xFF, 0xA0},
    {0, 0x24, 0xFF, 0x00}, {0, 0x34, 0xFF, 0x00},
    {0, 0x3A, 0xFF, 0x89}, {0, 0x49, 0xFF, 0xE1}, {0, 0x43, 0xFF, 0x01},
    {0, 0x4F, 0xFF, 0x84}, {0, 0x44, 0xFF, 0x19}, {0, 0x46, 0xFF, 0x15}, {0, 0x47, 0xFF, 0x88},
    {0, 0xD9, 0xFF, 0x00}, {0, 0xF0, 0xFF, 0x78}, {0, 0xF1, 0xFF, 0x10},
    {0, 0x28, 0xFF, 0x88}, {0, 0x6E, 0xFF, 0x80}, {0, 0x77, 0xFF, 0x87}, {0, 0x7B, 0xFF, 0x00},
    {0, 0x86, 0xFF, 0x00}, {0, 0x36, 0xFF, 0x06}, {0, 0x8F, 0xFF, 0x41},
    {0, 0x86, 0x0C, 0x08}, {0, 0x81, 0x80, 0x80}, {0, 0x21, 0x04, 0x00}, {0, 0x4A, 0xFF, 0xC8},
    {0, 0x91, 0x40, 0x40}, {0, 0x21, 0x40, 0x40}, {0, 0xCE, 0x30, 0x00}, {0, 0x42, 0xE0, 0xC0},
    {0, 0x7B, 0x10, 0x10}, {0, 0x3C, 0x21, 0x00}, {0, 0x3B, 0xFF, 0x23}, {0, 0xF6, 0xFF, 0x08},
    {0, 0x59, 0xFF, 0x00}, {0, 0x2C, 0x01, 0x01}, {0, 0x2D, 0x10, 0x10}, {0, 0x39, 0x01, 0x01},
    {0, 0x67, 0x80, 0x80}, {0, 0x68, 0x10, 0x00}, {0, 0xD8, 0xF0, 0x20},
    // Bank 1.
    {1, 0xC0, 0xFF, 0x42}, {1, 0xC4, 0xF0, 0x30}, {1, 0xC5, 0xFF, 0x00}, {1, 0xC6, 0xFF, 0x00},
    {1, 0xC7, 0xFF, 0x00}, {1, 0xC8, 0xFF, 0x00}, {1, 0xC9, 0xFF, 0x99}, {1, 0xCA, 0xFF, 0x99},
    {1, 0x10, 0xFF, 0x00}, {1, 0x11, 0xFF, 0x00}, {1, 0x12, 0xFF, 0x00}, {1, 0x13, 0xFF, 0x00},
    {1, 0x28, 0xFF, 0x00}, {1, 0x29, 0xFF, 0x00}, {1, 0x2A, 0xFF, 0x00}, {1, 0x2B, 0xFF, 0x00},
    {1, 0x2C, 0xFF, 0x00}, {1, 0xC0, 0xC0, 0x40},
    // The reference-clock read-out unlocked, loaded and locked.
    {0, 0xF8, 0xFF, 0xC3}, {0, 0xF8, 0xFF, 0xA5},
    {1, 0x5F, 0xFF, 0x04}, {1, 0x58, 0xFF, 0x12}, {1, 0x58, 0xFF, 0x02}, {1, 0x5F, 0xFF, 0x00},
    {0, 0xF8, 0xFF, 0xFF},
    // Banks 3 and 7: the front ends of ports 0 and 1.
    {3, 0xAA, 0xFF, 0xEC}, {3, 0xAC, 0xFF, 0x40}, {3, 0xA8, 0xFF, 0x0B}, {3, 0x3A, 0xFF, 0x02},
    {3, 0xE3, 0xFF, 0x07}, {3, 0x27, 0xFF, 0x9F}, {3, 0x28, 0xFF, 0x9F}, {3, 0x29, 0xFF, 0x9F},
    {3, 0xA7, 0x40, 0x40}, {3, 0xA6, 0x08, 0x08}, {3, 0xF0, 0xFF, 0xC0},
    {7, 0xAA, 0xFF, 0xEC}, {7, 0xAC, 0xFF, 0x40}, {7, 0xA8, 0xFF, 0x0B},
    {7, 0xE3, 0xFF, 0x07}, {7, 0x27, 0xFF, 0x9F}, {7, 0x28, 0xFF, 0x9F}, {7, 0x29, 0xFF, 0x9F},
    {7, 0xA7, 0x40, 0x40}, {7, 0xA6, 0x08, 0x08},
    // Bank 4: port 1.
    {4, 0x43, 0xFF, 0x01}, {4, 0x3A, 0xFF, 0x89}, {4, 0x3C, 0x20, 0x00}, {4, 0xCE, 0x30, 0x00},
    {4, 0x42, 0xE0, 0xC0}, {4, 0x3C, 0x21, 0x00}, {4, 0x3B, 0xFF, 0x23},
    // Bank 5: the V-by-One transmitter.
    {5, 0x20, 0x03, 0x01}, {5, 0xC7, 0xFF, 0x49}, {5, 0xCB, 0x06, 0x00},
};

// What follows the front-end calibration of both ports.
const std::vector<RegWrite> kCalibrationRelease = {
    {0, 0x08, 0x30, 0x30}, {0, 0x0D, 0x30, 0x30}, {0, 0x29, 0x01, 0x00}, {0, 0x24, 0x04, 0x00},
    {0, 0x3C, 0x10, 0x10}, {0, 0x2C, 0x04, 0x00}, {4, 0x3C, 0x10, 0x10},
    {3, 0x3A, 0x80, 0x00}, {3, 0xA0, 0x80, 0x00}, {3, 0xA1, 0x80, 0x00}, {3, 0xA2, 0x80, 0x00},
    {7, 0x3A, 0x80, 0x00}, {7, 0xA0, 0x80, 0x00}, {7, 0xA1, 0x80, 0x00}, {7, 0xA2, 0x80, 0x00},
};
// clang-format on

TEST_F(It6805Setup, InitialisationWritesTheTableFirstThenReleasesTheCalibration) {
    initialise();
    auto writes = chip->writes();
    size_t table = 0;
    EXPECT_TRUE(wroteInOrder(writes, kInitTable, &table));
    EXPECT_EQ(table, 0u) << "the table is the first thing written";
    size_t release = 0;
    EXPECT_TRUE(wroteInOrder(writes, kCalibrationRelease, &release));
    EXPECT_GT(release, table + kInitTable.size());
    EXPECT_EQ(chip->reg(0, 0x0F) & 0x07, 0) << "bank 0 at the end";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// The engine at 0xC8 set up again on entering Unplug (a loss of sync initialises the whole
// chip as well, so the state change is made directly): 100 us is the reference clock
// (23 MHz on this board) / 160 = 143.
TEST_F(It6805Setup, EnteringUnplugSetsTheCecEngineUpAgain) {
    plugAndWait(cta(16));
    bus->clearLog();
    driver().iTE6805_vid_chg(STATEV_Unplug, 0);
    std::vector<sim::It6805Model::Write> cecWrites;
    for (const auto& m : bus->messagesTo(0xC8))
        if (!m.read && m.bytes.size() == 2)
            cecWrites.push_back({0, m.bytes[0], m.bytes[1]});
    const std::vector<RegWrite> init = {
        {0, 0x08, 0xFF, 0x4C}, {0, 0x08, 0xFF, 0x48}, {0, 0x09, 0xFF, 0x60}, {0, 0x0B, 0xFF, 0x14},
        {0, 0x0C, 0xFF, 143},  {0, 0x08, 0x04, 0x00}, {0, 0x09, 0x02, 0x00}, {0, 0x06, 0xFF, 0x00},
        {0, 0x08, 0x01, 0x01}, {0, 0x52, 0xFF, 0x60}, {0, 0x52, 0xFF, 0xE0}, {0, 0x52, 0xFF, 0x80},
        {0, 0x22, 0xFF, 0x00}, {0, 0x0A, 0xFF, 0x03}, {0, 0x0A, 0x40, 0x40},
    };
    EXPECT_TRUE(wroteInOrder(cecWrites, init));
    EXPECT_EQ(bus->it6805Cec().reg(0x08) & 0x01, 0x01) << "engine on";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

struct GuardCase {
    uint8_t chipId;
    bool guarded;
};

class It6805VboGuard : public It6805Setup, public testing::WithParamInterface<GuardCase> {};

// Chips other than 0x10 and 0xE0 and above do not keep their V-by-One output (bank 5 0xC9,
// 0x79 off, 0x78 on) to the picture: the driver turns it off while there is no stable
// picture and on once there is.
TEST_P(It6805VboGuard, EarlyRevisionsGetTheirOutputSwitchedWithThePicture) {
    const GuardCase& c = GetParam();
    chip->setChipId(c.chipId);
    initialise();
    poke(5, 0xC9, 0x78);
    pass();
    EXPECT_EQ(chip->reg(5, 0xC9), c.guarded ? 0x79 : 0x78) << "no picture";

    plugAndWait(cta(16));
    poke(5, 0xC9, 0x79);
    pass();
    EXPECT_EQ(chip->reg(5, 0xC9), c.guarded ? 0x78 : 0x79) << "a stable picture";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(ChipIds, It6805VboGuard,
                         testing::Values(GuardCase{0x00, true}, GuardCase{0xD0, true},
                                         GuardCase{0x10, false}, GuardCase{0xE0, false},
                                         GuardCase{0xE1, false}),
                         [](const testing::TestParamInfo<GuardCase>& info) {
                             return "chip" + std::to_string(info.param.chipId);
                         });

struct MatrixCase {
    const char* name;
    int vic;
    sim::VideoTiming::Colour colour;
    uint8_t formatBits;           // 0x6B bits 5..4
    std::vector<uint8_t> matrix;  // bank 1 0x70..0x85; empty: no conversion
};

void PrintTo(const MatrixCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Matrix : public It6805Test, public testing::WithParamInterface<MatrixCase> {};

TEST_P(It6805Matrix, YuvIsConvertedToRgbWithTheMatrixOfItsColorimetry) {
    const MatrixCase& c = GetParam();
    sim::VideoTiming t = cta(c.vic);
    t.colour = c.colour;
    plugAndWait(t);
    EXPECT_EQ(chip->reg(0, 0x6B) & 0x30, c.formatBits);
    if (c.matrix.empty()) {
        EXPECT_EQ(chip->reg(0, 0x6C) & 0x03, 0x00) << "no conversion";
        EXPECT_EQ(chip->reg(1, 0x85), 0x00);
    } else {
        EXPECT_EQ(chip->reg(0, 0x6C) & 0x03, 0x03) << "YUV in, RGB out";
        std::vector<uint8_t> matrix;
        for (unsigned reg = 0x70; reg <= 0x85; ++reg)
            matrix.push_back(chip->reg(1, reg));
        EXPECT_EQ(matrix, c.matrix);
    }
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// A standard-definition YCbCr source announces BT.601, a high-definition one BT.709.
INSTANTIATE_TEST_SUITE_P(
    Colours, It6805Matrix,
    testing::Values(MatrixCase{"sd444Bt601",
                               2,
                               sim::VideoTiming::Colour::YCbCr444,
                               0x20,
                               {0x04, 0x00, 0xA7, 0x4F, 0x09, 0x81, 0x39, 0xDD, 0x3C, 0x4F, 0x09,
                                0xC4, 0x0C, 0x01, 0x00, 0x4F, 0x09, 0xFD, 0x3F, 0x1F, 0x10, 0x00}},
                    MatrixCase{"hd422Bt709",
                               16,
                               sim::VideoTiming::Colour::YCbCr422,
                               0x10,
                               {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B, 0x3E, 0x4F, 0x09,
                                0x57, 0x0E, 0x02, 0x00, 0x4F, 0x09, 0xFE, 0x3F, 0xE8, 0x10, 0x00}},
                    MatrixCase{"hdRgb", 16, sim::VideoTiming::Colour::Rgb, 0x00, {}}),
    [](const testing::TestParamInfo<MatrixCase>& info) { return std::string(info.param.name); });

struct TristateCase {
    const char* name;
    uint8_t mode;       // bank 1 0xC0: bit 0 dual, bits 7..6 the single-mode layout
    uint8_t depthCode;  // 0x98 bits 7..4 when the output was tristated
    uint8_t c5, c6;     // bank 1 0xC5, 0xC6 after the tristate is lifted
};

void PrintTo(const TristateCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Tristate : public It6805Setup, public testing::WithParamInterface<TristateCase> {};

TEST_P(It6805Tristate, TheOutputPinsFollowTheModeAndTheColourDepth) {
    const TristateCase& c = GetParam();
    chip->setColourDepthCode(c.depthCode);
    plugAndWait(cta(16));
    ite6805_drv& drv = *driver().drv;
    drv.iTE6805_Set_Video_Tristate(1, 0);
    EXPECT_EQ(chip->reg(1, 0xC5), 0xFF);
    EXPECT_EQ(chip->reg(1, 0xC6), 0xFF);
    poke(1, 0xC0, c.mode);
    drv.iTE6805_Set_Video_Tristate(0, 0);
    EXPECT_EQ(chip->reg(1, 0xC5), c.c5);
    EXPECT_EQ(chip->reg(1, 0xC6), c.c6);
    EXPECT_EQ(chip->reg(0, 0x0F) & 0x07, 0);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// Lifting the tristate clears bit 7 of both; then one of them takes the value of its mode.
INSTANTIATE_TEST_SUITE_P(Modes, It6805Tristate,
                         testing::Values(TristateCase{"layout00Code10", 0x00, 0x10, 0x78, 0x7F},
                                         TristateCase{"layout40Code20", 0x40, 0x20, 0x38, 0x7F},
                                         TristateCase{"layout40Code00", 0x40, 0x00, 0x18, 0x7F},
                                         TristateCase{"layout80Code10", 0x80, 0x10, 0x63, 0x7F},
                                         TristateCase{"layout80Code20", 0x80, 0x20, 0x23, 0x7F},
                                         TristateCase{"layout80Code30", 0x80, 0x30, 0x03, 0x7F},
                                         TristateCase{"layoutC0Untouched", 0xC0, 0x10, 0x7F, 0x7F},
                                         TristateCase{"dualCode10", 0x41, 0x10, 0x7F, 0x40},
                                         TristateCase{"dualCode20", 0x41, 0x20, 0x7F, 0x00}),
                         [](const testing::TestParamInfo<TristateCase>& info) {
                             return std::string(info.param.name);
                         });

struct MuteCase {
    const char* name;
    bool plugged;  // a stable picture
    uint8_t on;
    bool muteStatus;  // 0xAA bit 3: the source still sends AV mute
    bool dual;
    std::vector<RegWrite> writes;  // every write but bank selects, in order
};

void PrintTo(const MuteCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805AvMute : public It6805Setup, public testing::WithParamInterface<MuteCase> {};

TEST_P(It6805AvMute, MuteBitsAreSetAndClearedInTheirOrder) {
    const MuteCase& c = GetParam();
    if (c.plugged)
        plugAndWait(cta(16));
    else
        initialise();
    chip->setAvMute(c.muteStatus);
    poke(1, 0xC0, c.dual ? 0x41 : 0x40);
    chip->clearWrites();
    driver().drv->iTE6805_Set_AVMute(c.on, 0);
    auto writes = chip->writes();
    EXPECT_EQ(test::withoutBankSelects(writes).size(), c.writes.size());
    size_t at = 0;
    EXPECT_TRUE(wroteInOrder(writes, c.writes, &at));
    EXPECT_EQ(at, 0u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    OnAndOff, It6805AvMute,
    testing::Values(
        MuteCase{"on", true, 1, false, false, {{0, 0x4F, 0xA0, 0xA0}, {1, 0xC5, 0x80, 0x80}}},
        MuteCase{"off", true, 0, false, false,
                 {{1, 0xC5, 0x01, 0x01}, {1, 0xC5, 0x01, 0x00},
                  {0, 0x4F, 0xA0, 0xA0}, {0, 0x4F, 0xA0, 0x80}}},
        MuteCase{"offDual", true, 0, false, true,
                 {{1, 0xC5, 0x01, 0x01}, {1, 0xC5, 0x01, 0x00}, {1, 0xC5, 0x01, 0x01},
                  {0, 0x4F, 0xA0, 0xA0}, {0, 0x4F, 0xA0, 0x80}}},
        MuteCase{"offWhileTheSourceMutes", true, 0, true, false, {{0, 0x4F, 0x80, 0x80}}},
        MuteCase{"offWithoutAPicture", false, 0, false, false, {}}),
    [](const testing::TestParamInfo<MuteCase>& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
