// The IT6805's equaliser on the simulated chip: the engine's values kept on a clean link,
// the sweep and its choice, the DFE bytes of the choice, the freeze, and the re-tuning of
// a link that starts making errors. Bit errors are scripted per channel and EQ value on
// the chip; what the driver chose is read from the chip's EQ registers.
#include <optional>

#include "inputs/iTE6805_eq.h"
#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;
using test::RegWrite;
using test::wroteInOrder;

// 1920x1080 at 60 Hz, 148.5 MHz: an HDMI 1.x link.
sim::VideoTiming p1080() {
    return *sim::VideoTiming::cta861(16);
}
// 3840x2160 at 60 Hz RGB, 594 MHz: an HDMI 2.0 link.
sim::VideoTiming p2160() {
    return *sim::VideoTiming::cta861(97);
}

class It6805Eq : public It6805Test {
protected:
    u32 state() { return driver().data.EQState; }
    bool reach(u32 eqState, int maxPasses = 300) {
        return runUntil([&] { return state() == eqState; }, maxPasses);
    }
    // Writes of manual sweep values (bit 7 set) to the channels' EQ registers, other than
    // the reset's 0x9F.
    int manualEqWrites() {
        int n = 0;
        for (const auto& w : chip->writes())
            if (w.bank == 3 && w.reg >= 0x27 && w.reg <= 0x29 && (w.value & 0x80) &&
                w.value != 0x9F)
                ++n;
        return n;
    }
    // Every channel makes `errors` errors at every EQ value.
    void everyChannel(std::optional<uint16_t> errors) {
        for (int c = 0; c < 3; ++c)
            chip->setBitErrors(c, errors);
    }
};

