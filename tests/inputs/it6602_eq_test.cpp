// The IT6602 equaliser over scripted readings of the simulated chip: the amplitudes it
// measures and the ECC errors it reports under each trial value (0xFF, 0x9F, 0x83).
#include <algorithm>
#include <map>
#include <vector>

#include "tests/inputs/it6602_fixture.h"

namespace {

class It6602Eq : public test::It6602Test {
protected:
    // The values the driver wrote to port 0's equaliser register (bank 0 0x27).
    std::vector<u8> eqWrites(int ch) {
        std::vector<u8> values;
        for (const auto& w : chip(ch).writes())
            if (w.bank == 0 && w.reg == 0x27)
                values.push_back(w.value);
        return values;
    }
    int writesTo(int ch, int bank, u8 reg) {
        int n = 0;
        for (const auto& w : chip(ch).writes())
            n += w.bank == bank && w.reg == reg;
        return n;
    }
    // Plugs 1080p into a channel whose amplitudes the chip cannot measure, with ECC errors
    // reported under each manual value, and runs until the equaliser settled.
    u8 settle(int ch, const std::map<u8, int>& errors) {
        chip(ch).setAmplitudes(0, {5, 5, 5}, false);
        for (const auto& [value, polls] : errors)
            chip(ch).setEqErrors(0, value, polls);
        chip(ch).clearWrites();
        sources->plug(ch, cta(16));
        EXPECT_TRUE(pictureOn(ch));
        const IT6602_EQ_DATA& eq = driver(ch).eq[0];
        EXPECT_TRUE(passUntil([&] { return eq.manual && !eq.busy; }, 1000));
        EXPECT_EQ(chip(ch).reg(0, 0x26) & 0x20, 0x20) << "manual equaliser";
        return chip(ch).reg(0, 0x27);
    }
};

TEST_F(It6602Eq, MeasuredAmplitudesBecomeTheEqualiserWithoutTrials) {
    chip(0).setAmplitudes(0, {0x18, 0x20, 0x02}, true);
    chip(0).clearWrites();
    sources->plug(0, cta(16));
    ASSERT_TRUE(pictureOn(0));
    const IT6602_EQ_DATA& eq = driver(0).eq[0];
    ASSERT_TRUE(passUntil([&] { return eq.manual && !eq.busy && eq.eq_state == 255; }));
    EXPECT_EQ(chip(0).reg(0, 0x26) & 0x20, 0x20);
    EXPECT_EQ(chip(0).reg(0, 0x27), 0x18);
    EXPECT_EQ(chip(0).reg(0, 0x28), 0x20);
    EXPECT_EQ(chip(0).reg(0, 0x29), 0x03) << "an amplitude is written as at least 3";
    for (u8 value : eqWrites(0))
        EXPECT_TRUE(value != 0xFF && value != 0x9F && value != 0x83) << int(value);
}

TEST_F(It6602Eq, EachValueIsTriedAndTheOneWithFewestErrorsChosen) {
    // 8, 7 and 9 errors: none below 6, the second value is best.
    EXPECT_EQ(settle(0, {{0xFF, 8}, {0x9F, 7}, {0x83, 9}}), 0x9F);
    EXPECT_EQ(eqWrites(0), (std::vector<u8>{0xFF, 0x9F, 0x83, 0x9F}));
    // 7, 9 and 8: the first.
    EXPECT_EQ(settle(1, {{0xFF, 7}, {0x9F, 9}, {0x83, 8}}), 0xFF);
    EXPECT_EQ(eqWrites(1), (std::vector<u8>{0xFF, 0x9F, 0x83, 0xFF}));
    // 10 or more errors cut a trial short at 10; the third value wins a tie.
    EXPECT_EQ(settle(2, {{0xFF, 25}, {0x9F, 9}, {0x83, 9}}), 0x83);
    EXPECT_EQ(eqWrites(2), (std::vector<u8>{0xFF, 0x9F, 0x83, 0x83}));
}

TEST_F(It6602Eq, AValueWithFewErrorsIsKeptAtOnce) {
    EXPECT_EQ(settle(0, {{0xFF, 3}}), 0xFF);
    EXPECT_EQ(eqWrites(0), (std::vector<u8>{0xFF}));
    EXPECT_EQ(settle(1, {{0xFF, 6}, {0x9F, 5}}), 0x9F);
    EXPECT_EQ(eqWrites(1), (std::vector<u8>{0xFF, 0x9F}));
}

// The chip measures the amplitudes while the last value is on trial: they, not the value
// with the fewest errors, become the equaliser.
TEST_F(It6602Eq, AmplitudesMeasuredDuringTheLastTrialReplaceTheChosenValue) {
    chip(0).setAmplitudes(0, {5, 5, 5}, false);
    chip(0).setEqErrors(0, 0xFF, 8);
    chip(0).setEqErrors(0, 0x9F, 7);
    chip(0).setEqErrors(0, 0x83, 9);
    chip(0).clearWrites();
    sources->plug(0, cta(16));
    ASSERT_TRUE(pictureOn(0));
    auto trying = [&](u8 value) {
        std::vector<u8> w = eqWrites(0);
        return std::find(w.begin(), w.end(), value) != w.end();
    };
    ASSERT_TRUE(passUntil([&] { return trying(0x83); }, 1000)) << "the third value on trial";
    chip(0).setAmplitudes(0, {0x18, 0x20, 0x02}, true);
    chip(0).finishAutoEq();
    const IT6602_EQ_DATA& eq = driver(0).eq[0];
    ASSERT_TRUE(passUntil([&] { return !eq.busy && eq.eq_state == 255; }, 1000));
    EXPECT_EQ(chip(0).reg(0, 0x26) & 0x20, 0x20) << "manual equaliser";
    EXPECT_EQ(chip(0).reg(0, 0x27), 0x18);
    EXPECT_EQ(chip(0).reg(0, 0x28), 0x20);
    EXPECT_EQ(chip(0).reg(0, 0x29), 0x03);
    std::vector<u8> values = eqWrites(0);
    ASSERT_GE(values.size(), 4u);
    EXPECT_EQ(std::vector<u8>(values.begin(), values.begin() + 4),
              (std::vector<u8>{0xFF, 0x9F, 0x83, 0x18}));
    for (size_t i = 4; i < values.size(); ++i)
        EXPECT_EQ(values[i], 0x18) << "no trial value after the measured amplitudes";
}

TEST_F(It6602Eq, FailedEqualisationTogglesTheClockPolarity16TimesFirst) {
    settle(0, {});
    EXPECT_EQ(writesTo(0, 1, 0xB9), 16) << "clock inversion toggled once per failure";
    EXPECT_EQ(chip(0).reg(1, 0xB9) & 0x80, 0) << "an even number of toggles";
    EXPECT_EQ(driver(0).eq[0].fail_count, 16);
}

}  // namespace