TEST_F(It6805Eq, AClearHdmi1LinkKeepsTheEnginesValuesWithoutASweep) {
    sources->plug(3, p1080());
    startUp();
    ASSERT_TRUE(reach(STATEEQ_EQDone));
    EXPECT_EQ(chip->eqEngineStarts(), 1u);
    EXPECT_EQ(manualEqWrites(), 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(chip->reg(3, 0x27 + c), 0x00) << "channel " << c << " on the engine's value";
        EXPECT_EQ(chip->eqValue(c), 0x0F);
        EXPECT_EQ(driver().data.Report_EQ[c], 0x0F) << "channel " << c << " reported";
    }
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, AClearHdmi2LinkIsDoneAtItsFirstMeasurement) {
    sources->plug(3, p2160());
    startUp();
    ASSERT_TRUE(reach(STATEEQ_EQDone));
    EXPECT_EQ(chip->reg(0x14) & 0x40, 0x40) << "an HDMI 2.0 link";
    EXPECT_EQ(chip->eqEngineStarts(), 0u) << "no SAR engine run";
    EXPECT_GE(chip->bitErrorMeasurements(), 1u);
    EXPECT_EQ(manualEqWrites(), 0);
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_EQ(record().Hact, 3840u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, TheSweepTakesTheFewestErrorsTheFirstOfEqualsAndZeroWithoutAReading) {
    // The engine settles on 0x10; the HDMI 1.x sweep tries 0x01, 0x3F, 0x07, 0x0F.
    chip->setEqEngineValues({0x10, 0x10, 0x10});
    chip->setBitErrors(0, std::nullopt);  // channel 0 never locks
    chip->setBitErrors(1, 5000);
    chip->setBitErrors(2, 5000);
    chip->setBitErrors(1, 0x10, 800);
    for (auto [value, errors] :
         {std::pair<u8, u16>{0x01, 900}, {0x3F, 400}, {0x07, 400}, {0x0F, 700}})
        chip->setBitErrors(1, value, errors);
    for (auto [value, errors] :
         {std::pair<u8, u16>{0x01, 350}, {0x3F, 300}, {0x07, 260}, {0x0F, 260}})
        chip->setBitErrors(2, value, errors);
    sources->plug(3, p1080());
    startUp();
    // The choice is written, the re-check fails, and the equaliser waits to sweep again.
    ASSERT_TRUE(reach(STATEEQ_Retry));
    EXPECT_EQ(chip->reg(3, 0x27), 0x80) << "no valid reading: value 0";
    EXPECT_EQ(chip->reg(3, 0x28), 0xBF) << "0x3F and 0x07 tie at 400: the first";
    EXPECT_EQ(chip->reg(3, 0x29), 0x87) << "0x07 and 0x0F tie at 260: the first";
    const u8* reported = driver().data.Report_EQ;
    EXPECT_EQ(std::vector<u8>(reported, reported + 3), (std::vector<u8>{0x00, 0x3F, 0x07}));
    EXPECT_EQ(chip->bitErrorMeasurements(), 6u) << "engine value, four sweep values, re-check";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, AnEngineThatNeverAnswersLeavesTheSweepToFindTheValue) {
    chip->setEqOutcome(0);
    everyChannel(1000);
    for (int c = 0; c < 3; ++c)
        chip->setBitErrors(c, 0x07, 10);
    sources->plug(3, p1080());
    startUp();
    ASSERT_TRUE(reach(STATEEQ_WaitResult));
    pass(30);
    EXPECT_EQ(state(), STATEEQ_WaitResult) << "31 passes of patience";
    ASSERT_TRUE(reach(STATEEQ_EQDone, 5));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(chip->reg(3, 0x27 + c), 0x87) << "channel " << c;
    EXPECT_EQ(chip->eqEngineStarts(), 1u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, TheHdmi2ChoiceGetsItsDfeBytesWithinTheirLimits) {
    chip->setEqEngineValues({0x20, 0x20, 0x20});
    everyChannel(300);
    for (int c = 0; c < 3; ++c)
        chip->setBitErrors(c, 0x3F, 250);  // the fewest, and still too many to pass
    // 0x3F is RS value 2. Readings a, b, c, d per channel.
    chip->setDfeReadings(0, 2, {0x80, 0x10, 0x90, 0xA0});
    chip->setDfeReadings(1, 2, {0x10, 0x90, 0x00, 0x00});
    chip->setDfeReadings(2, 2, {0x40, 0x3C, 0x80, 0x3A});
    sources->plug(3, p2160());
    startUp();
    // The skew EQ starts with the choice (bank 3 0x37 bit 4).
    ASSERT_TRUE(runUntil([&] { return chip->reg(3, 0x37) & 0x10; }, 300));
    EXPECT_EQ(chip->eqEngineStarts(), 2u) << "SAR, then skew";
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(chip->reg(3, 0x27 + c), 0xBF) << "channel " << c;
    // First byte: 0x60 + |a-b|/2 above, 0x40 + below, the half at most 31; second 0x30 /
    // 0x20 with at most 15; third 0x18 / 0x10 with at most 7. 0x4B bit 7 turns the DFE on.
    EXPECT_EQ(chip->reg(3, 0x4B), 0xFF);  // 0x60 + 56 limited to 0x7F
    EXPECT_EQ(chip->reg(3, 0x4C), 0x28);  // below by 8
    EXPECT_EQ(chip->reg(3, 0x4D), 0x17);  // below by 16, limited
    EXPECT_EQ(chip->reg(3, 0x4E), 0x5F);  // below by 64, limited
    EXPECT_EQ(chip->reg(3, 0x4F), 0x38);  // above by 8
    EXPECT_EQ(chip->reg(3, 0x50), 0x1F);  // above by 8, limited
    EXPECT_EQ(chip->reg(3, 0x51), 0x62);  // above by 2
    EXPECT_EQ(chip->reg(3, 0x52), 0x2F);  // below by 32, limited
    EXPECT_EQ(chip->reg(3, 0x53), 0x1B);  // above by 3
    EXPECT_EQ(chip->reg(3, 0x22) & 0x40, 0x40) << "DFE in use";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, AChannelWithoutASarResultLeavesTheDfeOut) {
    chip->setEqResultFlags(1, 0x3FFF);
    everyChannel(300);
    for (int c = 0; c < 3; ++c)
        chip->setBitErrors(c, 0x3F, 250);
    sources->plug(3, p2160());
    startUp();
    ASSERT_TRUE(runUntil([&] { return chip->reg(3, 0x37) & 0x10; }, 300));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(chip->reg(3, 0x27 + c), 0xBF) << "channel " << c;
    for (const auto& w : chip->writes())
        EXPECT_FALSE(w.bank == 3 && w.reg >= 0x4C && w.reg <= 0x53)
            << "DFE byte " << int(w.reg) << " written";
    EXPECT_EQ(chip->reg(3, 0x4B) & 0x80, 0x00) << "DFE off";
    EXPECT_EQ(chip->reg(3, 0x22) & 0x40, 0x00);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, AFrozenEqualiserIgnoresEveryChangeUntilThePictureIsStable) {
    sources->plug(3, p1080());
    startUp();
    ASSERT_TRUE(reach(STATEEQ_EQDone));
    ASSERT_TRUE(runUntil([&] { return published(); }));
    // What the persistent-ECC escalation does.
    driver().data.EQState = STATEEQ_KeepEQStateUntil5VOff;
    chip->clearWrites();
    driver().eq->iTE6805_EQ_chg(STATEEQ_Off, 0);
    driver().eq->iTE6805_EQ_chg(STATEEQ_WaitClock, 0);
    EXPECT_EQ(state(), STATEEQ_KeepEQStateUntil5VOff);
    EXPECT_TRUE(chip->writes().empty()) << "not even the reset";

    // A clock-ratio change, which restarts the equaliser of a running link.
    unsigned starts = chip->eqEngineStarts();
    unsigned measurements = chip->bitErrorMeasurements();
    chip->raiseInterrupt(0x08, 0x01);
    pass();
    EXPECT_EQ(state(), STATEEQ_KeepEQStateUntil5VOff);
    EXPECT_EQ(chip->eqEngineStarts(), starts);
    EXPECT_EQ(chip->bitErrorMeasurements(), measurements);
    for (const auto& w : chip->writes()) {
        EXPECT_FALSE(w.bank == 3 && (w.reg <= 0x2D || w.reg == 0xE9))
            << "bank 3 register " << int(w.reg);
        EXPECT_FALSE(w.bank == 0 && w.reg == 0x07) << "EQ interrupts reset";
    }
    // The sync comes back stable: released as tuned.
    ASSERT_TRUE(reach(STATEEQ_EQDone, 20));
    EXPECT_EQ(driver().data.VidState, STATEV_VidStable);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, ALinkThatStartsMakingErrorsIsTunedAgain) {
    sources->plug(3, p1080());
    startUp();
    ASSERT_TRUE(reach(STATEEQ_EQDone));
    unsigned starts = chip->eqEngineStarts();
    pass(40);
    EXPECT_EQ(chip->eqEngineStarts(), starts) << "supervised, nothing to do";
    everyChannel(1000);
    ASSERT_TRUE(runUntil([&] { return chip->eqEngineStarts() > starts; }, 40));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Eq, ALinkThatCountsOnNoChannelForcesTheOtherClockRatio) {
    everyChannel(std::nullopt);
    chip->setBitErrors(0, 0x1F, 5000);  // locks only on the value the set-up writes
    sources->plug(3, p1080());
    startUp();
    ASSERT_TRUE(runUntil([&] { return (chip->reg(3, 0xE5) & 0x1C) == 0x1C; }));
    EXPECT_EQ(state(), STATEEQ_Off);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

struct StartCase {
    const char* name;
    bool hdmi2;
    std::optional<uint16_t> errors;  // of every channel at every EQ value
    std::vector<RegWrite> writes;
};

void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805EqStart : public It6805Eq, public testing::WithParamInterface<StartCase> {};

TEST_P(It6805EqStart, EachEngineStartsWithItsSetUp) {
    const StartCase& c = GetParam();
    everyChannel(c.errors);
    for (int ch = 0; ch < 3 && c.hdmi2; ++ch)
        chip->setBitErrors(ch, 0x3F, 250);  // the fewest: the sweep's choice
    sources->plug(3, c.hdmi2 ? p2160() : p1080());
    startUp();
    ASSERT_TRUE(runUntil([&] { return bool(wroteInOrder(chip->writes(), c.writes)); }, 300))
        << wroteInOrder(chip->writes(), c.writes).message();
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Engines, It6805EqStart,
    testing::Values(
        // HDMI 1.x below 1 GHz: the automatic EQ.
        StartCase{"automatic", false, uint16_t{0},
                  {{0, 0x07, 0xFF, 0xFF}, {0, 0x23, 0xFF, 0xB0}, {0, 0x23, 0xFF, 0xA0},
                   {3, 0x20, 0xFF, 0x1B}, {3, 0x21, 0xFF, 0x03}, {3, 0x26, 0xFF, 0x00},
                   {3, 0x27, 0xFF, 0x00}, {3, 0x28, 0xFF, 0x00}, {3, 0x29, 0xFF, 0x00},
                   {3, 0x22, 0xFF, 0x38}, {3, 0x22, 0x04, 0x04}, {3, 0x22, 0x04, 0x00}}},
        // HDMI 2.0 whose first measurement fails: the successive-approximation EQ.
        StartCase{"sar", true, uint16_t{300},
                  {{3, 0x20, 0xFF, 0x1B}, {3, 0x21, 0xFF, 0x03}, {3, 0x20, 0x80, 0x00},
                   {3, 0x22, 0xFF, 0x00}, {0, 0x07, 0xFF, 0xFF}, {0, 0x23, 0xFF, 0xB0},
                   {0, 0x23, 0xFF, 0xA0}, {0, 0x3B, 0xFF, 0x23}, {3, 0x26, 0xFF, 0x00},
                   {3, 0x27, 0xFF, 0x1F}, {3, 0x28, 0xFF, 0x1F}, {3, 0x29, 0xFF, 0x1F},
                   {3, 0x2C, 0xC0, 0xC0}, {3, 0x2D, 0xF7, 0x20}, {3, 0x30, 0xFF, 0x8C},
                   {3, 0x31, 0xFF, 0xB0}, {3, 0x32, 0xFF, 0x43}, {3, 0x33, 0xFF, 0x47},
                   {3, 0x34, 0xFF, 0x4B}, {3, 0x35, 0xFF, 0x53}, {3, 0x36, 0xC0, 0x00},
                   {3, 0x37, 0xFF, 0x0B}, {3, 0x38, 0xFF, 0xF2}, {3, 0x39, 0xFF, 0x0D},
                   {3, 0x4A, 0x80, 0x00}, {3, 0x4B, 0x80, 0x00}, {3, 0x54, 0x80, 0x80},
                   {3, 0x55, 0xFF, 0x40}, {3, 0x22, 0x04, 0x04}}},
        // HDMI 2.0 after the sweep chose 0x3F: the skew EQ with the choice and its DFE bytes
        // (equal readings a, b, c, d give 0x40, 0x20, 0x10).
        StartCase{"skew", true, uint16_t{300},
                  {{3, 0x22, 0x04, 0x00}, {3, 0x27, 0xFF, 0xBF}, {3, 0x28, 0xFF, 0xBF},
                   {3, 0x29, 0xFF, 0xBF},
                   {3, 0x4B, 0xFF, 0x40}, {3, 0x4C, 0xFF, 0x20}, {3, 0x4D, 0xFF, 0x10},
                   {3, 0x4E, 0xFF, 0x40}, {3, 0x4F, 0xFF, 0x20}, {3, 0x50, 0xFF, 0x10},
                   {3, 0x51, 0xFF, 0x40}, {3, 0x52, 0xFF, 0x20}, {3, 0x53, 0xFF, 0x10},
                   {3, 0x4B, 0x80, 0x80}, {3, 0x2D, 0xFF, 0x00}, {3, 0x30, 0xFF, 0x94},
                   {3, 0x31, 0xFF, 0xB0}, {3, 0x37, 0x10, 0x10}, {3, 0x54, 0x80, 0x00},
                   {3, 0x22, 0x04, 0x04}}}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });
// clang-format on

struct LimitCase {
    const char* name;
    uint16_t ch1Errors;  // at every EQ value; CH0 and CH2 make none
    u32 settlesIn;
    bool swept;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805EqLimits : public It6805Eq, public testing::WithParamInterface<LimitCase> {};

// A channel passes a check below 240 errors and the re-check after the sweep below 241.
TEST_P(It6805EqLimits, BitErrorChecksPassBelow240AndTheRecheckBelow241) {
    const LimitCase& c = GetParam();
    chip->setBitErrors(1, c.ch1Errors);
    sources->plug(3, p1080());
    startUp();
    ASSERT_TRUE(
        runUntil([&] { return state() == STATEEQ_EQDone || state() == STATEEQ_Retry; }, 300));
    EXPECT_EQ(state(), c.settlesIn);
    EXPECT_EQ(manualEqWrites() > 0, c.swept);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(Counts, It6805EqLimits,
                         testing::Values(LimitCase{"errors239", 239, STATEEQ_EQDone, false},
                                         LimitCase{"errors240", 240, STATEEQ_EQDone, true},
                                         LimitCase{"errors241", 241, STATEEQ_Retry, true}),
                         [](const testing::TestParamInfo<LimitCase>& info) {
                             return std::string(info.param.name);
                         });

struct ParityCase {
    const char* name;
    bool hdmi2;
    uint16_t ch1Errors;
    bool good;  // the link is taken as tuned
};

void PrintTo(const ParityCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Parity : public It6805Eq, public testing::WithParamInterface<ParityCase> {};

// With a counter that gives no valid count the parity test decides: port status 0xBF, all
// channels locked, no audio or character error flag after clearing, and SCDT.
TEST_P(It6805Parity, WithoutACountTheLinkStatusDecides) {
    const ParityCase& c = GetParam();
    chip->setBitErrorCounterDead(true);
    chip->setBitErrors(1, c.ch1Errors);
    sources->plug(3, c.hdmi2 ? p2160() : p1080());
    startUp();
    if (c.good) {
        ASSERT_TRUE(reach(STATEEQ_EQDone));
        EXPECT_EQ(chip->reg(3, 0xE5) & 0x1C, 0x00) << "the clock ratio left alone";
        EXPECT_EQ(chip->eqEngineStarts(), c.hdmi2 ? 0u : 1u);
    } else {
        // No count anywhere and a bad status: the other clock ratio is tried.
        ASSERT_TRUE(runUntil([&] { return (chip->reg(3, 0xE5) & 0x1C) == 0x1C; }));
        EXPECT_EQ(state(), STATEEQ_Off);
    }
    EXPECT_EQ(manualEqWrites(), 0);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(Links, It6805Parity,
                         testing::Values(ParityCase{"hdmi1Clean", false, 0, true},
                                         ParityCase{"hdmi2Clean", true, 0, true},
                                         ParityCase{"hdmi1CharacterErrors", false, 5, false}),
                         [](const testing::TestParamInfo<ParityCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
